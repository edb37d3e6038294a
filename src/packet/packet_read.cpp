#include <algorithm>
#include <memory>
#include <new>
#include "packet/packet.h"
#include "packet/packet_frame.h"

using packet::Frame;
using packet::FrameStatus;

namespace {

const UINT kReadFlags = CFile::modeRead | CFile::shareDenyWrite;

// Shows the message for a failed frame read; the version text is the
// caller's, as the readers word it differently.
void Report(FrameStatus status, const CString& path, LPCSTR versionText, LPCSTR title) {
  switch (status) {
    case FrameStatus::kOk: return;
    case FrameStatus::kVersion: packet::ShowPacketMessage(versionText, title, path); return;
    case FrameStatus::kNoMemory: packet::ShowPacketMessage(packet::NoMemoryText(path), title, path); return;
    case FrameStatus::kDamaged: packet::ShowPacketMessage(packet::DamagedText(path), title, path); return;
  }
}

}  // namespace

int CPacket::ReadCommon(ReadMode mode, LPCSTR versionMessage) {
  const char* kTitle = "ReadPacket error";
  CFile file;
  if (!file.Open(m_strPacketFile, kReadFlags)) {
    packet::ShowPacketMessage("Can't open'" + m_strPacketFile + "'file!!", kTitle, m_strPacketFile);
    return FALSE;
  }
  Frame frame;
  FrameStatus status = packet::ReadHead(file, &m_strVersion, &frame);
  if (status == FrameStatus::kOk) status = packet::ReadTail(file, true, &frame);
  if (status != FrameStatus::kOk) {
    Report(status, m_strPacketFile, versionMessage, kTitle);
    return FALSE;
  }

  m_strPassword = frame.password;
  m_dwReserved = frame.reserved;
  m_wFileCount = frame.fileCount;
  m_dwaDataSize.vec().swap(frame.sizes.vec());

  CMemFile index(1024);
  index.Attach(frame.index.data(), frame.index.size());
  ReadIndexInfo(index);
  if (mode != ReadMode::IndexOnly) {
    CFileWindow data(file, frame.dataOffset, frame.dataLength);
    if (mode == ReadMode::Data) {
      ReadDataInfo(data);
    } else {
      UnpackDataInfo(data);
    }
  }
  file.Close();
  return TRUE;
}

int CPacket::GetIndxInfo() { return ReadCommon(ReadMode::IndexOnly, "invalid version!'"); }

int CPacket::ReadPacket() { return ReadCommon(ReadMode::Data, "Invaild version!'"); }

int CPacket::Unpack() { return ReadCommon(ReadMode::Unpack, "Invaild version!'"); }

int CPacket::GetData(DWORD k, CFile& out) {
  if (k >= m_wFileCount || k >= static_cast<DWORD>(m_dwaDataSize.GetSize())) return FALSE;
  const char* kTitle = "WritePacket error";
  CFile file;
  if (!file.Open(m_strPacketFile, kReadFlags)) {
    packet::ShowPacketMessage("Can't open'" + m_strPacketFile + "'file!!", kTitle, m_strPacketFile);
    return FALSE;
  }
  Frame frame;
  FrameStatus status = packet::ReadHead(file, nullptr, &frame);
  uint64_t offset = 0;
  for (DWORD i = 0; i < k; ++i) offset += m_dwaDataSize[static_cast<int>(i)];
  const DWORD length = m_dwaDataSize[static_cast<int>(k)];
  // The table may come from an earlier read of another file: check the slot
  // against this file's data block.
  if (status == FrameStatus::kOk && offset + length > frame.dataLength) status = FrameStatus::kDamaged;
  std::unique_ptr<BYTE[]> buf;
  const size_t kChunk = 64 * 1024;
  if (status == FrameStatus::kOk) {
    buf.reset(new (std::nothrow) BYTE[kChunk]);
    if (!buf) status = FrameStatus::kNoMemory;
  }
  if (status == FrameStatus::kOk &&
      file.Seek(static_cast<int64_t>(frame.dataOffset + offset), CFile::begin) < 0)
    status = FrameStatus::kDamaged;
  for (DWORD left = length; status == FrameStatus::kOk && left > 0;) {
    size_t n = std::min<size_t>(left, kChunk);
    if (file.Read(buf.get(), n) != n) {
      status = FrameStatus::kDamaged;
      break;
    }
    if (!out.Write(buf.get(), n)) {
      file.Close();
      packet::ShowPacketMessage("Can't write'" + out.GetFilePath() + "'file!!", kTitle, out.GetFilePath());
      return FALSE;
    }
    left -= static_cast<DWORD>(n);
  }
  if (status != FrameStatus::kOk) {
    Report(status, m_strPacketFile, "", kTitle);
    return FALSE;
  }
  out.SeekToBegin();
  file.Close();
  return TRUE;
}

int CPacket::GetDataSizeTable() {
  const char* kTitle = "WritePacket error";
  CFile file;
  if (!file.Open(m_strPacketFile, kReadFlags)) {
    packet::ShowPacketMessage("Can't open '" + m_strPacketFile + "'file!!", kTitle, m_strPacketFile);
    return FALSE;
  }
  Frame frame;
  FrameStatus status = packet::ReadHead(file, nullptr, &frame);
  if (status == FrameStatus::kOk) status = packet::ReadTail(file, false, &frame);
  if (status != FrameStatus::kOk) {
    Report(status, m_strPacketFile, "", kTitle);
    return FALSE;
  }
  m_dwaDataSize.vec().swap(frame.sizes.vec());
  file.Close();
  return TRUE;
}
