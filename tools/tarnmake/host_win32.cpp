#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include "platform/sync.h"
#include <set>
#include "host.h"
#include "engine/target_path.h"
#include "platform/codepage.h"
#include "platform/wide.h"

namespace host {

namespace {
UINT g_savedCodePage = 0;
}

// The console's code page outlives us: put the old one back at exit.
void InitConsole() {
  g_savedCodePage = GetConsoleOutputCP();
  if (g_savedCodePage && SetConsoleOutputCP(CP_UTF8))
    std::atexit([] { SetConsoleOutputCP(g_savedCodePage); });
  // The runtime leaves a redirected stdout unbuffered, and Wine's runtime
  // then asks the system about the handle for every character: a report of
  // a thousand files cost more than installing them. The writers flush at
  // the end of each line, so lines still leave whole and in order. Asked of
  // the console, not _isatty, which takes NUL and every device for one.
  DWORD mode;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

namespace {
std::string ToUtf8(const wchar_t* w) {
  int len = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string out(len > 0 ? static_cast<size_t>(len) : 1, '\0');
  if (len > 0) WideCharToMultiByte(CP_UTF8, 0, w, -1, &out[0], len, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}
}  // namespace

// The command line as Windows holds it, in UTF-16: argv would be the code
// page's, with "?" for whatever that lacks.
std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> out;
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wide) {
    for (int i = 0; i < n; ++i) out.push_back(ToUtf8(wide[i]));
    LocalFree(wide);
    return out;
  }
  // Not parsed: argv is what there is, in the code page.
  for (int i = 0; i < argc; ++i) {
    int len = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
    std::wstring w(len > 0 ? static_cast<size_t>(len) : 1, L'\0');
    if (len > 0) MultiByteToWideChar(CP_ACP, 0, argv[i], -1, &w[0], len);
    out.push_back(ToUtf8(w.c_str()));
  }
  return out;
}

void BinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalWidth(std::FILE*) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

std::string AbsolutePath(const std::string& path) {
  std::wstring buf(32768, L'\0');
  DWORD n = GetFullPathNameW(platform::Wide(path).c_str(), 32768, &buf[0], nullptr);
  if (n == 0 || n >= 32768) return std::string();
  return platform::Narrow(buf.data(), n);
}

bool ChangeDirectory(const std::string& dir) {
  return SetCurrentDirectoryW(platform::Wide(dir).c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(platform::Wide(from).c_str(), platform::Wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
}

bool SamePath(const std::string& a, const std::string& b) {
  std::string fa = AbsolutePath(a), fb = AbsolutePath(b);
  return !fa.empty() && lstrcmpiW(platform::Wide(fa).c_str(), platform::Wide(fb).c_str()) == 0;
}

std::string NewTempFile(const std::string& dir) {
  wchar_t tmp[MAX_PATH + 1];
  std::wstring d = platform::Wide(dir);
  if (d.empty()) {
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    if (n == 0 || n > MAX_PATH) return std::string();
    d.assign(tmp, n);
  }
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(d.c_str(), L"tmk", 0, name) == 0) return std::string();
  return platform::Narrow(name);
}

PathKind Classify(const std::string& path, bool followLinks) {
  // Devices answer to their names in every folder, and "\\.\" names
  // pipes and devices.
  size_t cut = path.find_last_of("\\/:");
  std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  if (IsDeviceName(last) || path.compare(0, 4, "\\\\.\\") == 0) return PathKind::kOther;
  DWORD attr = GetFileAttributesW(platform::Wide(path).c_str());
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
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(platform::Wide(dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::wstring w = fd.cFileName;
    if (w == L"." || w == L"..") continue;
    std::string name = platform::Narrow(w);
    // A name that does not come back is not this file's (a stray surrogate).
    (platform::Wide(name) == w ? names : strays)->push_back(name);
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
// Wide already: the handler converts nothing.
std::set<std::wstring> g_stopPaths;

// Runs on a thread of its own while the program goes on; a file still open
// there cannot be deleted, so this is best effort.
BOOL WINAPI OnStop(DWORD) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  for (const std::wstring& p : g_stopPaths) DeleteFileW(p.c_str());
  return FALSE;
}
}  // namespace

void RemoveOnStop(const std::string& path) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  if (g_stopPaths.empty()) SetConsoleCtrlHandler(OnStop, TRUE);
  g_stopPaths.insert(platform::Wide(path));
}

void ForgetOnStop(const std::string& path) {
  std::lock_guard<platform::Mutex> l(g_stopLock);
  g_stopPaths.erase(platform::Wide(path));
}

std::string HostName(const std::string& component) {
  std::string out = component;
  for (size_t i = 0; i < out.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '<' || out[i] == '>') out[i] = '_';
  }
  return out;
}

}  // namespace host
