// Path operations shared by the installer, shortcuts, the uninstaller and
// the install path page. Paths are ANSI byte strings; searches for "\" are
// multibyte-aware; full paths are limited to MAX_PATH bytes.
#pragma once
#include "afx/cstring.h"

// Full path split into its final name and the directory before it (without
// the separator). FALSE when the path ends in "\" (name empty, directory the
// full path) or does not fit (both empty).
TARN_EXPORT BOOL SplitPath(LPCSTR path, CString& name, CString& directory);
// Returns the first component; path keeps the trimmed remainder.
TARN_EXPORT CString SplitFirstComponent(CString& path);
TARN_EXPORT BOOL CreatePath(LPCSTR path, BOOL showError);
TARN_EXPORT BOOL IsDriveRoot(LPCSTR path);
TARN_EXPORT BOOL PathExists(LPCSTR path);
TARN_EXPORT BOOL SetTrailingBackslash(CString& path, BOOL add);
TARN_EXPORT BOOL CheckFileDir(LPCSTR path, BOOL create, BOOL prompt);
TARN_EXPORT BOOL CheckDir(LPCSTR path, BOOL create, BOOL prompt);
// CheckDir for the folder the user chose to install into: what of it exists
// is the user's own layout, followed where it is a link; what is made below
// it never is.
BOOL CheckInstallDir(LPCSTR path, BOOL create, BOOL prompt);
TARN_EXPORT BOOL IsWinNT();
