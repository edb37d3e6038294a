// The stored form of a packet item, in pieces that need memory bounded by a
// chunk rather than by the item.
//
// An item of n bytes is stored as a zlib stream when that stream is strictly
// shorter than n, and raw otherwise; a reader tells the forms apart only by
// comparing the stored length with the original one. With the default
// options StreamEncode and CompressItem give exactly the bytes
// CPacket::WriteEncode writes (zlib at its default level), without its
// message, so items may be compressed in chunks or on several threads and
// still match.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>
#include "afx/file.h"

namespace packet {

// Which deflate makes the zlib streams. Both write RFC 1950 streams that any
// inflate reads (the setup shell keeps zlib's); libdeflate is faster at the
// same ratio but works on whole buffers only, so streamed items keep zlib.
enum class Deflater { kZlib, kLibdeflate };

struct EncodeOptions {
  Deflater deflater = Deflater::kZlib;
  // 1 to 12; zlib stops at 9, and higher levels mean 9 there.
  int level = 6;
};

// Whether this build has libdeflate (tarnmake on Linux; not the MinGW one).
bool HaveLibdeflate();

// The zlib level that stands for `level`: clipped to 1..9.
int ZlibLevel(int level);

// The one rule for every stored item: a stream only when strictly shorter.
inline bool StoredAsStream(uint64_t streamLength, uint64_t length) {
  return streamLength < length;
}

// Bytes of the one-shot output buffer for an item: n + n/2 + 12.
uint64_t EncodeCapacity(uint64_t length);

// Bytes CompressItem holds besides the item while it works.
uint64_t CompressMemory(uint64_t length, const EncodeOptions& options);

// One-shot compression of a whole item in memory. True when the zlib stream
// is strictly shorter than the item: *out holds it. False otherwise (or when
// memory runs out): *out is empty and the item is to be stored raw.
bool CompressItem(const BYTE* data, size_t length, std::vector<BYTE>* out,
                  const EncodeOptions& options = EncodeOptions());

struct StreamEncodeResult {
  bool ok = false;      // false: `in` ended early or `out` could not be written
  bool shrank = false;  // false: the item was stored raw
  uint64_t stored = 0;  // bytes written to `out`
};

// Called with the bytes of the item read so far and its length.
using StreamProgress = std::function<void(uint64_t done, uint64_t total)>;

// Stores `length` bytes read from `in` at the position of `out`. Both files
// must be seekable: an item that does not shrink is read again and written
// raw over the compressed attempt, which never grows past the raw length.
// Always zlib, at ZlibLevel(options.level).
StreamEncodeResult StreamEncode(CFile& in, uint64_t length, CFile& out,
                                const StreamProgress& progress = StreamProgress(),
                                const EncodeOptions& options = EncodeOptions());

// Restores one stored item of `stored` bytes read from `in` (raw when stored
// equals orig), writing it to `out` when that is not null. Fails on a
// damaged stream, one that inflates to other than `orig` bytes, one followed
// by stray bytes within `stored`, a short `in` or a failed write; *why (when
// given) then says which, in English. On success `in` is just past the item.
bool StreamDecode(CFile& in, DWORD stored, DWORD orig, CFile* out, const char** why = nullptr);

}  // namespace packet
