// Windows' link-free walk. From the trusted base, each folder is opened
// relative to the handle of the one above it (the native API's root
// handle), never following a reparse point there, and its handle's final
// path is compared with the path it should have: a link, one that Wine
// follows regardless, or a folder moved away shows up as another final
// path. The folders walked lately stay held, so that the next act nearby
// walks only the names that differ. Held without sharing delete, a folder
// and the chain above it cannot be moved or removed meanwhile, so what an
// act makes new in it needs no look at its final path.
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

// The final path each base had when first opened: a base is the machine's
// or the user's layout, and one that has moved since makes walks refuse.
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
const DWORD kShareHeld = FILE_SHARE_READ | FILE_SHARE_WRITE;

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

// A base, followed as it stands; pinned unless another handle that may
// move or remove it is open.
HANDLE OpenBase(const std::wstring& path, bool* pinned) {
  const DWORD access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE;
  HANDLE h = CreateFileW(path.c_str(), access, kShareHeld, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  *pinned = h != INVALID_HANDLE_VALUE;
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
    h = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return h;
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

namespace {

using NtCreateFileFn = decltype(&NtCreateFile);
using StatusToErrorFn = decltype(&RtlNtStatusToDosError);

const NTSTATUS kNotImplemented = static_cast<NTSTATUS>(0xC0000002L);
const NTSTATUS kNotFound = static_cast<NTSTATUS>(0xC0000034L);
const NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
const NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
const NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056L);
const NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043L);

NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, HANDLE* out, ULONG_PTR* information) {
  static const auto open = reinterpret_cast<NtCreateFileFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
  if (!open) return kNotImplemented;
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

// Made new when `create` (so no name that was there is opened), else the
// one there opened.
NTSTATUS OpenOrMake(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, bool create,
                    ULONG options, HANDLE* out, bool* made) {
  ULONG_PTR info = 0;
  NTSTATUS status = kNameCollision;
  if (create) status = OpenRelative(folder, name, access, share, FILE_CREATE, options, out, &info);
  if (status == kNameCollision) status = OpenRelative(folder, name, access, share, FILE_OPEN, options, out, &info);
  *made = status >= 0 && info == FILE_CREATED;
  return status;
}

// A folder held: its path as walked, its final path when it was opened,
// its handle, when it was last used, and whether it and every folder above
// it to its base are held so that none can move.
struct Held {
  std::wstring path;
  std::wstring final;
  HANDLE h;
  uint64_t used;
  bool pinned;
};
Mutex g_heldLock;
// The folders walked lately, each opened relative to the one above it: a
// package that goes from folder to folder walks only the names that differ.
std::vector<Held*>* g_held = nullptr;
uint64_t g_tick = 0;
const size_t kMaxHeld = 32;

std::vector<Held*>& HeldFolders() {
  if (!g_held) g_held = new std::vector<Held*>();
  return *g_held;
}

Held* AddHeld(const std::wstring& path, const std::wstring& final, HANDLE h, bool pinned) {
  HeldFolders().push_back(new Held{path, final, h, ++g_tick, pinned});
  return HeldFolders().back();
}

Held* FindHeld(const std::wstring& path) {
  for (Held* h : HeldFolders())
    if (SameName(h->path, path)) return h;
  return nullptr;
}

// Lets go of the held folders `drop` names.
template <typename Pred>
void DropHeld(Pred drop) {
  std::vector<Held*>& held = HeldFolders();
  for (size_t i = 0; i < held.size();) {
    if (drop(*held[i])) {
      CloseHandle(held[i]->h);
      delete held[i];
      held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void ReleaseLocked() {
  DropHeld([](const Held&) { return true; });
}

// Whether a is b or a folder above it.
bool AtOrAbove(const std::wstring& a, const std::wstring& b) {
  if (a.size() > b.size()) return false;
  if (!SameName(a, b.substr(0, a.size()))) return false;
  return a.size() == b.size() || b[a.size()] == L'\\' || (!a.empty() && a.back() == L'\\');
}

// Beyond the limit the least used go, of those with no folder held below
// them: what is held keeps its chain held.
void TrimHeld() {
  std::vector<Held*>& held = HeldFolders();
  while (held.size() > kMaxHeld) {
    size_t oldest = held.size();
    for (size_t i = 0; i < held.size(); ++i) {
      bool below = false;
      for (size_t j = 0; j < held.size() && !below; ++j) below = j != i && AtOrAbove(held[i]->path, held[j]->path);
      if (!below && (oldest == held.size() || held[i]->used < held[oldest]->used)) oldest = i;
    }
    CloseHandle(held[oldest]->h);
    delete held[oldest];
    held.erase(held.begin() + static_cast<std::ptrdiff_t>(oldest));
  }
}

// Whether the entry opened by name in the folder `in` is that name itself:
// no link (one this open made was no entry before), and its final path the
// folder's and the name, where the folder now stands. Made new in a pinned
// folder, it can be nowhere else.
Reach CheckIn(const Held& in, HANDLE h, const std::wstring& name, bool folder, bool made) {
  if (made && in.pinned) return Reach::kDone;
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
  return SameName(final, in.final + L"\\" + name) ? Reach::kDone : Reach::kLink;
}

// The trusted base a folder is walked from (the longest trusted folder
// above or at it, else its root), and the names below it.
bool Plan(const std::wstring& folder, std::wstring* base, std::vector<std::wstring>* steps) {
  // A drive's root comes without its separator.
  const size_t root = std::min(RootLength(folder.size() == 2 ? folder + L"\\" : folder), folder.size());
  if (root == 0) return false;
  size_t baseLength = root;
  const std::string narrow = Narrow(folder);
  if (size_t trusted = TrustedPrefix(narrow)) baseLength = std::max(baseLength, Wide(narrow.substr(0, trusted)).size());
  if (baseLength > folder.size()) baseLength = folder.size();
  *base = folder.substr(0, baseLength);
  StripSeparators(base, 0);
  steps->clear();
  for (size_t i = baseLength; i < folder.size();) {
    if (folder[i] == L'\\') {
      ++i;
      continue;
    }
    size_t next = folder.find(L'\\', i);
    if (next == std::wstring::npos) next = folder.size();
    steps->push_back(folder.substr(i, next - i));
    i = next;
  }
  return true;
}

// Opens the base, followed as it stands; a trusted folder not made yet is
// made where its own path leads.
Reach HoldBase(const std::wstring& base, bool create) {
  const std::wstring open = base.size() == 2 ? base + L"\\" : base;
  bool pinned = false;
  HANDLE h = OpenBase(open, &pinned);
  const size_t root = RootLength(open);
  if (h == INVALID_HANDLE_VALUE && create && open.size() > root &&
      (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
    for (size_t i = root; i <= open.size(); ++i)
      if (i == open.size() || open[i] == L'\\') CreateDirectoryW(open.substr(0, i).c_str(), nullptr);
    h = OpenBase(open, &pinned);
  }
  if (h == INVALID_HANDLE_VALUE) return Reach::kFailed;
  std::wstring final = FinalPath(h);
  StripSeparators(&final, 0);
  // A base is the machine's layout: one that moved since it was first
  // opened only makes walks refuse.
  std::wstring first;
  if (final.empty() || (CachedFinal(base, &first) && !SameName(first, final))) {
    CloseHandle(h);
    return Reach::kFailed;
  }
  RememberFinal(base, final);
  AddHeld(base, final, h, pinned);
  return Reach::kDone;
}

// Holds folder (full, without separators at its end), walked from the
// deepest folder held on its way at or below its base, making the folders
// missing on the way when `create`.
Reach HoldFolder(const std::wstring& folder, bool create, Held** out) {
  std::wstring base;
  std::vector<std::wstring> steps;
  if (!Plan(folder, &base, &steps)) return Reach::kFailed;
  std::vector<std::wstring> at(1, base);
  for (const std::wstring& step : steps) at.push_back(at.back() + L"\\" + step);
  // Above the base a trusted folder's link would be refused.
  size_t done = steps.size() + 1;
  Held* in = nullptr;
  while (done > 0 && !(in = FindHeld(at[done - 1]))) --done;
  if (!in) {
    Reach r = HoldBase(base, create);
    if (r != Reach::kDone) return r;
    in = HeldFolders().back();
    done = 1;
  }
  in->used = ++g_tick;
  for (size_t i = done - 1; i < steps.size(); ++i) {
    const std::wstring& name = steps[i];
    const ACCESS_MASK access = FILE_LIST_DIRECTORY | FILE_TRAVERSE;
    HANDLE h = INVALID_HANDLE_VALUE;
    bool made = false;
    bool pinned = in->pinned;
    NTSTATUS status = OpenOrMake(in->h, name, access, kShareHeld, create, FILE_DIRECTORY_FILE, &h, &made);
    if (status == kSharingViolation) {
      // Another handle may move or remove it: held all the same, looked at
      // for every act in it.
      pinned = false;
      status = OpenOrMake(in->h, name, access, kShareAll, create, FILE_DIRECTORY_FILE, &h, &made);
    }
    if (status < 0) {
      // A name that is a link to nothing cannot be opened either.
      return LinkInPath(Narrow(in->path + L"\\" + name)) ? Reach::kLink : Reach::kFailed;
    }
    const Reach r = CheckIn(*in, h, name, true, made);
    if (r != Reach::kDone) {
      CloseHandle(h);
      return r;
    }
    in = AddHeld(in->path + L"\\" + name, in->final + L"\\" + name, h, pinned);
  }
  *out = in;
  return Reach::kDone;
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

// The folder that holds path's last name, in the chain; an act that found
// the name elsewhere than meant (something held may have moved) is tried
// once more from a fresh walk. The act sets `stale` for that.
template <typename Act>
Reach InFolderOf(const std::string& path, Act act) {
  std::wstring full;
  size_t last = 0;
  if (!SplitLast(path, &full, &last)) return Reach::kFailed;
  std::wstring folder = full.substr(0, last - 1);
  StripSeparators(&folder, 0);
  const std::wstring name = full.substr(last);
  Reach r = Reach::kFailed;
  for (int fresh = 0; fresh < 2; ++fresh) {
    if (fresh) ReleaseLocked();
    bool stale = true;
    Held* in = nullptr;
    r = HoldFolder(folder, false, &in);
    if (r == Reach::kDone) r = act(*in, name, full, &stale);
    if (r == Reach::kDone || !stale) break;
  }
  TrimHeld();
  return r;
}

}  // namespace

Reach OpenInFolder(const std::string& path, ACCESS_MASK access, ULONG share, bool create, HANDLE* out, bool* made,
                   DWORD* error) {
  *out = INVALID_HANDLE_VALUE;
  *made = false;
  *error = ERROR_PATH_NOT_FOUND;
  std::lock_guard<Mutex> hold(g_heldLock);
  Reach r = InFolderOf(path, [&](const Held& in, const std::wstring& name, const std::wstring&, bool* stale) {
    HANDLE h = INVALID_HANDLE_VALUE;
    const NTSTATUS status = OpenOrMake(in.h, name, access, share, create, FILE_NON_DIRECTORY_FILE, &h, made);
    if (status < 0) {
      *error = ErrorOf(status);
      // Not there, or no folder: the held folder may be another by now.
      *stale = status == kNotFound || status == kPathNotFound || status == kDeletePending;
      return Reach::kFailed;
    }
    const Reach checked = CheckIn(in, h, name, false, *made);
    if (checked != Reach::kDone) {
      // Never deleted here: Wine deletes by the name that was refused.
      CloseHandle(h);
      return checked;
    }
    *out = h;
    *error = 0;
    return checked;
  });
  if (r == Reach::kLink) *error = ERROR_CANT_ACCESS_FILE;
  return r;
}

void ReleaseHeldFolder() {
  std::lock_guard<Mutex> hold(g_heldLock);
  ReleaseLocked();
}

Reach MakeFoldersLinkFree(const std::string& dir) {
  std::string narrow;
  if (dir.empty() || dir.find_first_of("*?") != std::string::npos || !FullPathName(dir, &narrow))
    return Reach::kFailed;
  std::wstring full = Wide(narrow);
  StripSeparators(&full, RootLength(full));
  StripSeparators(&full, 0);
  std::lock_guard<Mutex> hold(g_heldLock);
  Held* in = nullptr;
  Reach r = HoldFolder(full, true, &in);
  if (r != Reach::kDone) {
    ReleaseLocked();
    r = HoldFolder(full, true, &in);
  }
  TrimHeld();
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

Reach RemoveFolderLinkFree(const std::string& dir) {
  std::lock_guard<Mutex> hold(g_heldLock);
  // Held, the folder's removal would stay pending: it and what is held
  // below it are let go; its parent is what the removal goes through.
  std::wstring full;
  size_t last = 0;
  if (!SplitLast(dir, &full, &last)) return Reach::kFailed;
  DropHeld([&](const Held& h) { return AtOrAbove(full, h.path); });
  return InFolderOf(dir, [&](const Held& in, const std::wstring& name, const std::wstring& whole, bool* stale) {
    HANDLE f = INVALID_HANDLE_VALUE;
    ULONG_PTR info = 0;
    if (OpenRelative(in.h, name, DELETE, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, &f, &info) < 0) return Reach::kFailed;
    Reach r = CheckIn(in, f, name, true, false);
    *stale = r != Reach::kDone;
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    // Windows refuses the mark for a folder that is not empty; Wine takes
    // it and keeps the folder, which is looked at after.
    if (r == Reach::kDone && !SetFileInformationByHandle(f, FileDispositionInfo, &disposition, sizeof disposition))
      r = Reach::kFailed;
    CloseHandle(f);
    if (r == Reach::kDone && GetFileAttributesW(whole.c_str()) != INVALID_FILE_ATTRIBUTES) r = Reach::kFailed;
    return r;
  });
}

}  // namespace platform
