// Files a run makes in a folder other programs of the user can write (the
// temporary folder) and must read back unchanged: held from their making
// to their removal, so that no swap, rewrite or delete by another program
// reaches what this one reads.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/file.h"

namespace platform {

// Takes the file this process just made at path (TempFileName): one name,
// no link, cut to zero. Until it is removed no other program can write,
// rename or delete it (Windows: opened sharing reads only, and deleted when
// its last handle closes, at a killed run's end too; sandbox: its
// descriptor under an exclusive lock), and every FileHandle::Open of path
// in this process reaches this very file, whatever the name leads to by
// then.
bool HoldFile(const std::string& path);
bool IsHeld(const std::string& path);
// Ends the hold and deletes the file; opens of it still in use keep it
// until they close. False when path was not held.
bool RemoveHeld(const std::string& path);

// A leftover at path: a plain file (no link, one name) that no running
// program has open (an open that shares nothing succeeds). Checked and
// deleted through that one open.
bool RemoveUnheldFile(const std::string& path);
// The names of the plain files in dir: no folders, no links.
std::vector<std::string> FileNamesIn(const std::string& dir);

// For FileHandle::Open: a new handle to the held file at path, or false
// when path is not held.
bool ReopenHeld(const std::string& path, FileAccess access, bool truncate, intptr_t* handle);

}  // namespace platform
