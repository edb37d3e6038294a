#include "afx/msgbox.h"
#include "engine/setup_app.h"
#include "platform/folder_browser.h"
#include "res/resource.h"
#include "sysint/path_ops.h"
#include "shell/wizard/page_rules.h"
#include "shell/wizard/wizard_dlg.h"

CPPTargetDir::CPPTargetDir() : CPropertyPageEx(IDD_TARGETDIR, "选择安装路径") {
  m_strPath = AfxGetApp()->m_strTargetDir;
  const CTarnSetupShellApp& app = *AfxGetApp();
  m_strInfo = TargetDirInfoText(app.m_strProductName, app.m_bInstalled, app.m_strInstalledVersion);
}

void CPPTargetDir::DoDataExchange(BOOL save) {
  DdxText(m_hWnd, IDC_TARGETPATH, m_strPath, save);
  DdxText(m_hWnd, IDC_INFO, m_strInfo, save);
}

BOOL CPPTargetDir::OnInitDialog() {
  CPropertyPageEx::OnInitDialog();
  SetDlgItemTextSafe(m_hWnd, IDC_HEADLINE, "选择安装路径");
  SetDlgItemTextSafe(m_hWnd, IDC_BROWSE, "浏览(&B)...");
  return TRUE;
}

BOOL CPPTargetDir::OnSetActive() {
  SetWizardButtons(kWizBack | kWizNext);
  return TRUE;
}

void CPPTargetDir::OnCommand(WORD id, WORD code) {
  if (id != IDC_BROWSE || code != BN_CLICKED) return;
  UpdateData(TRUE);
  std::string chosen;
  if (platform::BrowseForFolder(m_hWnd, &chosen) && !chosen.empty()) m_strPath = chosen.c_str();
  UpdateData(FALSE);
}

LRESULT CPPTargetDir::OnWizardNext() {
  UpdateData(TRUE);
  if (const char* problem = InstallPathProblem(m_strPath)) {
    AfxMessageBox(problem);
    return -1;
  }
  if (!CheckInstallDir(m_strPath, TRUE, TRUE)) return -1;
  AfxGetApp()->m_strTargetDir = m_strPath;
  return 0;
}
