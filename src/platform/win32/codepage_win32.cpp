#include <windows.h>
#include "platform/codepage.h"
#include "platform/gb18030.h"
#include "platform/wide.h"

namespace platform {
namespace {
const UINT kGbk = 936;

void AppendCodePoint(std::wstring* out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    *out += static_cast<wchar_t>(0xD800 + (cp >> 10));
    *out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  } else {
    *out += static_cast<wchar_t>(cp);
  }
}

void AppendGbk(std::wstring* out, const char* p, size_t n) {
  if (n == 0) return;
  int wn = MultiByteToWideChar(kGbk, 0, p, static_cast<int>(n), nullptr, 0);
  if (wn <= 0) return;
  size_t at = out->size();
  out->resize(at + wn);
  MultiByteToWideChar(kGbk, 0, p, static_cast<int>(n), &(*out)[at], wn);
}

// The GBK bytes of w, or false when code page 936 lacks one of its
// characters (no best-fit stand-ins: "ß" is not "s").
bool ToGbk(const wchar_t* w, size_t n, std::string* out) {
  if (n == 0) return true;
  BOOL lossy = FALSE;
  int len = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, w, static_cast<int>(n), nullptr, 0, nullptr, &lossy);
  if (len <= 0 || lossy) return false;
  size_t at = out->size();
  out->resize(at + len);
  WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, w, static_cast<int>(n), &(*out)[at], len, nullptr, nullptr);
  return true;
}
}  // namespace

bool IsLeadByte(BYTE b) { return b >= 0x81 && b <= 0xFE; }

std::wstring Wide(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t run = 0, i = 0;
  while (i < text.size()) {
    if (gb18030::IsFourByte(p + i, text.size() - i)) {
      AppendGbk(&out, text.data() + run, i - run);
      uint32_t cp = gb18030::DecodeFourByte(p + i);
      // A character GBK holds has one spelling: its GBK bytes.
      std::wstring one;
      if (cp != gb18030::kInvalid) AppendCodePoint(&one, cp);
      std::string gbk;
      if (cp == gb18030::kInvalid || ToGbk(one.data(), one.size(), &gbk)) one = L"\xFFFD";
      out += one;
      i += 4;
      run = i;
    } else {
      i += IsLeadByte(p[i]) && i + 1 < text.size() ? 2 : 1;
    }
  }
  AppendGbk(&out, text.data() + run, text.size() - run);
  return out;
}

std::wstring Wide(const char* text) { return Wide(std::string(text ? text : "")); }

std::string Narrow(const wchar_t* w, size_t n) {
  std::string out;
  if (ToGbk(w, n, &out)) return out;
  // Character by character: GBK where it holds one, four bytes where not.
  out.clear();
  for (size_t i = 0; i < n;) {
    size_t len = (w[i] >= 0xD800 && w[i] < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) ? 2 : 1;
    if (!ToGbk(w + i, len, &out)) {
      uint32_t cp = len == 2 ? 0x10000 + ((w[i] - 0xD800u) << 10) + (w[i + 1] - 0xDC00u) : w[i];
      unsigned char four[4];
      gb18030::EncodeFourByte(cp, four);
      out.append(reinterpret_cast<char*>(four), 4);
    }
    i += len;
  }
  return out;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }
std::string Narrow(const wchar_t* text) { return text ? Narrow(text, wcslen(text)) : std::string(); }

std::string AnsiToUtf8(const std::string& ansi) {
  std::wstring w = Wide(ansi);
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  if (utf8.empty()) return std::string();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
  return Narrow(w);
}

}  // namespace platform
