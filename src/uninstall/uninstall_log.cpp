// Reading an uninstall log back and removing what it lists: the registry
// entries as they are read, then the files in install order, each folder as
// it empties.
#include "afx/file.h"
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "platform/journal.h"
#include "platform/fs.h"
#include "platform/notify.h"
#include "sysint/path_ops.h"
#include "uninstall/removal.h"
#include "uninstall/uninstall_messages.h"

namespace {

// A log line is a path that will be deleted. Only a full path on a drive
// is taken, and none that climbs with "." or "..": a damaged or crafted
// log must not reach files the install never wrote.
bool IsRemovablePath(const CString& path) {
  const std::string& p = path.str();
  if (p.size() < 4 || p[1] != ':' || p[2] != '\\') return false;
  const char c = p[0];
  if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  CString rest = path.Mid(3);
  while (!rest.IsEmpty()) {
    int sep = rest.Find('\\');
    CString part = sep < 0 ? rest : rest.Left(sep);
    CString trimmed = part;
    trimmed.Trim();
    if (trimmed.IsEmpty() || trimmed == "." || trimmed == "..") return false;
    // Windows drops trailing dots and blanks: "..." is ".." to it.
    if (part.str().find_first_not_of(". ") == std::string::npos) return false;
    if (sep < 0) break;
    rest = rest.Mid(sep + 1);
  }
  return p.find_first_of("/*?\"<>|") == std::string::npos;
}

// Folders between a removed file's folder and the install folder that the
// removal left empty: the log's own removal takes the install folder, but a
// nested tree (docs\manual\x.txt) would otherwise leave empty folders.
void RemoveEmptiedParents(const CString& file, const CString& installDir) {
  if (installDir.IsEmpty()) return;
  const CString inside = installDir + "\\";
  CString name, dir;
  SplitPath(file, name, dir);
  for (;;) {
    CString parent;
    if (!SplitPath(dir, name, parent)) return;
    if (parent.GetLength() <= inside.GetLength() - 1 ||
        parent.Left(inside.GetLength()).CompareNoCase(inside) != 0)
      return;
    if (!platform::RemoveDir(parent.str())) return;
    platform::Journal(platform::JournalKind::kFolderRemoved, parent.str());
    dir = parent;
  }
}

}  // namespace

BOOL CSetupPackage::ProcessUninstallLog(LPCSTR logPath) {
  CStdioFile log;
  if (!log.Open(logPath, CFile::modeRead | CFile::typeText)) {
    AfxMessageBox("打开卸载信息错误!");
    return FALSE;
  }
  CString line;
  if (!log.ReadString(line) || line.CompareNoCase("TSUIV1.0") != 0) {
    AfxMessageBox("不是合法的卸载文件!");
    return FALSE;
  }
  CString logName, installDir;
  SplitPath(logPath, logName, installDir);
  CStringArray files;
  bool registry = false;
  while (log.ReadString(line)) {
    if (!registry) {
      if (line.CompareNoCase("[DeleteRegistry]") == 0)
        registry = true;
      else
        files.Add(line);
      continue;
    }
    if (DeleteRegKey(line) || DeleteRegValue(line)) {
      platform::Journal(platform::JournalKind::kRegDeleted, line.str());
    } else {
      platform::Journal(platform::JournalKind::kRegNotDeleted, line.str());
      CString text;
      text.Format("%s '%s'", "删除注册表键失败!", static_cast<LPCSTR>(line));
      AfxMessageBox(text);
    }
  }
  const int n = files.GetSize();
  platform::PostNotify(m_hNotifyWnd, WM_UNINST_START, static_cast<WPARAM>(n), 0);
  for (int i = 0; i < n; ++i) {
    platform::PostNotify(m_hNotifyWnd, WM_UNINST_STEP, static_cast<WPARAM>(i),
                         static_cast<LPARAM>(n));
    if (IsRemovablePath(files[i]) && DeleteFileAndDir(files[i], TRUE))
      RemoveEmptiedParents(files[i], installDir);
    else
      platform::Journal(platform::JournalKind::kFileNotRemoved, files[i].str());
  }
  platform::PostNotify(m_hNotifyWnd, WM_UNINST_DONE, static_cast<WPARAM>(n), 0);
  log.Close();
  return TRUE;
}
