// An entry's shortcut: its folder placeholder resolved, its folder made, the
// link written and recorded for the uninstall.
#include "afx/msgbox.h"
#include <vector>
#include "engine/install_messages.h"
#include "engine/setup_package.h"
#include "engine/target_path.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "sysint/path_ops.h"
#include "sysint/shortcut.h"

BOOL CSetupPackage::ExpandFolderMacro(CString& path) {
  int slash = path.Find('\\');
  if (slash < 0) {
    AfxReportFailure(path, "脚本格式错误!");
    return FALSE;
  }
  const CString head = path.Left(slash);
  struct Folder {
    const char* name;
    const CString* dir;
  };
  const Folder folders[] = {
      {"<TARGET_FOLDER>", &m_strProgramsFolder}, {"<STARTUP_FOLDER>", &m_strStartupFolder},
      {"<DESKTOP_FOLDER>", &m_strDesktopFolder}, {"<WINDOWS_FOLDER>", &m_strWindowsFolder},
      {"<SYSTEM_FOLDER>", &m_strSystemFolder},
  };
  for (const Folder& f : folders) {
    if (head.CompareNoCase(f.name) == 0) {
      path = *f.dir + "\\" + path.Mid(slash + 1);
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CSetupPackage::CreateFileShortcut(CString targetPath, const TSPIndex& entry) {
  if (entry.m_strShortcutPath.IsEmpty()) return TRUE;
  CString link = entry.m_strShortcutPath;
  // A shortcut the product asked for and did not get is said, not skipped.
  if (!ExpandFolderMacro(link)) {
    Refuse("非法快捷方式路径'%s'!", link, "refused");
    return FALSE;
  }
  link = CanonicalSeparators(link.str()).c_str();
  // A link file is written like any other: never above its folder, onto a
  // device, or through a link.
  std::vector<std::string> parts;
  CString name, linkDir;
  if (!TargetPathProblem(entry.m_strShortcutPath.str(), &parts).empty() ||
      !SplitPath(link, name, linkDir)) {
    Refuse("非法快捷方式路径'%s'!", link, "refused");
    return FALSE;
  }
  if (platform::LinkInPath(link.str())) {
    Refuse(kThroughLinkText, link, "link");
    return FALSE;
  }
  if (!NoteFolders(linkDir) || !CheckDir(linkDir, TRUE, FALSE)) return FALSE;
  CString targetName, workDir;
  SplitPath(targetPath, targetName, workDir);
  const bool existed = platform::Access(link.str());
  if (!NoteFile(link)) return FALSE;
  if (CreateShortcut(targetPath, link, workDir, nullptr, nullptr) >= 0) {
    if (!existed) m_saMadeFiles.Add(link);
    AddUninstallFile(link);
    platform::Journal(platform::JournalKind::kShortcut, link.str(), targetPath.str());
    return TRUE;
  }
  AfxReportFailure(link, "建立快捷方式失败!");
  return FALSE;
}
