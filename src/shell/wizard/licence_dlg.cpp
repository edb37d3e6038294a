#include "engine/setup_app.h"
#include "res/resource.h"
#include "shell/wizard/page_rules.h"
#include "shell/wizard/wizard_dlg.h"

CPPLicence::CPPLicence() : CPropertyPageEx(IDD_LICENCE, "软件许可证协议") {
  m_strLicence = AfxGetApp()->m_strLicence;
}

void CPPLicence::DoDataExchange(BOOL save) {
  DdxText(m_hWnd, IDC_LICENCE, m_strLicence, save);
  DdxRadio(m_hWnd, IDC_ACCEPT, m_nChoice, save);
}

BOOL CPPLicence::OnInitDialog() {
  CPropertyPageEx::OnInitDialog();
  ::SendDlgItemMessageW(m_hWnd, IDC_LICENCE, EM_FMTLINES, TRUE, 0);
  SetDlgItemTextSafe(m_hWnd, IDC_LICENCENOTE,
                     "如果您不接受以上协议，请退出安装，继续安装则认为您已接受以上协议");
  SetDlgItemTextSafe(m_hWnd, IDC_ACCEPT, "是的，我接受以上协议");
  SetDlgItemTextSafe(m_hWnd, IDC_DECLINE, "不，我不接受以上协议");
  return TRUE;
}

BOOL CPPLicence::OnSetActive() {
  SetWizardButtons(LicenceButtons(m_nChoice));
  return TRUE;
}

void CPPLicence::OnCommand(WORD id, WORD code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_ACCEPT) SetWizardButtons(LicenceButtons(0));
  if (id == IDC_DECLINE) SetWizardButtons(LicenceButtons(1));
}

LRESULT CPPLicence::OnWizardNext() {
  m_bForward = TRUE;
  return 0;
}

LRESULT CPPLicence::OnWizardBack() {
  m_bForward = FALSE;
  return 0;
}

BOOL CPPLicence::OnKillActive() {
  UpdateData(TRUE);
  return LicenceMayLeave(m_bForward, m_nChoice);
}
