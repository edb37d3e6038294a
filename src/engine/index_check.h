// Whether an index can describe the packet it was read from. Every reader
// of setup packages asks this before it trusts the index: tarnmake, and the
// install, which walks the records one data slot after another.
#pragma once
#include <cstddef>
#include <vector>
#include "platform/types.h"

// What of a record the check looks at.
struct TSPIndexSizes {
  BYTE installFlag = 0;
  DWORD storedSize = 0;
};

enum class IndexFault {
  kNone,
  kCount,       // the header's file count is not the number of records
  kSlot,        // a record with data has no slot, or not one of its size
  kExtraSlots,  // the size table has slots no record takes
};

// Records with data (IF_NO_DATA clear) take the size table's slots in index
// order, each exactly its stored size. On kSlot *record is the record.
TARN_EXPORT IndexFault CheckIndex(WORD fileCount, const std::vector<TSPIndexSizes>& records,
                                  const DWORD* sizes, size_t slots, size_t* record = nullptr);
