// Removal of what an uninstall log lists: files with their emptied folders,
// and registry entries in the syntax ROOT\key[\value].
#pragma once
#include "afx/cstring.h"

TARN_EXPORT BOOL DeleteFileAndDir(LPCSTR path, BOOL removeDir);
// The key with all its subkeys; never a root, a key one level below one, or
// a key that other programs share (Software\Microsoft, ...\Run).
TARN_EXPORT BOOL DeleteRegKey(LPCSTR entry);
TARN_EXPORT BOOL DeleteRegValue(LPCSTR entry);
// Splits at the last "\" or "/" (never a trail byte): key path before,
// value name after.
TARN_EXPORT BOOL SplitValuePath(LPCSTR path, CString& valueName, CString& keyPath);
// The root key handle value for a root name (case-insensitive), or 0.
TARN_EXPORT DWORD RegRootFromName(const CString& name);

// What became of one registry line of a log.
enum class RegRemoval {
  kRemoved,  // deleted as a key, else as a value
  kAbsent,   // neither key nor value was there: nothing to do
  kRefused,  // a root, or a key other programs share
  kFailed,   // not a usable entry, or the registry said no
};
// As the uninstall does it: the whole entry as a key, else as a value.
RegRemoval RemoveRegEntry(LPCSTR entry);

// A folder an uninstall may remove once empty: none of the system's own
// folders nor a folder that holds one, no drive root, nothing reached
// through a link. Removes it when so and empty. linksChecked: the caller
// has seen that no folder of the path is a link.
bool RemoveOwnedFolder(const CString& dir, bool linksChecked = false);
// DeleteFileAndDir for a caller that has seen that no folder above the file
// is a link; the file itself is still looked at.
bool DeleteFileInCheckedFolder(const CString& path, bool removeDir);

// A log line that names one file by a full drive or network path, with no
// step that climbs and no character a name cannot hold.
bool IsRemovablePath(const CString& path);

// The file begins with the log's magic line and is not reached through a
// link: only such a file is the uninstall's to delete.
BOOL IsUninstallLogFile(LPCSTR path);
