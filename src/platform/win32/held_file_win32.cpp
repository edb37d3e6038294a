// Held files on Windows: one handle that shares reads alone, with delete
// on close, so the file is nobody else's to change and goes with the
// process however it ends. This process reads it through ReOpenFile on
// that handle, never by name.
#include <windows.h>
#include <mutex>
#include <vector>
#include "platform/held_file.h"
#include "platform/sync.h"
#include "platform/wide.h"
#include "platform/win32/link_handle.h"

namespace platform {
namespace {

struct Held {
  std::wstring name;
  HANDLE h;
};

Mutex g_lock;
// Left alive at exit: the application object removes its files from its
// destructor, after other statics may be gone.
std::vector<Held>& Holds() {
  static auto* holds = new std::vector<Held>;
  return *holds;
}

std::vector<Held>::iterator Find(const std::wstring& name) {
  auto& holds = Holds();
  for (auto it = holds.begin(); it != holds.end(); ++it)
    if (CompareStringOrdinal(it->name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return it;
  return holds.end();
}

bool IsFolder(HANDLE f) {
  BY_HANDLE_FILE_INFORMATION info;
  return !GetFileInformationByHandle(f, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool HoldFile(const std::string& path) {
  const std::wstring name = Wide(path);
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // A link planted in the name's place loses only that name.
  if (HandleIsLink(h) || IsFolder(h) || !SetEndOfFile(h)) {
    CloseHandle(h);
    return false;
  }
  std::lock_guard<Mutex> l(g_lock);
  Holds().push_back({name, h});
  return true;
}

bool IsHeld(const std::string& path) {
  std::lock_guard<Mutex> l(g_lock);
  return Find(Wide(path)) != Holds().end();
}

bool RemoveHeld(const std::string& path) {
  HANDLE h;
  {
    std::lock_guard<Mutex> l(g_lock);
    auto it = Find(Wide(path));
    if (it == Holds().end()) return false;
    h = it->h;
    Holds().erase(it);
  }
  CloseHandle(h);
  return true;
}

bool ReopenHeld(const std::string& path, FileAccess access, bool truncate, intptr_t* handle) {
  std::lock_guard<Mutex> l(g_lock);
  auto it = Find(Wide(path));
  if (it == Holds().end()) return false;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (access & kAccessWrite) {
    // The hold shares no writes, not even with a reopen of itself: the
    // writer (the extraction, alone) gets the hold's own file object.
    if (!DuplicateHandle(GetCurrentProcess(), it->h, GetCurrentProcess(), &h, 0, FALSE,
                         DUPLICATE_SAME_ACCESS) ||
        SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      h = INVALID_HANDLE_VALUE;
    }
  } else {
    // A position of its own; sharing everything with the hold, which
    // itself shares only reads with the rest of the system.
    h = ReOpenFile(it->h, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  }
  if (h == INVALID_HANDLE_VALUE) {
    *handle = -1;
    return true;
  }
  if (truncate && !SetEndOfFile(h)) {
    CloseHandle(h);
    *handle = -1;
    return true;
  }
  *handle = reinterpret_cast<intptr_t>(h);
  return true;
}

bool RemoveUnheldFile(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  HANDLE f = CreateFileW(Wide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;  // in use, or gone
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  const bool removed = !HandleIsLink(f) && !IsFolder(f) &&
                       SetFileInformationByHandle(f, FileDispositionInfo, &disposition, sizeof disposition);
  CloseHandle(f);
  return removed;
}

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  std::wstring pattern = Wide(dir);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    names.push_back(Narrow(fd.cFileName));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}

}  // namespace platform
