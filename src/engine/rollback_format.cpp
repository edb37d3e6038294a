#include "engine/rollback_journal.h"
#include <zlib.h>
#include <cstring>

namespace rollback {

namespace {
void PutWord(std::string& out, size_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
uint32_t Sum(const unsigned char* p, size_t n) {
  return static_cast<uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
}
}  // namespace

std::string EncodeRecord(const Record& r) {
  std::string out(1, static_cast<char>(r.step));
  PutWord(out, r.a.size());
  out += r.a;
  PutWord(out, r.b.size());
  out += r.b;
  uint32_t sum = Sum(reinterpret_cast<const unsigned char*>(out.data()), out.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((sum >> (8 * i)) & 0xFF);
  return out;
}

bool ParseLog(const unsigned char* data, size_t size, std::vector<Record>* out, bool* damaged) {
  out->clear();
  *damaged = false;
  if (!data || size < kMagicSize || std::memcmp(data, kMagic, kMagicSize) != 0) return false;
  size_t at = kMagicSize;
  while (at < size) {
    const size_t start = at;
    size_t left = size - at;
    auto field = [&](std::string* s) {
      if (left < 2) return false;
      size_t n = data[at] | (static_cast<size_t>(data[at + 1]) << 8);
      at += 2;
      left -= 2;
      if (n > kMaxField || n > left) return false;
      s->assign(reinterpret_cast<const char*>(data + at), n);
      at += n;
      left -= n;
      return true;
    };
    Record r;
    const unsigned char step = data[at];
    ++at;
    --left;
    if (step < static_cast<unsigned char>(Step::kBegin) ||
        step > static_cast<unsigned char>(Step::kNewKey) || !field(&r.a) || !field(&r.b) || left < 4) {
      *damaged = true;
      return true;
    }
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored |= static_cast<uint32_t>(data[at + i]) << (8 * i);
    if (stored != Sum(data + start, at - start)) {
      *damaged = true;
      return true;
    }
    at += 4;
    r.step = static_cast<Step>(step);
    out->push_back(std::move(r));
  }
  return true;
}

}  // namespace rollback
