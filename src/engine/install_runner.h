// What the two worker threads call: a whole install of a package file, a
// whole uninstall from a log. Each builds its CSetupPackage on the calling
// thread's stack; the caller has initialised COM on that thread.
#pragma once
#include "afx/cstring.h"

class TARN_EXPORT CInstallRunner {
 public:
  // Installs into AfxGetApp()->m_strTargetDir, then writes the uninstall log
  // and the Uninstall key for m_strProductName with m_strUninstaller.
  // Returns 0 in every case, as the install page expects.
  static int Install(LPCSTR packageFile, HWND notifyWnd);
  // TRUE when the log was processed; the log is deleted either way.
  static BOOL Uninstall(LPCSTR logFile, HWND notifyWnd);
};

// The uninstall worker's fallback when the log could not be processed:
// removes HKEY_LOCAL_MACHINE\...\Uninstall\<keyName> as key, else as value,
// when keyName is one (IsUninstallKeyName); never the Uninstall key itself.
TARN_EXPORT void RemoveUninstallKey(LPCSTR keyName);

// One key name exactly one level below the Uninstall key: not blank, no
// "\", and no "|", which the uninstall command splits at; at most 255 bytes.
bool IsUninstallKeyName(LPCSTR keyName);

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + keyName.
TARN_EXPORT CString UninstallKeyPath(LPCSTR keyName);
