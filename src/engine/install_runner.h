// What the two worker threads call: a whole install of a package file, a
// whole uninstall from a log. Each builds its CSetupPackage on the calling
// thread's stack; the caller has initialised COM on that thread.
#pragma once
#include "afx/collections.h"
#include "afx/cstring.h"

class CTarnSetupShellApp;

class TARN_EXPORT CInstallRunner {
 public:
  // Installs into AfxGetApp()->m_strTargetDir, then writes the uninstall log
  // and the Uninstall key for m_strProductName with m_strUninstaller, and
  // when that succeeded the key's other values (WriteUninstallDetails).
  // Returns 0 in every case, as the install page expects.
  static int Install(LPCSTR packageFile, HWND notifyWnd);
  // TRUE when the log was processed. The log is deleted unless a file it
  // lists could not be removed: then it stays with the Uninstall key.
  static BOOL Uninstall(LPCSTR logFile, HWND notifyWnd);
};

// The values of an Uninstall key that WriteUninstallInfo has made, beside
// its DisplayName and UninstallString: QuietUninstallString
// ("<uninstaller> /S -U|<keyName>|<log>"), InstallLocation, DisplayIcon (the
// uninstaller), EstimatedSize (KiB of the files the log lists), NoModify,
// NoRepair, and DisplayVersion, Publisher and URLInfoAbout when the state
// names them, and InstallDate (today, YYYYMMDD). logPath is the log the
// install wrote (default: targetDir's Unistall.tsu). A value that cannot be
// set is told; FALSE then.
TARN_EXPORT BOOL WriteUninstallDetails(LPCSTR keyName, LPCSTR targetDir,
                                       const CStringArray& loggedFiles,
                                       const CTarnSetupShellApp& app, LPCSTR logPath = nullptr);

// The first lines of a UI script's optional [VERSION], [PUBLISHER] and [URL]
// sections, for the Uninstall entry; empty where there is none.
void ReadEntryDetails(LPCSTR uiScript, CString& version, CString& publisher, CString& url);

// The kibibytes the files take, rounded up; names that are no file count
// nothing. At most 0xFFFFFFFF.
TARN_EXPORT DWORD EstimatedSizeKiB(const CStringArray& files);

// The uninstall worker's fallback when the log could not be processed:
// removes HKEY_LOCAL_MACHINE\...\Uninstall\<keyName> as key, else as value,
// when keyName is one (IsUninstallKeyName); never the Uninstall key itself.
TARN_EXPORT void RemoveUninstallKey(LPCSTR keyName);

// One key name exactly one level below the Uninstall key: not blank, no
// "\", and no "|", which the uninstall command splits at; at most 255 bytes.
bool IsUninstallKeyName(LPCSTR keyName);

// A confirmed quit: the running install stops before its next entry and
// undoes what it did (CSetupPackage::Undo). Any thread may ask.
void RequestInstallStop();
bool InstallStopRequested();

// The first line of an uninstall log holding these lines: "TSUIV1.0", or
// "TSUIV1.1" when one holds a name GBK lacks (see uninstall_log.cpp).
std::string UninstallLogHead(const std::string& lines);

// The install folder in the one spelling Windows resolves it to: no "." or
// ".." components, no doubled separators, no trailing "\" but a drive's.
CString CanonicalFolder(LPCSTR folder);
// The uninstall log of an install folder: targetDir + "\Unistall.tsu", as
// the folder is given (no separator added or removed).
CString UninstallLogPath(LPCSTR targetDir);
// The log an install of keyName into targetDir writes: the one this
// product's key names when it is a log (then *merge is set), else the first of
// Unistall.tsu, Unistall-2.tsu ... no file holds; empty when all are held.
CString ChooseUninstallLog(LPCSTR targetDir, LPCSTR keyName, bool* merge = nullptr);

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + keyName.
TARN_EXPORT CString UninstallKeyPath(LPCSTR keyName);
