// Reading an uninstall log back and removing what it lists: the registry
// entries as they are read, then the files in install order, each folder as
// it empties.
//
// The log is the system's text, CR LF lines: GBK, and for a character GBK
// lacks (a user's folder "C:\Users\Łukasz", a name in Korean) its GB18030
// four-byte sequence. A log of GBK alone starts "TSUIV1.0", as it always
// did; one that holds a four-byte sequence starts "TSUIV1.1", so that an
// older uninstaller, which would read such names in the code page and miss
// them, refuses the log and deletes nothing it lists.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include "afx/file.h"
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/journal.h"
#include "platform/notify.h"
#include "sysint/path_ops.h"
#include "engine/install_runner.h"
#include "engine/removal.h"
#include "engine/uninstall_messages.h"

namespace {

const char kMagic[] = "TSUIV1.0";
const char kMagicFourByte[] = "TSUIV1.1";
const char kSharedKey[] = "不能删除系统共用的注册表键!";
const char kFileNotRemoved[] = "删除文件失败!";
const char kMoreFailures[] = "另有%d项没有删除!";
const char kFileScheduled[] = "文件正在使用,将在重新启动后删除!";
const char kMoreScheduled[] = "另有%d项将在重新启动后删除!";
// A damaged or crafted log must not hold the uninstall in a million
// message boxes: past this many, failures are recorded and told once.
const int kFailureBoxes = 10;

class FailureBoxes {
 public:
  explicit FailureBoxes(const char* more = kMoreFailures, bool scheduled = false)
      : more_(more), scheduled_(scheduled) {}
  void Show(const char* what, const CString& line) {
    const bool present = ++count_ <= kFailureBoxes;
    CString text;
    text.Format("%s '%s'", what, static_cast<LPCSTR>(line));
    if (scheduled_)
      AfxReportScheduled(line, text, present);
    else
      AfxReportFailure(line, text, MB_OK, present);
  }
  // One message for all the failures past the first few; each of them is
  // recorded already.
  void ShowRest() {
    if (count_ <= kFailureBoxes) return;
    CString text;
    text.Format(more_, count_ - kFailureBoxes);
    AfxReportNotice("", text, MB_OK);
    count_ = 0;
  }

 private:
  const char* more_;
  bool scheduled_;
  int count_ = 0;
};

bool IsMagic(const CString& line) {
  return line.CompareNoCase(kMagic) == 0 || line.CompareNoCase(kMagicFourByte) == 0;
}

bool Blank(const CString& line) {
  CString t = line;
  t.Trim();
  return t.IsEmpty();
}

// Whether folder lies below the install folder (not the folder itself).
bool BelowInstallDir(const CString& folder, const CString& installDir) {
  const CString inside = installDir + "\\";
  return !installDir.IsEmpty() && folder.GetLength() > inside.GetLength() - 1 &&
         folder.Left(inside.GetLength()).CompareNoCase(inside) == 0;
}

CString Folded(const CString& folder) {
  CString f = folder;
  f.MakeLower();
  return f;
}

// Folders between a removed file's folder and the install folder that the
// removal left empty: the log's own removal takes the install folder, but a
// nested tree (docs\manual\x.txt) would otherwise leave empty folders.
// After the file at `index` they go, deepest first, each where the last
// file the log lists below it was.
void RemoveEmptiedParents(const CString& file, const CString& installDir, bool linksChecked, int index,
                          const std::unordered_map<std::string, int>& lastBelow) {
  CString name, dir;
  SplitPath(file, name, dir);
  for (;;) {
    CString parent;
    if (!SplitPath(dir, name, parent) || !BelowInstallDir(parent, installDir)) return;
    auto it = lastBelow.find(Folded(parent).str());
    if (it == lastBelow.end() || it->second != index) return;
    if (!RemoveOwnedFolder(parent, linksChecked)) return;
    dir = parent;
  }
}

// One registry line of the log: what is not there any more has been
// removed, by the user or never made by the product.
void RemoveLogRegLine(const CString& line, FailureBoxes& failures) {
  switch (RemoveRegEntry(line)) {
    case RegRemoval::kRemoved:
      platform::Journal(platform::JournalKind::kRegDeleted, line.str());
      break;
    case RegRemoval::kAbsent:
      platform::Journal(platform::JournalKind::kAlreadyGone, line.str());
      break;
    case RegRemoval::kRefused:
      platform::Journal(platform::JournalKind::kRegNotDeleted, line.str(), "shared");
      failures.Show(kSharedKey, line);
      break;
    case RegRemoval::kFailed:
      platform::Journal(platform::JournalKind::kRegNotDeleted, line.str());
      failures.Show("删除注册表键失败!", line);
      break;
  }
}

}  // namespace

namespace {
// The log lies in the folder the user chose to install into: links on the
// way to it are the user's layout, as they were for the install.
void TrustLogFolder(LPCSTR logPath) {
  CString name, dir;
  if (logPath && *logPath && SplitPath(logPath, name, dir)) platform::TrustExistingPart(dir.str());
}
}  // namespace

BOOL IsUninstallLogFile(LPCSTR path) {
  TrustLogFolder(path);
  CStdioFile log;
  CString line;
  return !platform::LinkInPath(path ? path : "") && log.Open(path, CFile::modeRead | CFile::typeText) &&
         log.ReadString(line) && IsMagic(line);
}

BOOL CSetupPackage::ProcessUninstallLog(LPCSTR logPath) {
  TrustLogFolder(logPath);
  CStdioFile log;
  // A log reached through a link is not the one the install wrote.
  if (platform::LinkInPath(logPath ? logPath : "") ||
      !log.Open(logPath, CFile::modeRead | CFile::typeText)) {
    AfxReportFailure(logPath, "打开卸载信息错误!");
    return FALSE;
  }
  m_bFilesLeft = false;
  CString line;
  if (!log.ReadString(line) || !IsMagic(line)) {
    AfxReportFailure(logPath, "不是合法的卸载文件!");
    return FALSE;
  }
  CString logName, installDir;
  SplitPath(logPath, logName, installDir);
  CStringArray files, lastLines;
  FailureBoxes failures, scheduled(kMoreScheduled, true);
  bool registry = false;
  const CString uninstallKeys = "HKEY_LOCAL_MACHINE\\" + UninstallKeyPath("");
  while (log.ReadString(line)) {
    // An empty line names nothing to remove.
    if (Blank(line)) continue;
    if (!registry) {
      if (line.CompareNoCase("[DeleteRegistry]") == 0)
        registry = true;
      else
        files.Add(line);
      continue;
    }
    // The product's entry in the list of installed programs goes last: an
    // uninstall stopped half-way can then be run again from it.
    if (line.GetLength() > uninstallKeys.GetLength() &&
        line.Left(uninstallKeys.GetLength()).CompareNoCase(uninstallKeys) == 0) {
      lastLines.Add(line);
      continue;
    }
    RemoveLogRegLine(line, failures);
  }
  const int n = files.GetSize();
  // A folder can empty only after the last file the log lists in it or
  // below it: its removal is tried there alone, deepest first, once (a
  // failed remove of a full folder costs as much as a delete). Above a
  // file's own folder only those inside the install folder are tried.
  std::vector<std::string> foldedDirs(static_cast<size_t>(n));
  std::unordered_map<std::string, int> lastBelow;
  for (int i = 0; i < n; ++i) {
    CString name, dir;
    SplitPath(files[i], name, dir);
    foldedDirs[static_cast<size_t>(i)] = Folded(dir).str();
    lastBelow[foldedDirs[static_cast<size_t>(i)]] = i;
    for (CString parent; SplitPath(dir, name, parent) && BelowInstallDir(parent, installDir); dir = parent)
      lastBelow[Folded(parent).str()] = i;
  }
  std::unordered_set<std::string> linkFree;  // folded folders seen without a link
  platform::PostNotify(m_hNotifyWnd, WM_UNINST_START, static_cast<WPARAM>(n), 0);
  for (int i = 0; i < n; ++i) {
    platform::PostNotify(m_hNotifyWnd, WM_UNINST_STEP, static_cast<WPARAM>(i),
                         static_cast<LPARAM>(n));
    const CString& file = files[i];
    // Products keep many files per folder; a folder's chain of links is
    // looked at once (slow on Windows, where each step is a directory
    // search). Only a refusal up front: the delete walks it again itself.
    CString name, dir;
    SplitPath(file, name, dir);
    const std::string& folded = foldedDirs[static_cast<size_t>(i)];
    const bool removable = IsRemovablePath(file);
    const bool last = lastBelow[folded] == i;
    bool folderOk = !dir.IsEmpty() && linkFree.count(folded) != 0;
    if (!folderOk && removable && !dir.IsEmpty() && !platform::LinkInPath(dir.str())) {
      linkFree.insert(folded);
      folderOk = true;
    }
    if (!removable) {
      platform::Journal(platform::JournalKind::kFileNotRemoved, file.str(), "refused");
      failures.Show(kFileNotRemoved, file);
    } else if (folderOk ? DeleteFileInCheckedFolder(file, last) : DeleteFileAndDir(file, last ? TRUE : FALSE)) {
      if (last) RemoveEmptiedParents(file, installDir, folderOk, i, lastBelow);
    } else if (!platform::Access(file.str()) && !platform::LinkInPath(file.str())) {
      platform::Journal(platform::JournalKind::kAlreadyGone, file.str());
      // Its folder may have emptied with the files before it.
      CString folder = dir;
      SetTrailingBackslash(folder, FALSE);
      if (last && folderOk && RemoveOwnedFolder(folder, true)) RemoveEmptiedParents(file, installDir, true, i, lastBelow);
    } else if (!platform::LinkInPath(file.str()) && platform::RemoveAtRestart(file.str())) {
      // Held by a running program: gone at the next start of Windows. The
      // restart delete goes by name, so a link anywhere on the way (one
      // that made the delete above refuse) keeps it from being asked.
      platform::Journal(platform::JournalKind::kFileScheduled, file.str());
      scheduled.Show(kFileScheduled, file);
    } else {
      // A link, as the name or on the way, is never the product's to
      // remove; any other file that stays keeps the log and the key for a
      // run that can finish.
      if (!platform::LinkInPath(file.str())) m_bFilesLeft = true;
      platform::Journal(platform::JournalKind::kFileNotRemoved, file.str());
      failures.Show(kFileNotRemoved, file);
    }
  }
  if (!m_bFilesLeft)
    for (const CString& line : lastLines.vec()) RemoveLogRegLine(line, failures);
  failures.ShowRest();
  scheduled.ShowRest();
  platform::PostNotify(m_hNotifyWnd, WM_UNINST_DONE, static_cast<WPARAM>(n), 0);
  log.Close();
  return TRUE;
}
