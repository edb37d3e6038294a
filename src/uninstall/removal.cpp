// Removal of single log entries: a file and its emptied folder, a registry
// key with its subkeys, a registry value.
#include "uninstall/removal.h"
#include <string>
#include <vector>
#include "platform/fs.h"
#include "platform/journal.h"
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

// The system's own folders hold a product's shortcuts and files but are
// never the product's to remove, even when the uninstall leaves one empty
// (a desktop with no other icon on it).
bool IsSystemFolder(const CString& dir) {
  // Asked once: the shell's folder look-ups are slow, and an uninstall asks
  // for every file.
  static const std::vector<std::string> folders = [] {
    std::vector<std::string> out{platform::WindowsDirectory(), platform::SystemDirectory()};
    std::string path;
    for (platform::SpecialFolder f : {platform::kFolderDesktop, platform::kFolderPrograms,
                                      platform::kFolderStartup, platform::kFolderProgramFiles})
      if (platform::SpecialFolderPath(f, &path)) out.push_back(path);
    return out;
  }();
  for (const std::string& f : folders)
    if (!f.empty() && dir.CompareNoCase(f.c_str()) == 0) return true;
  return false;
}

}  // namespace

DWORD RegRootFromName(const CString& name) {
  for (const RootName& r : kRoots)
    if (name.CompareNoCase(r.name) == 0) return r.root;
  return 0;
}

BOOL SplitValuePath(LPCSTR path, CString& valueName, CString& keyPath) {
  const std::string p = path ? path : "";
  size_t sep = p.find_last_of("\\/");
  if (sep == std::string::npos) {
    keyPath.Empty();
    valueName = p;
  } else {
    keyPath = p.substr(0, sep);
    valueName = p.substr(sep + 1);
  }
  return TRUE;
}

BOOL DeleteFileAndDir(LPCSTR path, BOOL removeDir) {
  if (!path || !*path) return FALSE;
  if (!platform::RemoveFile(path)) return FALSE;
  platform::Journal(platform::JournalKind::kFileRemoved, path);
  if (removeDir) {
    CString name, dir;
    SplitPath(path, name, dir);
    SetTrailingBackslash(dir, FALSE);
    // Succeeds only for an empty folder, which is what is wanted.
    if (!dir.IsEmpty() && !IsDriveRoot(dir) && !IsSystemFolder(dir) && platform::RemoveDir(dir.str()))
      platform::Journal(platform::JournalKind::kFolderRemoved, dir.str());
  }
  return TRUE;
}

BOOL DeleteRegKey(LPCSTR entry) {
  if (!entry || !*entry) return FALSE;
  CString rest = entry;
  const DWORD root = RegRootFromName(SplitFirstComponent(rest));
  if (!root || rest.IsEmpty()) return FALSE;
  platform::RegKey rootKey;
  if (rootKey.Open(platform::RegKey::Root(root), "", platform::kRegAllAccess) != platform::kRegOk)
    return FALSE;
  return DeleteTree(rootKey, rest.str(), 0) == platform::kRegOk;
}

BOOL DeleteRegValue(LPCSTR entry) {
  if (!entry || !*entry) return FALSE;
  CString rest = entry;
  const DWORD root = RegRootFromName(SplitFirstComponent(rest));
  if (!root || rest.IsEmpty()) return FALSE;
  CString value, keyPath;
  SplitValuePath(rest, value, keyPath);
  platform::RegKey key;
  if (key.Open(platform::RegKey::Root(root), keyPath.str(), platform::kRegAllAccess) != platform::kRegOk)
    return FALSE;
  return key.DeleteValue(value.str()) == platform::kRegOk;
}
