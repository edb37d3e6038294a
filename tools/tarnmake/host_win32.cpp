#include <windows.h>
#include <io.h>
#include <cstdlib>
#include "host.h"

namespace host {

namespace {
UINT g_savedCodePage = 0;
}

// The console's code page outlives us: put the old one back at exit.
void InitConsole() {
  g_savedCodePage = GetConsoleOutputCP();
  if (g_savedCodePage && SetConsoleOutputCP(CP_UTF8))
    std::atexit([] { SetConsoleOutputCP(g_savedCodePage); });
}

std::string ArgToAnsi(const std::string& arg) { return arg; }

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalWidth(std::FILE*) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

std::string AbsolutePath(const std::string& path) {
  char buf[32768];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

bool ChangeDirectory(const std::string& dir) { return SetCurrentDirectoryA(dir.c_str()) != 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool SamePath(const std::string& a, const std::string& b) {
  std::string fa = AbsolutePath(a), fb = AbsolutePath(b);
  return !fa.empty() && lstrcmpiA(fa.c_str(), fb.c_str()) == 0;
}

std::string NewTempFile(const std::string& dir) {
  char tmp[MAX_PATH + 1];
  std::string d = dir;
  if (d.empty()) {
    DWORD n = GetTempPathA(sizeof tmp, tmp);
    if (n == 0 || n > sizeof tmp) return std::string();
    d.assign(tmp, n);
  }
  char name[MAX_PATH];
  if (GetTempFileNameA(d.c_str(), "tmk", 0, name) == 0) return std::string();
  return name;
}

std::string HostName(const std::string& component) {
  std::string out = component;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '<' || out[i] == '>') out[i] = '_';
  }
  return out;
}

}  // namespace host
