#include "engine/setup_app.h"
#include "platform/wide.h"
#include "res/resource.h"
#include "shell/art_load.h"
#include "shell/wizard/page_rules.h"
#include "shell/wizard/wizard_dlg.h"

CPPWelcome::CPPWelcome() : CPropertyPageEx(IDD_WELCOME, "欢迎") {
  m_strWelcome = AfxGetApp()->m_strWelcomeText;
}

CPPWelcome::~CPPWelcome() {
  if (m_hSide) ::DeleteObject(m_hSide);
}

BOOL CPPWelcome::OnInitDialog() {
  CPropertyPageEx::OnInitDialog();
  m_hSide = ShowPackedBitmap(m_hWnd, IDC_SIDE, IDB_SIDE);
  return TRUE;
}

void CPPWelcome::DoDataExchange(BOOL save) { DdxText(m_hWnd, IDC_WELCOME, m_strWelcome, save); }

BOOL CPPWelcome::OnSetActive() {
  ::SetWindowTextW(m_hWnd, platform::Wide("欢迎").c_str());
  SetWizardButtons(kWizNext);
  return TRUE;
}

CPPFinish::CPPFinish() : CPropertyPageEx(IDD_FINISH, "完成安装") {}

BOOL CPPFinish::OnInitDialog() {
  CPropertyPageEx::OnInitDialog();
  SetDlgItemTextSafe(m_hWnd, IDC_THANKS, "感谢您安装我们的软件产品 !");
  return TRUE;
}

BOOL CPPFinish::OnSetActive() {
  SetWizardButtons(kWizFinish);
  // The button that had the focus was hidden by the install page: give it
  // to Finish, after the posted button change, so Enter finishes.
  HWND sheet = GetSheet();
  ::PostMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(sheet, 0x3025)), TRUE);
  return TRUE;
}
