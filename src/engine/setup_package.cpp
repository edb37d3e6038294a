#include "engine/setup_package.h"
#include <string>
#include "afx/msgbox.h"
#include "packet/packet_frame.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "sysint/path_ops.h"

namespace {
// The version a package to be read says it is, when it is one of ours; the
// packet reader then checks the header against it as before.
const char* ReadVersion(LPCSTR packageFile) {
  CFile file;
  if (!packageFile || !*packageFile ||
      !file.Open(packageFile, CFile::modeRead | CFile::shareDenyWrite))
    return tsp::kVersion;
  packet::Frame frame;
  packet::ReadHead(file, nullptr, &frame);
  return frame.version == tsp::kVersionFourByte ? tsp::kVersionFourByte : tsp::kVersion;
}
}  // namespace

CSetupPackage::CSetupPackage(LPCSTR packageFile, LPCSTR targetDir, LPCSTR scriptFile,
                             HWND notifyWnd) {
  m_strPacketFile = packageFile;
  // A build chooses its version once it knows the names (MakePacket).
  m_strVersion = scriptFile && *scriptFile ? tsp::kVersion : ReadVersion(packageFile);
  m_strScriptFile = scriptFile;
  m_hNotifyWnd = notifyWnd;

  m_strTargetDir = targetDir;
  SetTrailingBackslash(m_strTargetDir, FALSE);
  // What exists of the folder the user chose is the user's layout.
  if (!m_strTargetDir.IsEmpty()) platform::TrustExistingPart(m_strTargetDir.str());
  m_strWinSysDir = platform::SystemDirectory();
  m_strWinDir = platform::WindowsDirectory();
  CString moduleName;
  SplitPath(platform::ModuleFileName().c_str(), moduleName, m_strSetupDir);

  // The first failed look-up leaves it and all later folders empty.
  std::string path;
  bool ok = platform::SpecialFolderPath(platform::kFolderPrograms, &path);
  if (ok) m_strProgramsFolder = path;
  ok = ok && platform::SpecialFolderPath(platform::kFolderStartup, &path);
  if (ok) m_strStartupFolder = path;
  ok = ok && platform::SpecialFolderPath(platform::kFolderDesktop, &path);
  if (ok) m_strDesktopFolder = path;
  if (ok) {
    path = platform::WindowsDirectory();
    ok = !path.empty();
    m_strWindowsFolder = path;
  }
  if (ok) {
    path = platform::SystemDirectory();
    ok = !path.empty();
    m_strSystemFolder = path;
  }
  if (!ok) AfxReportFailure("", "初始化失败!");
  // Where these folders are links (a moved profile, Wine's home folders),
  // that is the machine's layout: the link checks begin below them.
  platform::TrustMachineFolders();
}

CSetupPackage::~CSetupPackage() { m_arrIndex.RemoveAll(); }

BOOL CSetupPackage::ExpandDirMacro(CString& path) {
  int slash = path.Find('\\');
  if (slash < 0) {
    AfxReportFailure(path, "脚本格式错误!");
    return FALSE;
  }
  CString head = path.Left(slash);
  const CString* dir = nullptr;
  if (head.CompareNoCase("<TARGETDIR>") == 0)
    dir = &m_strTargetDir;
  else if (head.CompareNoCase("<WINSYSDIR>") == 0)
    dir = &m_strWinSysDir;
  else if (head.CompareNoCase("<WINDIR>") == 0)
    dir = &m_strWinDir;
  else if (head.CompareNoCase("<SETUPDIR>") == 0)
    dir = &m_strSetupDir;
  if (!dir) {
    AfxReportFailure(path, "非法安装路径!");
    return FALSE;
  }
  path = *dir + "\\" + path.Mid(slash + 1);
  return TRUE;
}

void CSetupPackage::AddUninstallFile(LPCSTR path) {
  CString key = path;
  key.MakeLower();  // Latin letters only, as CompareNoCase folds them
  if (!m_uninstallKeys.insert(key.str()).second) return;
  m_saUninstallFiles.Add(path);
}

void CSetupPackage::AddUninstallRegKey(LPCSTR entry) {
  // Lines the package's own registry lists carry are already in the log;
  // looked up in a set, so that merging an earlier log of many thousand
  // lines stays linear.
  for (; m_nScriptRegKeysFolded < m_saScriptRegKeys.GetSize(); ++m_nScriptRegKeysFolded) {
    CString folded = m_saScriptRegKeys[m_nScriptRegKeysFolded];
    folded.MakeLower();
    m_scriptRegKeys.insert(folded.str());
  }
  CString folded = entry;
  folded.MakeLower();
  if (m_scriptRegKeys.count(folded.str())) return;
  m_saRegKeys.Add(entry);
}
