#include "shell/packed_art.h"
#include <zlib.h>
#include <cstdint>

namespace {

// Larger than any picture of the wizard; it keeps a damaged length from
// asking for gigabytes.
const uint32_t kMaxFile = 1u << 20;
const size_t kFileHeader = 14;
const size_t kInfoHeader = 40;

uint32_t Le32(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t Le16(const BYTE* p) { return p[0] | (p[1] << 8); }

}  // namespace

bool UnpackBitmap(const BYTE* data, size_t length, stuUnpackedBitmap* out) {
  out->file.clear();
  if (!data || length < 4) return false;
  const uint32_t size = Le32(data);
  if (size < kFileHeader + kInfoHeader || size > kMaxFile) return false;
  out->file.resize(size);
  uLongf produced = size;
  if (uncompress(out->file.data(), &produced, data + 4, static_cast<uLong>(length - 4)) != Z_OK ||
      produced != size)
    return false;
  const BYTE* f = out->file.data();
  const uint32_t bitsAt = Le32(f + 10);
  const int32_t width = static_cast<int32_t>(Le32(f + 18));
  const int32_t height = static_cast<int32_t>(Le32(f + 22));
  const uint32_t bpp = Le16(f + 28);
  if (f[0] != 'B' || f[1] != 'M' || Le32(f + 14) != kInfoHeader || Le16(f + 26) != 1 ||
      Le32(f + 30) != 0 /* BI_RGB */)
    return false;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  const uint32_t maxColours = bpp <= 8 ? 1u << bpp : 0;
  const uint32_t colours = Le32(f + 46) ? Le32(f + 46) : maxColours;
  if (colours > maxColours) return false;
  const uint64_t stride = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
  if (bitsAt < kFileHeader + kInfoHeader + 4 * colours || bitsAt > size ||
      stride * static_cast<uint64_t>(height) > size - bitsAt)
    return false;
  out->info = kFileHeader;
  out->bits = bitsAt;
  return true;
}
