// The index block: a 16-bit count, then one record per entry (the layout is
// drawn in setup_package.h). Strings carry a one-byte length.
#include <memory>
#include <vector>
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "platform/notify.h"

namespace {

// Three empty strings, two sizes, two bytes, five words.
constexpr uint64_t kMinRecordBytes = 3 + 4 + 4 + 1 + 1 + 4 * 5;

const char kDamagedIndex[] = "安装包索引已损坏!";

void WriteShortString(CArchive& ar, const CString& s) {
  BYTE n = static_cast<BYTE>(s.GetLength());
  ar << n;
  ar.Write(s.str().data(), n);
}

bool ReadShortString(CArchive& ar, CString& s) {
  BYTE n = 0;
  ar >> n;
  if (ar.IsBad()) return false;
  char buf[255];
  if (ar.Read(buf, n) != n) return false;
  s = CString(buf, n);
  return true;
}

bool ReadRecord(CArchive& ar, TSPIndex& r) {
  if (!ReadShortString(ar, r.m_strTargetPath) || !ReadShortString(ar, r.m_strShortcutPath))
    return false;
  ar >> r.m_dwOrigSize >> r.m_dwStoredSize >> r.m_byInstallFlag >> r.m_byIconId;
  if (ar.IsBad() || !ReadShortString(ar, r.m_strCommandLine)) return false;
  ar >> r.m_tCreate >> r.m_tModify >> r.m_tAccess >> r.m_dwOSVersion >> r.m_dwProtected;
  return !ar.IsBad();
}

}  // namespace

int CSetupPackage::WriteIndexInfo(CFile& index) {
  CArchive ar(&index, CArchive::store);
  ar << static_cast<WORD>(m_arrIndex.GetSize());
  for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
    const TSPIndex& r = *m_arrIndex[i];
    WriteShortString(ar, r.m_strTargetPath);
    WriteShortString(ar, r.m_strShortcutPath);
    ar << r.m_dwOrigSize << r.m_dwStoredSize << r.m_byInstallFlag << r.m_byIconId;
    WriteShortString(ar, r.m_strCommandLine);
    ar << r.m_tCreate << r.m_tModify << r.m_tAccess << r.m_dwOSVersion << r.m_dwProtected;
  }
  ar.Flush();
  return ar.IsBad() ? FALSE : TRUE;
}

int CSetupPackage::ReadIndexInfo(CFile& index) {
  m_arrIndex.RemoveAll();
  CArchive ar(&index, CArchive::load);
  WORD count = 0;
  ar >> count;
  // A count the block cannot back is damage; nothing is allocated for it.
  bool ok = !ar.IsBad() && count * kMinRecordBytes <= ar.Remaining();
  if (ok) {
    platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_BEGIN, count, 0);
    std::vector<std::unique_ptr<TSPIndex>> records;
    records.reserve(count);
    for (WORD i = 0; ok && i < count; ++i) {
      auto r = std::make_unique<TSPIndex>();
      ok = ReadRecord(ar, *r);
      if (!ok) break;
      platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_STEP, i, count);
      records.push_back(std::move(r));
    }
    if (ok) {
      for (auto& r : records) m_arrIndex.Add(std::move(r));
      platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_END, count, 0);
    }
  }
  if (!ok) {
    AfxMessageBox(kDamagedIndex);
    return FALSE;
  }
  return TRUE;
}
