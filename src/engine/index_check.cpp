#include "engine/index_check.h"
#include "engine/tsp_index.h"

IndexFault CheckIndex(WORD fileCount, const std::vector<TSPIndexSizes>& records,
                      const DWORD* sizes, size_t slots, size_t* record) {
  if (records.size() != fileCount) return IndexFault::kCount;
  size_t slot = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].installFlag & IF_NO_DATA) continue;
    if (slot >= slots || sizes[slot] != records[i].storedSize) {
      if (record) *record = i;
      return IndexFault::kSlot;
    }
    ++slot;
  }
  return slot == slots ? IndexFault::kNone : IndexFault::kExtraSlots;
}
