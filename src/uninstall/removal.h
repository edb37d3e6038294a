// Removal of what an uninstall log lists: files with their emptied folders,
// and registry entries in the syntax ROOT\key[\value].
#pragma once
#include "afx/cstring.h"

TARN_EXPORT BOOL DeleteFileAndDir(LPCSTR path, BOOL removeDir);
// The key with all its subkeys.
TARN_EXPORT BOOL DeleteRegKey(LPCSTR entry);
TARN_EXPORT BOOL DeleteRegValue(LPCSTR entry);
// Splits at the last "\" or "/": key path before, value name after.
TARN_EXPORT BOOL SplitValuePath(LPCSTR path, CString& valueName, CString& keyPath);
// The root key handle value for a root name (case-insensitive), or 0.
TARN_EXPORT DWORD RegRootFromName(const CString& name);
