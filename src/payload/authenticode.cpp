// The PE headers are outside bytes like any other: every field is read
// only after the file (or buffer) has shown it holds it.
#include "payload/authenticode.h"
#include <cstring>
#include <functional>

namespace payload {
namespace {

using Reader = std::function<bool(uint64_t pos, BYTE* buf, size_t n)>;

uint32_t Le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct SecurityEntry {
  uint64_t entryPos = 0;     // of the directory's 8 bytes
  uint64_t checksumPos = 0;  // of the optional header's CheckSum
  uint64_t headersEnd = 0;
  uint32_t offset = 0, size = 0;
};

bool ReadSecurityEntry(const Reader& read, SecurityEntry* out) {
  BYTE dos[64];
  if (!read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint64_t nt = Le32(dos + 0x3C);
  BYTE file[24];
  if (!read(nt, file, sizeof file) || std::memcmp(file, "PE\0\0", 4) != 0) return false;
  const uint64_t optional = nt + sizeof file;
  const uint16_t optionalSize = Le16(file + 20);
  BYTE magic[2];
  if (!read(optional, magic, sizeof magic)) return false;
  // PE32 and PE32+ differ in where the directory count and the directories are.
  uint64_t countAt, dirsAt;
  switch (Le16(magic)) {
    case 0x10B: countAt = 92; dirsAt = 96; break;
    case 0x20B: countAt = 108; dirsAt = 112; break;
    default: return false;
  }
  const uint64_t entryAt = dirsAt + 4 * 8;
  if (optionalSize < entryAt + 8) return false;
  BYTE count[4], entry[8];
  if (!read(optional + countAt, count, sizeof count) || Le32(count) < 5) return false;
  if (!read(optional + entryAt, entry, sizeof entry)) return false;
  out->entryPos = optional + entryAt;
  out->checksumPos = optional + 64;
  out->headersEnd = optional + optionalSize;
  out->offset = Le32(entry);
  out->size = Le32(entry + 4);
  return true;
}

}  // namespace

bool FindCertificateTable(CFile& file, CertificateTable* table) {
  const uint64_t len = file.GetLength();
  Reader read = [&file, len](uint64_t pos, BYTE* buf, size_t n) {
    if (pos > len || n > len - pos) return false;
    if (file.Seek(static_cast<int64_t>(pos), CFile::begin) != static_cast<int64_t>(pos)) return false;
    return file.Read(buf, n) == n;
  };
  SecurityEntry e;
  if (!ReadSecurityEntry(read, &e)) return false;
  // Its first WIN_CERTIFICATE has an 8-byte header and fits in the table.
  if (e.size < 8 || e.offset < e.headersEnd) return false;
  if (static_cast<uint64_t>(e.offset) + e.size != len) return false;
  BYTE first[4];
  if (!read(e.offset, first, sizeof first)) return false;
  const uint32_t length = Le32(first);
  if (length < 8 || length > e.size) return false;
  table->offset = e.offset;
  table->size = e.size;
  return true;
}

bool DropCutSignature(BYTE* head, size_t n, uint64_t imageLength) {
  Reader read = [head, n](uint64_t pos, BYTE* buf, size_t k) {
    if (pos > n || k > n - pos) return false;
    std::memcpy(buf, head + pos, k);
    return true;
  };
  SecurityEntry e;
  if (!ReadSecurityEntry(read, &e)) return false;
  if (e.offset == 0 && e.size == 0) return false;
  if (static_cast<uint64_t>(e.offset) + e.size <= imageLength) return false;
  std::memset(head + e.entryPos, 0, 8);
  std::memset(head + e.checksumPos, 0, 4);
  return true;
}

}  // namespace payload
