#include <iconv.h>
#include <cerrno>
#include "platform/codepage.h"

namespace platform {
namespace {
std::string Convert(const std::string& in, const char* to, const char* from, const char* bad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return in;
  std::string out;
  out.reserve(in.size() * 2);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buf[4096];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, dst - buf);
    if (r == (size_t)-1 && errno != E2BIG) {
      out += bad;  // an invalid or cut sequence: mark it, skip one byte
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return out;
}
}  // namespace

std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, "UTF-8", "CP936", "\xEF\xBF\xBD"); }
std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, "CP936", "UTF-8", "?"); }

}  // namespace platform
