#include <cstdint>
#include "platform/codepage.h"
#include "platform/gb18030.h"
#include "platform/wide.h"

namespace platform {

bool HasFourByte(const std::string& ansi) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(ansi.data());
  for (size_t i = 0; i < ansi.size();) {
    if (gb18030::IsFourByte(p + i, ansi.size() - i)) return true;
    i += IsLeadByte(p[i]) && i + 1 < ansi.size() ? 2 : 1;
  }
  return false;
}

std::string AnsiToUtf16Bytes(const std::string& ansi) {
  const std::wstring w = Wide(ansi);
  std::string out;
  out.reserve(w.size() * 2);
  auto unit = [&out](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (wchar_t c : w) {
    uint32_t cp = static_cast<uint32_t>(c);
    if (cp >= 0x10000) {  // a code point in a 32-bit wchar_t
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

}  // namespace platform
