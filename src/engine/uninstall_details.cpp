// The rest of the product's entry in the system's list of installed
// programs, written once WriteUninstallInfo has made the key: what Add or
// Remove Programs shows and what deployment tools read.
#include "afx/msgbox.h"
#include "engine/install_runner.h"
#include "engine/installed_entry.h"
#include "engine/setup_app.h"
#include "inifile/ini_file.h"
#include "platform/file.h"
#include "platform/registry.h"

void ReadEntryDetails(LPCSTR uiScript, CString& version, CString& publisher, CString& url) {
  version.Empty();
  publisher.Empty();
  url.Empty();
  if (!uiScript || !*uiScript) return;
  CIniFile ini(uiScript);
  const struct {
    const char* section;
    CString* field;
  } fields[] = {{"VERSION", &version}, {"PUBLISHER", &publisher}, {"URL", &url}};
  for (const auto& f : fields) {
    CStringArray lines;
    if (ini.FindSection(f.section, lines) && lines.GetSize() > 0) *f.field = lines[0];
  }
}

DWORD EstimatedSizeKiB(const CStringArray& files) {
  uint64_t bytes = 0;
  for (const CString& f : files.vec()) {
    platform::FileInfo info;
    // The log also lists what an earlier install wrote and what is gone
    // since; only files that are there take room.
    if (platform::GetFileInfo(f.str(), &info) && !(info.attributes & platform::kAttrDirectory))
      bytes += static_cast<uint64_t>(info.size);
  }
  const uint64_t kib = (bytes + 1023) / 1024;
  return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(kib);
}

namespace {
bool Told(LONG rc, const char* name) {
  if (rc == platform::kRegOk) return false;
  CString text;
  text.Format("Create %s failed !!", name);
  AfxReportFailure(name, text);
  return true;
}
}  // namespace

BOOL WriteUninstallDetails(LPCSTR keyName, LPCSTR targetDir, const CStringArray& loggedFiles,
                           const CTarnSetupShellApp& app, LPCSTR logPath) {
  if (!IsUninstallKeyName(keyName)) return FALSE;
  const CString keyPath = UninstallKeyPath(keyName);
  platform::RegKey key;
  if (key.Open(platform::RegKey::Root(platform::kRegLocalMachine), keyPath.str(),
               platform::kRegAllAccess) != platform::kRegOk) {
    CString text;
    text.Format("打开注册表键'%s'失败!", static_cast<LPCSTR>(keyPath));
    AfxReportFailure(keyPath, text);
    return FALSE;
  }
  const CString dir = targetDir ? targetDir : "";
  const CString& uninstaller = app.m_strUninstaller;
  // The UninstallString's own fields after "/S ", so that the uninstaller
  // splits both alike.
  CString quiet;
  // Quoted, so that "cmd /c" and PowerShell pass the "|" on, not pipe.
  quiet.Format("\"%s\" /S \"-U|%s|%s\"", static_cast<LPCSTR>(uninstaller), keyName,
               logPath && *logPath ? logPath : static_cast<LPCSTR>(UninstallLogPath(dir)));

  bool failed = Told(key.SetString("QuietUninstallString", quiet.str()), "QuietUninstallString");
  failed |= Told(key.SetString("InstallLocation", dir.str()), "InstallLocation");
  failed |= Told(key.SetString("DisplayIcon", uninstaller.str()), "DisplayIcon");
  failed |= Told(key.SetDword("EstimatedSize", EstimatedSizeKiB(loggedFiles)), "EstimatedSize");
  failed |= Told(key.SetDword("NoModify", 1), "NoModify");
  failed |= Told(key.SetDword("NoRepair", 1), "NoRepair");
  failed |= Told(key.SetString("InstallDate", InstallDateText(std::time(nullptr)).str()), "InstallDate");
  const struct {
    const char* name;
    const CString& value;
  } optional[] = {{"DisplayVersion", app.m_strVersion},
                  {"Publisher", app.m_strPublisher},
                  {"URLInfoAbout", app.m_strURL}};
  for (const auto& v : optional)
    if (!v.value.IsEmpty()) failed |= Told(key.SetString(v.name, v.value.str()), v.name);
  return failed ? FALSE : TRUE;
}
