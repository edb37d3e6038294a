// The shell's command line: empty or anything else for the install mode,
// "-U|key name|log path" for the uninstall mode. A leading "/S" makes
// either silent: "/S", "/S /D=<folder>", "/S -U|key name|log path".
#pragma once
#include "afx/cstring.h"

struct stuCommandLine {
  BOOL bUninstall = FALSE;
  CString strKeyName;  // uninstall mode only
  CString strLogPath;
  BOOL bSilent = FALSE;
  // Silent install: "/D=" was given, with the rest of the line as its
  // folder (trailing blanks and backslashes cut); empty otherwise.
  BOOL bTargetDir = FALSE;
  CString strTargetDir;
  // Silent mode only: the argument that could not be understood; the run
  // must not go on.
  CString strUnknown;
};

// The first field is compared with "-U" without trimming and without regard
// to case; the key name is the second field, the log path the rest. "/S"
// is a word of its own in any case; after it, blanks, then nothing, "/D="
// or the uninstall fields. A line that names "/S" anywhere else, glued or
// late ("/S/D=...", "/SILENT", "/D=C:\x /S"), is silent with the
// whole line unknown.
stuCommandLine SplitCommandLine(LPCSTR cmdLine);

// Why a silent install cannot use this folder, or nullptr: it must be a
// full path on a drive ("C:\..."), with none of the characters a Windows
// name cannot hold, and not "/" (an argument after "/D=").
const char* SilentTargetProblem(const CString& dir);
