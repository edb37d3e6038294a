// Removal of single log entries: a file and its emptied folder, a registry
// key with its subkeys, a registry value.
#include "engine/removal.h"
#include "engine/shared_keys.h"
#include <cstring>
#include <string>
#include <vector>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/known_folders.h"
#include "platform/link_free.h"
#include "platform/registry.h"
#include "sysint/path_ops.h"

namespace {

struct RootName {
  const char* name;
  DWORD root;
};
const RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", platform::kRegClassesRoot},
    {"HKEY_CURRENT_CONFIG", platform::kRegCurrentConfig},
    {"HKEY_CURRENT_USER", platform::kRegCurrentUser},
    {"HKEY_LOCAL_MACHINE", platform::kRegLocalMachine},
    {"HKEY_USERS", platform::kRegUsers},
    {"HKEY_PERFORMANCE_DATA", platform::kRegPerformanceData},
    {"HKEY_DYN_DATA", platform::kRegDynData},
};

// Registry key names are at most 255 bytes and paths nest at most 512 deep;
// a deeper tree is not one the registry can hold, so the walk stops there.
const int kMaxDepth = 512;

LONG DeleteTree(platform::RegKey& parent, const std::string& path, int depth) {
  if (depth > kMaxDepth) return platform::kRegAccessDenied;
  platform::RegKey key;
  LONG rc = key.Open(parent, path, platform::kRegReadWrite);
  if (rc != platform::kRegOk) return rc;
  std::string child;
  while (key.EnumKey(0, &child) == platform::kRegOk) {
    rc = DeleteTree(key, child, depth + 1);
    if (rc != platform::kRegOk) return rc;
  }
  key.Close();
  return parent.DeleteSubKey(path);
}

// The parts of a path between separators; a "\" that is a trail byte stays
// in its character.
std::vector<std::string> Components(const std::string& path, const char* separators) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      parts.back() += path.substr(i++, 2);
    } else if (std::strchr(separators, path[i])) {
      parts.emplace_back();
    } else {
      parts.back() += path[i];
    }
  }
  return parts;
}

// The system's own folders hold a product's shortcuts and files but are
// never the product's to remove, even when the uninstall leaves one empty
// (a desktop with no other icon on it), nor are the folders above them.
bool IsSystemFolder(const CString& dir) {
  // Asked once: the shell's folder look-ups are slow, and an uninstall asks
  // for every file.
  static const std::vector<std::string> folders = [] {
    std::vector<std::string> out = platform::KnownFolders();
    // The temporary folder too: a product's files there are not the folder.
    out.push_back(platform::TempPath());
    for (std::string& f : out)
      while (f.size() > 3 && (f.back() == '\\' || f.back() == '/')) f.pop_back();
    return out;
  }();
  const CString inside = dir + "\\";
  for (const std::string& f : folders) {
    if (f.empty()) continue;
    CString folder = f.c_str();
    if (dir.CompareNoCase(folder) == 0) return true;
    if (folder.GetLength() > inside.GetLength() &&
        folder.Left(inside.GetLength()).CompareNoCase(inside) == 0)
      return true;
  }
  return false;
}

struct ParsedEntry {
  DWORD root = 0;
  CString rest;
};

bool ParseEntry(LPCSTR entry, ParsedEntry* out) {
  if (!entry || !*entry) return false;
  out->rest = entry;
  out->root = RegRootFromName(SplitFirstComponent(out->rest));
  return out->root && !out->rest.IsEmpty();
}

LONG DeleteKeyStatus(const ParsedEntry& e) {
  if (IsSharedKey(e.root, e.rest.str())) return platform::kRegAccessDenied;
  platform::RegKey rootKey;
  LONG rc = rootKey.Open(platform::RegKey::Root(e.root), "", platform::kRegAllAccess);
  if (rc != platform::kRegOk) return rc;
  return DeleteTree(rootKey, e.rest.str(), 0);
}

LONG DeleteValueStatus(const ParsedEntry& e) {
  CString value, keyPath;
  SplitValuePath(e.rest, value, keyPath);
  // A root's own values belong to nobody's product.
  if (keyPath.IsEmpty()) return platform::kRegAccessDenied;
  platform::RegKey key;
  LONG rc = key.Open(platform::RegKey::Root(e.root), keyPath.str(), platform::kRegAllAccess);
  return rc != platform::kRegOk ? rc : key.DeleteValue(value.str());
}

}  // namespace

DWORD RegRootFromName(const CString& name) {
  for (const RootName& r : kRoots)
    if (name.CompareNoCase(r.name) == 0) return r.root;
  return 0;
}

BOOL SplitValuePath(LPCSTR path, CString& valueName, CString& keyPath) {
  const std::string p = path ? path : "";
  size_t sep = std::string::npos;
  for (size_t i = 0; i < p.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(p[i])) && i + 1 < p.size()) {
      ++i;
      continue;
    }
    if (p[i] == '\\' || p[i] == '/') sep = i;
  }
  if (sep == std::string::npos) {
    keyPath.Empty();
    valueName = p;
  } else {
    keyPath = p.substr(0, sep);
    valueName = p.substr(sep + 1);
  }
  return TRUE;
}

bool IsRemovablePath(const CString& path) {
  const std::string& p = path.str();
  size_t from;
  if (p.size() >= 4 && p[1] == ':' && p[2] == '\\' &&
      ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
    from = 3;
  } else if (p.size() >= 5 && p[0] == '\\' && p[1] == '\\') {
    from = 2;  // \\server\share\...: server and share are steps like the others
  } else {
    return false;
  }
  std::vector<std::string> steps = Components(p.substr(from), "\\");
  if (from == 2 && steps.size() < 3) return false;
  for (const std::string& step : steps) {
    // Windows drops trailing dots and blanks: "..." is ".." to it.
    if (step.find_first_not_of(". ") == std::string::npos) return false;
    for (size_t i = 0; i < step.size(); ++i) {
      BYTE b = static_cast<BYTE>(step[i]);
      if (platform::IsLeadByte(b) && i + 1 < step.size()) {
        ++i;
        continue;
      }
      if (b < 0x20 || std::strchr("/*?\"<>|:", b)) return false;
    }
  }
  return true;
}

bool RemoveOwnedFolder(const CString& dir, bool linksChecked) {
  if (dir.IsEmpty() || IsDriveRoot(dir) || IsSystemFolder(dir) ||
      (!linksChecked && platform::LinkInPath(dir.str())))
    return false;
  // Succeeds only for an empty folder, which is what is wanted.
  if (platform::RemoveFolderLinkFree(dir.str()) != platform::Reach::kDone) return false;
  platform::Journal(platform::JournalKind::kFolderRemoved, dir.str());
  return true;
}

namespace {
// Deleting through a link would take a file the install never wrote. The
// delete itself walks the folders and the name; the look beforehand only
// spares that walk where a link is already known.
bool DeleteOwnedFile(const CString& path, bool removeDir, bool folderChecked) {
  if (path.IsEmpty()) return false;
  CString name, dir;
  SplitPath(path, name, dir);
  SetTrailingBackslash(dir, FALSE);
  if (!folderChecked && platform::LinkInPath(dir.str())) return false;
  if (platform::RemoveFileLinkFree(path.str()) != platform::Reach::kDone) return false;
  platform::Journal(platform::JournalKind::kFileRemoved, path.str());
  if (removeDir) RemoveOwnedFolder(dir, true);
  return true;
}
}  // namespace

BOOL DeleteFileAndDir(LPCSTR path, BOOL removeDir) {
  return path && DeleteOwnedFile(path, removeDir != FALSE, false) ? TRUE : FALSE;
}

bool DeleteFileInCheckedFolder(const CString& path, bool removeDir) {
  return DeleteOwnedFile(path, removeDir, true);
}

BOOL DeleteRegKey(LPCSTR entry) {
  ParsedEntry e;
  return ParseEntry(entry, &e) && DeleteKeyStatus(e) == platform::kRegOk;
}

BOOL DeleteRegValue(LPCSTR entry) {
  ParsedEntry e;
  return ParseEntry(entry, &e) && DeleteValueStatus(e) == platform::kRegOk;
}

RegRemoval RemoveRegEntry(LPCSTR entry) {
  ParsedEntry e;
  if (!ParseEntry(entry, &e)) return RegRemoval::kFailed;
  // Refused as a value too: the line names the key, and a root's own
  // values belong to no product.
  if (IsSharedKey(e.root, e.rest.str())) return RegRemoval::kRefused;
  LONG key = DeleteKeyStatus(e);
  if (key == platform::kRegOk) return RegRemoval::kRemoved;
  LONG value = DeleteValueStatus(e);
  if (value == platform::kRegOk) return RegRemoval::kRemoved;
  return key == platform::kRegNotFound && value == platform::kRegNotFound ? RegRemoval::kAbsent
                                                                            : RegRemoval::kFailed;
}
