#include "engine/install_runner.h"
#include <atomic>
#include "engine/setup_app.h"
#include "engine/setup_package.h"
#include "engine/removal.h"
#include "engine/rollback_journal.h"
#include "afx/msgbox.h"
#include "platform/registry.h"
#include "engine/target_path.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "sysint/path_ops.h"

namespace {
std::atomic<bool> g_stop{false};
const char kInstallUndone[] = "安装没有完成,已撤销安装所做的更改!已运行的程序不能撤销。";

// The application object, or an empty state for a caller that has none:
// nothing is installed then, for want of a target folder.
CTarnSetupShellApp& State() {
  if (CTarnSetupShellApp* app = AfxGetApp()) return *app;
  static CTarnSetupShellApp empty;
  return empty;
}
}  // namespace

bool IsUninstallKeyName(LPCSTR keyName) {
  CString name = keyName ? keyName : "";
  if (name.GetLength() > 255 || name.Find('\\') >= 0 || name.Find('|') >= 0) return false;
  name.Trim();
  return !name.IsEmpty();
}

CString UninstallLogPath(LPCSTR targetDir) { return CString(targetDir ? targetDir : "") + "\\Unistall.tsu"; }

void RequestInstallStop() { g_stop = true; }
bool InstallStopRequested() { return g_stop; }

CString CanonicalFolder(LPCSTR folder) {
  // "C:\X\.", "C:\A\..\B" and doubled separators would be written into the
  // log as typed, and its lines then refused by the uninstall as climbing.
  std::string full;
  if (!folder || !*folder || !platform::FullPathName(CanonicalSeparators(folder), &full)) return folder;
  CString out = full.c_str();
  if (!IsDriveRoot(out)) SetTrailingBackslash(out, FALSE);
  return out;
}

CString UninstallKeyPath(LPCSTR keyName) {
  return CString("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + keyName;
}

namespace {
// What a run held open is let go when it ends, on every path.
struct HeldFolderRelease {
  ~HeldFolderRelease() { platform::ReleaseHeldFolder(); }
};
}  // namespace

int CInstallRunner::Install(LPCSTR packageFile, HWND notifyWnd) {
  HeldFolderRelease release;
  const CTarnSetupShellApp& app = State();
  // "<TARGETDIR>\x" would land in the root of the current drive.
  if (app.m_strTargetDir.IsEmpty()) return 0;
  g_stop = false;
  const CString targetDir = CanonicalFolder(app.m_strTargetDir);
  CSetupPackage package(packageFile, targetDir, nullptr, notifyWnd);
  CRollbackJournal rollback;
  if (RollbackEnabled() && rollback.Begin(targetDir)) package.m_pRollback = &rollback;
  package.Unpack();
  // A quit, or a fault that ended the install before its last entry: what
  // it did goes again, and no log or key is written. Programs it started
  // ran all the same.
  if (g_stop || !package.m_bDataDone) {
    const bool changed = rollback.Active() ? rollback.Changed() : package.m_saMadeFiles.GetSize() > 0;
    if (rollback.Active()) {
      rollback.Rollback();
    } else {
      package.Undo();
    }
    // Not finished is a failure even when the cause said nothing and nothing
    // was changed; only a quit the user confirmed is none.
    if (!g_stop) AfxReportFailure(targetDir, kInstallUndone, MB_OK, changed);
    return 0;
  }
  // The log and key are changes like the others: a stop while they are
  // written undoes the whole install.
  const CString logPath = ChooseUninstallLog(targetDir, app.m_strProductName);
  platform::RegKey existing;
  const bool keyThere = existing.Open(platform::RegKey::Root(platform::kRegLocalMachine),
                                      UninstallKeyPath(app.m_strProductName).str(), platform::kRegRead) == 0;
  existing.Close();
  if (rollback.Active() &&
      ((!logPath.IsEmpty() && !rollback.NoteFile(logPath)) || (!keyThere && IsUninstallKeyName(app.m_strProductName) &&
                                       !rollback.NoteNewKey(app.m_strProductName)))) {
    rollback.Rollback();
    AfxReportFailure(targetDir, kInstallUndone);
    return 0;
  }
  if (package.WriteUninstallInfo(targetDir, app.m_strProductName, app.m_strProductName,
                                 app.m_strUninstaller))
    WriteUninstallDetails(app.m_strProductName, targetDir, package.m_saUninstallFiles, app,
                          package.m_strLogPath);
  rollback.Commit();
  return 0;
}

BOOL CInstallRunner::Uninstall(LPCSTR logFile, HWND notifyWnd) {
  HeldFolderRelease release;
  const CTarnSetupShellApp& app = State();
  CSetupPackage package(nullptr, app.m_strTargetDir, nullptr, notifyWnd);
  // Looked at before the run, which may remove it.
  const bool isLog = IsUninstallLogFile(logFile);
  BOOL result = package.ProcessUninstallLog(logFile);
  // Only a log is deleted: the uninstaller runs as administrator, and its
  // command line may name any file.
  if (isLog && !package.m_bFilesLeft) DeleteFileAndDir(logFile, TRUE);
  return result;
}

void RemoveUninstallKey(LPCSTR keyName) {
  if (!IsUninstallKeyName(keyName)) return;
  CString entry = "HKEY_LOCAL_MACHINE\\" + UninstallKeyPath(keyName);
  if (!DeleteRegKey(entry)) DeleteRegValue(entry);
}
