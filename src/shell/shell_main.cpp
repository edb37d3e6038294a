// The setup shell's entry: the one application object and its start-up,
// which chooses the run mode from the command line and ends the program
// when the wizard or the uninstall dialog closes.
#include <windows.h>
#include "platform/wide.h"
#include <commctrl.h>
#include "afx/msgbox.h"
#include "shell/art_load.h"
#include "shell/command_line.h"
#include "shell/payload_extract.h"
#include "shell/silent.h"
#include "engine/rollback_journal.h"
#include "engine/setup_app.h"
#include "shell/ui_script.h"
#include "platform/fs.h"
#include "shell/installed_product.h"
#include "platform/shell_link.h"
#include "res/resource.h"
#include "shell/uninstall_dlg.h"
#include "shell/wizard/page_dlg.h"
#include "shell/wizard/wizard_dlg.h"

namespace {

INT_PTR CALLBACK ReadingDataProc(HWND wnd, UINT msg, WPARAM, LPARAM) {
  if (msg != WM_INITDIALOG) return FALSE;
  ::SetWindowTextW(wnd, platform::Wide("正在读取数据，请等待...").c_str());
  SetDlgItemTextSafe(wnd, IDC_HEADLINE, "正在读取数据，请等待...");
  return TRUE;
}

// The small window shown while the payload is extracted.
class CReadingDataDlg {
 public:
  CReadingDataDlg() {
    m_hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_READINGDATA),
                                  nullptr, ReadingDataProc, 0);
    if (m_hWnd) {
      ::ShowWindow(m_hWnd, SW_SHOW);
      ::UpdateWindow(m_hWnd);
    }
  }
  ~CReadingDataDlg() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
  }
  CReadingDataDlg(const CReadingDataDlg&) = delete;
  CReadingDataDlg& operator=(const CReadingDataDlg&) = delete;
  void Hide() {
    if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
  }

 private:
  HWND m_hWnd = nullptr;
};

class CWaitCursor {
 public:
  CWaitCursor() : m_hOld(::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514) /* IDC_WAIT */))) {}
  ~CWaitCursor() { ::SetCursor(m_hOld); }

 private:
  HCURSOR m_hOld;
};

}  // namespace

class CTarnSetupShell : public CTarnSetupShellApp {
 public:
  ~CTarnSetupShell() override;
  BOOL InitInstance() override;
  virtual BOOL ExtractPayload();
  virtual void LoadUIScript();

  LPCSTR m_lpCmdLine = nullptr;
  // The process's exit code: only the silent modes set it.
  int m_nExitCode = 0;

 private:
  void RunUninstall(const stuCommandLine& cmd);
  void RunInstall(HBITMAP watermark);
};

namespace {
const char kEarlierInstallUndone[] = "上次的安装没有完成,已撤销它所做的更改!已运行的程序不能撤销。";

// A held blob goes when its last handle closes (the held install worker's,
// after a quit); anything else that cannot be deleted now goes at the next
// start of Windows.
void RemoveTempFile(CString& path) {
  if (path.IsEmpty()) return;
  const std::wstring wide = platform::Wide(path);
  if (!platform::RemoveFile(path.str()) && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
    ::MoveFileExW(wide.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  path.Empty();
}
}  // namespace

CTarnSetupShell::~CTarnSetupShell() {
  RemoveTempFile(m_strUIScriptFile);
  RemoveTempFile(m_strPackageFile);
}

BOOL CTarnSetupShell::ExtractPayload() {
  CWaitCursor wait;
  return ExtractPayloadTo(*this, MachineExtractEnv());
}

void CTarnSetupShell::LoadUIScript() { LoadUIScriptInto(*this); }

BOOL CTarnSetupShell::InitInstance() {
  stuCommandLine cmd = SplitCommandLine(m_lpCmdLine);
  // An install killed or cut off by a power loss is undone before anything
  // else runs; a silent run does it without a word.
  if (RecoverRollbacks() > 0 && !cmd.bSilent) AfxMessageBox(kEarlierInstallUndone);
  if (cmd.bSilent) {
    m_nExitCode = RunSilent(cmd, m_lpCmdLine, *this, MachineExtractEnv(), SilentLogPath());
    return FALSE;
  }
  // The wizard's folder browser and shell look-ups run on this thread.
  platform::ComScope com;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  HBITMAP watermark = LoadPackedBitmap(IDB_WATERMARK);

  if (cmd.bUninstall)
    RunUninstall(cmd);
  else
    RunInstall(watermark);
  if (watermark) ::DeleteObject(watermark);
  return FALSE;
}

void CTarnSetupShell::RunUninstall(const stuCommandLine& cmd) {
  if (AfxShowMessage(nullptr, "卸载软件后将无法恢复,您真的要卸载吗?", "卸载确认",
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  CUninstallDlg dlg(cmd.strKeyName, cmd.strLogPath, nullptr);
  dlg.DoModal();
}

void CTarnSetupShell::RunInstall(HBITMAP watermark) {
  CReadingDataDlg reading;
  if (!ExtractPayload()) return;
  reading.Hide();
  LoadUIScript();
  if (!AcceptInstalledProduct(*this)) return;
  CPSTarnSetupShell sheet("塔恩软件发布工具", nullptr, 0, watermark);
  sheet.DoModal();
  // The worker may still be writing the uninstall information, with this
  // object's fields and its package file.
  sheet.InstallPage().WaitForWorker();
}

namespace {
CTarnSetupShell theApp;

// The text after the program's own path, as the framework hands it over;
// read in Unicode, so a folder in any language comes through whole.
std::string g_arguments;
LPCSTR CommandLineArguments() {
  LPCWSTR p = ::GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  g_arguments = platform::Narrow(p);
  return g_arguments.c_str();
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.m_lpCmdLine = CommandLineArguments();
  theApp.InitInstance();
  return theApp.m_nExitCode;
}
