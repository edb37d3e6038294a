// The uninstall log beside the installed files and the product's entry in
// the system's list of installed programs. Log lines, CR LF each:
//   TSUIV1.0 (TSUIV1.1 when a line holds a name GBK lacks: see uninstall_log.cpp)
//   <one installed file or shortcut per line, in install order>
//   [DeleteRegistry]
//   <registry entries to remove: carried from an earlier log, then the
//    package's own>
//   HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\<key>
#include "afx/file.h"
#include "afx/msgbox.h"
#include "engine/install_messages.h"
#include "engine/setup_package.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "engine/install_runner.h"
#include "engine/installed_entry.h"
#include "engine/removal.h"
#include "sysint/path_ops.h"

namespace {
const char kRegMarker[] = "[DeleteRegistry]";
const char kLogFailed[] = "生成卸载信息错误!";
const char kBadKeyName[] = "产品名称'%s'不合法,没有建立卸载注册表键!";
const char kNotOurLog[] =
    "安装路径中已有的卸载信息'%s'不属于本产品,没有合并,原文件保留;本产品的卸载信息写入'%s'。";
// Unistall.tsu, then Unistall-2.tsu ... when a file not ours holds the name.
const int kLogNames = 9;

void ShowText(const char* format, LPCSTR arg) {
  CString text;
  text.Format(format, arg);
  AfxReportFailure(arg, text);
}

bool Blank(const CString& line) {
  CString t = line;
  t.Trim();
  return t.IsEmpty();
}

// Written beside the log and put in its place only when whole: a full disk
// leaves the earlier log as it was, never a cut one.
bool ReplaceLog(const CString& dir, const CString& logPath, const std::string& text) {
  const std::string tmp = platform::TempFileName(dir.str(), "tsu");
  if (tmp.empty()) return false;
  CFile out;
  bool ok = out.Open(tmp.c_str(), CFile::modeCreate | CFile::modeWrite) &&
            out.Write(text.data(), text.size()) && out.Flush() && !out.IsFailed();
  out.Close();
  if (ok && platform::RenameOver(tmp, logPath.str())) return true;
  platform::RemoveFile(tmp);
  return false;
}

CString LogName(const CString& dir, int n) {
  if (n == 1) return UninstallLogPath(dir);
  CString name;
  name.Format("%s\\Unistall-%d.tsu", static_cast<LPCSTR>(dir), n);
  return name;
}

// The log this product's own Uninstall key names, when it is one of this
// folder's log names: only that one was written by this product's install.
CString OwnLogName(const CString& dir, LPCSTR keyName) {
  const stuInstalledEntry entry = ReadInstalledEntry(keyName);
  if (!entry.bExists) return CString();
  for (int n = 1; n <= kLogNames; ++n)
    if (SameLogPath(entry.strLogPath, LogName(dir, n))) return LogName(dir, n);
  return CString();
}

// A link at the name is replaced, never followed: what it leads to stays.
bool Taken(const CString& path) {
  return platform::FindEntry(path.str()) && !platform::IsLinkedName(path.str());
}
}  // namespace

CString ChooseUninstallLog(LPCSTR targetDir, LPCSTR keyName, bool* merge) {
  const CString dir = targetDir ? targetDir : "";
  CString logPath = OwnLogName(dir, keyName);
  const bool own = !logPath.IsEmpty() && IsUninstallLogFile(logPath);
  if (merge) *merge = own;
  if (own) return logPath;
  for (int n = 1; n <= kLogNames; ++n)
    if (!Taken(LogName(dir, n))) return LogName(dir, n);
  return CString();
}

std::string UninstallLogHead(const std::string& lines) {
  return std::string(platform::HasFourByte(lines) ? "TSUIV1.1" : "TSUIV1.0") + "\r\n";
}

BOOL CSetupPackage::WriteUninstallInfo(LPCSTR targetDir, LPCSTR keyName, LPCSTR displayName,
                                       LPCSTR uninstaller) {
  const CString dir = targetDir ? targetDir : "";
  const CString defaultLog = UninstallLogPath(dir);
  m_saRegKeys.RemoveAll();
  m_strLogPath.Empty();
  if (platform::LinkInPath(dir.str())) {
    ShowText(kThroughLinkText, defaultLog);
    return FALSE;
  }
  // Two installs into one folder take turns, so that each merges what the
  // other wrote.
  platform::PathLock lock(defaultLog.str());

  // A log is merged only when this product's key names it and it is a log:
  // a file another product, a user or an older shell left there would
  // otherwise have its lines removed by this product's uninstall. Such a
  // file stays as it is and this log takes the next free name.
  bool merge = false;
  const CString logPath = ChooseUninstallLog(dir, keyName, &merge);
  if (logPath.IsEmpty()) {
    AfxReportFailure(defaultLog, kLogFailed);
    return FALSE;
  }

  CStdioFile earlier;
  if (merge && earlier.Open(logPath, CFile::modeRead | CFile::typeText)) {
    // An earlier install into the same folder: what only it listed is kept,
    // after this install's own lines.
    CString line;
    earlier.ReadString(line);
    bool registry = false;
    while (earlier.ReadString(line)) {
      if (Blank(line)) continue;
      if (!registry && line.CompareNoCase(kRegMarker) == 0)
        registry = true;
      else if (registry)
        AddUninstallRegKey(line);
      else
        AddUninstallFile(line);
    }
    earlier.Close();
  }

  std::string text;
  for (const CString& f : m_saUninstallFiles.vec()) text += f.str() + "\r\n";

  // A key name that is empty, blank, or holds "\" or "|" would put the
  // product's values on the shared Uninstall key, or on a key the
  // uninstall could not name again.
  const bool keyNameOk = IsUninstallKeyName(keyName);
  const CString keyPath = keyNameOk ? UninstallKeyPath(keyName) : CString();
  const CString ownLine = "HKEY_LOCAL_MACHINE\\" + keyPath;
  platform::RegKey key;
  bool keyMade = false;
  if (keyNameOk) {
    keyMade = key.Create(platform::RegKey::Root(platform::kRegLocalMachine), keyPath.str()) ==
              platform::kRegOk;
    if (!keyMade) ShowText("建立注册表键' %s'失败!", keyPath);
  }
  // The registry lines are kept whatever became of the key: they are what
  // the uninstall removes.
  const bool anyLines = m_saRegKeys.GetSize() > 0 || m_saScriptRegKeys.GetSize() > 0;
  if (keyMade || anyLines) {
    text += std::string(kRegMarker) + "\r\n";
    bool listed = false;
    for (const CStringArray* list : {&m_saRegKeys, &m_saScriptRegKeys}) {
      for (const CString& entry : list->vec()) {
        text += entry.str() + "\r\n";
        if (entry.CompareNoCase(ownLine) == 0) listed = true;
      }
    }
    if (keyMade && !listed) text += ownLine.str() + "\r\n";
  }
  text.insert(0, UninstallLogHead(text));
  if (!ReplaceLog(dir, logPath, text)) {
    AfxReportFailure(logPath, kLogFailed);
    return FALSE;
  }
  m_strLogPath = logPath;
  if (!merge && logPath != defaultLog) {
    CString note;
    note.Format(kNotOurLog, static_cast<LPCSTR>(defaultLog), static_cast<LPCSTR>(logPath));
    AfxReportNotice(logPath, note, MB_OK | MB_ICONINFORMATION);
  }
  if (!keyNameOk) {
    ShowText(kBadKeyName, keyName ? keyName : "");
    return FALSE;
  }
  if (!keyMade) return FALSE;

  const CString display = displayName ? displayName : keyName;
  if (key.SetString("DisplayName", display.str()) != platform::kRegOk) {
    AfxReportFailure(keyPath, "Create DisplayName failed !!");
    return FALSE;
  }
  CString command;
  command.Format("%s %s|%s|%s", uninstaller ? uninstaller : "", "-U", static_cast<LPCSTR>(display),
                 static_cast<LPCSTR>(logPath));
  if (key.SetString("UninstallString", command.str()) != platform::kRegOk) {
    AfxReportFailure(keyPath, "Create UninstallString failed !!");
    return FALSE;
  }
  return TRUE;
}
