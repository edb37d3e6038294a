#include "shell/wizard/page_dlg.h"
#include "platform/wide.h"
#include "res/resource.h"
#include "shell/wizard/progress_steps.h"
#include <vector>
#include "afx/msgbox.h"
#include "shell/wizard/page_rules.h"

void SetDlgItemTextSafe(HWND parent, int id, LPCSTR text) {
  if (!parent) return;
  if (HWND child = ::GetDlgItem(parent, id)) ::SetWindowTextW(child, platform::Wide(text).c_str());
}

void DdxText(HWND dlg, int id, CString& value, BOOL save) {
  HWND ctl = ::GetDlgItem(dlg, id);
  if (!ctl) return;
  if (!save) {
    ::SetWindowTextW(ctl, platform::Wide(value).c_str());
    return;
  }
  int n = ::GetWindowTextLengthW(ctl);
  std::vector<wchar_t> buf(static_cast<size_t>(n) + 1);
  n = ::GetWindowTextW(ctl, buf.data(), n + 1);
  value = platform::Narrow(buf.data(), static_cast<size_t>(n > 0 ? n : 0)).c_str();
}

void ShowProgressStep(HWND dlg, UINT msg, const stuProgressStep& step, CString& status) {
  if (status != step.text) {
    status = step.text;
    DdxText(dlg, IDC_STATUS, status, FALSE);
  }
  HWND bar = ::GetDlgItem(dlg, IDC_PROGRESS);
  if (step.setRange) ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(1, step.rangeMax));
  MSG later;
  bool newer = !step.setRange && !step.finished && step.pos > 0 &&
               ::PeekMessageW(&later, dlg, msg, msg, PM_NOREMOVE);
  if (!newer) ::SendMessageW(bar, PBM_SETPOS, step.pos, 0);
}

void DdxRadio(HWND dlg, int firstId, int& value, BOOL save) {
  // The group's buttons carry consecutive ids; the next WS_GROUP ends it.
  if (save) value = -1;
  for (int i = 0;; ++i) {
    HWND ctl = ::GetDlgItem(dlg, firstId + i);
    if (!ctl || (i > 0 && (::GetWindowLongW(ctl, GWL_STYLE) & WS_GROUP))) break;
    if (save) {
      if (::SendMessageW(ctl, BM_GETCHECK, 0, 0) == BST_CHECKED) value = i;
    } else {
      ::SendMessageW(ctl, BM_SETCHECK, i == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

CPropertyPageEx::CPropertyPageEx(UINT templateId, LPCSTR title)
    : m_nTemplate(templateId), m_strTitle(title) {}

HPROPSHEETPAGE CPropertyPageEx::CreatePage() {
  m_wstrTitle = platform::Wide(m_strTitle);
  PROPSHEETPAGEW psp = {};
  psp.dwSize = sizeof psp;
  psp.dwFlags = PSP_USETITLE;
  psp.hInstance = ::GetModuleHandleW(nullptr);
  psp.pszTemplate = MAKEINTRESOURCEW(m_nTemplate);
  psp.pszTitle = m_wstrTitle.c_str();
  psp.pfnDlgProc = DialogProc;
  psp.lParam = reinterpret_cast<LPARAM>(this);
  return ::CreatePropertySheetPageW(&psp);
}

BOOL CPropertyPageEx::UpdateData(BOOL save) {
  DoDataExchange(save);
  return TRUE;
}

void CPropertyPageEx::SetWizardButtons(DWORD flags) {
  ::PostMessageW(GetSheet(), PSM_SETWIZBUTTONS, 0, flags);
}

BOOL CPropertyPageEx::AskQuit() {
  return AfxShowMessage(m_hWnd, kQuitQuestion, kQuitCaption,
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

INT_PTR CPropertyPageEx::OnNotify(NMHDR* hdr) {
  LRESULT result = 0;
  switch (hdr->code) {
    case PSN_SETACTIVE: result = OnSetActive() ? 0 : -1; break;
    case PSN_KILLACTIVE: result = OnKillActive() ? FALSE : TRUE; break;
    case PSN_WIZNEXT: result = OnWizardNext(); break;
    case PSN_WIZBACK: result = OnWizardBack(); break;
    case PSN_QUERYCANCEL: result = OnQueryCancel() ? FALSE : TRUE; break;
    default: return FALSE;
  }
  ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK CPropertyPageEx::DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  CPropertyPageEx* page;
  if (msg == WM_INITDIALOG) {
    page = reinterpret_cast<CPropertyPageEx*>(reinterpret_cast<PROPSHEETPAGEW*>(lp)->lParam);
    page->m_hWnd = wnd;
    ::SetWindowLongPtrW(wnd, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    return page->OnInitDialog();
  }
  page = reinterpret_cast<CPropertyPageEx*>(::GetWindowLongPtrW(wnd, DWLP_USER));
  if (!page) return FALSE;
  LRESULT answer = 0;
  if (page->OnMessage(msg, wp, lp, &answer)) {
    ::SetWindowLongPtrW(wnd, DWLP_MSGRESULT, answer);
    return TRUE;
  }
  switch (msg) {
    case WM_NOTIFY: return page->OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_COMMAND: page->OnCommand(LOWORD(wp), HIWORD(wp)); return FALSE;
    case WM_DESTROY: page->m_hWnd = nullptr; return FALSE;
    default: return FALSE;
  }
}
