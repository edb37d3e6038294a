// The shell's folder browser. Windows requires COM on the thread that shows
// it; BrowseForFolder initialises it there for as long as the browser is
// open. The sandbox has no browser.
#pragma once
#include <functional>
#include <string>
#include "platform/types.h"

namespace platform {

// SHBrowseForFolderA owned by `owner`: true and the chosen folder, or false
// when the user cancelled or chose no file-system folder.
bool BrowseForFolder(HWND owner, std::string* path);

// Stands in for the dialog itself (tests); called where the dialog would
// be, COM initialised. An empty one restores the dialog. Returns the
// previous one.
using FolderDialog = std::function<bool(HWND, std::string*)>;
FolderDialog SetFolderDialog(FolderDialog dialog);

// Back end: the dialog itself.
bool NativeBrowseForFolder(HWND owner, std::string* path);

}  // namespace platform
