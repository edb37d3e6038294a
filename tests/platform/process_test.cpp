// Programs and libraries that cannot start fail alike on Windows and in
// the sandbox, and are not reported as started.
#include <gtest/gtest.h>
#include <string>
#include "platform/journal.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/regedit_script.h"
#include "platform/registry.h"
#include "platform_test.h"
#include "support/support.h"

namespace {

TEST(StartProcess, MissingProgramsFailUnreported) {
  tarntest::TempDir dir;
  tarntest::JournalRecorder journal;
  const std::string cases[] = {
      "",
      "\"" + (dir / "missing.exe") + "\"",
      dir / "missing.exe",
      dir / "missing.exe" + " /arg",
      "\"" + (dir / "没有.exe") + "\" x",
  };
  for (const std::string& cmd : cases) {
    EXPECT_FALSE(platform::StartProcess(cmd, false)) << cmd;
    EXPECT_FALSE(platform::StartProcess(cmd, true)) << cmd;
  }
  EXPECT_TRUE(journal.events().empty());
}

TEST(CallLibraryEntry, MissingLibraryDoesNotLoad) {
  tarntest::TempDir dir;
  tarntest::JournalRecorder journal;
  EXPECT_EQ(platform::LibraryCall::kLoadFailed,
            platform::CallLibraryEntry(dir / "missing.dll", "DllRegisterServer"));
  ASSERT_EQ(1u, journal.events().size());
  EXPECT_EQ(platform::JournalKind::kLibraryCalled, journal.events()[0].kind);
  EXPECT_EQ(dir / "missing.dll", journal.events()[0].path);
  EXPECT_EQ("DllRegisterServer: not loaded", journal.events()[0].detail);
}

TEST(StartProcess, RegeditImportsItsFile) {
  using platform::RegKey;
  tarntest::TempDir dir;
  const std::string name = tarntest::UniqueName("Import");
  const std::string key = "HKEY_CURRENT_USER\\Software\\TarnTest\\" + name;
  ASSERT_TRUE(tarntest::WriteFileBytes(
      dir / "导入.reg",
      "REGEDIT4\r\n\r\n[" + key + "\\Old]\r\n\"Gone\"=\"1\"\r\n"
      "[" + key + "]\r\n\"Name\"=\"名称\"\r\n@=\"default\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n\"Count\"=dword:00000001\r\n"
      "\"Drop\"=\"1\"\r\n\"Drop\"=-\r\n[-" + key + "\\Old]\r\n"));
  // The script as the editor reads it on this machine's code page: itself,
  // or a Unicode copy.
  bool copy = false;
  const std::string script = platform::RegistryScriptForEditor(dir / "导入.reg", &copy);
  tarntest::JournalRecorder journal;
  const std::string cmd = "regedit /s \"" + script + "\"";
  ASSERT_TRUE(platform::StartProcess(cmd, true));
  if (copy) {
    EXPECT_TRUE(platform::RemoveFile(script));
  }
  ASSERT_FALSE(journal.events().empty());
  EXPECT_EQ(platform::JournalKind::kProgramStarted, journal.events()[0].kind);
  EXPECT_EQ(cmd, journal.events()[0].path);
  EXPECT_EQ("wait", journal.events()[0].detail);

  RegKey parent, k;
  ASSERT_EQ(platform::kRegOk, parent.Open(RegKey::Root(platform::kRegCurrentUser),
                                          "Software\\TarnTest", platform::kRegAllAccess));
  ASSERT_EQ(platform::kRegOk, k.Open(parent, name, platform::kRegRead));
  std::string v;
  EXPECT_EQ(platform::kRegOk, k.QueryString("name", &v));
  EXPECT_EQ("名称", v);
  EXPECT_EQ(platform::kRegOk, k.QueryString("", &v));
  EXPECT_EQ("default", v);
  EXPECT_EQ(platform::kRegOk, k.QueryString("Path", &v));
  EXPECT_EQ("C:\\Program Files\\\"x\"", v);
  EXPECT_EQ(platform::kRegNotFound, k.QueryString("Count", &v));  // not a string
  EXPECT_EQ(platform::kRegNotFound, k.QueryString("Drop", &v));
  std::string sub;
  EXPECT_EQ(platform::kRegNoMoreItems, k.EnumKey(0, &sub));
  k.Close();
  tarntest::DeleteKeyTree(parent, name);
  parent.Close();
  RegKey(RegKey::Root(platform::kRegCurrentUser)).DeleteSubKey("Software\\TarnTest");
}

}  // namespace
