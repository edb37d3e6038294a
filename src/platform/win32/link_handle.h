// What an open file says of itself: shared by the link checks by name and
// the open that refuses links.
#pragma once
#include <windows.h>

namespace platform {

// The file's number of names; 0 when it cannot be asked.
DWORD LinkCount(HANDLE f);
// A reparse point that stands for another name (or of a kind Wine leaves
// unnamed), or a file of several names.
bool HandleIsLink(HANDLE f);

}  // namespace platform
