// Registry keys that Windows and every program on it keep: an uninstall
// that took one of them, or a key above one, would take theirs.
#pragma once
#include <string>
#include "afx/cstring.h"

// A root, a key one level below one, a path with an empty step, a key the
// shared table names or one above it, or anything inside a key the table
// keeps whole. keyPath is below root, "\"-separated, GBK.
bool IsSharedKey(DWORD root, const std::string& keyPath);
