// Checking and creating directories, asking the user where the caller wants.
#include "sysint/path_ops.h"
#include "afx/file.h"
#include "afx/msgbox.h"
#include "platform/fs.h"
#include "platform/link_free.h"

namespace {
// Exists in the sense of a directory search for the exact name: a bare drive
// or a path ending in "\" never does.
bool EntryExists(const CString& path, bool* isDirectory = nullptr) {
  CFileFind find;
  if (!find.FindFile(path)) return false;
  if (isDirectory) *isDirectory = find.IsDirectory();
  return true;
}

// A file of that name is no directory: counting it as one would let the
// caller go on to write into a path that cannot hold anything.
bool DirectoryExists(const CString& path) {
  bool dir = false;
  return EntryExists(path, &dir) && dir;
}

void ShowCannotCreate(const CString& path) {
  CString text;
  text.Format("不能建立路径'%s'!", static_cast<LPCSTR>(path));
  AfxReportFailure(path, text);
}

BOOL CheckDirectory(const CString& path, BOOL create, BOOL prompt, LPCSTR question, LPCSTR title) {
  CString dir = path;
  SetTrailingBackslash(dir, FALSE);
  if (IsDriveRoot(dir)) {
    if (PathExists(dir)) return TRUE;
    if (prompt) {
      CString text;
      text.Format("'%s'不是合法的根目录!", static_cast<LPCSTR>(dir));
      AfxReportFailure(nullptr, dir, text, "错误", MB_OK);
    }
    return FALSE;
  }
  if (DirectoryExists(dir)) return TRUE;
  if (!create) return FALSE;
  if (!prompt) return CreatePath(dir, FALSE);
  CString text;
  text.Format(question, static_cast<LPCSTR>(dir));
  if (AfxShowMessage(nullptr, text, title, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return FALSE;
  return CreatePath(dir, TRUE);
}
}  // namespace

BOOL CreatePath(LPCSTR path, BOOL showError) {
  CString whole = path ? path : "";
  if (whole.GetLength() >= MAX_PATH) {
    if (showError) ShowCannotCreate(whole);
    return FALSE;
  }
  if (DirectoryExists(whole)) return TRUE;
  // Made as the install's own folders, in one walk: never inside a link.
  if (platform::MakeFoldersLinkFree(whole.str()) == platform::Reach::kDone) return TRUE;
  if (showError) {
    // Named: the first folder of the path that is not there.
    CString rest = whole;
    CString prefix = SplitFirstComponent(rest);
    while (EntryExists(prefix)) {
      CString next = SplitFirstComponent(rest);
      if (next.IsEmpty()) break;
      prefix += "\\" + next;
    }
    ShowCannotCreate(prefix);
  }
  return FALSE;
}

BOOL CheckDir(LPCSTR path, BOOL create, BOOL prompt) {
  if (!path || !*path) return FALSE;
  return CheckDirectory(path, create, prompt, "'%s'目录不存在,是否新建目录?", "目录不存在");
}

BOOL CheckInstallDir(LPCSTR path, BOOL create, BOOL prompt) {
  if (!path || !*path) return FALSE;
  platform::TrustExistingPart(path);
  return CheckDir(path, create, prompt);
}

BOOL CheckFileDir(LPCSTR path, BOOL create, BOOL prompt) {
  if (!path || !*path) return FALSE;
  CString name, dir;
  if (!SplitPath(path, name, dir)) return FALSE;
  return CheckDirectory(dir, create, prompt, "'%s'路径不存在,是否新建路径?", "路径不存在");
}
