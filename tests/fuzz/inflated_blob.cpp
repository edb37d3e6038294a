// A blob read through InflatedBlob in pieces, with seeks back and forth,
// gives exactly what one inflation of the whole blob gives, and never more
// than it claims. The first four bytes give the claimed size, the next four
// steer the reads.
#include <zlib.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "payload/inflated_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  auto le32 = [](const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
  };
  const DWORD claimed = le32(data) & 0x3FFFF;
  uint32_t steer = le32(data + 4);
  const BYTE* blob = data + 8;
  const DWORD stored = static_cast<DWORD>(size - 8);

  // The reference: what zlib gives of the whole blob, up to the claim.
  std::vector<BYTE> ref(claimed + 1);
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return 0;
  zs.next_in = const_cast<BYTE*>(blob);
  zs.avail_in = stored;
  zs.next_out = ref.data();
  zs.avail_out = static_cast<uInt>(ref.size());
  int ret = inflate(&zs, Z_FINISH);
  const size_t good = zs.total_out;
  inflateEnd(&zs);
  const bool whole = ret == Z_STREAM_END;

  CMemFile base(blob, stored);
  payload::InflatedBlob f(base, 0, stored, claimed);
  std::vector<BYTE> buf(70000);
  for (int i = 0; i < 12; ++i) {
    steer = steer * 1103515245u + 12345u;
    uint64_t pos = claimed ? (steer >> 8) % (claimed + 1) : 0;
    size_t want = (steer >> 3) % buf.size();
    if (f.Seek(static_cast<int64_t>(pos), CFile::begin) != static_cast<int64_t>(pos)) std::abort();
    size_t got = f.Read(buf.data(), want);
    if (pos + got > claimed) std::abort();
    // Bytes the whole stream has must match; past its clean end there are none.
    size_t same = pos < good ? std::min<size_t>(got, good - pos) : 0;
    if (same && std::memcmp(buf.data(), ref.data() + pos, same) != 0) std::abort();
    if (whole && got && pos + got > good) std::abort();
    // A stream that holds the bytes asked for gives them all.
    if (whole && !f.IsFailed() && good == claimed && got != std::min<uint64_t>(want, claimed - pos))
      std::abort();
  }
  return 0;
}
