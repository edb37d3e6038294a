// An uninstall log is trusted only when this product's own Uninstall key
// names it: whatever else lies under its name stays as it is and is never
// merged, so this product's uninstall cannot be turned on another's files.
#include <gtest/gtest.h>
#include "engine/install_runner.h"
#include "engine/installed_entry.h"
#include "install_fixture.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "platform/shell_link.h"

using namespace tarntest;

namespace {

const std::string kNote = "安装路径中已有的卸载信息'";

bool KeyThere(const std::string& path) {
  platform::RegKey k;
  return k.Open(platform::RegKey::Root(platform::kRegLocalMachine), path, platform::kRegRead) == 0;
}

void SetUninstallString(const std::string& keyPath, const std::string& value) {
  platform::RegKey k;
  ASSERT_EQ(k.Open(platform::RegKey::Root(platform::kRegLocalMachine), keyPath, platform::kRegAllAccess), 0);
  ASSERT_EQ(k.SetString("UninstallString", value), 0);
}

}  // namespace

// A planted log naming a file outside and another product's key: kept as
// it was, not merged; this install's log takes the next name, its entry
// names that one, and its uninstall leaves the file and the other key.
TEST_F(InstallTest, APlantedLogIsKeptAndNotMerged) {
  const std::string other = UninstallKeyPath("TarnTest Other Product").str();
  platform::RegKey made;
  ASSERT_EQ(made.Create(platform::RegKey::Root(platform::kRegLocalMachine), other), 0);
  made.Close();
  ASSERT_TRUE(platform::MakeDirectory("C:\\Keep"));
  ASSERT_TRUE(WriteFileBytes("C:\\Keep\\k.txt", "keep"));
  const std::string planted =
      "TSUIV1.0\r\nC:\\Keep\\k.txt\r\n[DeleteRegistry]\r\nHKEY_LOCAL_MACHINE\\" + other + "\r\n";
  ASSERT_TRUE(WriteFileBytes(LogPath(), planted));

  Build({{"<TARGETDIR>\\a.txt", "a"}});
  Install();
  const std::string ours = Target("Unistall-2.tsu");
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0].rfind(kNote + LogPath() + "'", 0), 0u) << boxes.texts()[0];
  EXPECT_NE(boxes.texts()[0].find("'" + ours + "'"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(LogPath()), planted);
  EXPECT_EQ(ReadFileBytes(ours), ExpectedLog({Target("a.txt")}, {KeyLine()}));
  const std::string keyPath = UninstallKeyPath(key.c_str()).str();
  EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "UninstallString"),
            "C:\\WINDOWS\\tsu11.exe -U|" + key + "|" + ours);
  EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "QuietUninstallString"),
            "\"C:\\WINDOWS\\tsu11.exe\" /S \"-U|" + key + "|" + ours + "\"");

  // Again: the key names the second log now, which merges without a word.
  boxes.Clear();
  Install();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(ReadFileBytes(ours), ExpectedLog({Target("a.txt")}, {KeyLine()}));

  {
    platform::ComScope com;
    EXPECT_TRUE(CInstallRunner::Uninstall(ours.c_str(), nullptr));
  }
  EXPECT_EQ(ReadFileBytes("C:\\Keep\\k.txt"), "keep");
  EXPECT_TRUE(KeyThere(other));
  EXPECT_FALSE(KeyThere(keyPath));
  EXPECT_FALSE(platform::Access(Target("a.txt")));
  EXPECT_EQ(ReadFileBytes(LogPath()), planted);
  RemoveUninstallKey("TarnTest Other Product");
  platform::RemoveFile("C:\\Keep\\k.txt");
  platform::RemoveDir("C:\\Keep");
}

// The key's log path in another spelling names the same file; a file the
// key names that is no log is not ours to merge either.
TEST_F(InstallTest, OnlyALogTheKeyNamesIsMerged) {
  Build({{"<TARGETDIR>\\a.txt", "a"}});
  ASSERT_TRUE(WriteFileBytes(Target("old.txt"), "old"));
  ASSERT_TRUE(WriteFileBytes(LogPath(), "TSUIV1.0\r\n" + Target("old.txt") + "\r\n"));
  const std::string keyPath = UninstallKeyPath(key.c_str()).str();
  platform::RegKey made;
  ASSERT_EQ(made.Create(platform::RegKey::Root(platform::kRegLocalMachine), keyPath), 0);
  made.Close();
  // As an older install of this product wrote it, with a folder spelt
  // otherwise.
  CString spelt = (target.path() + "\\sub\\..\\.\\UNISTALL.TSU").c_str();
  spelt.MakeLower();
  SetUninstallString(keyPath, "C:\\WINDOWS\\tsu11.exe -U|" + key + "|" + spelt.str());
  Install();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(ReadFileBytes(LogPath()), ExpectedLog({Target("a.txt"), Target("old.txt")}, {KeyLine()}));

  // Named by the key, but without the log's first line.
  const std::string notLog = "garbage\r\n" + Target("old.txt") + "\r\n";
  ASSERT_TRUE(WriteFileBytes(LogPath(), notLog));
  Install();
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0].rfind(kNote, 0), 0u);
  EXPECT_EQ(ReadFileBytes(LogPath()), notLog);
  EXPECT_EQ(ReadFileBytes(Target("Unistall-2.tsu")), ExpectedLog({Target("a.txt")}, {KeyLine()}));

  // A key naming a log of another folder does not make this one ours.
  platform::RemoveFile(Target("Unistall-2.tsu"));
  ASSERT_TRUE(WriteFileBytes(LogPath(), "TSUIV1.0\r\n" + Target("old.txt") + "\r\n"));
  SetUninstallString(keyPath, "C:\\WINDOWS\\tsu11.exe -U|" + key + "|C:\\Elsewhere\\Unistall.tsu");
  boxes.Clear();
  Install();
  EXPECT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(ReadFileBytes(Target("Unistall-2.tsu")), ExpectedLog({Target("a.txt")}, {KeyLine()}));
  EXPECT_TRUE(platform::Access(Target("old.txt")));
}

TEST(InstalledEntry, ReadsTheUninstallStringsLogAndComparesPaths) {
  EXPECT_EQ(UninstallStringLog("C:\\W\\tsu11.exe -U|Foo|D:\\Apps\\Foo\\Unistall.tsu").str(),
            "D:\\Apps\\Foo\\Unistall.tsu");
  EXPECT_EQ(UninstallStringLog("C:\\W\\tsu11.exe -U|Foo").str(), "");
  EXPECT_EQ(UninstallStringLog("").str(), "");
  EXPECT_TRUE(SameLogPath("D:\\Apps\\Foo\\Unistall.tsu", "d:\\apps\\x\\..\\foo\\\\unistall.TSU"));
  EXPECT_FALSE(SameLogPath("D:\\Apps\\Foo\\Unistall.tsu", "D:\\Apps\\Foo2\\Unistall.tsu"));
  EXPECT_FALSE(SameLogPath("", ""));
  const CString date = InstallDateText(86400 * 365);
  EXPECT_EQ(date.GetLength(), 8);
  EXPECT_EQ(date.Left(4).str(), "1971");
}
