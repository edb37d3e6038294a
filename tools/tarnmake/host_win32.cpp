#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include "platform/sync.h"
#include <set>
#include "host.h"
#include "engine/target_path.h"

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

bool ArgFitsAnsi(const std::string&) { return true; }

void BinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }

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

PathKind Classify(const std::string& path, bool followLinks) {
  // Devices answer to their names in every folder, and "\\.\" names
  // pipes and devices.
  size_t cut = path.find_last_of("\\/:");
  std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  if (IsDeviceName(last) || path.compare(0, 4, "\\\\.\\") == 0) return PathKind::kOther;
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) {
    DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                       : PathKind::kError;
  }
  if (!followLinks && (attr & FILE_ATTRIBUTE_REPARSE_POINT)) return PathKind::kLink;
  if (attr & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kFolder;
  if (attr & FILE_ATTRIBUTE_DEVICE) return PathKind::kOther;
  return PathKind::kFile;
}

bool ListFolder(const std::string& dir, std::vector<std::string>* names,
                std::vector<std::string>* strays) {
  names->clear();
  strays->clear();
  // The wide API sees the real names; the ANSI one would hand back "?" for
  // what the code page lacks.
  std::string pattern = dir + "\\*";
  int n = MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, pattern.c_str(), -1, &wide[0], n);
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(wide.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::wstring w = fd.cFileName;
    if (w == L"." || w == L"..") continue;
    BOOL lossy = FALSE;
    int len = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.c_str(), -1, nullptr, 0,
                                  nullptr, &lossy);
    std::string ansi(len > 0 ? static_cast<size_t>(len) : 1, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.c_str(), -1, &ansi[0], len, nullptr,
                        &lossy);
    ansi.resize(std::strlen(ansi.c_str()));
    (lossy || len <= 0 ? strays : names)->push_back(ansi);
  } while (FindNextFileW(h, &fd));
  bool ok = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(h);
  return ok;
}

std::string CanonicalPath(const std::string& path) {
  if (Classify(path, true) == PathKind::kMissing) return std::string();
  return AbsolutePath(path);
}

namespace {
platform::Mutex g_stopLock;
std::set<std::string> g_stopPaths;

// Runs on a thread of its own while the program goes on; a file still open
// there cannot be deleted, so this is best effort.
BOOL WINAPI OnStop(DWORD) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  for (const std::string& p : g_stopPaths) DeleteFileA(p.c_str());
  return FALSE;
}
}  // namespace

void RemoveOnStop(const std::string& path) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  if (g_stopPaths.empty()) SetConsoleCtrlHandler(OnStop, TRUE);
  g_stopPaths.insert(path);
}

void ForgetOnStop(const std::string& path) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  g_stopPaths.erase(path);
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
