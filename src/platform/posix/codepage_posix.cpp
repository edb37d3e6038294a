#include <iconv.h>
#include <cerrno>
#include <cstdint>
#include "platform/codepage.h"
#include "platform/gb18030.h"
#include "platform/wide.h"

namespace platform {
namespace {
void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;  // no unpaired surrogates in UTF-8
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// One UTF-8 character at p: its code point and length, or 0 for bytes that
// are not one.
size_t DecodeUtf8(const unsigned char* p, size_t left, uint32_t* cp) {
  if (left == 0) return 0;
  const unsigned char b = p[0];
  size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || n > left) return 0;
  uint32_t v = n == 1 ? b : b & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (p[k] & 0x3F);
  }
  static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[n] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return 0;
  *cp = v;
  return n;
}

// Converts in, appending to *out; false at the first byte that does not
// convert (*done: how many bytes did).
bool Iconv(iconv_t cd, const char* in, size_t n, std::string* out, size_t* done) {
  char* src = const_cast<char*>(in);
  size_t left = n;
  char buf[4096];
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out->append(buf, dst - buf);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
  }
  *done = n - left;
  return left == 0;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Code page 936 holds the character (so its four-byte spelling is not the
// system's).
bool GbkHolds(const Converter& toGbk, uint32_t cp) {
  std::string utf8, gbk;
  AppendUtf8(&utf8, cp);
  size_t done;
  return Iconv(toGbk.get(), utf8.data(), utf8.size(), &gbk, &done);
}
}  // namespace

bool IsLeadByte(BYTE b) { return b >= 0x81 && b <= 0xFE; }

std::string AnsiToUtf8(const std::string& ansi) {
  Converter fromGbk("UTF-8", "CP936"), toGbk("CP936", "UTF-8");
  if (!fromGbk.ok() || !toGbk.ok()) return ansi;
  std::string out;
  out.reserve(ansi.size() * 2);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(ansi.data());
  size_t i = 0;
  while (i < ansi.size()) {
    // The run up to the next four-byte sequence goes through iconv whole.
    size_t end = i;
    while (end < ansi.size() && !gb18030::IsFourByte(p + end, ansi.size() - end))
      end += IsLeadByte(p[end]) && end + 1 < ansi.size() ? 2 : 1;
    if (end > ansi.size()) end = ansi.size();
    while (i < end) {
      size_t done;
      if (Iconv(fromGbk.get(), ansi.data() + i, end - i, &out, &done)) break;
      out += "\xEF\xBF\xBD";  // an invalid or cut sequence: mark it, skip one byte
      i += done + 1;
    }
    i = end;
    if (i < ansi.size()) {
      uint32_t cp = gb18030::DecodeFourByte(p + i);
      AppendUtf8(&out, cp == gb18030::kInvalid || GbkHolds(toGbk, cp) ? 0xFFFD : cp);
      i += 4;
    }
  }
  return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  Converter toGbk("CP936", "UTF-8");
  if (!toGbk.ok()) return utf8;
  std::string out;
  out.reserve(utf8.size());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t i = 0;
  while (i < utf8.size()) {
    size_t done;
    if (Iconv(toGbk.get(), utf8.data() + i, utf8.size() - i, &out, &done)) break;
    i += done;
    uint32_t cp;
    size_t n = DecodeUtf8(p + i, utf8.size() - i, &cp);
    if (n == 0) {
      out += '?';
      ++i;
    } else {
      unsigned char four[4];
      gb18030::EncodeFourByte(cp, four);
      out.append(reinterpret_cast<char*>(four), 4);
      i += n;
    }
  }
  return out;
}

std::wstring Wide(const std::string& text) {
  const std::string utf8 = AnsiToUtf8(text);
  std::wstring out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(p + i, utf8.size() - i, &cp);
    out += static_cast<wchar_t>(n ? cp : 0xFFFD);
    i += n ? n : 1;
  }
  return out;
}

std::wstring Wide(const char* text) { return Wide(std::string(text ? text : "")); }

std::string Narrow(const wchar_t* text, size_t length) {
  std::string utf8;
  for (size_t i = 0; i < length; ++i) AppendUtf8(&utf8, static_cast<uint32_t>(text[i]));
  return Utf8ToAnsi(utf8);
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }
std::string Narrow(const wchar_t* text) {
  size_t n = 0;
  while (text && text[n]) ++n;
  return Narrow(text, n);
}

}  // namespace platform
