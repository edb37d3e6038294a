// Paths, directories and the install environment of the machine. In the
// sandbox a drive letter X: is the folder X under the sandbox root; paths
// without a drive are host paths (with "\" read as "/").
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {

// GetFullPathNameA: resolves relative paths, "." and ".."; false when the
// result does not fit in MAX_PATH bytes.
bool FullPathName(const std::string& path, std::string* full);
// The offset of the final name component in a full path (GetFullPathNameA's
// file part), or npos when the path ends in a separator.
size_t FilePartOffset(const std::string& full);

bool MakeDirectory(const std::string& path);
bool RemoveDir(const std::string& path);
bool RemoveFile(const std::string& path);
// _access(path, 0): a file, directory or drive of that name exists.
bool Access(const std::string& path);
// FindFirstFile on the exact path: an entry of that name exists. A bare
// drive or a path ending in "\" never matches.
bool FindEntry(const std::string& path, bool* isDirectory = nullptr);

// A folder on the way to path, or path itself, is a symbolic link, a
// junction or another reparse point that stands for a name elsewhere, or
// path is a file with more than one name: writing or deleting there would
// reach what is not at this path. Only what exists is looked at.
bool LinkInPath(const std::string& path);
// Folders whose path is the machine's own layout (the folders Windows
// names): links on the way to them, and they themselves, are followed;
// LinkInPath checks only what lies below the longest one holding a path.
void TrustFolder(const std::string& path);
// Trusts the folders Windows names that an install's placeholders reach
// (Programs, Startup, Desktop, Program Files, Windows, System): for work
// that runs before a package is read, such as undoing a killed install.
void TrustMachineFolders();
// The length of that folder's path at the start of a full path, or 0.
size_t TrustedPrefix(const std::string& full);
// The same for the final name alone, for callers that checked its folder.
bool IsLinkedName(const std::string& path);
// Deletes path unless its final name is a link (as IsLinkedName; then
// *linked is set): checked on the file the delete opens, so one open does
// both and the name cannot be swapped between them.
bool RemovePlainFile(const std::string& path, bool* linked);
// Deletes path when Windows next starts (MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT): for a file a running program holds, never
// a folder or a link. The sandbox has no restart and never holds a file:
// false there.
bool RemoveAtRestart(const std::string& path);
// Both names reach one file (one inode; one file index of one volume).
bool SameFile(const std::string& a, const std::string& b);
// MoveFileExA with MOVEFILE_REPLACE_EXISTING: a link at `to` is replaced,
// never written through.
bool RenameOver(const std::string& from, const std::string& to);

// Keeps other processes that take the same lock out of one file's
// read-change-write, until destroyed. Where no lock can be had, none is
// held and the caller goes on as before.
class PathLock {
 public:
  explicit PathLock(const std::string& path);
  ~PathLock();
  PathLock(const PathLock&) = delete;
  PathLock& operator=(const PathLock&) = delete;

 private:
  intptr_t h_ = -1;
};

std::string WindowsDirectory();
std::string SystemDirectory();
std::string ModuleFileName();
std::string TempPath();  // ends with "\" on Windows, "/" in the sandbox
// GetTempFileNameA(dir, prefix, 0): creates an empty file; empty on failure.
std::string TempFileName(const std::string& dir, const std::string& prefix);

enum SpecialFolder { kFolderPrograms, kFolderStartup, kFolderDesktop, kFolderProgramFiles };
// SHGetSpecialFolderPathA with the create flag set.
bool SpecialFolderPath(SpecialFolder folder, std::string* path);

// GetVersionExA: the platform identifier is 2 (NT family).
bool IsWinNT();

// Sandbox only: the folder that stands for the drives; no effect on Windows.
void SetSandboxRoot(const std::string& root);
std::string SandboxRoot();

}  // namespace platform
