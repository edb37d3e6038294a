#include "packet/packet.h"
#include <cstring>
#include "afx/msgbox.h"
#include "packet/packet_frame.h"
#include "platform/fs.h"

CPacket::CPacket() : m_strVersion("TarnPKV2.0") {}

CPacket::~CPacket() = default;

int CPacket::WriteIndexInfo(CFile&) { return TRUE; }
int CPacket::WriteDataInfo(CFile&) { return TRUE; }
int CPacket::ReadIndexInfo(CFile&) { return TRUE; }
int CPacket::ReadDataInfo(CFile&) { return TRUE; }
int CPacket::UnpackDataInfo(CFile&) { return TRUE; }

void CPacket::SetPassword(LPCSTR text) {
  if (!text) text = "";
  if (std::strlen(text) < 8) {
    m_strPassword = text;
    return;
  }
  AfxShowMessage(AfxGetMainWndHandle(), "The length of password must be smaller than 8 !", "Error", MB_OK);
}

void CPacket::GetPassword(CString& out) { out = m_strPassword; }

int CPacket::WritePacket() {
  const char* kTitle = "WritePacket error";
  CFile file;
  if (!file.Open(m_strPacketFile, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
    packet::ShowPacketMessage("Can't open'" + m_strPacketFile + "'file!!", kTitle, m_strPacketFile);
    return FALSE;
  }
  // A packet cut short is worse than none: it would read as a damaged one.
  auto fail = [&](const CString& text) {
    file.Close();
    platform::RemoveFile(m_strPacketFile.str());
    packet::ShowPacketMessage(text, kTitle, m_strPacketFile);
    return FALSE;
  };
  const CString writeFailed = "Can't write'" + m_strPacketFile + "'file!!";

  uint64_t lengthAt = 0;
  {
    CArchive ar(&file, CArchive::store, 4096);
    // The password's length is stored in one byte; only that many bytes follow.
    BYTE pwLen = static_cast<BYTE>(m_strPassword.GetLength() & 0xFF);
    ar << m_strVersion << pwLen;
    ar.Write(m_strPassword.str().data(), pwLen);
    ar << m_dwReserved << m_wFileCount;
    ar.Flush();
    lengthAt = file.GetPosition();
    ar << static_cast<DWORD>(0);  // data block length, patched below
    ar.Close();
    if (ar.IsBad()) return fail(writeFailed);
  }
  const uint64_t dataStart = lengthAt + 4;

  WriteDataInfo(file);
  int64_t dataEnd = file.Seek(0, CFile::end);
  if (dataEnd < 0 || static_cast<uint64_t>(dataEnd) < dataStart || file.IsFailed()) return fail(writeFailed);
  uint64_t dataLength = static_cast<uint64_t>(dataEnd) - dataStart;
  if (dataLength > 0xFFFFFFFFull)
    return fail("The data of '" + m_strPacketFile + "' exceeds 4 GB and can't be stored in a packet!");
  BYTE le[4];
  packet::PutDword(le, static_cast<DWORD>(dataLength));
  if (file.Seek(static_cast<int64_t>(lengthAt), CFile::begin) < 0 || !file.Write(le, 4) ||
      file.Seek(0, CFile::end) != dataEnd)
    return fail(writeFailed);

  CMemFile index(1024);
  WriteIndexInfo(index);
  std::vector<BYTE> indexBytes = index.Detach();
  const uint64_t indexLength = indexBytes.size();
  if (indexLength > 0xFFFFFFFFull)
    return fail("The index of '" + m_strPacketFile + "' exceeds 4 GB and can't be stored in a packet!");
  {
    CArchive ar(&file, CArchive::store, 4096);
    ar << static_cast<DWORD>(indexBytes.size());
    ar.Write(indexBytes.data(), indexBytes.size());
    std::vector<BYTE>().swap(indexBytes);
    ar.WriteCount(static_cast<DWORD>(m_dwaDataSize.GetSize()));
    for (DWORD size : m_dwaDataSize.vec()) ar << size;
    ar.Close();
    if (ar.IsBad() || file.IsFailed()) return fail(writeFailed);
  }
  file.Close();
  return TRUE;
}
