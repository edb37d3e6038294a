#include "engine/tsp_index.h"

void TSPIndex::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << m_strTargetPath << m_strShortcutPath << m_byIconId << m_dwOrigSize << m_dwStoredSize;
  } else {
    ar >> m_strTargetPath >> m_strShortcutPath >> m_byIconId >> m_dwOrigSize >> m_dwStoredSize;
  }
}
