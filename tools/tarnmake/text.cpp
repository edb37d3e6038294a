#include "text.h"
#include <cstdint>
#include "platform/codepage.h"

namespace tarnmake {

bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
    if (n == 4 || s.size() - i - 1 < n) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

namespace {

uint32_t Upper(uint32_t c) {
  if (c == 0x130 || c == 0x131) return c;  // Turkish dotted and dotless i
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A pairs: capital first, but for the runs that start odd.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 ? c : c - 1;
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 37;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 63;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

void PutUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string FoldedName(const std::string& ansi) {
  std::string utf8 = platform::AnsiToUtf8(ansi), out;
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + n > utf8.size()) n = utf8.size() - i;
    uint32_t c = n == 1 ? b : b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    PutUtf8(&out, Upper(c));
    i += n;
  }
  return out;
}

bool HasUtf8Mark(const std::string& bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

bool ScriptToAnsi(const std::string& bytes, std::string* ansi, int* badLine) {
  if (!HasUtf8Mark(bytes)) {
    *ansi = bytes;
    return true;
  }
  std::string utf8 = bytes.substr(3);
  // Line by line, so that a fault is told where it is; the conversion also
  // replaces overlong and surrogate forms, which must not pass for text.
  ansi->clear();
  size_t start = 0;
  int line = 1;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    end = end == std::string::npos ? utf8.size() : end + 1;
    std::string piece = utf8.substr(start, end - start);
    std::string converted = platform::Utf8ToAnsi(piece);
    if (!ValidUtf8(piece) || platform::AnsiToUtf8(converted) != piece) {
      *badLine = line;
      return false;
    }
    *ansi += converted;
    start = end;
    ++line;
  }
  return true;
}

}  // namespace tarnmake
