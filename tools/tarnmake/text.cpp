#include "text.h"
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
