#include "engine/tsp_index.h"

void TSPIndex::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_strTargetPath << m_strShortcutPath << m_byIconId << m_dwOrigSize << m_dwStoredSize;
  } else {
    ar >> m_strTargetPath >> m_strShortcutPath >> m_byIconId >> m_dwOrigSize >> m_dwStoredSize;
  }
}

namespace {
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
}  // namespace

void TSPIndex::WriteIndexRecord(CArchive& ar) const {
  WriteShortString(ar, m_strTargetPath);
  WriteShortString(ar, m_strShortcutPath);
  ar << m_dwOrigSize << m_dwStoredSize << m_byInstallFlag << m_byIconId;
  WriteShortString(ar, m_strCommandLine);
  ar << m_tCreate << m_tModify << m_tAccess << m_dwOSVersion << m_dwProtected;
}

bool TSPIndex::ReadIndexRecord(CArchive& ar) {
  if (!ReadShortString(ar, m_strTargetPath) || !ReadShortString(ar, m_strShortcutPath))
    return false;
  ar >> m_dwOrigSize >> m_dwStoredSize >> m_byInstallFlag >> m_byIconId;
  if (ar.IsBad() || !ReadShortString(ar, m_strCommandLine)) return false;
  ar >> m_tCreate >> m_tModify >> m_tAccess >> m_dwOSVersion >> m_dwProtected;
  return !ar.IsBad();
}
