// The uninstall mode's dialog: a worker removes what the log lists while
// the dialog shows its progress; Exit appears when the work is over.
#pragma once
#include <windows.h>
#include "afx/cstring.h"

class CUninstallDlg {
 public:
  CUninstallDlg(LPCSTR keyName, LPCSTR logPath, HWND parent);
  ~CUninstallDlg();
  CUninstallDlg(const CUninstallDlg&) = delete;
  CUninstallDlg& operator=(const CUninstallDlg&) = delete;
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static DWORD WINAPI UninstallThreadProc(LPVOID param);
  BOOL OnInitDialog();
  void OnProgress(UINT msg, WPARAM wp);

  HWND m_hWnd = nullptr;
  HWND m_hParent;
  CString m_strStatus;
  CString m_strKeyName;
  CString m_strLogPath;
  HANDLE m_hThread = nullptr;
  HBITMAP m_hSide = nullptr;
  bool m_bFinished = false;  // the worker is done: Exit, Enter and Esc end the dialog
};
