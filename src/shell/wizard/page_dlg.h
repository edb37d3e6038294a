// A dialog-template property page in the framework's shape, on the plain
// property sheet API: the sheet's notifications become virtual calls, and
// data exchange moves texts and radio choices between members and controls.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <string>
#include "afx/cstring.h"

// Sets a child control's text when the window and the control exist.
void SetDlgItemTextSafe(HWND parent, int id, LPCSTR text);

void DdxText(HWND dlg, int id, CString& value, BOOL save);

struct stuProgressStep;
// Shows one progress step in dlg's status text and bar. Every entry brings
// a message with the same text, and a worker faster than the screen leaves
// a queue of steps: the text is drawn only when it changes and the bar only
// for the last step queued, so the window keeps up with the worker.
void ShowProgressStep(HWND dlg, UINT msg, const stuProgressStep& step, CString& status);
// The index of the checked button of the group that starts at firstId.
void DdxRadio(HWND dlg, int firstId, int& value, BOOL save);

class CPropertyPageEx {
 public:
  CPropertyPageEx(UINT templateId, LPCSTR title);
  virtual ~CPropertyPageEx() = default;
  CPropertyPageEx(const CPropertyPageEx&) = delete;
  CPropertyPageEx& operator=(const CPropertyPageEx&) = delete;

  HPROPSHEETPAGE CreatePage();
  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  virtual void DoDataExchange(BOOL /*save*/) {}
  virtual BOOL OnInitDialog() { UpdateData(FALSE); return TRUE; }
  virtual BOOL OnSetActive() { return TRUE; }
  virtual BOOL OnKillActive() { return UpdateData(TRUE); }
  // 0: the next (previous) page; -1: stay.
  virtual LRESULT OnWizardNext() { return 0; }
  virtual LRESULT OnWizardBack() { return 0; }
  // TRUE lets the sheet close.
  virtual BOOL OnQueryCancel() { return TRUE; }
  virtual void OnCommand(WORD /*id*/, WORD /*code*/) {}
  // Any message before the page's own handling; TRUE when it was answered.
  virtual BOOL OnMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT* /*result*/) { return FALSE; }

  BOOL UpdateData(BOOL save);
  HWND GetSheet() const { return ::GetParent(m_hWnd); }
  void SetWizardButtons(DWORD flags);
  // Yes/No question owned by the page, No the default: TRUE for Yes.
  BOOL AskQuit();

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR OnNotify(NMHDR* hdr);

  UINT m_nTemplate;
  CString m_strTitle;
  std::wstring m_wstrTitle;  // the sheet keeps the pointer
};
