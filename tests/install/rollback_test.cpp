#include <gtest/gtest.h>
#include <cstdlib>
#include "engine/install_runner.h"
#include "engine/rollback_journal.h"
#include "install_fixture.h"
#include "platform/fs.h"
#include "platform/notify.h"
#include "platform/registry.h"

using namespace tarntest;

namespace {

bool KeyThere(DWORD root, const std::string& path) {
  platform::RegKey k;
  return k.Open(platform::RegKey::Root(root), path, platform::kRegRead) == 0;
}

// Installs in this process each keep their rollback logs in a folder of
// their own, away from other test processes and their recoveries.
class RollbackTest : public InstallTest {
 protected:
  // Test processes run side by side in one sandbox: the key and the desktop
  // folder are named after the test, as the Uninstall key is.
  RollbackTest()
      : rollbackDir(dir / "rollback"), listedKey("Software\\TarnTest\\" + key), shortcutFolder(key) {
    SetRollbackFolder(rollbackDir.c_str());
  }
  ~RollbackTest() override { SetRollbackFolder(nullptr); }

  std::string Slot(int n = 1) const { return rollback::SlotPath(rollbackDir.c_str(), n); }

  // A package that makes folders, a shortcut, a registry key, and replaces
  // a file that was there.
  void BuildMixed() {
    ASSERT_TRUE(WriteFileBytes(Target("old.txt"), "mine"));
    Build({{"<TARGETDIR>\\a.txt", "a", 0, "<DESKTOP_FOLDER>\\" + shortcutFolder + "\\a.lnk"},
           {"<TARGETDIR>\\sub\\deeper\\b.txt", "b"},
           {"<TARGETDIR>\\old.txt", "new"},
           {"<TARGETDIR>\\keys.txt", "HKEY_CURRENT_USER\\" + listedKey, IF_REGLIST},
           {"<TARGETDIR>\\c.txt", "c"},
           {"<TARGETDIR>\\d.txt", "d"}});
  }

  // The package's registry list names this key; an import would have made it.
  void MakeListedKey() {
    platform::RegKey k;
    ASSERT_EQ(k.Create(platform::RegKey::Root(platform::kRegCurrentUser), listedKey), 0);
  }

  // The machine as it was before BuildMixed's package.
  void ExpectMachineAsBefore() {
    EXPECT_FALSE(platform::Access(Target("a.txt")));
    EXPECT_FALSE(platform::Access(Target("sub")));
    EXPECT_FALSE(platform::Access(Target("c.txt")));
    EXPECT_EQ(ReadFileBytes(Target("old.txt")), "mine");
    EXPECT_FALSE(platform::Access(LogPath()));
    std::string desktop;
    ASSERT_TRUE(platform::SpecialFolderPath(platform::kFolderDesktop, &desktop));
    EXPECT_FALSE(platform::Access(desktop + "\\" + shortcutFolder));
    EXPECT_FALSE(KeyThere(platform::kRegCurrentUser, listedKey));
    EXPECT_FALSE(KeyThere(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
    EXPECT_FALSE(platform::Access(Slot()));
    EXPECT_FALSE(platform::Access(rollback::BackupPath(Slot(), 1)));
  }

  // Runs the install in a child process that dies, without any cleanup,
  // when the install posts `msg` with `step`.
  void InstallKilledAt(UINT msg, WPARAM step) {
    EXPECT_EXIT(
        {
          platform::SetNotifyHandler([=](HWND, UINT m, WPARAM wp, LPARAM) {
            if (m == msg && wp == step) std::_Exit(7);
          });
          Install();
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(7), "");
  }

  std::string rollbackDir;
  std::string listedKey;
  std::string shortcutFolder;
};

// A kill at any point of the install, before the entries are done or while
// the log and key are written, is undone by the next start: new files,
// folders, shortcuts and keys go, the replaced file has its content back.
TEST_F(RollbackTest, KilledInstallIsUndoneByTheNextStart) {
  if (UnderWine()) GTEST_SKIP() << "the child is a fork";
  BuildMixed();
  for (UINT at : {static_cast<UINT>(WM_SETUP_DATA_STEP), static_cast<UINT>(WM_SETUP_DATA_END)}) {
    SCOPED_TRACE(at);
    MakeListedKey();
    InstallKilledAt(at, at == WM_SETUP_DATA_END ? 0 : 5);
    // The kill left the install half-done, and its log.
    EXPECT_EQ(ReadFileBytes(Target("old.txt")), "new");
    EXPECT_TRUE(platform::Access(Target("sub\\deeper\\b.txt")));
    ASSERT_TRUE(platform::Access(Slot()));
    EXPECT_EQ(RecoverRollbacks(), 1);
    ExpectMachineAsBefore();
    EXPECT_EQ(RecoverRollbacks(), 0);
  }
  // The machine takes the same install again, whole.
  Install();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(ReadFileBytes(Target("old.txt")), "new");
  EXPECT_FALSE(platform::Access(Slot()));
  EXPECT_TRUE(Uninstall());
}

// A confirmed quit and a fatal stop both undo with the log: the file that
// was replaced has its old content, and nothing of the log is left.
TEST_F(RollbackTest, QuitAndFatalStopPutReplacedFilesBack) {
  BuildMixed();
  MakeListedKey();
  platform::NotifyHandler prev = platform::SetNotifyHandler([](HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_SETUP_DATA_STEP && wp == 4) RequestInstallStop();
  });
  Install();
  platform::SetNotifyHandler(prev);
  EXPECT_TRUE(boxes.texts().empty());
  ExpectMachineAsBefore();

  ASSERT_TRUE(WriteFileBytes(Target("kept.txt"), "before"));
  Build({{"<TARGETDIR>\\n\\first.txt", "1"}, {"<TARGETDIR>\\kept.txt", "after"},
         {"<NOPE>\\x.txt", "2"}, {"<TARGETDIR>\\third.txt", "3"}}, "fatal.tsp");
  Install("fatal.tsp");
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{
                               "非法安装路径!", "安装没有完成,已撤销安装所做的更改!已运行的程序不能撤销。"}));
  EXPECT_FALSE(platform::Access(Target("n")));
  EXPECT_EQ(ReadFileBytes(Target("kept.txt")), "before");
  EXPECT_FALSE(platform::Access(LogPath()));
  EXPECT_FALSE(platform::Access(Slot()));
}

// The log of a running install is its own: a recovery started meanwhile
// leaves it, and the finished install leaves no log behind.
TEST_F(RollbackTest, ARunningInstallsLogIsLeftAlone) {
  CRollbackJournal live;
  ASSERT_TRUE(live.Begin(target.path().c_str()));
  ASSERT_TRUE(live.NoteFile(Target("live.txt").c_str()));
  ASSERT_TRUE(WriteFileBytes(Target("live.txt"), "x"));
  CRollbackJournal second;
  ASSERT_TRUE(second.Begin(target.path().c_str()));
  EXPECT_EQ(second.Path(), Slot(2));
  second.Commit();
  EXPECT_EQ(RecoverRollbacks(), 0);
  EXPECT_TRUE(platform::Access(Target("live.txt")));
  live.Commit();
  EXPECT_FALSE(platform::Access(Slot()));
  EXPECT_EQ(RecoverRollbacks(), 0);
  EXPECT_TRUE(platform::Access(Target("live.txt")));
}

// A log cut off or damaged anywhere undoes only its intact records before
// the damage and never what lies outside them; records naming a climbing
// path or a backup that is no number are passed over.
TEST_F(RollbackTest, DamagedLogsUndoOnlyTheirIntactRecords) {
  using rollback::Record;
  using rollback::Step;
  ASSERT_TRUE(WriteFileBytes(Target("victim.txt"), "keep me"));
  ASSERT_TRUE(WriteFileBytes(Target("sub.txt"), "keep me too"));
  const std::string head(rollback::kMagic, rollback::kMagicSize);
  const std::string begin = rollback::EncodeRecord({Step::kBegin, target.path(), ""});
  const std::string made = rollback::EncodeRecord({Step::kNewFile, Target("made.txt"), ""});
  const std::string victim = rollback::EncodeRecord({Step::kNewFile, Target("victim.txt"), ""});

  // Cut at every length: a prefix of records, never more.
  const std::string whole = head + begin + made + victim;
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    std::vector<Record> records;
    bool damaged = false;
    const bool isLog = rollback::ParseLog(reinterpret_cast<const unsigned char*>(whole.data()), cut,
                                          &records, &damaged);
    EXPECT_EQ(isLog, cut >= head.size());
    size_t expect = cut >= whole.size() ? 3 : cut >= head.size() + begin.size() + made.size() ? 2
                    : cut >= head.size() + begin.size() ? 1 : 0;
    EXPECT_EQ(records.size(), expect) << cut;
  }

  std::string flipped = victim;
  flipped[5] ^= 0x20;  // the sum no longer holds
  const std::vector<std::string> logs = {
      head + begin + made + victim.substr(0, victim.size() - 1),
      head + begin + made + flipped,
      head + begin + made + std::string("\x09\xff\xff", 3) + victim,
      "not a log at all" + victim,
      head + begin + made + rollback::EncodeRecord({Step::kNewFile, target.path() + "\\x\\..\\victim.txt", ""}) +
          rollback::EncodeRecord({Step::kNewFile, "victim.txt", ""}) +
          rollback::EncodeRecord({Step::kReplaced, Target("sub.txt"), "..\\..\\x"}) +
          rollback::EncodeRecord({Step::kNewFolder, "C:\\", ""}),
  };
  platform::MakeDirectory(rollbackDir);
  for (size_t i = 0; i < logs.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(WriteFileBytes(Target("made.txt"), "made"));
    ASSERT_TRUE(WriteFileBytes(Slot(), logs[i]));
    RecoverRollbacks();
    EXPECT_EQ(platform::Access(Target("made.txt")), i == 3);  // no magic: nothing read
    EXPECT_EQ(ReadFileBytes(Target("victim.txt")), "keep me");
    EXPECT_EQ(ReadFileBytes(Target("sub.txt")), "keep me too");
    EXPECT_FALSE(platform::Access(Slot()));
  }
}

}  // namespace
