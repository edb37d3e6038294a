// Post-install actions and shortcuts. Under Wine the programs, libraries and
// registry scripts run for real; in the sandbox they are recorded, and the
// same expectations on what was asked for hold in both.
#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <thread>
#include "install_fixture.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "sysint/path_ops.h"
#include "engine/removal.h"

using namespace tarntest;
using platform::JournalKind;

namespace {

// A test program or library built beside the tests (Windows builds), or a
// stand-in the sandbox takes for one.
std::string Binary(const std::string& name, const std::string& standIn) {
#ifdef TARN_TEST_BIN
  (void)standIn;
  std::string bytes = ReadFileBytes(std::string(TARN_TEST_BIN) + "/" + name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
#else
  (void)name;
  return standIn;
#endif
}

bool RealWindows() {
#ifdef TARN_TEST_BIN
  return true;
#else
  return false;
#endif
}

// Programs not waited for finish in their own time.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

}  // namespace

TEST_F(InstallTest, ProgramsLibrariesAndRegistryScripts) {
  const std::string marker = Binary("tarn_marker.exe", "MZ marker");
  const std::string script =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TarnTest\\Imported]\r\n\"name\"=\"value\"\r\n";
  Build({{"<TARGETDIR>\\run me.exe", marker, IF_RUN, "", "/x 1"},
         {"<TARGETDIR>\\once.exe", marker, IF_RUN | IF_TEMPORARY},
         {"<TARGETDIR>\\my settings.reg", script, IF_REGEDIT},
         {"<TARGETDIR>\\lib.dll", Binary("regtest.dll", "MZ"), IF_REGISTER},
         {"<TARGETDIR>\\tmp.dll", Binary("regtest.dll", "MZ"), IF_REGISTER | IF_TEMPORARY},
         {"<TARGETDIR>\\none.dll", Binary("noentry.dll", "MZ TARN-NO-ENTRY"), IF_REGISTER},
         {"<TARGETDIR>\\bad.dll", Binary("failing.dll", "MZ TARN-ENTRY-FAILS"), IF_REGISTER},
         {"<TARGETDIR>\\nodata.exe", "", IF_NO_DATA | IF_RUN, "", "--again"}});
  // An entry without data acts on what is already there.
  ASSERT_TRUE(WriteFileBytes(Target("nodata.exe"), marker));
  // Where an unquoted "...\run me.exe" would start a planted program.
  ASSERT_TRUE(WriteFileBytes(Target("run.exe"), marker));
  Install();

  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"注册'" + Target("bad.dll") + "'失败!"});
  std::vector<std::pair<std::string, std::string>> started;
  for (const auto& e : journal.Of(JournalKind::kProgramStarted)) started.push_back({e.path, e.detail});
  EXPECT_EQ(started, (std::vector<std::pair<std::string, std::string>>{
                         {"\"" + Target("run me.exe") + "\" /x 1", ""},
                         {"\"" + Target("once.exe") + "\"", "wait"},
                         {"regedit /s \"" + Target("my settings.reg") + "\"", ""},
                         {"\"" + Target("nodata.exe") + "\" --again", ""}}));
  EXPECT_FALSE(platform::Access(Target("once.exe")));
  EXPECT_FALSE(platform::Access(Target("tmp.dll")));
  EXPECT_EQ(ReadFileBytes(LogPath()),
            ExpectedLog({Target("run me.exe"), Target("my settings.reg"), Target("lib.dll"),
                         Target("none.dll"), Target("bad.dll"), Target("nodata.exe")},
                        {KeyLine()}));
  EXPECT_TRUE(Eventually([] { return RegString(platform::kRegCurrentUser, "Software\\TarnTest\\Imported", "name") == "value"; }));
  if (RealWindows()) {
    // Waited for: it ran before the install went on and was then deleted.
    EXPECT_TRUE(platform::Access(Target("once.exe.ran")));
    // Started in its own folder, not the installer's.
    EXPECT_NE(ReadFileBytes(Target("once.exe.ran")).find("\n" + target.path()), std::string::npos)
        << ReadFileBytes(Target("once.exe.ran"));
    EXPECT_TRUE(Eventually([&] {
      return ReadFileBytes(Target("run me.exe.ran")).find("/x 1") != std::string::npos;
    }));
    EXPECT_FALSE(platform::Access(Target("run.exe.ran")));
    EXPECT_NE(RegString(platform::kRegCurrentUser, "Software\\TarnTest", "Registered"), "<none>");
  }
  DeleteRegKey("HKEY_CURRENT_USER\\Software\\TarnTest\\Imported");
  DeleteRegValue("HKEY_CURRENT_USER\\Software\\TarnTest\\Registered");
}

// A program the product runs that cannot be started is a failure, said.
TEST_F(InstallTest, AProgramThatDoesNotStart) {
  Build({{"<TARGETDIR>\\missing.exe", "", IF_NO_DATA | IF_RUN, "", "/x"}});
  Install();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"运行程序'\"" + Target("missing.exe") + "\" /x'失败!"});
  EXPECT_TRUE(journal.Of(JournalKind::kProgramStarted).empty());
}

TEST_F(InstallTest, ShortcutsInEveryFolder) {
  const char* folders[] = {"<TARGET_FOLDER>\\Tarn Test Group", "<startup_folder>", "<desktop_folder>",
                           "<WINDOWS_FOLDER>", "<SYSTEM_FOLDER>"};
  std::vector<Item> items;
  for (int i = 0; i < 5; ++i)
    items.push_back({"<TARGETDIR>\\app" + std::to_string(i) + ".exe", "x", 0,
                     std::string(folders[i]) + "\\Tarn Test " + std::to_string(i) + ".lnk"});
  items.push_back({"<TARGETDIR>\\once.exe", "x", IF_TEMPORARY, "<DESKTOP_FOLDER>\\never.lnk"});
  // Expands to 260 bytes, one past what a path may have: refused and said,
  // nothing saved under a cut name.
  std::string programs;
  ASSERT_TRUE(platform::SpecialFolderPath(platform::kFolderPrograms, &programs));
  ASSERT_GE(programs.size(), 20u);
  const std::string longName = std::string(260 - programs.size() - 1 - 4, 'l') + ".lnk";
  items.push_back({"<TARGETDIR>\\long.exe", "x", 0, "<TARGET_FOLDER>\\" + longName});
  Build(items);
  Install();

  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"非法快捷方式路径'" + programs + "\\" + longName + "'!"});
  EXPECT_FALSE(platform::Access(programs + "\\" + longName));
  const auto links = journal.Of(JournalKind::kShortcut);
  ASSERT_EQ(links.size(), 5u);
  std::vector<std::string> logged;
  for (int i = 0; i < 5; ++i) {
    const std::string app = Target("app" + std::to_string(i) + ".exe");
    std::string linkTarget, workDir;
    ASSERT_TRUE(platform::ShellLink::Read(links[i].path, &linkTarget, &workDir)) << links[i].path;
    EXPECT_EQ(linkTarget, app);
    EXPECT_EQ(workDir, target.path());
    logged.push_back(app);
    logged.push_back(links[i].path);
  }
  logged.push_back(Target("long.exe"));
  EXPECT_EQ(ReadFileBytes(LogPath()), ExpectedLog(logged, {KeyLine()}));

  // The uninstall takes every link, and the group folder it emptied.
  EXPECT_TRUE(Uninstall());
  for (const auto& l : links) EXPECT_FALSE(platform::Access(l.path)) << l.path;
  CString name, group;
  ASSERT_TRUE(SplitPath(links[0].path.c_str(), name, group));
  EXPECT_FALSE(platform::Access(group.str())) << group.str();
}
