#include <windows.h>
#include "platform/file.h"
#include "platform/held_file.h"
#include "platform/wide.h"
#include "platform/win32/link_handle.h"
#include "platform/win32/link_walk.h"

namespace platform {
namespace {
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// FILETIME counts 100 ns steps from 1601; calendar time seconds from 1970.
const int64_t kEpochDiff = 11644473600LL;
int64_t ToCalendar(const FILETIME& ft) {
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(u.QuadPart / 10000000ULL) - kEpochDiff;
}
FILETIME ToFileTime(int64_t t) {
  ULARGE_INTEGER u;
  u.QuadPart = static_cast<ULONGLONG>(t + kEpochDiff) * 10000000ULL;
  FILETIME ft;
  ft.dwLowDateTime = u.LowPart;
  ft.dwHighDateTime = u.HighPart;
  return ft;
}
}  // namespace

namespace {
thread_local bool t_made = false;
}  // namespace

bool LastOpenMadeFile() { return t_made; }

FileHandle::~FileHandle() { Close(); }

bool FileHandle::Open(const std::string& path, FileAccess access, FileShare share, bool create,
                      bool truncate, int* error, bool refuseLinks) {
  Close();
  // A held file is read through its hold, never by a name others can swap.
  intptr_t held = -1;
  if (ReopenHeld(path, access, truncate, &held)) {
    if (held == -1) {
      if (error) *error = static_cast<int>(GetLastError());
      return false;
    }
    h_ = held;
    t_made = false;
    return true;
  }
  DWORD acc = 0;
  if (access & kAccessRead) acc |= GENERIC_READ;
  if (access & kAccessWrite) acc |= GENERIC_WRITE;
  DWORD sh = share == kShareExclusive   ? 0
             : share == kShareDenyWrite ? FILE_SHARE_READ
             : share == kShareDenyRead  ? FILE_SHARE_WRITE
                                        : FILE_SHARE_READ | FILE_SHARE_WRITE;
  // A link's file is cut only once it is known to be no link.
  const bool cutLater = truncate && refuseLinks;
  DWORD disp = create ? (truncate && !cutLater ? CREATE_ALWAYS : OPEN_ALWAYS)
                      : (truncate && !cutLater ? TRUNCATE_EXISTING : OPEN_EXISTING);
  DWORD attrs = FILE_ATTRIBUTE_NORMAL | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE h = CreateFileW(Wide(path).c_str(), acc, sh, nullptr, disp, attrs, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = static_cast<int>(GetLastError());
    return false;
  }
  const bool existed = !create || GetLastError() == ERROR_ALREADY_EXISTS;
  const bool made = !existed;
  DWORD failure = 0;
  if (refuseLinks && existed && HandleIsLink(h)) {
    failure = ERROR_CANT_ACCESS_FILE;
  } else if (cutLater && existed && !SetEndOfFile(h)) {
    failure = GetLastError();
  }
  if (failure) {
    CloseHandle(h);
    if (error) *error = static_cast<int>(failure);
    return false;
  }
  h_ = reinterpret_cast<intptr_t>(h);
  t_made = made;
  return true;
}

bool FileHandle::OpenLinkFree(const std::string& path, FileAccess access, FileShare share, bool create,
                              bool truncate, int* error, bool* linked) {
  Close();
  if (linked) *linked = false;
  DWORD acc = (access & kAccessRead ? GENERIC_READ : 0) | (access & kAccessWrite ? GENERIC_WRITE : 0);
  DWORD sh = share == kShareExclusive   ? 0
             : share == kShareDenyWrite ? FILE_SHARE_READ
             : share == kShareDenyRead  ? FILE_SHARE_WRITE
                                        : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h = INVALID_HANDLE_VALUE;
  bool made = false;
  DWORD failure = 0;
  // Cut only once the file is known to be the one meant; a new one is empty.
  if (OpenInFolder(path, acc, sh, create, &h, &made, &failure) == Reach::kDone) {
    failure = 0;
    if (truncate && !made && !SetEndOfFile(h)) failure = GetLastError();
  }
  if (failure) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (linked) *linked = failure == ERROR_CANT_ACCESS_FILE;
    if (error) *error = static_cast<int>(failure);
    return false;
  }
  h_ = reinterpret_cast<intptr_t>(h);
  t_made = made;
  return true;
}

void FileHandle::Close() {
  if (h_ != -1) CloseHandle(H(h_));
  h_ = -1;
}

bool FileHandle::IsOpen() const { return h_ != -1; }

int64_t FileHandle::Read(void* buf, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD want = count - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count - done);
    DWORD got = 0;
    if (!ReadFile(H(h_), static_cast<char*>(buf) + done, want, &got, nullptr)) return -1;
    if (got == 0) break;
    done += got;
  }
  return static_cast<int64_t>(done);
}

bool FileHandle::Write(const void* buf, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD want = count - done > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count - done);
    DWORD put = 0;
    if (!WriteFile(H(h_), static_cast<const char*>(buf) + done, want, &put, nullptr) || put == 0)
      return false;
    done += put;
  }
  return true;
}

bool FileHandle::Seek(int64_t offset, SeekFrom from, uint64_t* newPos) {
  LARGE_INTEGER li, out;
  li.QuadPart = offset;
  DWORD method = from == kSeekBegin ? FILE_BEGIN : from == kSeekCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(H(h_), li, &out, method)) return false;
  if (newPos) *newPos = static_cast<uint64_t>(out.QuadPart);
  return true;
}

bool FileHandle::Length(uint64_t* length) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(h_), &li)) return false;
  *length = static_cast<uint64_t>(li.QuadPart);
  return true;
}

bool FileHandle::SetLength(uint64_t length) {
  LARGE_INTEGER cur, zero, target;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(H(h_), zero, &cur, FILE_CURRENT)) return false;
  target.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(H(h_), target, nullptr, FILE_BEGIN) || !SetEndOfFile(H(h_))) return false;
  return SetFilePointerEx(H(h_), cur, nullptr, FILE_BEGIN) != 0;
}

bool FileHandle::TryLock() {
  // A range far past any data, so that reading the file stays possible.
  OVERLAPPED at = {};
  at.OffsetHigh = 0x40000000;
  return h_ != -1 && LockFileEx(H(h_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

bool FileHandle::Flush() { return FlushFileBuffers(H(h_)) != 0; }

bool FileHandle::SetTimes(int64_t ctime, int64_t mtime, int64_t atime) {
  FILETIME c = ToFileTime(ctime), m = ToFileTime(mtime), a = ToFileTime(atime);
  return SetFileTime(H(h_), ctime ? &c : nullptr, atime ? &a : nullptr, mtime ? &m : nullptr) != 0;
}

bool GetFileInfo(const std::string& path, FileInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &d)) return false;
  info->size = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  info->attributes = d.dwFileAttributes;
  info->ctime = ToCalendar(d.ftCreationTime);
  info->mtime = ToCalendar(d.ftLastWriteTime);
  info->atime = ToCalendar(d.ftLastAccessTime);
  return true;
}

bool SetFileTimes(const std::string& path, int64_t ctime, int64_t mtime, int64_t atime) {
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME c = ToFileTime(ctime), m = ToFileTime(mtime), a = ToFileTime(atime);
  BOOL ok = SetFileTime(h, ctime ? &c : nullptr, atime ? &a : nullptr, mtime ? &m : nullptr);
  CloseHandle(h);
  return ok != 0;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  return SetFileAttributesW(Wide(path).c_str(), attributes) != 0;
}

std::string ErrorText(int error) {
  wchar_t buf[1024];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(error), 0, buf, 1024, nullptr);
  while (n > 0 && (buf[n - 1] == L'\n' || buf[n - 1] == L'\r')) --n;
  return Narrow(buf, n);
}

}  // namespace platform
