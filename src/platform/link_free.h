// Writes and deletes that never pass a link below the folders the machine
// or the user placed (TrustFolder). Each opens its path one folder at a
// time from the longest trusted folder (else the drive) and acts through
// what it opened, so a folder swapped for a link after any earlier check
// is refused at the act itself, never followed.
#pragma once
#include <string>

namespace platform {

enum class Reach {
  kDone,
  kLink,    // a folder on the way, or the final name, is a link
  kFailed,  // anything else: missing, not a folder, no access
};

// Makes the missing folders of dir; kDone when all of it is a folder.
Reach MakeFoldersLinkFree(const std::string& dir);
// Deletes a file (never a folder, never a file of several names).
Reach RemoveFileLinkFree(const std::string& path);
// Removes an empty folder; a trusted folder's own name is removed too.
Reach RemoveFolderLinkFree(const std::string& dir);
// The part of path that exists now is taken for the user's own layout (a
// folder typed or chosen to install into): links there are followed.
void TrustExistingPart(const std::string& path);
// The writes and deletes hold the folders they walked lately; this lets go
// of them: when a run ends, and before a folder is removed (a held folder's
// removal would stay pending).
void ReleaseHeldFolder();

}  // namespace platform
