// Which registry lines an uninstall may act on: the keys Windows and every
// program keep, seen from each root they can be named from, and the
// product's own keys beside and below them.
#include <gtest/gtest.h>
#include <string>
#include "engine/removal.h"
#include "engine/shared_keys.h"
#include "platform/registry.h"

namespace {

struct Case {
  const char* line;
  bool shared;
};

void Check(const Case* cases, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    CString rest = cases[i].line;
    const int sep = rest.Find('\\');
    ASSERT_GT(sep, 0) << cases[i].line;
    const DWORD root = RegRootFromName(rest.Left(sep));
    ASSERT_NE(root, 0u) << cases[i].line;
    EXPECT_EQ(IsSharedKey(root, rest.Mid(sep + 1).str()), cases[i].shared) << cases[i].line;
  }
}

TEST(SharedKeys, ClassRootsFromEveryName) {
  const Case cases[] = {
      {"HKEY_CLASSES_ROOT\\*", true},
      {"HKEY_CLASSES_ROOT\\*\\shell", true},
      {"HKEY_CLASSES_ROOT\\*\\shellex", true},
      {"HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers", true},
      {"HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\TarnExt", false},
      {"HKEY_CLASSES_ROOT\\*\\shell\\TarnVerb", false},
      {"HKEY_CLASSES_ROOT\\exefile\\shell\\open", true},
      {"HKEY_CLASSES_ROOT\\EXEFILE\\Shell\\Open\\Command", true},
      {"HKEY_CLASSES_ROOT\\Directory\\Background\\shell", true},
      {"HKEY_CLASSES_ROOT\\Directory\\Background\\shell\\TarnHere", false},
      {"HKEY_CLASSES_ROOT\\CLSID", true},
      {"HKEY_CLASSES_ROOT\\CLSID\\{0D2E74C4-3C34-11D2-A27E-00C04FC30871}", false},
      {"HKEY_CLASSES_ROOT\\.txt", true},
      {"HKEY_CLASSES_ROOT\\.txt\\ShellNew", true},
      {"HKEY_CLASSES_ROOT\\.tarn\\ShellNew", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes\\.tarn", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shellex", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Classes\\lnkfile\\shell", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes\\tarnfile\\shell\\open\\command", false},
      {"HKEY_CURRENT_USER\\Software\\Classes\\Folder\\shell\\explore", true},
      {"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1}", false},
      {"HKEY_USERS\\S-1-5-21-1_Classes\\*\\shellex", true},
      {"HKEY_USERS\\S-1-5-21-1_Classes\\tarnfile\\shell", false},
  };
  Check(cases, sizeof cases / sizeof *cases);
}

TEST(SharedKeys, SystemUserAndSoftwareKeys) {
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", true},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services", true},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\TarnSvc", false},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", true},
      {"HKEY_LOCAL_MACHINE\\system\\currentcontrolset\\control\\session manager\\KnownDLLs\\x", true},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", true},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\Path", true},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment\\TARN_HOME", false},
      {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Lsa\\Notification Packages", true},
      {"HKEY_CURRENT_USER\\Control Panel\\Desktop", true},
      {"HKEY_CURRENT_USER\\Control Panel\\International\\sLanguage", true},
      {"HKEY_CURRENT_USER\\Environment\\Path", true},
      {"HKEY_CURRENT_USER\\Environment\\TARN_HOME", false},
      {"HKEY_USERS\\.DEFAULT\\Control Panel\\Colors", true},
      {"HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows", true},
      {"HKEY_USERS\\.DEFAULT\\Software\\Tarn", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\Tarn (TrueType)", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\x", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarn Demo", false},
      {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tarn", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Policies", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Windows\\System", true},
      {"HKEY_LOCAL_MACHINE\\Software\\Policies\\Tarn", false},
      {"HKEY_LOCAL_MACHINE\\Software\\Tarn\\Demo", false},
      {"HKEY_CURRENT_CONFIG\\System\\CurrentControlSet", true},
      {"HKEY_CURRENT_USER\\Software\\Tarn\\ \\x", true},
  };
  Check(cases, sizeof cases / sizeof *cases);
}

// A refused line deletes nothing, not even a value of its name.
TEST(SharedKeys, ARefusedLineDeletesNothing) {
  auto hkcu = platform::RegKey::Root(platform::kRegCurrentUser);
  platform::RegKey k;
  ASSERT_EQ(k.Create(hkcu, "Control Panel\\TarnTest"), 0);
  ASSERT_EQ(k.SetString("v", "1"), 0);
  k.Close();
  EXPECT_EQ(RemoveRegEntry("HKEY_CURRENT_USER\\Control Panel\\TarnTest\\v"), RegRemoval::kRefused);
  EXPECT_EQ(RemoveRegEntry("HKEY_CURRENT_USER\\Control Panel\\TarnTest"), RegRemoval::kRefused);
  std::string v;
  ASSERT_EQ(k.Open(hkcu, "Control Panel\\TarnTest", platform::kRegAllAccess), 0);
  EXPECT_EQ(k.QueryString("v", &v), 0);
  EXPECT_EQ(v, "1");
  k.Close();
  EXPECT_EQ(hkcu.DeleteSubKey("Control Panel\\TarnTest"), 0);
}

}  // namespace
