#include "afx/msgbox.h"
#include <atomic>

namespace {
std::atomic<HWND> g_mainWnd{nullptr};
}

int AfxMessageBox(LPCSTR text, UINT type) {
  return platform::ShowMessageBox(g_mainWnd.load(), text ? text : "", platform::AppCaption(), type);
}

int AfxShowMessage(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return platform::ShowMessageBox(owner, text ? text : "", caption ? caption : "", type);
}

HWND AfxGetMainWndHandle() { return g_mainWnd.load(); }
void AfxSetMainWndHandle(HWND wnd) { g_mainWnd.store(wnd); }
