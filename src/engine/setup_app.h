// The application's state, written on the main thread before a worker
// starts and only read after. The engine reaches it through AfxGetApp();
// the setup shell and tarnmake install each make one.
#pragma once
#include "afx/cstring.h"

class TARN_EXPORT CTarnSetupShellApp {
 public:
  CTarnSetupShellApp();           // becomes AfxGetApp()
  // Deletes the files named by m_strUIScriptFile and m_strPackageFile: set
  // them only to temporary files of this process.
  virtual ~CTarnSetupShellApp();
  CTarnSetupShellApp(const CTarnSetupShellApp&) = delete;
  CTarnSetupShellApp& operator=(const CTarnSetupShellApp&) = delete;

  // The shell's start-up; the state alone does nothing and returns FALSE.
  virtual BOOL InitInstance();
  virtual CString GetPackageFile() { return m_strPackageFile; }

  CString m_strTargetDir;
  CString m_strProgramFolder;
  CString m_strWelcomeText;
  CString m_strProductName;
  CString m_strLicence;
  CString m_strUIScriptFile;
  CString m_strPackageFile;
  CString m_strUninstaller;
  // The Uninstall entry's DisplayVersion, Publisher and URLInfoAbout; each
  // written only when not empty.
  CString m_strVersion;
  CString m_strPublisher;
  CString m_strURL;
  // The product's Uninstall entry was there when the install began; its
  // DisplayVersion (empty when it names none).
  BOOL m_bInstalled = FALSE;
  CString m_strInstalledVersion;
};

// The one application object; null when none exists.
TARN_EXPORT CTarnSetupShellApp* AfxGetApp();
