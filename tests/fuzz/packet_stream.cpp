// Arbitrary bytes as one stored item: the first four give its original size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "packet/packet.h"
#include "packet/stream_codec.h"
#include "platform/msgbox.h"

namespace {

class Decoder : public CPacket {
 public:
  int MakePacket() override { return FALSE; }
  using CPacket::Decode;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  DWORD orig = (data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24) & 0xFFFFF;
  const BYTE* stored = data + 4;
  DWORD storedLen = static_cast<DWORD>(size - 4);

  CMemFile in(stored, storedLen), out;
  bool ok = packet::StreamDecode(in, storedLen, orig, &out);
  if (ok) {
    // The one-shot decoder must agree on anything the streaming one accepts.
    if (out.GetLength() != orig) std::abort();
    std::vector<BYTE> dst(orig ? orig : 1);
    DWORD len = orig;
    Decoder d;
    if (d.Decode(stored, dst.data(), storedLen, &len) != 0 || len != orig ||
        (orig && std::memcmp(dst.data(), out.Data(), orig) != 0))
      std::abort();
  }

  // The input as an item: both encoders agree and it decodes back.
  CMemFile src(data, size), enc;
  packet::StreamEncodeResult r = packet::StreamEncode(src, size, enc);
  std::vector<BYTE> z;
  bool shrank = packet::CompressItem(data, size, &z);
  if (!r.ok || r.shrank != shrank || enc.GetLength() != r.stored) std::abort();
  if (shrank ? (z.size() != r.stored || std::memcmp(z.data(), enc.Data(), z.size()) != 0)
             : (r.stored != size || (size && std::memcmp(enc.Data(), data, size) != 0)))
    std::abort();
  enc.SeekToBegin();
  CMemFile back;
  if (!packet::StreamDecode(enc, static_cast<DWORD>(r.stored), static_cast<DWORD>(size), &back) ||
      back.GetLength() != size || (size && std::memcmp(back.Data(), data, size) != 0))
    std::abort();
  return 0;
}
