// The uninstall log beside the installed files and the product's entry in
// the system's list of installed programs. Log lines, CR LF each:
//   TSUIV1.0
//   <one installed file or shortcut per line, in install order>
//   [DeleteRegistry]
//   <registry entries to remove: carried from an earlier log, then the
//    package's own>
//   HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\<key>
#include "afx/file.h"
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "platform/registry.h"
#include "sysint/install_runner.h"

namespace {
const char kMagic[] = "TSUIV1.0";
const char kRegMarker[] = "[DeleteRegistry]";
}  // namespace

BOOL CSetupPackage::WriteUninstallInfo(LPCSTR targetDir, LPCSTR keyName, LPCSTR displayName,
                                       LPCSTR uninstaller) {
  const CString logPath = CString(targetDir) + "\\Unistall.tsu";
  m_saRegKeys.RemoveAll();

  CStdioFile log;
  if (log.Open(logPath, CFile::modeReadWrite | CFile::typeText)) {
    // An earlier install into the same folder: what only it listed is kept,
    // after this install's own lines.
    CString line;
    log.ReadString(line);
    bool registry = false;
    while (log.ReadString(line)) {
      if (!registry && line.CompareNoCase(kRegMarker) == 0) {
        registry = true;
      } else if (registry) {
        AddUninstallRegKey(line);
      } else {
        AddUninstallFile(line);
      }
    }
    log.SetLength(0);
    log.SeekToBegin();
  } else if (!log.Open(logPath, CFile::modeCreate | CFile::modeWrite | CFile::typeText)) {
    AfxMessageBox("生成卸载信息错误!");
    return FALSE;
  }

  log.WriteString(CString(kMagic) + "\n");
  for (const CString& f : m_saUninstallFiles.vec()) log.WriteString(f + "\n");

  const CString keyPath = UninstallKeyPath(keyName);
  platform::RegKey key;
  if (key.Create(platform::RegKey::Root(platform::kRegLocalMachine), keyPath.str()) != platform::kRegOk) {
    CString text;
    text.Format("建立注册表键' %s'失败!", static_cast<LPCSTR>(keyPath));
    AfxMessageBox(text);
    return FALSE;
  }
  log.WriteString(CString(kRegMarker) + "\n");
  const CString ownLine = "HKEY_LOCAL_MACHINE\\" + keyPath;
  bool listed = false;
  for (const CStringArray* list : {&m_saRegKeys, &m_saScriptRegKeys}) {
    for (const CString& entry : list->vec()) {
      log.WriteString(entry + "\n");
      if (entry.CompareNoCase(ownLine) == 0) listed = true;
    }
  }
  if (!listed) log.WriteString(ownLine + "\n");
  log.Close();

  const CString display = displayName ? displayName : (keyName ? keyName : "");
  if (key.SetString("DisplayName", display.str()) != platform::kRegOk) {
    AfxMessageBox("Create DisplayName failed !!");
    return FALSE;
  }
  CString command;
  command.Format("%s %s|%s|%s", uninstaller ? uninstaller : "", "-U", static_cast<LPCSTR>(display),
                 static_cast<LPCSTR>(logPath));
  if (key.SetString("UninstallString", command.str()) != platform::kRegOk) {
    AfxMessageBox("Create UninstallString failed !!");
    return FALSE;
  }
  return TRUE;
}
