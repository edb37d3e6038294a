// The string side of the path operations: no file system is touched here
// except through the platform's full-path resolution.
#include "sysint/path_ops.h"
#include "platform/fs.h"

namespace {
// The last character is a "\" of its own, not the trail byte of a
// double-byte character.
bool EndsWithBackslash(const CString& path) {
  return !path.IsEmpty() && path.ReverseFind('\\') == path.GetLength() - 1;
}
}  // namespace

BOOL SplitPath(LPCSTR path, CString& name, CString& directory) {
  name.Empty();
  directory.Empty();
  std::string full;
  if (!path || !platform::FullPathName(path, &full)) return FALSE;
  size_t part = platform::FilePartOffset(full);
  if (part == std::string::npos || part == 0) {
    directory = full;
    return FALSE;
  }
  name = full.substr(part);
  directory = full.substr(0, part - 1);
  return TRUE;
}

CString SplitFirstComponent(CString& path) {
  // Past the "\" of a drive root, so that D:\ stays whole.
  int colon = path.Find(':');
  int start = colon >= 0 ? colon + 2 : 0;
  int sep = start < path.GetLength() ? path.Find('\\', start) : -1;
  if (sep < 0) {
    CString first = path;
    path.Empty();
    return first;
  }
  CString first = path.Left(sep);
  CString rest = path.Mid(sep + 1);
  rest.Trim();
  path = rest;
  return first;
}

BOOL IsDriveRoot(LPCSTR path) { return path && path[0] && path[1] == ':' && path[2] == '\0'; }

BOOL PathExists(LPCSTR path) { return path && platform::Access(path); }

BOOL SetTrailingBackslash(CString& path, BOOL add) {
  if (path.IsEmpty()) return FALSE;
  bool has = EndsWithBackslash(path);
  if (add && !has) path += '\\';
  if (!add && has) path = path.Left(path.GetLength() - 1);
  return TRUE;
}

BOOL IsWinNT() { return platform::IsWinNT(); }
