// The link-free walk's open of one file, and what it shares with the
// other back-end code.
#pragma once
#include <windows.h>
#include <string>
#include "platform/link_free.h"

namespace platform {

// The handle's final path (normalized, as a DOS path); empty when unknown.
std::wstring FinalPath(HANDLE h);

// Opens path's final name through its folder's handle, never following a
// link there: the folder walked link-free from the trusted base, or held
// from an earlier act nearby. kDone with the handle when it is a file of one name whose
// final path is the one meant; `made` when the open created it.
Reach OpenInFolder(const std::string& path, ACCESS_MASK access, ULONG share, bool create, HANDLE* out,
                   bool* made, DWORD* error);

}  // namespace platform
