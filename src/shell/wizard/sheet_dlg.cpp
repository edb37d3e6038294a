#include <windows.h>
#include "platform/wide.h"
#include "afx/msgbox.h"
#include "res/resource.h"
#include "shell/wizard/dialog_font.h"
#include "shell/wizard/wizard_dlg.h"

namespace {
// The sheet's callback carries no pointer of ours; one wizard runs at a time.
CPSTarnSetupShell* g_sheet = nullptr;
const int kBrandHeight = 55;
// The Wizard97 flag as the 4.71 common controls define it.
const DWORD kWizard97 = 0x2000;

// The sheet sizes its page area in its own font's dialog units, the pages
// lay themselves out in theirs: on a system whose dialog font is smaller
// than the pages' (an English one) the pages' lower and right edges were
// cut off. The sheet takes the pages' font.
void UsePagesFont(uint8_t* sheetTemplate) {
  HMODULE self = ::GetModuleHandleW(nullptr);
  HRSRC res = ::FindResourceW(self, MAKEINTRESOURCEW(IDD_WELCOME), MAKEINTRESOURCEW(5));  // RT_DIALOG
  HGLOBAL mem = res ? ::LoadResource(self, res) : nullptr;
  const uint8_t* page = mem ? static_cast<const uint8_t*>(::LockResource(mem)) : nullptr;
  DialogFont font;
  if (!page || !GetDialogTemplateFont(page, ::SizeofResource(self, res), &font)) return;
  // The sheet's template comes from the common controls: well formed.
  size_t length = DialogTemplateLength(sheetTemplate, 0x10000);
  if (length) SetDialogTemplateFont(sheetTemplate, length, font);
}
}  // namespace

CPSTarnSetupShell::CPSTarnSetupShell(LPCSTR caption, HWND parent, UINT startPage, HBITMAP watermark)
    : m_strCaption(caption), m_hParent(parent), m_nStartPage(startPage), m_hWatermark(watermark) {}

INT_PTR CPSTarnSetupShell::DoModal() {
  CPropertyPageEx* pages[] = {&m_pageWelcome, &m_pageLicence, &m_pageTargetDir, &m_pageInstall,
                              &m_pageFinish};
  HPROPSHEETPAGE handles[5];
  for (int i = 0; i < 5; ++i) handles[i] = pages[i]->CreatePage();
  const std::wstring caption = platform::Wide(m_strCaption);
  PROPSHEETHEADERW psh = {};
  psh.dwSize = sizeof psh;
  psh.dwFlags = kWizard97 | PSH_USECALLBACK;
  if (m_hWatermark) psh.dwFlags |= PSH_WATERMARK | PSH_USEHBMWATERMARK;
  psh.hwndParent = m_hParent;
  psh.hInstance = ::GetModuleHandleW(nullptr);
  psh.pszCaption = caption.c_str();
  psh.nPages = 5;
  psh.nStartPage = m_nStartPage;
  psh.phpage = handles;
  psh.pfnCallback = SheetCallback;
  psh.hbmWatermark = m_hWatermark;
  g_sheet = this;
  INT_PTR result = ::PropertySheetW(&psh);
  g_sheet = nullptr;
  AfxSetMainWndHandle(nullptr);
  m_hWnd = nullptr;
  return result;
}

int CALLBACK CPSTarnSetupShell::SheetCallback(HWND wnd, UINT msg, LPARAM lp) {
  if (msg == PSCB_PRECREATE && lp) UsePagesFont(reinterpret_cast<uint8_t*>(lp));
  if (msg != PSCB_INITIALIZED || !g_sheet) return 0;
  CPSTarnSetupShell* self = g_sheet;
  self->m_hWnd = wnd;
  AfxSetMainWndHandle(wnd);
  ::SetWindowTextW(wnd, platform::Wide(self->m_strCaption).c_str());
  // What the framework's sheet does on creation: the brand line over the
  // whole window, then placed along the bottom as on every resize.
  RECT r;
  ::GetWindowRect(wnd, &r);
  self->m_hBrand = ::CreateWindowExW(0, L"STATIC", L"TarnSetupV1.5",
                                     WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS,
                                     0, 0, r.right - r.left, r.bottom - r.top, wnd,
                                     reinterpret_cast<HMENU>(10), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(self->m_hBrand, WM_SETFONT, ::SendMessageW(wnd, WM_GETFONT, 0, 0), FALSE);
  self->m_pfnSheetProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
  self->PlaceBrandLine();
  return 0;
}

void CPSTarnSetupShell::PlaceBrandLine() {
  if (!m_hBrand) return;
  RECT r;
  ::GetWindowRect(m_hWnd, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  // Below its siblings, clipped by them: on top it would paint over the
  // Back button that shares its strip.
  ::SetWindowPos(m_hBrand, HWND_BOTTOM, 0, height - kBrandHeight, width, kBrandHeight, 0);
}

LRESULT CALLBACK CPSTarnSetupShell::SheetProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  CPSTarnSetupShell* self = g_sheet;
  WNDPROC base = self ? self->m_pfnSheetProc : nullptr;
  if (!base) return ::DefWindowProcW(wnd, msg, wp, lp);
  // Closing the window is Cancel, asked once. (Wine's sheet would ask on
  // the close and again on the Cancel command that the default close
  // handling sends, which after a No lands on whatever page is current.)
  if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE)) {
    ::PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(wnd, IDCANCEL)));
    return 0;
  }
  LRESULT result = ::CallWindowProcW(base, wnd, msg, wp, lp);
  if (msg == WM_SIZE) self->PlaceBrandLine();
  return result;
}
