#include <gtest/gtest.h>
#include "install_fixture.h"
#include <cstdlib>
#include "platform/codepage.h"
#include "platform/notify.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "engine/install_runner.h"
#include "engine/removal.h"
#include "engine/uninstall_messages.h"
#ifdef _WIN32
#include <windows.h>
#endif

using namespace tarntest;

namespace {

const std::string kTestKey = "Software\\TarnTest\\Uninstall";

bool KeyExists(DWORD root, const std::string& path) {
  platform::RegKey k;
  return k.Open(platform::RegKey::Root(root), path, platform::kRegRead) == 0;
}

std::string Failed(const std::string& entry) { return "删除注册表键失败! '" + entry + "'"; }

}  // namespace

// Install, then uninstall through the log: registry entries in log order
// (with the failures it must report), files, emptied folders, the log and
// the Uninstall key.
TEST_F(InstallTest, UninstallRemovesWhatTheLogLists) {
  platform::RegKey k;
  const auto hkcu = platform::RegKey::Root(platform::kRegCurrentUser);
  ASSERT_EQ(k.Create(hkcu, kTestKey + "\\Tree\\Child\\Grandchild"), 0);
  ASSERT_EQ(k.Create(hkcu, kTestKey + "\\Values"), 0);
  ASSERT_EQ(k.SetString("gone", "1"), 0);
  ASSERT_EQ(k.SetString("kept", "2"), 0);
  k.Close();
  const std::string root = "HKEY_CURRENT_USER\\";
  const std::string list = root + kTestKey + "\\Tree\r\n" + root + kTestKey + "\\Values\\gone\r\n" +
                           root + kTestKey + "\\Tree\r\nHKEY_CURRENT_USER\r\nHKEY_CURRENT_USER\\\r\n" +
                           root + kTestKey + "\\a:b\r\nHKEY_NOWHERE\\x\r\n";
  Build({{"<TARGETDIR>\\a.exe", "a"},
         {"<TARGETDIR>\\sub\\deeper\\b.dll", "b"},
         {"<TARGETDIR>\\reg.txt", list, IF_REGLIST}});
  Install();
  ASSERT_TRUE(platform::Access(Target("sub\\deeper\\b.dll")));
  ASSERT_TRUE(KeyExists(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
  boxes.Clear();

  EXPECT_TRUE(Uninstall());
  // Tree is listed twice: the second time it is already gone, which is no failure.
  EXPECT_EQ(boxes.texts(),
            (std::vector<std::string>{Failed("HKEY_CURRENT_USER"),
                                      Failed("HKEY_CURRENT_USER\\"), Failed(root + kTestKey + "\\a:b"),
                                      Failed("HKEY_NOWHERE\\x")}));
  EXPECT_FALSE(KeyExists(platform::kRegCurrentUser, kTestKey + "\\Tree"));
  ASSERT_TRUE(k.Open(hkcu, kTestKey + "\\Values", platform::kRegRead) == 0);
  std::string v;
  EXPECT_NE(k.QueryString("gone", &v), 0);
  EXPECT_EQ(k.QueryString("kept", &v), 0);
  k.Close();
  EXPECT_FALSE(KeyExists(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
  // Every folder emptied, the install folder itself with the log.
  EXPECT_FALSE(platform::Access(Target("sub")));
  EXPECT_FALSE(platform::Access(target.path()));

  std::vector<std::pair<UINT, WPARAM>> seen;
  for (const auto& n : notes.calls())
    if (n.msg >= WM_UNINST_START && n.msg <= WM_UNINST_DONE) seen.push_back({n.msg, n.wp});
  EXPECT_EQ(seen, (std::vector<std::pair<UINT, WPARAM>>{
                      {WM_UNINST_START, 2}, {WM_UNINST_STEP, 0}, {WM_UNINST_STEP, 1}, {WM_UNINST_DONE, 2}}));
  // Only this test's key: others in the sandbox keep theirs under the parent.
  DeleteRegKey((root + kTestKey).c_str());
}

// Each folder goes once its last listed file has, in whatever order the
// log names them: interleaved folders, a folder holding only folders, and
// a last file the user already removed. A file of the user's keeps its own.
TEST_F(InstallTest, EmptiedFoldersGoInAnyLogOrder) {
  Build({{"<TARGETDIR>\\a\\1.txt", "1"},
         {"<TARGETDIR>\\b\\1.txt", "1"},
         {"<TARGETDIR>\\a\\x\\1.txt", "1"},
         {"<TARGETDIR>\\a\\2.txt", "2"},
         {"<TARGETDIR>\\only\\y\\1.txt", "1"},
         {"<TARGETDIR>\\only\\z\\1.txt", "1"},
         {"<TARGETDIR>\\b\\2.txt", "2"},
         {"<TARGETDIR>\\kept\\1.txt", "1"}});
  Install();
  ASSERT_TRUE(boxes.texts().empty());
  ASSERT_TRUE(platform::RemoveFile(Target("b\\2.txt")));
  ASSERT_TRUE(WriteFileBytes(Target("kept\\user.txt"), "u"));
  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  for (const char* gone : {"a", "b", "only"}) EXPECT_FALSE(platform::Access(Target(gone))) << gone;
  EXPECT_FALSE(platform::Access(Target("kept\\1.txt")));
  EXPECT_EQ(ReadFileBytes(Target("kept\\user.txt")), "u");
}

// A package that goes from folder to folder with every entry, in more
// folders than an install keeps open at once: each file lands where it
// belongs, and the uninstall leaves none of the folders.
TEST_F(InstallTest, FolderAfterFolder) {
  std::vector<Item> entries;
  for (int round = 0; round < 2; ++round)
    for (int f = 0; f < 40; ++f) {
      const std::string folder = "t" + std::to_string(f % 4) + "\\m" + std::to_string(f % 10) + "\\l" + std::to_string(f);
      entries.emplace_back("<TARGETDIR>\\" + folder + "\\" + std::to_string(round) + ".txt", folder + std::to_string(round));
    }
  Build(entries);
  Install();
  ASSERT_TRUE(boxes.texts().empty());
  for (const auto& e : entries)
    EXPECT_EQ(ReadFileBytes(Target(e.target.substr(std::string("<TARGETDIR>\\").size()))), e.content) << e.target;
  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  for (int t = 0; t < 4; ++t) EXPECT_FALSE(platform::Access(Target("t" + std::to_string(t)))) << t;
}

// A log that cannot be used says why, stays where it is, and leaves
// the Uninstall key to the caller's fallback.
TEST_F(InstallTest, UnusableLogs) {
  struct Case {
    const char* content;  // null: no log at all
    const char* message;
  } cases[] = {
      {nullptr, "打开卸载信息错误!"},
      {"", "不是合法的卸载文件!"},
      {"TSUIV1.2\r\n", "不是合法的卸载文件!"},  // a form this uninstaller does not know
  };
  for (const Case& c : cases) {
    boxes.Clear();
    platform::RegKey k;
    ASSERT_EQ(k.Create(platform::RegKey::Root(platform::kRegLocalMachine), UninstallKeyPath(key.c_str()).str()), 0);
    k.Close();
    if (c.content) {
      ASSERT_TRUE(WriteFileBytes(LogPath(), c.content));
    }
    EXPECT_FALSE(Uninstall());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.message});
    // A file without the log's magic is nobody's log: left where it is.
    EXPECT_EQ(platform::Access(LogPath()), c.content != nullptr);
    platform::RemoveFile(LogPath());
    RemoveUninstallKey(key.c_str());
    EXPECT_FALSE(KeyExists(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
    platform::MakeDirectory(target.path());
  }
}

// A log line is a path that will be deleted: only full drive paths that do
// not climb are taken, and a folder is removed only when it is empty.
TEST_F(InstallTest, LogLinesNeverReachOutside) {
  ASSERT_TRUE(platform::MakeDirectory(Target("in")));
  ASSERT_TRUE(WriteFileBytes(Target("in\\a.txt"), "a"));
  ASSERT_TRUE(WriteFileBytes(Target("in\\stays.txt"), "s"));
  ASSERT_TRUE(WriteFileBytes(dir / "outside.txt", "o"));
  const std::string climb = Target("in\\..\\..\\") + dir.path().substr(dir.path().rfind('\\') + 1) + "\\outside.txt";
  std::string log = "tsuiv1.0\r\n" + Target("in\\a.txt") + "\r\n" + climb + "\r\n" +
                    "outside.txt\r\n" + Target("in\\...\\x") + "\r\n[deleteregistry]\r\n";
  ASSERT_TRUE(WriteFileBytes(LogPath(), log));
  EXPECT_TRUE(Uninstall());
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"删除文件失败! '" + climb + "'",
                                                     "删除文件失败! 'outside.txt'",
                                                     "删除文件失败! '" + Target("in\\...\\x") + "'"}));
  EXPECT_FALSE(platform::Access(Target("in\\a.txt")));
  EXPECT_TRUE(platform::Access(Target("in\\stays.txt")));
  EXPECT_TRUE(platform::Access(dir / "outside.txt"));
}

TEST(RemovalTest, EntrySyntax) {
  struct Case {
    const char* path;
    const char* key;
    const char* value;
  } cases[] = {
      {"Software\\A\\v", "Software\\A", "v"}, {"Software/A/v", "Software/A", "v"},
      {"v", "", "v"}, {"Software\\A\\", "Software\\A", ""}, {"", "", ""},
  };
  for (const Case& c : cases) {
    CString value, keyPath;
    EXPECT_TRUE(SplitValuePath(c.path, value, keyPath));
    EXPECT_EQ(keyPath, CString(c.key)) << c.path;
    EXPECT_EQ(value, CString(c.value)) << c.path;
  }
  EXPECT_EQ(RegRootFromName("hkey_local_machine"), 0x80000002u);
  EXPECT_EQ(RegRootFromName("HKEY_DYN_DATA"), 0x80000006u);
  EXPECT_EQ(RegRootFromName(" HKEY_USERS"), 0u);
  EXPECT_EQ(RegRootFromName("HKLM"), 0u);
  // Far longer than any key the registry holds: refused, never overrun.
  std::string huge = "HKEY_CURRENT_USER\\" + std::string(100000, 'k') + "\\v";
  EXPECT_FALSE(DeleteRegKey(huge.c_str()));
  EXPECT_FALSE(DeleteRegValue(huge.c_str()));
  EXPECT_FALSE(DeleteFileAndDir("", TRUE));
}

// Names GBK lacks install and uninstall exactly; their log says so in its
// first line, which older uninstallers refuse rather than misread.
TEST_F(InstallTest, NamesGbkLacksRoundTripThroughTheLog) {
  const std::string folder = platform::Utf8ToAnsi(u8"Straße Łódź");
  const std::string file = platform::Utf8ToAnsi(u8"한국어 😀.txt");
  Build({{"<TARGETDIR>\\" + folder + "\\" + file, "x"}, {"<TARGETDIR>\\说明.txt", "y"}});
  Install();
  EXPECT_TRUE(boxes.texts().empty());
  ASSERT_EQ(ReadFileBytes(Target(folder + "\\" + file)), "x");
  const std::string log = ReadFileBytes(LogPath());
  EXPECT_EQ(log.substr(0, 10), "TSUIV1.1\r\n");
  EXPECT_NE(log.find(Target(folder + "\\" + file) + "\r\n"), std::string::npos);

  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_FALSE(platform::Access(Target(folder)));
  EXPECT_FALSE(platform::Access(target.path()));
}

// The product's Uninstall key goes after its files, so that an uninstall
// stopped half-way is still listed and can be run again; a file a running
// program holds is deleted at the next start of Windows, and said so.
TEST_F(InstallTest, KeyLastAndFilesInUseAtRestart) {
  Build({{"<TARGETDIR>\\a.txt", "a"}, {"<TARGETDIR>\\held.txt", "h"},
         {"<TARGETDIR>\\keys.txt", "HKEY_CURRENT_USER\\Software\\TarnTest\\KeyLast", IF_REGLIST}});
  Install();
  ASSERT_TRUE(boxes.texts().empty());
#ifdef _WIN32
  HANDLE held = CreateFileA(Target("held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
#endif
  const size_t from = journal.events().size();
  EXPECT_TRUE(Uninstall());
  std::vector<std::string> order;
  for (size_t i = from; i < journal.events().size(); ++i)
    if (const auto& e = journal.events()[i]; e.kind == platform::JournalKind::kRegDeleted || e.kind == platform::JournalKind::kAlreadyGone ||
        e.kind == platform::JournalKind::kFileRemoved || e.kind == platform::JournalKind::kFileScheduled)
      if (e.path != LogPath()) order.push_back(e.path);  // the log itself goes after the run
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.back(), KeyLine());
  EXPECT_EQ(order.front(), "HKEY_CURRENT_USER\\Software\\TarnTest\\KeyLast");
#ifdef _WIN32
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"文件正在使用,将在重新启动后删除! '" + Target("held.txt") + "'"});
  EXPECT_EQ(journal.Of(platform::JournalKind::kFileScheduled).size(), 1u);
  CloseHandle(held);
  DeleteFileA(Target("held.txt").c_str());
#else
  EXPECT_TRUE(boxes.texts().empty());
#endif
  EXPECT_FALSE(KeyExists(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
}

// An uninstall killed half-way leaves its log and the product's key, and
// runs again to the end; a file that cannot be removed keeps both too.
TEST_F(InstallTest, AStoppedUninstallRunsAgainToTheEnd) {
  const std::string keyPath = UninstallKeyPath(key.c_str()).str();
  Build({{"<TARGETDIR>\\a.txt", "a"}, {"<TARGETDIR>\\sub\\b.txt", "b"}, {"<TARGETDIR>\\c.txt", "c"},
         {"<TARGETDIR>\\keys.txt", "HKEY_CURRENT_USER\\Software\\TarnTest\\Again", IF_REGLIST}});
  Install();
  ASSERT_TRUE(boxes.texts().empty());
  if (!UnderWine()) {
    EXPECT_EXIT(
        {
          platform::SetNotifyHandler([](HWND, UINT m, WPARAM wp, LPARAM) {
            if (m == WM_UNINST_STEP && wp == 2) std::_Exit(7);
          });
          Uninstall();
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_FALSE(platform::Access(Target("a.txt")));
    EXPECT_TRUE(platform::Access(LogPath()));
    EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, keyPath));
  }
  // A folder where a file was: the file cannot go, nor the key.
  platform::RemoveFile(Target("c.txt"));
  ASSERT_TRUE(platform::MakeDirectory(Target("c.txt")));
  ASSERT_TRUE(WriteFileBytes(Target("c.txt\\user.txt"), "u"));
  boxes.Clear();
  EXPECT_TRUE(Uninstall());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"删除文件失败! '" + Target("c.txt") + "'"});
  EXPECT_TRUE(platform::Access(LogPath()));
  EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, keyPath));

  platform::RemoveFile(Target("c.txt\\user.txt"));
  platform::RemoveDir(Target("c.txt"));
  boxes.Clear();
  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_FALSE(platform::Access(LogPath()));
  EXPECT_FALSE(platform::Access(Target("sub")));
  EXPECT_FALSE(KeyExists(platform::kRegLocalMachine, keyPath));
  EXPECT_FALSE(KeyExists(platform::kRegCurrentUser, "Software\\TarnTest\\Again"));
}
