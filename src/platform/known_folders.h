// The folders Windows names for the machine and the user: never a
// product's to remove, though an uninstall may leave one empty.
#pragma once
#include <string>
#include <vector>

namespace platform {

// Full paths, looked up without making any that is missing: the Windows
// and system folders, Program Files (both), ProgramData, the profile and
// its Desktop, Documents, Downloads, Music, Pictures, Videos, Favorites,
// AppData (Roaming, Local, Local\Programs), the Start menu with Programs
// and Startup, of the user and of all users, and their like.
std::vector<std::string> KnownFolders();

}  // namespace platform
