#include "shell/uninstall_dlg.h"
#include "platform/wide.h"
#include <commctrl.h>
#include "platform/notify.h"
#include "platform/shell_link.h"
#include "res/resource.h"
#include "shell/art_load.h"
#include "engine/install_runner.h"
#include "engine/uninstall_messages.h"
#include "shell/wizard/page_dlg.h"
#include "shell/wizard/progress_steps.h"

CUninstallDlg::CUninstallDlg(LPCSTR keyName, LPCSTR logPath, HWND parent)
    : m_hParent(parent), m_strKeyName(keyName), m_strLogPath(logPath) {}

CUninstallDlg::~CUninstallDlg() {
  if (m_hThread) ::CloseHandle(m_hThread);
  if (m_hSide) ::DeleteObject(m_hSide);
}

INT_PTR CUninstallDlg::DoModal() {
  INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNINSTALL),
                                     m_hParent, DialogProc, reinterpret_cast<LPARAM>(this));
  // The dialog ends only after the worker's last message, but the worker
  // may still be removing the Uninstall key after a failure.
  if (m_hThread) ::WaitForSingleObject(m_hThread, INFINITE);
  return result;
}

BOOL CUninstallDlg::OnInitDialog() {
  ::SetWindowTextW(m_hWnd, platform::Wide("卸载").c_str());
  m_hSide = ShowPackedBitmap(m_hWnd, IDC_SIDE, IDB_SIDE);
  SetDlgItemTextSafe(m_hWnd, IDC_HEADLINE, "正在卸载软件,请稍等...");
  ::ShowWindow(::GetDlgItem(m_hWnd, IDC_EXIT), SW_HIDE);
  m_hThread = ::CreateThread(nullptr, 0, UninstallThreadProc, this, 0, nullptr);
  return TRUE;
}

DWORD WINAPI CUninstallDlg::UninstallThreadProc(LPVOID param) {
  CUninstallDlg* dlg = static_cast<CUninstallDlg*>(param);
  platform::ComScope com;
  if (!CInstallRunner::Uninstall(dlg->m_strLogPath, dlg->m_hWnd)) {
    platform::PostNotify(dlg->m_hWnd, WM_UNINST_FAILED, 0, 0);
    RemoveUninstallKey(dlg->m_strKeyName);
  }
  return 0;
}

void CUninstallDlg::OnProgress(UINT msg, WPARAM wp) {
  stuProgressStep step = UninstallProgressStep(msg, wp);
  if (!step.handled) return;
  ShowProgressStep(m_hWnd, msg, step, m_strStatus);
  if (step.finished) {
    // Exit is then the default button, so Enter and Esc end the dialog too.
    HWND exit = ::GetDlgItem(m_hWnd, IDC_EXIT);
    ::ShowWindow(exit, SW_SHOW);
    ::SendMessageW(m_hWnd, DM_SETDEFID, IDC_EXIT, 0);
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(exit), TRUE);
    m_bFinished = true;
  }
}

INT_PTR CALLBACK CUninstallDlg::DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  CUninstallDlg* dlg;
  if (msg == WM_INITDIALOG) {
    dlg = reinterpret_cast<CUninstallDlg*>(lp);
    dlg->m_hWnd = wnd;
    ::SetWindowLongPtrW(wnd, DWLP_USER, lp);
    return dlg->OnInitDialog();
  }
  dlg = reinterpret_cast<CUninstallDlg*>(::GetWindowLongPtrW(wnd, DWLP_USER));
  if (!dlg) return FALSE;
  if (msg == WM_COMMAND) {
    // Exit only: Esc and the close box would end the dialog while the
    // worker still removes things.
    const WORD id = LOWORD(wp);
    if ((id == IDC_EXIT && HIWORD(wp) == BN_CLICKED) ||
        (dlg->m_bFinished && (id == IDOK || id == IDCANCEL)))
      ::EndDialog(wnd, 1);
    return TRUE;
  }
  dlg->OnProgress(msg, wp);
  return FALSE;
}
