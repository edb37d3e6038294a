// The shared-key table and the views a key path is seen through: a class
// key may be named from HKEY_CLASSES_ROOT or from either Software\Classes,
// a user's key from HKEY_CURRENT_USER or HKEY_USERS\<hive>, a program's
// from Software or Software\Wow6432Node.
#include "engine/shared_keys.h"
#include <vector>
#include "platform/codepage.h"
#include "platform/registry.h"

namespace {

enum Scope { kMachine, kUser, kSoftware, kClasses, kConfig };
// kWhole: nothing inside the key belongs to a product, values included.
enum Reach { kAtOrAbove, kWhole };

struct SharedKey {
  Scope scope;
  Reach reach;
  const char* path;
};

const char* const kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

const SharedKey kShared[] = {
    // The machine's own configuration.
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Services"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Enum"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Policies"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Control\\Class"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Control\\Network"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors"},
    {kMachine, kAtOrAbove, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Lsa"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Terminal Server"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Nls"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\FileSystem"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Windows"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\ComputerName"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation"},
    {kMachine, kWhole, "SYSTEM\\Select"},
    {kMachine, kWhole, "SYSTEM\\Setup"},
    {kMachine, kWhole, "SYSTEM\\MountedDevices"},
    {kMachine, kAtOrAbove, "SYSTEM\\ControlSet001\\Services"},
    {kMachine, kAtOrAbove, "SYSTEM\\ControlSet001\\Control\\Session Manager"},
    {kMachine, kAtOrAbove, "SYSTEM\\ControlSet002\\Services"},
    {kMachine, kAtOrAbove, "SYSTEM\\ControlSet002\\Control\\Session Manager"},
    {kMachine, kWhole, "HARDWARE\\DESCRIPTION"},
    {kMachine, kWhole, "HARDWARE\\DEVICEMAP"},
    {kMachine, kWhole, "SAM\\SAM"},
    {kMachine, kWhole, "SECURITY\\Policy"},
    {kMachine, kWhole, "BCD00000000\\Objects"},
    // Session Manager: a product may own an environment variable, not the
    // system's own ones nor what runs at boot.
    {kMachine, kAtOrAbove, kSessionManager},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\BootExecute"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\PendingFileRenameOperations"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\Path"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\PATHEXT"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\ComSpec"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\TEMP"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\TMP"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\windir"},
    {kMachine, kWhole, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\OS"},

    // A user's own configuration.
    {kUser, kWhole, "Control Panel"},
    {kUser, kAtOrAbove, "Environment"},
    {kUser, kWhole, "Environment\\Path"},
    {kUser, kWhole, "Environment\\TEMP"},
    {kUser, kWhole, "Environment\\TMP"},
    {kUser, kAtOrAbove, "Console"},
    {kUser, kAtOrAbove, "AppEvents\\Schemes\\Apps"},
    {kUser, kAtOrAbove, "AppEvents\\EventLabels"},
    {kUser, kWhole, "Keyboard Layout"},
    {kUser, kAtOrAbove, "Network"},
    {kUser, kAtOrAbove, "Printers"},
    {kUser, kAtOrAbove, "Identities"},
    {kUser, kAtOrAbove, "EUDC"},
    {kUser, kAtOrAbove, "System\\CurrentControlSet"},

    // Below Software, of the machine and of every user.
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Run"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Policies"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Setup"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Component Based Servicing"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\WindowsUpdate"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones"},
    {kSoftware, kWhole, "Microsoft\\Windows\\CurrentVersion\\Group Policy"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\CurrentVersion\\Themes"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\Winlogon"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\Windows"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\ProfileList"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\AeDebug"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\SvcHost"},
    {kSoftware, kWhole, "Microsoft\\Windows NT\\CurrentVersion\\Time Zones"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows NT\\CurrentVersion\\Drivers32"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows\\Windows Error Reporting"},
    {kSoftware, kWhole, "Microsoft\\Windows Defender"},
    {kSoftware, kAtOrAbove, "Microsoft\\Internet Explorer\\Main"},
    {kSoftware, kWhole, "Microsoft\\Cryptography"},
    {kSoftware, kAtOrAbove, "Microsoft\\Active Setup\\Installed Components"},
    {kSoftware, kAtOrAbove, "Microsoft\\Command Processor"},
    {kSoftware, kAtOrAbove, "Microsoft\\Windows Script Host\\Settings"},
    {kSoftware, kAtOrAbove, "Microsoft\\.NETFramework"},
    {kSoftware, kAtOrAbove, "Policies"},
    {kSoftware, kWhole, "Policies\\Microsoft"},
    {kSoftware, kAtOrAbove, "Clients\\StartMenuInternet"},
    {kSoftware, kAtOrAbove, "Clients\\Mail"},
    {kSoftware, kAtOrAbove, "RegisteredApplications"},
    {kSoftware, kAtOrAbove, "ODBC\\ODBC.INI"},
    {kSoftware, kAtOrAbove, "ODBC\\ODBCINST.INI"},

    // The class roots: what the shell opens files, folders and objects with.
    {kClasses, kAtOrAbove, "CLSID"},
    {kClasses, kAtOrAbove, "Interface"},
    {kClasses, kAtOrAbove, "TypeLib"},
    {kClasses, kAtOrAbove, "AppID"},
    {kClasses, kAtOrAbove, "Applications"},
    {kClasses, kAtOrAbove, "SystemFileAssociations"},
    {kClasses, kAtOrAbove, "MIME\\Database\\Content Type"},
    {kClasses, kAtOrAbove, "Installer\\Products"},
    {kClasses, kAtOrAbove, "Local Settings"},
    {kClasses, kAtOrAbove, "Directory\\Background\\shell"},
    {kClasses, kAtOrAbove, "Directory\\Background\\shellex\\ContextMenuHandlers"},

    // HKEY_CURRENT_CONFIG.
    {kConfig, kAtOrAbove, "System\\CurrentControlSet"},
    {kConfig, kAtOrAbove, "Software"},
};

// The classes Windows itself gives verbs and handlers to, and the keys of
// theirs a product adds below but never owns.
const char* const kSystemClasses[] = {
    "*", "AllFilesystemObjects", "Directory", "Folder", "Drive", "DesktopBackground", "Network",
    "Printers", "Unknown", "exefile", "dllfile", "batfile", "cmdfile", "comfile", "lnkfile",
    "txtfile", "regfile", "inifile", "inffile", "htmlfile", "InternetShortcut", "Msi.Package",
    "CompressedFolder", ".exe", ".dll", ".bat", ".cmd", ".com", ".lnk", ".txt", ".reg", ".ini",
    ".inf", ".htm", ".html", ".url", ".msi", ".zip", ".sys", ".vbs", ".js", ".ps1", ".jpg", ".png",
    ".bmp", ".gif",
};
const char* const kClassParts[] = {
    "shell\\open\\command", "shell\\runas\\command", "shell\\edit\\command",
    "shell\\print\\command", "shell\\explore\\command", "shell\\find\\command",
    "shellex\\ContextMenuHandlers", "shellex\\PropertySheetHandlers",
    "shellex\\DragDropHandlers", "shellex\\CopyHookHandlers", "shellex\\IconHandler",
    "shellex\\PropertyHandler", "DefaultIcon", "ShellNew",
};

// The parts of a path between "\"; a "\" that is a trail byte stays in its
// character.
std::vector<std::string> Steps(const std::string& path) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      parts.back() += path.substr(i++, 2);
    } else if (path[i] == '\\') {
      parts.emplace_back();
    } else {
      parts.back() += path[i];
    }
  }
  return parts;
}

bool Same(const std::string& a, const std::string& b) {
  return CString(a.c_str()).CompareNoCase(b.c_str()) == 0;
}

// The line's key against one table key: at it or above it, or inside it
// when that is kept whole.
bool Covers(const std::vector<std::string>& key, size_t from, const std::vector<std::string>& shared,
            Reach reach) {
  const size_t n = key.size() - from;
  const size_t common = n < shared.size() ? n : shared.size();
  for (size_t i = 0; i < common; ++i)
    if (!Same(key[from + i], shared[i])) return false;
  return n <= shared.size() || reach == kWhole;
}

const std::vector<std::pair<Scope, std::pair<Reach, std::vector<std::string>>>>& Table() {
  static const auto table = [] {
    std::vector<std::pair<Scope, std::pair<Reach, std::vector<std::string>>>> t;
    for (const SharedKey& k : kShared) t.push_back({k.scope, {k.reach, Steps(k.path)}});
    for (const char* c : kSystemClasses)
      for (const char* part : kClassParts)
        t.push_back({kClasses, {kAtOrAbove, Steps(std::string(c) + "\\" + part)}});
    return t;
  }();
  return table;
}

bool SharedIn(Scope scope, const std::vector<std::string>& key, size_t from) {
  for (const auto& entry : Table())
    if (entry.first == scope && Covers(key, from, entry.second.second, entry.second.first))
      return true;
  return false;
}

// Software, or Software\Wow6432Node, of a hive whose path starts at from:
// its programs' keys, and Classes below it.
bool SharedBelowSoftware(const std::vector<std::string>& key, size_t from) {
  if (key.size() <= from || !Same(key[from], "Software")) return false;
  size_t below = from + 1;
  if (key.size() > below && Same(key[below], "Wow6432Node")) ++below;
  if (key.size() == below) return true;
  if (Same(key[below], "Classes"))
    // A class key of its own is every program's (".txt", "txtfile").
    return key.size() <= below + 2 || SharedIn(kClasses, key, below + 1);
  return SharedIn(kSoftware, key, below);
}

}  // namespace

bool IsSharedKey(DWORD root, const std::string& keyPath) {
  std::vector<std::string> key = Steps(keyPath);
  for (std::string& step : key) {
    CString t = step.c_str();
    t.Trim();
    // Windows would not name such a key the same way twice.
    if (t.IsEmpty()) return true;
  }
  if (key.size() < 2) return true;  // a root's own keys are everyone's
  switch (root) {
    case platform::kRegClassesRoot:
      return SharedIn(kClasses, key, 0);
    case platform::kRegLocalMachine:
      // SYSTEM\<set>\<group> (Services, Control, Enum...) are all Windows'.
      if (Same(key[0], "SYSTEM") && key.size() < 4) return true;
      return SharedIn(kMachine, key, 0) || SharedBelowSoftware(key, 0);
    case platform::kRegCurrentUser:
      return SharedIn(kUser, key, 0) || SharedBelowSoftware(key, 0);
    case platform::kRegUsers: {
      // HKEY_USERS\<sid>_Classes is that user's class root.
      const CString hive = key[0].c_str();
      if (hive.GetLength() > 8 && hive.Right(8).CompareNoCase("_Classes") == 0)
        return key.size() < 3 || SharedIn(kClasses, key, 1);
      return key.size() < 3 || SharedIn(kUser, key, 1) || SharedBelowSoftware(key, 1);
    }
    case platform::kRegCurrentConfig:
      return SharedIn(kConfig, key, 0);
    default:
      return false;
  }
}
