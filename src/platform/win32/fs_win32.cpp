#include <windows.h>
#include <io.h>
#include <shlobj.h>
#include "platform/fs.h"

namespace platform {

bool FullPathName(const std::string& path, std::string* full) {
  char buf[MAX_PATH];
  char* part = nullptr;
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, &part);
  if (n == 0 || n >= sizeof buf) return false;
  *full = std::string(buf, n);
  return true;
}

size_t FilePartOffset(const std::string& full) {
  char buf[MAX_PATH];
  char* part = nullptr;
  DWORD n = GetFullPathNameA(full.c_str(), sizeof buf, buf, &part);
  if (n == 0 || n >= sizeof buf || !part || !*part) return std::string::npos;
  return static_cast<size_t>(part - buf);
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }
bool RemoveDir(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }
bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }
bool Access(const std::string& path) { return _access(path.c_str(), 0) == 0; }

bool FindEntry(const std::string& path, bool* isDirectory) {
  // An exact name only: a wildcard would match some other entry.
  if (path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(path.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  if (isDirectory) *isDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

std::string WindowsDirectory() {
  char buf[MAX_PATH];
  UINT n = GetWindowsDirectoryA(buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string SystemDirectory() {
  char buf[MAX_PATH];
  UINT n = GetSystemDirectoryA(buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string ModuleFileName() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string TempPath() {
  char buf[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string TempFileName(const std::string& dir, const std::string& prefix) {
  char buf[MAX_PATH];
  if (!GetTempFileNameA(dir.c_str(), prefix.c_str(), 0, buf)) return std::string();
  return buf;
}

bool SpecialFolderPath(SpecialFolder folder, std::string* path) {
  int csidl = folder == kFolderPrograms ? CSIDL_PROGRAMS
              : folder == kFolderStartup ? CSIDL_STARTUP
              : folder == kFolderDesktop ? CSIDL_DESKTOP
                                         : CSIDL_PROGRAM_FILES;
  char buf[MAX_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, TRUE)) return false;
  *path = buf;
  return true;
}

bool IsWinNT() {
  OSVERSIONINFOA vi;
  ZeroMemory(&vi, sizeof vi);
  vi.dwOSVersionInfoSize = sizeof vi;  // 148: the ANSI record
  return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void SetSandboxRoot(const std::string&) {}
std::string SandboxRoot() { return std::string(); }

}  // namespace platform
