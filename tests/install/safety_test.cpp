// An install and its uninstall reach only what is theirs, whatever a
// package, a log or a product name holds, and say what they did not do.
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include "install_fixture.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "engine/install_runner.h"
#include "engine/removal.h"
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include "platform/posix/host_path.h"
#endif

using namespace tarntest;
using platform::JournalKind;

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool KeyExists(DWORD root, const std::string& path) {
  platform::RegKey k;
  return k.Open(platform::RegKey::Root(root), path, platform::kRegRead) == 0;
}

std::vector<std::string> Paths(const JournalRecorder& j, JournalKind kind) {
  std::vector<std::string> out;
  for (const auto& e : j.Of(kind)) out.push_back(e.path);
  return out;
}

// Runs `act` once, at the first journal event of `kind`: the moment between
// two entries that a race would use. Events still reach the recorder.
class AtFirst {
 public:
  AtFirst(JournalKind kind, std::function<void()> act) : kind_(kind), act_(std::move(act)) {
    prev_ = platform::SetJournalHandler([this](const platform::JournalEvent& e) {
      if (!done_ && e.kind == kind_) {
        done_ = true;
        act_();
      }
      if (prev_) prev_(e);
    });
  }
  ~AtFirst() { platform::SetJournalHandler(prev_); }

 private:
  JournalKind kind_;
  std::function<void()> act_;
  std::atomic<bool> done_{false};
  platform::JournalHandler prev_;
};

}  // namespace

// A folder of the install swapped for a link after its first file: the
// install holds what it fills, so the swap is refused where the system
// keeps a held folder in place; where it goes through, the next files of
// that folder, and a folder below it, are refused at their own open. Either
// way nothing is made outside.
TEST_F(InstallTest, AFolderSwappedForALinkDuringTheInstall) {
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  Moved swapped = Moved::kFailed;
  AtFirst swap(JournalKind::kFileWritten, [&] {
    swapped = SwapForLink(Target("sub"), Target("aside"), dir / "outside");
  });
  Build({{"<TARGETDIR>\\sub\\a.txt", "a"},
         {"<TARGETDIR>\\sub\\b.txt", "b"},
         {"<TARGETDIR>\\sub\\deeper\\c.txt", "c"},
         {"<TARGETDIR>\\top.txt", "t"}});
  Install();
  if (swapped == Moved::kFailed) GTEST_SKIP() << "no symbolic links here";
  EXPECT_FALSE(platform::Access(dir / "outside\\b.txt"));
  EXPECT_FALSE(platform::Access(dir / "outside\\deeper"));
  if (swapped == Moved::kInUse) {
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(Target("sub\\b.txt")), "b");
    EXPECT_EQ(ReadFileBytes(Target("sub\\deeper\\c.txt")), "c");
    return;
  }
  const std::string link = "不能通过链接写入'";
  EXPECT_EQ(boxes.texts(),
            (std::vector<std::string>{link + Target("sub\\b.txt") + "'!", link + Target("sub\\deeper\\c.txt") + "'!"}));
  EXPECT_EQ(ReadFileBytes(Target("aside\\a.txt")), "a");
  EXPECT_EQ(Paths(journal, JournalKind::kFileWritten),
            (std::vector<std::string>{Target("sub\\a.txt"), Target("top.txt")}));
}

// A folder another program holds open to move or remove is not pinned by
// the install: swapped for a link after its first file, the next file is
// refused at its own open.
TEST_F(InstallTest, AFolderOthersMayMoveIsLookedAtForEachFile) {
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  ASSERT_TRUE(platform::MakeDirectory(Target("sub")));
  FolderOpenForDelete other(Target("sub"));
  if (!other.held()) GTEST_SKIP() << "no share modes here";
  Moved swapped = Moved::kFailed;
  AtFirst swap(JournalKind::kFileWritten, [&] {
    swapped = SwapForLink(Target("sub"), Target("aside"), dir / "outside");
  });
  Build({{"<TARGETDIR>\\sub\\a.txt", "a"}, {"<TARGETDIR>\\sub\\b.txt", "b"}});
  Install();
  ASSERT_NE(swapped, Moved::kInUse);
  if (swapped == Moved::kFailed) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"不能通过链接写入'" + Target("sub\\b.txt") + "'!"});
  EXPECT_EQ(ReadFileBytes(Target("aside\\a.txt")), "a");
  EXPECT_FALSE(platform::Access(dir / "outside\\b.txt"));
}

// The folder being filled moved away and made again after its first file:
// refused where the held folder stays in place; else the next file goes
// into the folder now at its path, where the log has it, not into the one
// the install held open.
TEST_F(InstallTest, AFolderMadeAgainDuringTheInstall) {
  Moved moved = Moved::kFailed;
  AtFirst move(JournalKind::kFileWritten, [&] {
    moved = MoveFolder(Target("sub"), Target("aside"));
    if (moved == Moved::kDone && !platform::MakeDirectory(Target("sub"))) moved = Moved::kFailed;
  });
  Build({{"<TARGETDIR>\\sub\\a.txt", "a"}, {"<TARGETDIR>\\sub\\b.txt", "b"}, {"<TARGETDIR>\\sub\\c\\d.txt", "d"}});
  Install();
  ASSERT_NE(moved, Moved::kFailed);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
  EXPECT_EQ(ReadFileBytes(Target(moved == Moved::kDone ? "aside\\a.txt" : "sub\\a.txt")), "a");
  EXPECT_EQ(ReadFileBytes(Target("sub\\b.txt")), "b");
  EXPECT_EQ(ReadFileBytes(Target("sub\\c\\d.txt")), "d");
  EXPECT_FALSE(platform::Access(Target("aside\\c")));
  if (moved == Moved::kInUse) {
    // Let go when the install ends.
    ASSERT_EQ(MoveFolder(Target("sub"), Target("aside")), Moved::kDone);
    ASSERT_EQ(MoveFolder(Target("aside"), Target("sub")), Moved::kDone);
  }
  EXPECT_TRUE(Uninstall());
  EXPECT_FALSE(platform::Access(Target("sub")));
}

// The uninstall's folder swapped for a link after its first delete: the
// swap is refused where a held folder stays in place, and the uninstall is
// whole; else the outside file of the same name stays, and so does the
// folder it is in.
TEST_F(InstallTest, AFolderSwappedForALinkDuringTheUninstall) {
  Build({{"<TARGETDIR>\\sub\\a.txt", "a"}, {"<TARGETDIR>\\sub\\b.txt", "b"}});
  Install();
  ASSERT_EQ(boxes.texts(), std::vector<std::string>{});
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  ASSERT_TRUE(WriteFileBytes(dir / "outside\\b.txt", "keep"));
  Moved swapped = Moved::kFailed;
  {
    AtFirst swap(JournalKind::kFileRemoved, [&] {
      swapped = SwapForLink(Target("sub"), Target("aside"), dir / "outside");
    });
    EXPECT_TRUE(Uninstall());
  }
  if (swapped == Moved::kFailed) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(ReadFileBytes(dir / "outside\\b.txt"), "keep");
  if (swapped == Moved::kInUse) {
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
    EXPECT_FALSE(platform::Access(target.path()));
    return;
  }
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"删除文件失败! '" + Target("sub\\b.txt") + "'"});
  EXPECT_FALSE(platform::Access(Target("aside\\a.txt")));
  EXPECT_EQ(Paths(journal, JournalKind::kFileRemoved),
            (std::vector<std::string>{Target("sub\\a.txt"), LogPath()}));
  EXPECT_TRUE(Paths(journal, JournalKind::kFolderRemoved).empty());
}

// A name that is not one key name below Uninstall writes no key there: the
// log is written, the install says so, and no fallback removes a shared key.
TEST_F(InstallTest, ProductNamesThatAreNoKeyName) {
  const auto hklm = platform::RegKey::Root(platform::kRegLocalMachine);
  platform::RegKey sibling;
  ASSERT_EQ(sibling.Create(hklm, std::string(kUninstallKey) + "\\TarnTest Sibling"), 0);
  sibling.Close();
  Build({{"<TARGETDIR>\\a.txt", "a"}});
  for (const char* name : {"", "   ", "\\", "a\\b", "a|b", "\\ "}) {
    boxes.Clear();
    // No key names the log of the name before: it would be kept.
    platform::RemoveFile(LogPath());
    app.m_strProductName = name;
    Install();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"产品名称'" + std::string(name) +
                                                      "'不合法,没有建立卸载注册表键!"})
        << "'" << name << "'";
    EXPECT_EQ(ReadFileBytes(LogPath()), "TSUIV1.0\r\n" + Target("a.txt") + "\r\n") << name;
    EXPECT_EQ(RegString(platform::kRegLocalMachine, kUninstallKey, "UninstallString"), "<none>");
    RemoveUninstallKey(name);
    EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, kUninstallKey)) << name;
    EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, std::string(kUninstallKey) + "\\TarnTest Sibling"));
  }
  // A double-byte name whose second byte is "\" is one name.
  key = "TarnTest \x81\x5C";
  app.m_strProductName = key;
  boxes.Clear();
  platform::RemoveFile(LogPath());
  Install();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_NE(RegString(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str(), "DisplayName"), "<none>");
  EXPECT_TRUE(Uninstall());
  EXPECT_FALSE(KeyExists(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str()));
  EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, std::string(kUninstallKey) + "\\TarnTest Sibling"));
  RemoveUninstallKey("TarnTest Sibling");
}

// What verify and extract refuse is not installed either, and an entry with
// the log's name is never merged as an earlier install's log.
TEST_F(InstallTest, TargetsThatVerifyRefuses) {
  const std::string fakeLog = "TSUIV1.0\r\n" + (dir / "victim.txt") +
                              "\r\n[DeleteRegistry]\r\nHKEY_CURRENT_USER\\Software\\Victim\r\n";
  const char* bad[] = {"<TARGETDIR>\\..\\..\\x.txt", "<TARGETDIR>\\CON", "<TARGETDIR>\\sub\\nul.txt",
                       "<TARGETDIR>\\LPT1.log", "<TARGETDIR>\\UNISTALL.TSU", "<TARGETDIR>\\dot."};
  std::vector<Item> items;
  for (const char* t : bad) items.push_back({t, fakeLog});
  items.push_back({"<TARGETDIR>\\ok.txt", "ok"});
  Build(items);
  Install();
  std::vector<std::string> want;
  for (const char* t : bad) want.push_back("非法安装路径'" + target.path() + (t + 11) + "'!");
  EXPECT_EQ(boxes.texts(), want);
  EXPECT_EQ(Paths(journal, JournalKind::kFileWritten), std::vector<std::string>{Target("ok.txt")});
  EXPECT_EQ(ReadFileBytes(LogPath()), ExpectedLog({Target("ok.txt")}, {KeyLine()}));
}

// What is gone counts as removed, and no root, first-level or shared key is
// ever deleted, whatever the log says.
TEST_F(InstallTest, RegistryLinesOfTheLog) {
  const auto hkcu = platform::RegKey::Root(platform::kRegCurrentUser);
  platform::RegKey k;
  ASSERT_EQ(k.Create(hkcu, "Software\\TarnSafety\\Own\\Sub"), 0);
  ASSERT_EQ(k.Create(hkcu, "Software\\TarnSafety\\Vals"), 0);
  ASSERT_EQ(k.SetString("v", "1"), 0);
  k.Close();
  const std::string own = "HKEY_CURRENT_USER\\Software\\TarnSafety\\Own";
  const std::string val = "HKEY_CURRENT_USER\\Software\\TarnSafety\\Vals\\v";
  const std::vector<std::string> shared = {
      "HKEY_CURRENT_USER\\\\", "HKEY_LOCAL_MACHINE\\ \\", "HKEY_LOCAL_MACHINE\\Software",
      "HKEY_CURRENT_USER\\Control Panel",
      "HKEY_LOCAL_MACHINE\\" + std::string(kUninstallKey),
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
      "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID", "HKEY_CLASSES_ROOT\\.txt",
      "HKEY_USERS\\.DEFAULT\\Software"};
  std::string log = "TSUIV1.0\r\n" + Target("gone.txt") + "\r\n[DeleteRegistry]\r\n" + own + "\r\n" + own + "\r\n" + val + "\r\n" + val +
                    "\r\nHKEY_CURRENT_USER\\Software\\TarnSafety\\Never\\x\r\n";
  for (const auto& s : shared) log += s + "\r\n";
  ASSERT_TRUE(WriteFileBytes(LogPath(), log));
  EXPECT_TRUE(Uninstall());

  std::vector<std::string> want;
  for (const auto& s : shared) want.push_back("不能删除系统共用的注册表键! '" + s + "'");
  EXPECT_EQ(boxes.texts(), want);
  EXPECT_EQ(Paths(journal, JournalKind::kRegDeleted), (std::vector<std::string>{own, val}));
  EXPECT_EQ(Paths(journal, JournalKind::kAlreadyGone),
            (std::vector<std::string>{own, val, "HKEY_CURRENT_USER\\Software\\TarnSafety\\Never\\x",
                                      Target("gone.txt")}));
  EXPECT_FALSE(KeyExists(platform::kRegCurrentUser, "Software\\TarnSafety\\Own"));
  EXPECT_TRUE(KeyExists(platform::kRegCurrentUser, "Software\\TarnSafety\\Vals"));
  EXPECT_TRUE(KeyExists(platform::kRegLocalMachine, kUninstallKey));
  EXPECT_TRUE(KeyExists(platform::kRegCurrentUser, "Software"));
  DeleteRegKey("HKEY_CURRENT_USER\\Software\\TarnSafety");
}

// A million-line registry list neither floods the log nor, at the
// uninstall, the user with one box per line.
TEST_F(InstallTest, FloodsAreCapped) {
  std::string list;
  for (int i = 0; i < 10005; ++i) list += "\r\n \r\nHKEY_NOWHERE\\" + std::to_string(i) + "\r\n";
  Build({{"<TARGETDIR>\\keys.txt", list, IF_REGLIST}});
  Install();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"注册表列表'" + Target("keys.txt") +
                                                    "'超过10000行,其余的行被忽略!"});
  const std::string log = ReadFileBytes(LogPath());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1 + 1 + 10000 + 1);
  EXPECT_EQ(log.find("\r\n\r\n"), std::string::npos);

  boxes.Clear();
  EXPECT_TRUE(Uninstall());
  ASSERT_EQ(boxes.texts().size(), 11u);
  EXPECT_EQ(boxes.texts()[0], "删除注册表键失败! 'HKEY_NOWHERE\\0'");
  EXPECT_EQ(boxes.texts()[10], "另有9990项没有删除!");
}

// Double-byte names whose second byte is "|" or "\" are names like any other,
// and a network path is a path.
TEST_F(InstallTest, MultibyteNamesAndNetworkPaths) {
  const std::string names[] = {"a\x81\x7C" "b.txt", "\x96\x7C.txt", "\x83\x7C\x81\x5C.txt"};
  Build({{"<TARGETDIR>\\" + names[0], "1"}, {"<TARGETDIR>\\" + names[1], "2"}, {"<TARGETDIR>\\" + names[2], "3"}});
  Install();
  ASSERT_TRUE(boxes.texts().empty());
  for (const auto& n : names) ASSERT_TRUE(platform::Access(Target(n)));
  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  for (const auto& n : names) EXPECT_FALSE(platform::Access(Target(n))) << n;

  CString value, keyPath;
  SplitValuePath("Software\\A\\x\x81\x5Cy", value, keyPath);
  EXPECT_EQ(keyPath, CString("Software\\A"));
  EXPECT_EQ(value, CString("x\x81\x5Cy"));
  struct Case {
    const char* path;
    bool removable;
  } cases[] = {{"\\\\server\\share\\App\\a.exe", true}, {"\\\\server\\share", false},
               {"\\\\server\\share\\..\\x", false},    {"C:\\a\x81\x7C.txt", true},
               {"C:\\a|b.txt", false},                {"a.txt", false}};
  for (const Case& c : cases) EXPECT_EQ(IsRemovablePath(c.path), c.removable) << c.path;
}

// Two installs into one folder at once: the log lists what both wrote.
TEST_F(InstallTest, TwoInstallsIntoOneFolder) {
  std::vector<Item> a, b;
  for (int i = 0; i < 20; ++i) {
    a.push_back({"<TARGETDIR>\\a" + std::to_string(i) + ".txt", "a"});
    b.push_back({"<TARGETDIR>\\b" + std::to_string(i) + ".txt", "b"});
  }
  Build(a, "a.tsp");
  Build(b, "b.tsp");
  // The fixture's recorders are for one thread.
  std::atomic<int> messages{0};
  auto prevJournal = platform::SetJournalHandler({});
  auto prevBox = platform::SetMessageBoxHandler([&](const platform::MessageBoxCall&) {
    ++messages;
    return IDOK;
  });
  for (int round = 0; round < 5; ++round) {
    platform::RemoveFile(LogPath());
    auto install = [&](const std::string& name) {
      platform::ComScope com;
      CSetupPackage p((dir / name).c_str(), target.path().c_str(), nullptr, nullptr);
      p.Unpack();
      p.WriteUninstallInfo(target.path().c_str(), key.c_str(), key.c_str(), "C:\\WINDOWS\\tsu11.exe");
    };
    std::thread t1(install, "a.tsp"), t2(install, "b.tsp");
    t1.join();
    t2.join();
    const std::string log = ReadFileBytes(LogPath());
    for (int i = 0; i < 20; ++i) {
      EXPECT_NE(log.find(Target("a" + std::to_string(i) + ".txt") + "\r\n"), std::string::npos) << round;
      EXPECT_NE(log.find(Target("b" + std::to_string(i) + ".txt") + "\r\n"), std::string::npos) << round;
    }
  }
  platform::SetJournalHandler(prevJournal);
  platform::SetMessageBoxHandler(prevBox);
  EXPECT_EQ(messages, 0);
}

#ifndef _WIN32
// Links below the target, or the log as a link: nothing is written, merged
// or deleted through them, and each entry says so.
TEST_F(InstallTest, LinksAreNeverFollowed) {
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  ASSERT_TRUE(WriteFileBytes(dir / "outside\\keep.txt", "keep"));
  const std::string fakeLog = "TSUIV1.0\r\n" + (dir / "outside\\keep.txt") + "\r\n";
  ASSERT_TRUE(WriteFileBytes(dir / "outside\\log.tsu", fakeLog));
  auto host = [](const std::string& p) { return platform::HostPath(p); };
  ASSERT_EQ(symlink(host(dir / "outside").c_str(), host(Target("ln")).c_str()), 0);
  ASSERT_EQ(symlink(host(dir / "outside\\keep.txt").c_str(), host(Target("file.txt")).c_str()), 0);
  ASSERT_EQ(link(host(dir / "outside\\keep.txt").c_str(), host(Target("hard.txt")).c_str()), 0);
  ASSERT_EQ(symlink(host(dir / "outside\\log.tsu").c_str(), host(LogPath()).c_str()), 0);
  Build({{"<TARGETDIR>\\ln\\keep.txt", "x"},
         {"<TARGETDIR>\\ln\\new\\x.txt", "x"},
         {"<TARGETDIR>\\file.txt", "x"},
         {"<TARGETDIR>\\hard.txt", "x"},
         {"<TARGETDIR>\\ok.txt", "ok", 0, "<DESKTOP_FOLDER>\\..\\..\\..\\..\\TEMP\\x.lnk"}});
  Install();
  const std::string link = "不能通过链接写入'";
  EXPECT_EQ(boxes.texts(),
            (std::vector<std::string>{link + Target("ln\\keep.txt") + "'!", link + Target("ln\\new\\x.txt") + "'!",
                                      link + Target("file.txt") + "'!", link + Target("hard.txt") + "'!",
                                      "非法快捷方式路径'C:\\Users\\user\\Desktop\\..\\..\\..\\..\\TEMP\\x.lnk'!"}));
  EXPECT_EQ(ReadFileBytes(dir / "outside\\keep.txt"), "keep");
  EXPECT_FALSE(platform::Access(dir / "outside\\new"));
  EXPECT_EQ(ReadFileBytes(dir / "outside\\log.tsu"), fakeLog);
  // The link was replaced by the log, which lists nothing of the outside.
  EXPECT_FALSE(platform::IsLinkedName(LogPath()));
  EXPECT_EQ(ReadFileBytes(LogPath()), ExpectedLog({Target("ok.txt")}, {KeyLine()}));

  // A log line through a folder link deletes nothing.
  boxes.Clear();
  ASSERT_TRUE(WriteFileBytes(LogPath(), "TSUIV1.0\r\n" + Target("ln\\keep.txt") + "\r\n"));
  EXPECT_TRUE(Uninstall());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"删除文件失败! '" + Target("ln\\keep.txt") + "'"});
  EXPECT_EQ(ReadFileBytes(dir / "outside\\keep.txt"), "keep");
}

// A full disk: the cut file is no installed file; the rollback log fills
// up before the uninstall log is touched, so the install is undone and the
// earlier log keeps what it held; both are said.
TEST_F(InstallTest, AFullDisk) {
  Build({{"<TARGETDIR>\\a.txt", "a"},
         {"<TARGETDIR>\\keys.txt", "HKEY_CURRENT_USER\\Software\\TarnTest\\X", IF_REGLIST}},
        "first.tsp");
  Install("first.tsp");
  const std::string first = ReadFileBytes(LogPath());
  ASSERT_NE(first.find("TarnTest\\X"), std::string::npos);
  std::string list;
  for (int i = 0; i < 9000; ++i) list += "HKEY_CURRENT_USER\\Software\\TarnTest\\Many\\" + std::to_string(i) + "\r\n";
  Build({{"<TARGETDIR>\\big.bin", std::string(300000, 'b')}, {"<TARGETDIR>\\keys2.txt", list, IF_REGLIST}},
        "second.tsp");
  boxes.Clear();
  // Writes past 200 KB fail as on a full disk (EFBIG instead of ENOSPC).
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto prevSignal = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 200000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Install("second.tsp");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, prevSignal);

  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"写文件'" + Target("big.bin") + "'失败!",
                                                     "安装没有完成,已撤销安装所做的更改!已运行的程序不能撤销。"}));
  EXPECT_FALSE(platform::Access(Target("big.bin")));
  EXPECT_TRUE(Paths(journal, JournalKind::kFileWritten).size() == 1);
  EXPECT_EQ(ReadFileBytes(LogPath()), first);
}

// With the install folder at the drive's root, the uninstall still leaves
// the desktop and the folders above it, though it empties them.
TEST_F(InstallTest, SystemFoldersStay) {
  app.m_strTargetDir = "C:\\";
  Build({{"<TARGETDIR>\\tarn-root-test.txt", "x", 0, "<DESKTOP_FOLDER>\\Tarn Sub\\x.lnk"}});
  Install();
  ASSERT_TRUE(boxes.texts().empty());
  ASSERT_TRUE(platform::Access("C:\\Users\\user\\Desktop\\Tarn Sub\\x.lnk"));
  EXPECT_TRUE(CInstallRunner::Uninstall("C:\\Unistall.tsu", nullptr));
  EXPECT_FALSE(platform::Access("C:\\Users\\user\\Desktop\\Tarn Sub"));
  EXPECT_TRUE(platform::Access("C:\\Users\\user\\Desktop"));
  EXPECT_TRUE(platform::Access("C:\\Users\\user"));
  EXPECT_FALSE(RemoveOwnedFolder("C:\\Users"));
}
#endif

// An install folder and entries spelt with ".", ".." or doubled separators
// are installed, logged and uninstalled under the one name Windows opens;
// every spelling of the log's own name is refused.
TEST_F(InstallTest, OneSpellingPerPath) {
  const std::string fakeLog = "TSUIV1.0\r\n" + (dir / "victim.txt") + "\r\n";
  ASSERT_TRUE(WriteFileBytes(dir / "victim.txt", "keep"));
  ASSERT_TRUE(platform::MakeDirectory(Target("sub")));
  app.m_strTargetDir = (target.path() + "\\sub\\..\\.\\").c_str();
  Build({{"<TARGETDIR>\\\\deep\\\\x.txt", "x"},
         {"<TARGETDIR>\\y//z.txt", "z"},
         {"<TARGETDIR>\\\\Unistall.tsu", fakeLog},
         {"<TARGETDIR>\\/unistall.TSU", fakeLog}});
  Install();
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"非法安装路径'" + LogPath() + "'!",
                                                     "非法安装路径'" + Target("unistall.TSU") + "'!"}));
  EXPECT_EQ(ReadFileBytes(Target("deep\\x.txt")), "x");
  EXPECT_EQ(ReadFileBytes(LogPath()), ExpectedLog({Target("deep\\x.txt"), Target("y\\z.txt")}, {KeyLine()}));
  EXPECT_EQ(RegString(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str(), "InstallLocation"),
            target.path());
  boxes.Clear();
  EXPECT_TRUE(Uninstall());
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_FALSE(platform::Access(Target("deep")));
  EXPECT_FALSE(platform::Access(Target("y")));
  EXPECT_EQ(ReadFileBytes(dir / "victim.txt"), "keep");
}
