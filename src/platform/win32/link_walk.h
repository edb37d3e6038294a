// The folders on the way to a path, opened one by one below the trusted
// folder (or the root) and each checked on its own handle: no link, and
// the handle's final path is the trusted folder's plus the names walked.
// They stay open, without delete sharing, until the walk ends, so Windows
// keeps them from being renamed or replaced meanwhile.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "platform/link_free.h"

namespace platform {

class LinkWalk {
 public:
  LinkWalk() = default;
  ~LinkWalk();
  LinkWalk(const LinkWalk&) = delete;
  LinkWalk& operator=(const LinkWalk&) = delete;

  // Opens the folders that hold path's final name; `create` makes missing
  // ones. `removal`: a trusted folder's own name is walked from its parent.
  Reach ToParent(const std::string& path, bool create, bool removal);
  // The whole path (for the final open) and whether an open handle is the
  // final name there, itself no link (and a folder when `folder`).
  const std::wstring& Path() const { return path_; }
  Reach Check(HANDLE h, bool folder) const;
  bool HasName() const { return !steps_.empty(); }
  // Once ToParent is kDone: the last folder walked (the one that holds the
  // final name, or the last one made), its handle taken from the walk (the
  // caller closes it), and its final path.
  HANDLE TakeFolder(std::wstring* final);

 private:
  Reach WalkSteps(bool create);

  bool create_ = false;    // every step is a folder to be made
  std::wstring path_;      // base and every step, "\" between
  std::wstring base_;      // where the walk begins, followed as it stands
  std::wstring baseFinal_; // the base's final path
  std::vector<std::wstring> steps_;
  std::vector<HANDLE> held_;
};

// The handle's final path (normalized, as a DOS path); empty when unknown.
std::wstring FinalPath(HANDLE h);

// Opens path's final name through its folder's handle, never following a
// link there: the folder walked as above, or held from the last open in the
// same folder. kDone with the handle when it is a file of one name whose
// final path is the one meant; `made` when the open created it.
Reach OpenInFolder(const std::string& path, ACCESS_MASK access, ULONG share, bool create, HANDLE* out,
                   bool* made, DWORD* error);

}  // namespace platform
