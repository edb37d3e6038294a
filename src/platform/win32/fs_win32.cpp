// msvcrt's snprintf, as in afx/cstring.cpp.
#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>
#include <windows.h>
#include <io.h>
#include <cstdio>
#include <shlobj.h>
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/held_file.h"
#include "platform/codepage.h"
#include "platform/wide.h"
#include "platform/win32/link_handle.h"

namespace platform {

bool FullPathName(const std::string& path, std::string* full) {
  wchar_t buf[MAX_PATH];
  wchar_t* part = nullptr;
  DWORD n = GetFullPathNameW(Wide(path).c_str(), MAX_PATH, buf, &part);
  if (n == 0 || n >= MAX_PATH) return false;
  *full = Narrow(buf, n);
  return full->size() < MAX_PATH;
}

size_t FilePartOffset(const std::string& full) {
  wchar_t buf[MAX_PATH];
  wchar_t* part = nullptr;
  DWORD n = GetFullPathNameW(Wide(full).c_str(), MAX_PATH, buf, &part);
  if (n == 0 || n >= MAX_PATH || !part || !*part) return std::string::npos;
  return Narrow(buf, static_cast<size_t>(part - buf)).size();
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0; }
bool RemoveDir(const std::string& path) {
  ReleaseHeldFolder();
  return RemoveDirectoryW(Wide(path).c_str()) != 0;
}
bool RemoveFile(const std::string& path) {
  return RemoveHeld(path) || DeleteFileW(Wide(path).c_str()) != 0;
}
bool Access(const std::string& path) { return _waccess(Wide(path).c_str(), 0) == 0; }

bool FindEntry(const std::string& path, bool* isDirectory) {
  // An exact name only: a wildcard would match some other entry.
  if (path.find_first_of("*?") != std::string::npos) return false;
  const std::wstring wide = Wide(path);
  // Whether an entry is there is told by its attributes, without the
  // listing of its folder that Wine opens a handle for; a root, a name
  // ending in a separator, and one whose attributes will not say (a file in
  // use) are looked for in the listing.
  WIN32_FILE_ATTRIBUTE_DATA attr;
  if (wide.size() > 3 && wide.back() != L'\\' && wide.back() != L'/') {
    if (GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attr)) {
      if (isDirectory) *isDirectory = (attr.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  }
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(wide.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  if (isDirectory) *isDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

namespace {
bool IsLinkTag(DWORD tag) { return tag == 0 || IsReparseTagNameSurrogate(tag); }
}  // namespace

// The standard record holds the count without the volume's serial number,
// which Wine fetches from another process for every file.
DWORD LinkCount(HANDLE f) {
  FILE_STANDARD_INFO standard;
  return GetFileInformationByHandleEx(f, FileStandardInfo, &standard, sizeof standard)
             ? standard.NumberOfLinks
             : 0;
}

bool HandleIsLink(HANDLE f) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (GetFileInformationByHandleEx(f, FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(tag.ReparseTag))
    return true;
  return LinkCount(f) > 1;
}

namespace {
// 1 a link (a junction or symbolic link: a reparse point that stands for
// another name; or, for the final name, a file of several names), 0 a plain
// entry, -1 nothing there. Other reparse points (cloud files, dedup) are
// the file itself.
int LinkState(const std::string& path, bool last) {
  // The attributes come without opening anything (the parent folder's
  // listing, which the tag needs, costs a handle per step of every path).
  const std::wstring wide = Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA attr;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attr)) return -1;
  if (attr.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    WIN32_FIND_DATAW fd;
    ZeroMemory(&fd, sizeof fd);
    HANDLE h = FindFirstFileW(wide.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 1;
    FindClose(h);
    // Windows names the kind in the tag; Wine marks a linked folder but
    // leaves the tag unset, and an unknown kind is taken for a link.
    if (IsLinkTag(fd.dwReserved0)) return 1;
  }
  if (!last || (attr.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  HANDLE f = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  bool several = LinkCount(f) > 1;
  CloseHandle(f);
  return several ? 1 : 0;
}

bool HasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }
}  // namespace

bool LinkInPath(const std::string& path) {
  std::string full;
  if (HasWildcard(path) || !FullPathName(path, &full)) return false;
  while (full.size() > 3 && full.back() == '\\' && !IsLeadByte(static_cast<BYTE>(full[full.size() - 2])))
    full.pop_back();
  // Past the root: "C:\" or "\\server\share\".
  size_t i = 3;
  if (full.compare(0, 2, "\\\\") == 0) {
    i = full.find('\\', 2);
    i = i == std::string::npos ? full.size() : full.find('\\', i + 1);
    if (i == std::string::npos) return false;
    ++i;
  }
  // Past a folder the machine's layout places (links followed there).
  if (size_t trusted = TrustedPrefix(full)) i = trusted + 1 > i ? trusted + 1 : i;
  for (; i <= full.size(); ++i) {
    if (i < full.size() && IsLeadByte(static_cast<BYTE>(full[i]))) {
      ++i;
      continue;
    }
    if (i != full.size() && full[i] != '\\') continue;
    int state = LinkState(full.substr(0, i), i == full.size());
    if (state < 0) return false;
    if (state > 0) return true;
  }
  return false;
}

bool IsLinkedName(const std::string& path) {
  return !HasWildcard(path) && LinkState(path, true) > 0;
}

namespace {
bool FileIndex(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE f = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(f, info) != 0;
  CloseHandle(f);
  return ok;
}
}  // namespace

bool RemovePlainFile(const std::string& path, bool* linked) {
  *linked = false;
  if (HasWildcard(path)) return false;
  HANDLE f = CreateFileW(Wide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  *linked = HandleIsLink(f);
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  const bool removed =
      !*linked && SetFileInformationByHandle(f, FileDispositionInfo, &disposition, sizeof disposition);
  CloseHandle(f);
  return removed;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return FileIndex(a, &ia) && FileIndex(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool RemoveAtRestart(const std::string& path) {
  // Only a plain file: a folder now standing where a file was holds what
  // the user put there, and a restart delete of it would be a lie (it
  // fails when the folder is not empty) or take a link's target.
  if (HasWildcard(path)) return false;
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return false;
  return MoveFileExW(wide.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool RenameOver(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// A named mutex per file (the folded full path, hashed: mutex names take no
// "\"); an abandoned one is held all the same.
PathLock::PathLock(const std::string& path) {
  std::string full = path;
  FullPathName(path, &full);
  uint64_t hash = 14695981039346656037ull;
  for (char c : full) {
    char f = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    hash = (hash ^ static_cast<BYTE>(f)) * 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "TarnSetupFile.%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash));
  HANDLE m = CreateMutexA(nullptr, FALSE, name);
  if (!m) return;
  WaitForSingleObject(m, INFINITE);
  h_ = reinterpret_cast<intptr_t>(m);
}

PathLock::~PathLock() {
  if (h_ == -1) return;
  HANDLE m = reinterpret_cast<HANDLE>(h_);
  ReleaseMutex(m);
  CloseHandle(m);
}

// Folders of the system come as Windows holds them, in any language.
std::string WindowsDirectory() {
  wchar_t buf[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return n && n < MAX_PATH ? Narrow(buf, n) : std::string();
}

std::string SystemDirectory() {
  wchar_t buf[MAX_PATH];
  UINT n = GetSystemDirectoryW(buf, MAX_PATH);
  return n && n < MAX_PATH ? Narrow(buf, n) : std::string();
}

std::string ModuleFileName() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return n && n < MAX_PATH ? Narrow(buf, n) : std::string();
}

std::string TempPath() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, buf);
  return n && n < MAX_PATH ? Narrow(buf, n) : std::string();
}

std::string TempFileName(const std::string& dir, const std::string& prefix) {
  wchar_t buf[MAX_PATH];
  if (!GetTempFileNameW(Wide(dir).c_str(), Wide(prefix).c_str(), 0, buf)) return std::string();
  return Narrow(buf);
}

bool SpecialFolderPath(SpecialFolder folder, std::string* path) {
  int csidl = folder == kFolderPrograms ? CSIDL_PROGRAMS
              : folder == kFolderStartup ? CSIDL_STARTUP
              : folder == kFolderDesktop ? CSIDL_DESKTOP
                                         : CSIDL_PROGRAM_FILES;
  wchar_t buf[MAX_PATH];
  if (!SHGetSpecialFolderPathW(nullptr, buf, csidl, TRUE)) return false;
  *path = Narrow(buf);
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
