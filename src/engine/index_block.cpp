// The index block: a 16-bit count, then one record per entry (the layout is
// drawn in setup_package.h). Strings carry a one-byte length.
#include <memory>
#include <vector>
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "platform/notify.h"

namespace {
const char kDamagedIndex[] = "安装包索引已损坏!";
}  // namespace

int CSetupPackage::WriteIndexInfo(CFile& index) {
  CArchive ar(&index, CArchive::store);
  ar << static_cast<WORD>(m_arrIndex.GetSize());
  for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
    m_arrIndex[i]->WriteIndexRecord(ar);
  }
  ar.Flush();
  return ar.IsBad() ? FALSE : TRUE;
}

int CSetupPackage::ReadIndexInfo(CFile& index) {
  m_arrIndex.RemoveAll();
  m_bIndexRead = false;
  CArchive ar(&index, CArchive::load);
  WORD count = 0;
  ar >> count;
  // A count the block cannot back is damage; nothing is allocated for it.
  bool ok = !ar.IsBad() && count * TSPIndex::kMinIndexRecordBytes <= ar.Remaining();
  if (ok) {
    platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_BEGIN, count, 0);
    std::vector<std::unique_ptr<TSPIndex>> records;
    records.reserve(count);
    for (WORD i = 0; ok && i < count; ++i) {
      auto r = std::make_unique<TSPIndex>();
      ok = r->ReadIndexRecord(ar);
      if (!ok) break;
      platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_STEP, i, count);
      records.push_back(std::move(r));
    }
    if (ok) {
      for (auto& r : records) m_arrIndex.Add(std::move(r));
      m_bIndexRead = true;
      platform::PostNotify(m_hNotifyWnd, WM_SETUP_INFO_END, count, 0);
    }
  }
  if (!ok) {
    AfxReportFailure(m_strPacketFile, kDamagedIndex);
    return FALSE;
  }
  return TRUE;
}
