#include "engine/installed_entry.h"
#include "engine/install_runner.h"
#include "platform/registry.h"
#include "sysint/path_ops.h"

CString UninstallStringLog(const CString& command) {
  const int first = command.Find('|');
  if (first < 0) return CString();
  const int second = command.Find('|', first + 1);
  if (second < 0) return CString();
  return command.Mid(second + 1);
}

bool SameLogPath(const CString& a, const CString& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  CString nameA, dirA, nameB, dirB;
  SplitPath(a, nameA, dirA);
  SplitPath(b, nameB, dirB);
  return nameA.CompareNoCase(nameB) == 0 &&
         CanonicalFolder(dirA).CompareNoCase(CanonicalFolder(dirB)) == 0;
}

stuInstalledEntry ReadInstalledEntry(LPCSTR keyName) {
  stuInstalledEntry entry;
  if (!IsUninstallKeyName(keyName)) return entry;
  platform::RegKey key;
  if (key.Open(platform::RegKey::Root(platform::kRegLocalMachine), UninstallKeyPath(keyName).str(),
               platform::kRegRead) != platform::kRegOk)
    return entry;
  entry.bExists = true;
  std::string value;
  if (key.QueryString("UninstallString", &value) == platform::kRegOk)
    entry.strLogPath = UninstallStringLog(value.c_str());
  if (key.QueryString("InstallLocation", &value) == platform::kRegOk) entry.strLocation = value.c_str();
  // Older shells wrote no InstallLocation; their log lies in the folder.
  if (entry.strLocation.IsEmpty() && !entry.strLogPath.IsEmpty()) {
    CString name;
    SplitPath(entry.strLogPath, name, entry.strLocation);
    if (!IsDriveRoot(entry.strLocation)) SetTrailingBackslash(entry.strLocation, FALSE);
  }
  if (key.QueryString("DisplayVersion", &value) == platform::kRegOk) entry.strVersion = value.c_str();
  if (key.QueryString("Publisher", &value) == platform::kRegOk) entry.strPublisher = value.c_str();
  return entry;
}

bool IsOtherPublisher(const stuInstalledEntry& entry, const CString& ourPublisher) {
  // An entry of an older shell names no publisher: nothing tells it apart.
  return entry.bExists && !entry.strPublisher.IsEmpty() && entry.strPublisher != ourPublisher;
}

CString InstallDateText(std::time_t when) {
  char text[16] = "";
  if (const std::tm* tm = std::localtime(&when)) std::strftime(text, sizeof text, "%Y%m%d", tm);
  return text;
}
