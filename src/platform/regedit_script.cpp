#include "platform/regedit_script.h"
#include "platform/codepage.h"

namespace platform {
namespace {
const char kHeader4[] = "REGEDIT4";
const char kHeader5[] = "Windows Registry Editor Version 5.00";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a hex list "41,42,\<line end> 43": false for anything else.
bool ParseHexList(const std::string& list, std::string* bytes) {
  bytes->clear();
  int high = -1;
  bool digits = false;
  for (size_t i = 0; i < list.size(); ++i) {
    char c = list[i];
    int d = HexDigit(c);
    if (d >= 0) {
      if (high < 0) {
        high = d;
      } else if (!digits) {
        *bytes += static_cast<char>(high * 16 + d);
        digits = true;
      } else {
        return false;  // three digits
      }
    } else if (c == ',') {
      if (high < 0 || !digits) return false;
      high = -1;
      digits = false;
    } else if (c != '\\' && c != '\r' && c != '\n' && c != ' ' && c != '\t') {
      return false;
    }
  }
  return high < 0 || digits;
}

std::string HexList(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ',';
    out += kDigits[static_cast<unsigned char>(bytes[i]) >> 4];
    out += kDigits[static_cast<unsigned char>(bytes[i]) & 15];
  }
  return out;
}

// The 5.00 form of one logical line (continuations joined): string-typed
// hex data re-encoded, everything else as it stands.
std::string ConvertLine(const std::string& line) {
  size_t eq = std::string::npos;
  // The value's name is quoted (or @): the first "=" outside quotes.
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '\\') {
      ++i;
    } else if (line[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && line[i] == '=') {
      eq = i;
      break;
    } else if (!quoted && IsLeadByte(static_cast<unsigned char>(line[i]))) {
      ++i;
    }
  }
  if (eq == std::string::npos) return line;
  const std::string data = line.substr(eq + 1);
  for (const char* type : {"hex(1):", "hex(2):", "hex(7):"}) {
    if (data.compare(0, 7, type) != 0) continue;
    std::string bytes;
    if (!ParseHexList(data.substr(7), &bytes)) return line;
    std::string wide = AnsiToUtf16Bytes(bytes);
    return line.substr(0, eq + 1) + type + HexList(wide);
  }
  return line;
}
}  // namespace

std::string RegistryScriptAsUnicode(const std::string& text) {
  const size_t n = sizeof kHeader4 - 1;
  if (text.compare(0, n, kHeader4) != 0 ||
      (text.size() > n && text[n] != '\r' && text[n] != '\n'))
    return std::string();
  std::string out = kHeader5;
  size_t pos = n;
  while (pos < text.size()) {
    // A logical line runs on past a line end that follows a "\".
    size_t end = pos;
    for (;;) {
      end = text.find('\n', end);
      if (end == std::string::npos) {
        end = text.size();
        break;
      }
      size_t back = end;
      if (back > pos && text[back - 1] == '\r') --back;
      if (back > pos && text[back - 1] == '\\') {
        ++end;
        continue;
      }
      break;
    }
    std::string line = text.substr(pos, end - pos);
    std::string ending;
    if (end < text.size()) ending = "\n";
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      ending = "\r\n";
    }
    out += ConvertLine(line) + ending;
    pos = end < text.size() ? end + 1 : end;
  }
  return "\xFF\xFE" + AnsiToUtf16Bytes(out);
}

}  // namespace platform
