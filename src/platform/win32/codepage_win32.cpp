#include <windows.h>
#include <vector>
#include "platform/codepage.h"

namespace platform {
namespace {
std::string Recode(const std::string& in, UINT from, UINT to) {
  if (in.empty()) return in;
  int wn = MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  std::vector<wchar_t> w(wn > 0 ? wn : 1);
  MultiByteToWideChar(from, 0, in.data(), static_cast<int>(in.size()), w.data(), wn);
  int n = WideCharToMultiByte(to, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(to, 0, w.data(), wn, &out[0], n, nullptr, nullptr);
  return out;
}
}  // namespace
std::string AnsiToUtf8(const std::string& ansi) { return Recode(ansi, CP_ACP, CP_UTF8); }
std::string Utf8ToAnsi(const std::string& utf8) { return Recode(utf8, CP_UTF8, CP_ACP); }
}  // namespace platform
