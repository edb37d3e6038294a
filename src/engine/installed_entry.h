// What an earlier install of a product left in the system's list of
// installed programs: the only record of what that install owns.
#pragma once
#include <ctime>
#include "afx/cstring.h"

struct stuInstalledEntry {
  bool bExists = false;
  CString strLogPath;    // the UninstallString's log field
  CString strLocation;   // InstallLocation, else the log's folder
  CString strVersion;    // DisplayVersion
  CString strPublisher;  // Publisher
};

// HKEY_LOCAL_MACHINE\...\Uninstall\<keyName>; bExists false for a name that
// cannot be one (IsUninstallKeyName) or a key that is not there.
TARN_EXPORT stuInstalledEntry ReadInstalledEntry(LPCSTR keyName);

// The log field of "<uninstaller> -U|<key>|<log>"; empty when the text has
// not that form.
TARN_EXPORT CString UninstallStringLog(const CString& command);

// Two log paths name one file for Windows: folders compared canonically,
// letters without case.
TARN_EXPORT bool SameLogPath(const CString& a, const CString& b);

// The entry names a publisher and it is not ours: installing over it would
// hand another maker's uninstall data to this package.
TARN_EXPORT bool IsOtherPublisher(const stuInstalledEntry& entry, const CString& ourPublisher);

// InstallDate's text: the local date as YYYYMMDD.
TARN_EXPORT CString InstallDateText(std::time_t when);
