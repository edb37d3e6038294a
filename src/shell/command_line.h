// The shell's command line: empty or anything else for the install mode,
// "-U|key name|log path" for the uninstall mode.
#pragma once
#include "afx/cstring.h"

struct stuCommandLine {
  BOOL bUninstall = FALSE;
  CString strKeyName;  // uninstall mode only
  CString strLogPath;
};

// The first field is compared with "-U" without trimming and without regard
// to case; the key name is the second field, the log path the rest.
stuCommandLine SplitCommandLine(LPCSTR cmdLine);
