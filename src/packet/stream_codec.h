// The stored form of a packet item, in pieces that need memory bounded by a
// chunk rather than by the item.
//
// An item of n bytes is stored as a zlib stream (zlib's compress at the
// default level) when that stream is strictly shorter than n, and raw
// otherwise; a reader tells the forms apart only by comparing the stored
// length with the original one. StreamEncode and CompressItem give exactly
// the bytes CPacket::WriteEncode writes, without its message, so items may be
// compressed in chunks or on several threads and still match.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>
#include "afx/file.h"

namespace packet {

// Bytes of the one-shot output buffer for an item: n + n/2 + 12.
uint64_t EncodeCapacity(uint64_t length);

// One-shot compression of a whole item in memory. True when the zlib stream
// is strictly shorter than the item: *out holds it. False otherwise (or when
// memory runs out): *out is empty and the item is to be stored raw.
bool CompressItem(const BYTE* data, size_t length, std::vector<BYTE>* out);

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
StreamEncodeResult StreamEncode(CFile& in, uint64_t length, CFile& out,
                                const StreamProgress& progress = StreamProgress());

// Restores one stored item of `stored` bytes read from `in` (raw when stored
// equals orig), writing it to `out` when that is not null. Fails on a
// damaged stream, one that inflates to other than `orig` bytes, one followed
// by stray bytes within `stored`, a short `in` or a failed write; *why (when
// given) then says which, in English. On success `in` is just past the item.
bool StreamDecode(CFile& in, DWORD stored, DWORD orig, CFile* out, const char** why = nullptr);

}  // namespace packet
