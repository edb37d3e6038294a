// The data block of a package being built: each entry's source file, stored
// as WriteEncode stores it, in index order.
#include <algorithm>
#include <memory>
#include <new>
#include "afx/msgbox.h"
#include "engine/setup_package.h"

namespace {

// Calendar times outside the 32-bit range are stored as 0: "not known".
DWORD ToDwordTime(int64_t t) { return t >= 0 && t <= 0xFFFFFFFFLL ? static_cast<DWORD>(t) : 0; }

bool ReadAll(CFile& f, BYTE* buf, uint64_t len) {
  while (len > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(len, 1u << 24));
    size_t got = f.Read(buf, want);
    if (got != want) return false;
    buf += got;
    len -= got;
  }
  return true;
}

void ShowPathMessage(const char* format, const CString& path) {
  CString msg;
  msg.Format(format, static_cast<LPCSTR>(path));
  AfxMessageBox(msg);
}

const char kCannotOpen[] = "不能打开文件'%s'!\n文件可能正在被使用，请关闭文件再试!";
const char kCannotRead[] = "读文件'%s'失败!";
const char kTooLarge[] = "文件'%s'超过4GB，不能存入安装包!";

}  // namespace

int CSetupPackage::WriteDataInfo(CFile& data) {
  m_dwaDataSize.RemoveAll();
  uint64_t total = 0;
  for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
    TSPIndex& r = *m_arrIndex[i];
    if (r.m_byInstallFlag & IF_NO_DATA) continue;
    const CString& src = r.m_strSourcePath;
    CFile file;
    if (!file.Open(src, CFile::modeRead | CFile::shareDenyWrite)) {
      ShowPathMessage(kCannotOpen, src);
      m_bDataFailed = true;
      return FALSE;
    }
    CFileStatus status;
    CFile::GetStatus(src, status);
    uint64_t length = file.GetLength();
    if (length > 0xFFFFFFFFu) {
      ShowPathMessage(kTooLarge, src);
      m_bDataFailed = true;
      return FALSE;
    }
    std::unique_ptr<BYTE[]> buf(new (std::nothrow) BYTE[length ? length : 1]);
    if (!buf || !ReadAll(file, buf.get(), length)) {
      ShowPathMessage(kCannotRead, src);
      m_bDataFailed = true;
      return FALSE;
    }
    file.Close();
    DWORD stored = WriteEncode(data, buf.get(), static_cast<DWORD>(length));
    total += stored;
    // WritePacket reports both once this hook returns; going on is waste.
    if (data.IsFailed() || total > 0xFFFFFFFFu) {
      m_bDataFailed = true;
      return FALSE;
    }
    r.m_tCreate = ToDwordTime(status.m_ctime);
    r.m_tModify = ToDwordTime(status.m_mtime);
    r.m_tAccess = ToDwordTime(status.m_atime);
    r.m_dwOrigSize = static_cast<DWORD>(length);
    r.m_dwStoredSize = stored;
    m_dwaDataSize.Add(stored);
  }
  return TRUE;
}

namespace {
unsigned g_packThreads = 0;
}

void CSetupPackage::SetPackThreads(unsigned count) { g_packThreads = count; }

unsigned CSetupPackage::PackThreads() { return g_packThreads ? g_packThreads : 1; }
