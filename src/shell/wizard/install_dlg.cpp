#include "afx/msgbox.h"
#include "engine/setup_app.h"
#include "engine/setup_package.h"
#include "platform/notify.h"
#include "platform/shell_link.h"
#include "res/resource.h"
#include "engine/install_runner.h"
#include "shell/wizard/page_rules.h"
#include "shell/wizard/progress_steps.h"
#include "shell/wizard/wizard_dlg.h"

namespace {
const UINT_PTR kAnimTimer = 1;
const UINT kAnimPeriodMs = 100;
const UINT kAnimIcons[] = {IDI_ANIM0, IDI_ANIM1, IDI_ANIM2};
}  // namespace

CPPInstall::CPPInstall() : CPropertyPageEx(IDD_INSTALL, "安装") {}

CPPInstall::~CPPInstall() {
  platform::SetNotifyHandler(nullptr);
  bool running = m_hThread && ::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT;
  if (!running) delete m_pGate;
  if (m_hThread) ::CloseHandle(m_hThread);
}

void CPPInstall::DoDataExchange(BOOL save) { DdxText(m_hWnd, IDC_STATUS, m_strStatus, save); }

BOOL CPPInstall::OnSetActive() {
  if (!m_hThread) {
    // Every progress post of the worker passes the gate: that is where it
    // can be held while the quit question is open.
    CInstallGate* gate = m_pGate;
    platform::SetNotifyHandler([gate](HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
      gate->Checkpoint();
      platform::NativePostNotify(wnd, msg, wp, lp);
      if (msg == WM_SETUP_DATA_END) gate->WaitForHandOver();
    });
    m_hThread = ::CreateThread(nullptr, 0, InstallThreadProc, this, 0, nullptr);
  }
  SetWizardButtons(kWizDisabledFinish);
  if (HWND cancel = ::GetDlgItem(GetSheet(), IDCANCEL)) ::ShowWindow(cancel, SW_HIDE);
  ::SetTimer(m_hWnd, kAnimTimer, kAnimPeriodMs, nullptr);
  m_nIconFrame = 0;
  return TRUE;
}

DWORD WINAPI CPPInstall::InstallThreadProc(LPVOID param) {
  CPPInstall* page = static_cast<CPPInstall*>(param);
  platform::ComScope com;
  CString packageFile = AfxGetApp()->GetPackageFile();
  if (packageFile.IsEmpty()) {
    AfxMessageBox("安装数据错误,无法正常安装!");
    return static_cast<DWORD>(-1);
  }
  CInstallRunner::Install(packageFile, page->m_hWnd);
  return 0;
}

BOOL CPPInstall::OnQueryCancel() {
  m_pGate->Pause();
  m_bAsking = TRUE;
  BOOL quit = AskQuit();
  m_bAsking = FALSE;
  if (quit) {
    // Stop first, then wake the worker: it must find the stop set.
    RequestInstallStop();
    m_pGate->Quit();
    return TRUE;
  }
  m_pGate->Resume();
  if (m_bDataEndPending) {
    m_bDataEndPending = FALSE;
    ::PostMessageW(m_hWnd, WM_SETUP_DATA_END, 0, 0);
  }
  return FALSE;
}

BOOL CPPInstall::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT*) {
  if (msg == WM_TIMER) {
    OnTimer(wp);
    return FALSE;
  }
  if (msg == WM_SETUP_DATA_END && m_bAsking) {
    // The question is open: the finish page waits for its answer.
    m_bDataEndPending = TRUE;
    return TRUE;
  }
  OnProgress(msg, wp);
  return FALSE;
}

void CPPInstall::OnProgress(UINT msg, WPARAM wp) {
  stuProgressStep step = InstallProgressStep(msg, wp);
  if (!step.handled) return;
  ShowProgressStep(m_hWnd, msg, step, m_strStatus);
  if (step.finished) {
    ::KillTimer(m_hWnd, kAnimTimer);
    m_pGate->HandOver();
    ::SendMessageW(GetSheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
  }
}

void CPPInstall::OnTimer(UINT_PTR id) {
  if (id != kAnimTimer) return;
  if (m_nIconFrame < 0 || m_nIconFrame > 2) {
    m_nIconFrame = 0;
    return;
  }
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAnimIcons[m_nIconFrame]));
  ::SendDlgItemMessageW(m_hWnd, IDC_ANIMICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  m_nIconFrame = (m_nIconFrame + 1) % 3;
}

void CPPInstall::WaitForWorker() {
  if (!m_hThread) return;
  // After a quit too: the worker then undoes the install, and the
  // temporary package must stay until it has.
  for (;;) {
    DWORD r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, 100, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return;
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
  }
}
