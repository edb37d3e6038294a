#include "platform/gb18030.h"

namespace platform {
namespace gb18030 {
namespace {
struct Range {
  uint32_t first, last, pointer;
};
const Range kRanges[] = {
#include "platform/gb18030_ranges.inc"
};
const size_t kRangeCount = sizeof kRanges / sizeof kRanges[0];
const uint32_t kBmpPointers = 39420;       // the ranges' pointers: 0 to 39419
const uint32_t kSpare = kBmpPointers;      // + a BMP code point the ranges lack
const uint32_t kSupplementary = 189000;    // + (code point - 0x10000)

bool Lead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool Digit(unsigned char b) { return b >= 0x30 && b <= 0x39; }

// The range holding cp, or null.
const Range* ByCodePoint(uint32_t cp) {
  size_t lo = 0, hi = kRangeCount;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (kRanges[mid].last < cp) lo = mid + 1;
    else hi = mid;
  }
  return lo < kRangeCount && kRanges[lo].first <= cp ? &kRanges[lo] : nullptr;
}

// The range holding pointer p (below kBmpPointers the ranges are contiguous).
const Range& ByPointer(uint32_t p) {
  size_t lo = 0, hi = kRangeCount;
  while (hi - lo > 1) {
    size_t mid = (lo + hi) / 2;
    if (kRanges[mid].pointer <= p) lo = mid;
    else hi = mid;
  }
  return kRanges[lo];
}
}  // namespace

bool IsFourByte(const unsigned char* p, size_t left) {
  return left >= 4 && Lead(p[0]) && Digit(p[1]) && Lead(p[2]) && Digit(p[3]);
}

uint32_t DecodeFourByte(const unsigned char* p) {
  const uint32_t ptr = (((p[0] - 0x81u) * 10 + (p[1] - 0x30u)) * 126 + (p[2] - 0x81u)) * 10 + (p[3] - 0x30u);
  if (ptr < kBmpPointers) {
    const Range& r = ByPointer(ptr);
    const uint32_t cp = r.first + (ptr - r.pointer);
    return cp <= r.last ? cp : kInvalid;
  }
  if (ptr < kSpare + 0x10000) {
    // Only what GB18030 itself cannot write four-byte, or one text would
    // have two spellings.
    const uint32_t cp = ptr - kSpare;
    return cp >= 0x80 && !ByCodePoint(cp) ? cp : kInvalid;
  }
  if (ptr >= kSupplementary && ptr < kSupplementary + 0x100000) return 0x10000 + (ptr - kSupplementary);
  return kInvalid;
}

void EncodeFourByte(uint32_t cp, unsigned char out[4]) {
  uint32_t ptr;
  if (cp >= 0x10000) {
    ptr = kSupplementary + (cp - 0x10000);
  } else if (const Range* r = ByCodePoint(cp)) {
    ptr = r->pointer + (cp - r->first);
  } else {
    ptr = kSpare + cp;
  }
  out[3] = static_cast<unsigned char>(0x30 + ptr % 10);
  ptr /= 10;
  out[2] = static_cast<unsigned char>(0x81 + ptr % 126);
  ptr /= 126;
  out[1] = static_cast<unsigned char>(0x30 + ptr % 10);
  out[0] = static_cast<unsigned char>(0x81 + ptr / 10);
}

}  // namespace gb18030
}  // namespace platform
