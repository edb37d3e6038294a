// Windows' link-free walk. Opening relative to a folder handle needs the
// native API; instead each step is opened by its whole name without
// following a reparse point there, then its handle's final path is
// compared with the path it should have: a link anywhere on the way, or
// one that Wine follows regardless, shows up as another final path.
#include <windows.h>
#include <winternl.h>
#include <algorithm>
#include <mutex>
#include <utility>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/sync.h"
#include "platform/wide.h"
#include "platform/win32/link_handle.h"
#include "platform/win32/link_walk.h"

namespace platform {
namespace {

// The final paths of the bases: they are the machine's or the user's
// layout, not the install's, and asking Wine for one costs as much as
// writing a small file. A base that moves later only makes walks refuse.
Mutex g_cacheLock;
std::vector<std::pair<std::wstring, std::wstring>>* g_finals = nullptr;
const size_t kMaxCached = 64;

bool CachedFinal(const std::wstring& base, std::wstring* final) {
  std::lock_guard<Mutex> hold(g_cacheLock);
  if (!g_finals) return false;
  for (const auto& f : *g_finals)
    if (f.first == base) {
      *final = f.second;
      return true;
    }
  return false;
}

void RememberFinal(const std::wstring& base, const std::wstring& final) {
  std::lock_guard<Mutex> hold(g_cacheLock);
  if (!g_finals) g_finals = new std::vector<std::pair<std::wstring, std::wstring>>();
  if (g_finals->size() >= kMaxCached) g_finals->erase(g_finals->begin());
  g_finals->emplace_back(base, final);
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

std::wstring WithoutVerbatim(std::wstring p) {
  if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + p.substr(8);
  if (p.compare(0, 4, L"\\\\?\\") == 0) return p.substr(4);
  return p;
}

void StripSeparators(std::wstring* p, size_t keep) {
  while (p->size() > keep && p->back() == L'\\') p->pop_back();
}

// The length of "C:\" or "\\server\share" at the start, or 0.
size_t RootLength(const std::wstring& p) {
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') return 3;
  if (p.compare(0, 2, L"\\\\") != 0) return 0;
  size_t server = p.find(L'\\', 2);
  if (server == std::wstring::npos) return 0;
  size_t share = p.find(L'\\', server + 1);
  return share == std::wstring::npos ? p.size() : share;
}

HANDLE OpenFolder(const std::wstring& path, DWORD share, bool noFollow) {
  return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE, share, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                     nullptr);
}

}  // namespace

std::wstring FinalPath(HANDLE h) {
  std::wstring buf(MAX_PATH, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    DWORD n = GetFinalPathNameByHandleW(h, &buf[0], static_cast<DWORD>(buf.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::wstring();
    if (n < buf.size()) {
      buf.resize(n);
      return WithoutVerbatim(buf);
    }
    buf.assign(n + 1, L'\0');
  }
  return std::wstring();
}

LinkWalk::~LinkWalk() {
  for (HANDLE h : held_) CloseHandle(h);
}

Reach LinkWalk::Check(HANDLE h, bool folder) const {
  // A folder has one name; its tag alone tells a link.
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!folder) {
    if (HandleIsLink(h)) return Reach::kLink;
  } else if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
    return Reach::kFailed;
  } else if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
             (tag.ReparseTag == 0 || IsReparseTagNameSurrogate(tag.ReparseTag))) {
    return Reach::kLink;
  } else if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Reach::kFailed;
  }
  std::wstring expected = baseFinal_;
  for (const std::wstring& s : steps_) expected += L"\\" + s;
  const std::wstring final = FinalPath(h);
  if (final.empty()) return Reach::kFailed;
  return SameName(final, expected) ? Reach::kDone : Reach::kLink;
}

Reach LinkWalk::ToParent(const std::string& path, bool create, bool removal) {
  std::string narrow;
  if (path.empty() || path.find_first_of("*?") != std::string::npos || !FullPathName(path, &narrow))
    return Reach::kFailed;
  std::wstring full = Wide(narrow);
  const size_t root = RootLength(full);
  if (root == 0) return Reach::kFailed;
  StripSeparators(&full, root);
  size_t baseLength = root;
  if (size_t trusted = TrustedPrefix(narrow)) baseLength = std::max(baseLength, Wide(narrow.substr(0, trusted)).size());
  if (full.size() <= baseLength && removal) {
    // The trusted folder itself: its own name is taken from its parent.
    size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < root - 1 || slash + 1 >= full.size()) return Reach::kFailed;
    baseLength = slash < root ? root : slash;
  }
  base_ = full.substr(0, baseLength);
  if (base_.size() == 2) base_ += L'\\';
  steps_.clear();
  for (size_t i = baseLength; i < full.size();) {
    if (full[i] == L'\\') {
      ++i;
      continue;
    }
    size_t next = full.find(L'\\', i);
    if (next == std::wstring::npos) next = full.size();
    steps_.push_back(full.substr(i, next - i));
    i = next;
  }
  if (removal && steps_.empty()) return Reach::kFailed;

  // Folders are made rarely, and a base may have to be made again.
  if (!create && CachedFinal(base_, &baseFinal_)) return WalkSteps(create);
  HANDLE h = OpenFolder(base_, kShareAll, false);
  if (h == INVALID_HANDLE_VALUE && create && baseLength > root &&
      (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
    // A trusted folder not made yet is made where its own path leads.
    for (size_t i = root; i <= base_.size(); ++i)
      if (i == base_.size() || base_[i] == L'\\') CreateDirectoryW(base_.substr(0, i).c_str(), nullptr);
    h = OpenFolder(base_, kShareAll, false);
  }
  if (h == INVALID_HANDLE_VALUE) return Reach::kFailed;
  held_.push_back(h);
  baseFinal_ = FinalPath(h);
  StripSeparators(&baseFinal_, 0);
  if (baseFinal_.empty()) return Reach::kFailed;
  RememberFinal(base_, baseFinal_);
  return WalkSteps(create);
}

Reach LinkWalk::WalkSteps(bool create) {
  create_ = create;
  // Every step but the last, or all of them for a folder to be made.
  const size_t folders = create ? steps_.size() : steps_.size() - (steps_.empty() ? 0 : 1);
  std::vector<std::wstring> names;
  names.swap(steps_);
  path_ = base_;
  StripSeparators(&path_, 0);
  for (size_t i = 0; i < folders; ++i) {
    steps_.push_back(names[i]);
    path_ += L"\\" + names[i];
    // The folder that holds the final name may be renamed: what is opened
    // in it goes through its handle, not its name.
    const DWORD share = i + 1 == folders ? kShareAll : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE step = OpenFolder(path_, share, true);
    const DWORD missing = step == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (create && (missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND)) {
      if (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return Reach::kFailed;
      step = OpenFolder(path_, share, true);
    }
    if (step == INVALID_HANDLE_VALUE) {
      // A name that is a link to nothing cannot be opened either.
      return LinkInPath(Narrow(path_)) ? Reach::kLink : Reach::kFailed;
    }
    held_.push_back(step);
    Reach r = Check(step, true);
    if (r != Reach::kDone) return r;
  }
  if (folders < names.size()) {
    steps_.push_back(names.back());
    path_ += L"\\" + names.back();
  }
  return Reach::kDone;
}

HANDLE LinkWalk::TakeFolder(std::wstring* final) {
  const size_t folders = create_ || steps_.empty() ? steps_.size() : steps_.size() - 1;
  *final = baseFinal_;
  for (size_t i = 0; i < folders; ++i) *final += L"\\" + steps_[i];
  if (folders > 0 || !held_.empty()) {
    HANDLE h = held_.back();
    held_.pop_back();
    return h;
  }
  // The base's final path came from the cache: it is opened now, and must
  // still be where it was.
  HANDLE h = OpenFolder(base_, kShareAll, false);
  if (h == INVALID_HANDLE_VALUE) return h;
  std::wstring now = FinalPath(h);
  StripSeparators(&now, 0);
  if (!SameName(now, baseFinal_)) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

namespace {

// The folder files were last opened in, held with its final path: products
// put many files in one folder, and walking to it again for each costs
// Wine more than writing a small file.
struct HeldFolder {
  std::wstring path;   // as walked
  std::wstring final;  // its handle's final path then
  HANDLE h;
};
Mutex g_heldLock;
HeldFolder* g_held = nullptr;

void ReleaseLocked() {
  if (!g_held) return;
  CloseHandle(g_held->h);
  delete g_held;
  g_held = nullptr;
}

using NtCreateFileFn = decltype(&NtCreateFile);
using StatusToErrorFn = decltype(&RtlNtStatusToDosError);

NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, HANDLE* out, ULONG_PTR* information) {
  static const auto open = reinterpret_cast<NtCreateFileFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  if (!open) return static_cast<NTSTATUS>(0xC0000002L);  // STATUS_NOT_IMPLEMENTED
  std::wstring copy = name;
  UNICODE_STRING us;
  us.Buffer = &copy[0];
  us.Length = us.MaximumLength = static_cast<USHORT>(copy.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES oa;
  InitializeObjectAttributes(&oa, &us, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io;
  io.Information = 0;
  const NTSTATUS status = open(out, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &oa, &io, nullptr,
                               FILE_ATTRIBUTE_NORMAL, share, disposition,
                               options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  *information = io.Information;
  return status;
}

DWORD ErrorOf(NTSTATUS status) {
  static const auto toError = reinterpret_cast<StatusToErrorFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
  return toError ? toError(status) : ERROR_GEN_FAILURE;
}

const NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);

// Whether an entry opened by name in the held folder is that name itself,
// where the held folder now stands: its final path is the held folder's
// and the name (a folder moved away shows as another, or none on Wine).
// One this open made was no entry before, so it is no link itself.
Reach CheckInHeld(HANDLE h, const std::wstring& name, bool folder, bool made) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!made) {
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return Reach::kFailed;
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (tag.ReparseTag == 0 || IsReparseTagNameSurrogate(tag.ReparseTag)))
      return Reach::kLink;
    if (!folder && LinkCount(h) > 1) return Reach::kLink;
  }
  const std::wstring final = FinalPath(h);
  if (final.empty()) return Reach::kFailed;
  return SameName(final, g_held->final + L"\\" + name) ? Reach::kDone : Reach::kLink;
}

// The final name, opened relative to the held folder's handle: a folder
// swapped for a link cannot redirect the open itself.
Reach OpenInHeld(const std::wstring& name, ACCESS_MASK access, ULONG share, bool create, HANDLE* out, bool* made,
                 DWORD* error) {
  HANDLE h = INVALID_HANDLE_VALUE;
  ULONG_PTR info = 0;
  NTSTATUS status = kNameCollision;
  if (create) status = OpenRelative(g_held->h, name, access, share, FILE_CREATE, FILE_NON_DIRECTORY_FILE, &h, &info);
  if (status == kNameCollision)
    status = OpenRelative(g_held->h, name, access, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE, &h, &info);
  if (status < 0) {
    *error = ErrorOf(status);
    return Reach::kFailed;
  }
  *made = info == FILE_CREATED;
  const Reach r = CheckInHeld(h, name, false, *made);
  if (r != Reach::kDone) {
    // Never deleted here: Wine deletes by the name that was refused.
    CloseHandle(h);
    *error = r == Reach::kLink ? ERROR_CANT_ACCESS_FILE : ERROR_PATH_NOT_FOUND;
    return r;
  }
  *out = h;
  return r;
}

// The folder name made (or found) in the held folder, which it then
// replaces: the files that follow go into it.
Reach MakeInHeld(const std::wstring& path, const std::wstring& name) {
  HANDLE h = INVALID_HANDLE_VALUE;
  ULONG_PTR info = 0;
  const ACCESS_MASK access = FILE_LIST_DIRECTORY | FILE_TRAVERSE;
  NTSTATUS status = OpenRelative(g_held->h, name, access, kShareAll, FILE_CREATE, FILE_DIRECTORY_FILE, &h, &info);
  if (status == kNameCollision)
    status = OpenRelative(g_held->h, name, access, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, &h, &info);
  if (status < 0) return Reach::kFailed;
  const Reach r = CheckInHeld(h, name, true, info == FILE_CREATED);
  if (r != Reach::kDone) {
    CloseHandle(h);
    return r;
  }
  std::wstring final = g_held->final + L"\\" + name;
  ReleaseLocked();
  g_held = new HeldFolder{path, final, h};
  return r;
}

// path in full, without separators at its end, and where its last name
// begins; false for a root or what is no path.
bool SplitLast(const std::string& path, std::wstring* full, size_t* last) {
  std::string narrow;
  if (path.empty() || path.find_first_of("*?") != std::string::npos || !FullPathName(path, &narrow)) return false;
  *full = Wide(narrow);
  const size_t root = RootLength(*full);
  if (root == 0) return false;
  StripSeparators(full, root);
  const size_t slash = full->find_last_of(L'\\');
  if (slash == std::wstring::npos || slash + 1 < root || slash + 1 >= full->size()) return false;
  *last = slash + 1;
  return true;
}

}  // namespace

Reach OpenInFolder(const std::string& path, ACCESS_MASK access, ULONG share, bool create, HANDLE* out, bool* made,
                   DWORD* error) {
  *out = INVALID_HANDLE_VALUE;
  *made = false;
  *error = ERROR_PATH_NOT_FOUND;
  std::wstring full;
  size_t last = 0;
  if (!SplitLast(path, &full, &last)) return Reach::kFailed;
  const std::wstring folder = full.substr(0, last - 1), name = full.substr(last);

  std::lock_guard<Mutex> hold(g_heldLock);
  if (g_held && SameName(g_held->path, folder)) {
    Reach r = OpenInHeld(name, access, share, create, out, made, error);
    if (r == Reach::kDone) return r;
    // A folder moved, removed or made again since: walked afresh, which
    // also tells a link from any other failure.
  }
  ReleaseLocked();
  LinkWalk walk;
  Reach r = walk.ToParent(path, false, true);
  if (r != Reach::kDone) {
    *error = r == Reach::kLink ? ERROR_CANT_ACCESS_FILE : ERROR_PATH_NOT_FOUND;
    return r;
  }
  std::wstring final;
  HANDLE parent = walk.TakeFolder(&final);
  if (parent == INVALID_HANDLE_VALUE) return Reach::kFailed;
  g_held = new HeldFolder{folder, final, parent};
  return OpenInHeld(name, access, share, create, out, made, error);
}

void ReleaseHeldFolder() {
  std::lock_guard<Mutex> hold(g_heldLock);
  ReleaseLocked();
}

Reach MakeFoldersLinkFree(const std::string& dir) {
  std::wstring full;
  size_t last = 0;
  const bool named = SplitLast(dir, &full, &last);
  std::lock_guard<Mutex> hold(g_heldLock);
  if (named && g_held) {
    if (SameName(g_held->path, full)) return Reach::kDone;
    if (SameName(g_held->path, full.substr(0, last - 1)) && MakeInHeld(full, full.substr(last)) == Reach::kDone)
      return Reach::kDone;
  }
  ReleaseLocked();
  LinkWalk walk;
  Reach r = walk.ToParent(dir, true, false);
  if (r != Reach::kDone || !named) return r;
  // The folder made last holds the files that come next.
  std::wstring final;
  HANDLE h = walk.TakeFolder(&final);
  if (h != INVALID_HANDLE_VALUE) g_held = new HeldFolder{full, final, h};
  return r;
}

Reach RemoveFileLinkFree(const std::string& path) {
  HANDLE f;
  bool made;
  DWORD error;
  Reach r = OpenInFolder(path, DELETE, kShareAll, false, &f, &made, &error);
  if (r != Reach::kDone) return r;
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  if (!SetFileInformationByHandle(f, FileDispositionInfo, &disposition, sizeof disposition)) r = Reach::kFailed;
  CloseHandle(f);
  return r;
}

namespace {
// Only a look, to spare the walk where the remove would fail anyway (an
// uninstall tries each folder once per file it held).
bool HoldsEntries(const std::string& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((Wide(dir) + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    const std::wstring name = fd.cFileName;
    found = name != L"." && name != L"..";
  } while (!found && FindNextFileW(h, &fd));
  FindClose(h);
  return found;
}
}  // namespace

Reach RemoveFolderLinkFree(const std::string& dir) {
  ReleaseHeldFolder();
  if (HoldsEntries(dir)) return Reach::kFailed;
  LinkWalk walk;
  Reach r = walk.ToParent(dir, false, true);
  if (r != Reach::kDone) return r;
  HANDLE f = CreateFileW(walk.Path().c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (f == INVALID_HANDLE_VALUE) return Reach::kFailed;
  r = walk.Check(f, true);
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  if (r == Reach::kDone && !SetFileInformationByHandle(f, FileDispositionInfo, &disposition, sizeof disposition))
    r = Reach::kFailed;
  CloseHandle(f);
  // A folder that is not empty may take the mark and stay (Wine does).
  if (r == Reach::kDone && GetFileAttributesW(walk.Path().c_str()) != INVALID_FILE_ATTRIBUTES) r = Reach::kFailed;
  return r;
}

}  // namespace platform
