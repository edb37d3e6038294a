// The install wizard: a Wizard97 property sheet with five pages.
#pragma once
#include "shell/wizard/install_gate.h"
#include "shell/wizard/page_dlg.h"

class CPPWelcome : public CPropertyPageEx {
 public:
  CPPWelcome();
  ~CPPWelcome() override;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(BOOL save) override;
  BOOL OnSetActive() override;
  BOOL OnQueryCancel() override { return AskQuit(); }

 private:
  CString m_strWelcome;
  HBITMAP m_hSide = nullptr;
};

class CPPLicence : public CPropertyPageEx {
 public:
  CPPLicence();

 protected:
  void DoDataExchange(BOOL save) override;
  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;
  BOOL OnQueryCancel() override { return AskQuit(); }
  void OnCommand(WORD id, WORD code) override;

 private:
  CString m_strLicence;
  int m_nChoice = 1;  // 0 accepts, 1 declines
  BOOL m_bForward = FALSE;
};

class CPPTargetDir : public CPropertyPageEx {
 public:
  CPPTargetDir();

 protected:
  void DoDataExchange(BOOL save) override;
  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  LRESULT OnWizardNext() override;
  BOOL OnQueryCancel() override { return AskQuit(); }
  void OnCommand(WORD id, WORD code) override;

 private:
  CString m_strPath;
  CString m_strInfo;
};

class CPPInstall : public CPropertyPageEx {
 public:
  CPPInstall();
  ~CPPInstall() override;

  // After the wizard closed: waits for the worker to finish, or, when the
  // user quit, until it is held at a safe point. Pumps messages meanwhile,
  // since the worker may still show message boxes.
  void WaitForWorker();

 protected:
  void DoDataExchange(BOOL save) override;
  BOOL OnSetActive() override;
  BOOL OnQueryCancel() override;
  BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  static DWORD WINAPI InstallThreadProc(LPVOID param);
  void OnProgress(UINT msg, WPARAM wp);
  void OnTimer(UINT_PTR id);

  CString m_strStatus;
  HANDLE m_hThread = nullptr;
  int m_nIconFrame = 0;
  // Outlives the page when the user quit: the held worker waits on it
  // until the process ends.
  CInstallGate* m_pGate = new CInstallGate;
  BOOL m_bAsking = FALSE;
  BOOL m_bDataEndPending = FALSE;
};

class CPPFinish : public CPropertyPageEx {
 public:
  CPPFinish();

 protected:
  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
};

class CPSTarnSetupShell {
 public:
  CPSTarnSetupShell(LPCSTR caption, HWND parent, UINT startPage, HBITMAP watermark);
  INT_PTR DoModal();
  CPPInstall& InstallPage() { return m_pageInstall; }

 private:
  static int CALLBACK SheetCallback(HWND wnd, UINT msg, LPARAM lp);
  static LRESULT CALLBACK SheetProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  void PlaceBrandLine();

  CPPWelcome m_pageWelcome;
  CPPLicence m_pageLicence;
  CPPTargetDir m_pageTargetDir;
  CPPInstall m_pageInstall;
  CPPFinish m_pageFinish;
  HWND m_hBrand = nullptr;
  HWND m_hWnd = nullptr;
  WNDPROC m_pfnSheetProc = nullptr;
  CString m_strCaption;
  HWND m_hParent;
  UINT m_nStartPage;
  HBITMAP m_hWatermark;
};
