#include <gtest/gtest.h>
#include "afx/file.h"
#include "install_fixture.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "engine/install_runner.h"
#include "engine/installed_entry.h"

using namespace tarntest;
using platform::JournalKind;

namespace {

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

}  // namespace

// One package with an entry of every kind, in an order where a wrong byte
// position after a passed-over entry would show in the next one.
TEST_F(InstallTest, EntriesInPackageOrderAndTheLog) {
  const std::string big = Noise(300000, 7);
  ASSERT_TRUE(WriteFileBytes(Target("kept.txt"), "old"));
  ASSERT_TRUE(WriteFileBytes(Target("other-os.txt"), "not ours"));
  ASSERT_TRUE(WriteFileBytes(Target("blocker"), "a file where a folder should be"));
  Build({{"<TARGETDIR>\\a.txt", std::string(5000, 'a')},
         {"<TARGETDIR>\\kept.txt", "new", IF_KEEP_EXISTING},
         {"<TARGETDIR>\\sub\\big.bin", big},
         {"<TARGETDIR>\\blocker\\lost.txt", "lost"},
         {"<TARGETDIR>\\other-os.txt", "x", 0, "", "", 2},
         {"<TARGETDIR>\\empty.txt", ""},
         {"<TARGETDIR>\\lists\\keys.txt",
          "HKEY_CURRENT_USER\\Software\\TarnTest\\A\r\n\r\nHKEY_CURRENT_USER\\Software\\TarnTest\\B\\v",
          IF_REGLIST},
         {"<TARGETDIR>\\setup-only.txt", "temporary", IF_TEMPORARY},
         {"<TARGETDIR>\\padded.bin", "protected", 0, "", "", 0, 1},
         {"<TARGETDIR>\\last.txt", "last"}});
  Install();

  // Times first: reading the file may touch its last-access time.
  CFileStatus st;
  ASSERT_TRUE(CFile::GetStatus(Target("a.txt").c_str(), st));
  if (!UnderWine()) {
    EXPECT_EQ(st.m_ctime, kSourceCreate);
  }
  EXPECT_EQ(st.m_mtime, kSourceModify);
  EXPECT_EQ(st.m_atime, kSourceAccess);
  EXPECT_EQ(ReadFileBytes(Target("a.txt")), std::string(5000, 'a'));
  EXPECT_EQ(ReadFileBytes(Target("kept.txt")), "old");
  EXPECT_EQ(ReadFileBytes(Target("sub\\big.bin")), big);
  EXPECT_EQ(ReadFileBytes(Target("other-os.txt")), "not ours");
  EXPECT_TRUE(platform::Access(Target("empty.txt")));
  EXPECT_EQ(ReadFileBytes(Target("empty.txt")), "");
  EXPECT_TRUE(platform::Access(Target("lists")));  // made, though nothing is written there
  EXPECT_FALSE(platform::Access(Target("lists\\keys.txt")));
  EXPECT_FALSE(platform::Access(Target("setup-only.txt")));
  std::string padded = ReadFileBytes(Target("padded.bin"));
  EXPECT_EQ(padded.substr(0, 9), "protected");
  EXPECT_LE(padded.size(), 9u + 1000u);
  EXPECT_EQ(ReadFileBytes(Target("last.txt")), "last");

  // A file where the folder should be: the entry is not installed, and said.
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"不能建立路径'" + Target("blocker") + "'!"});
  EXPECT_EQ(ReadFileBytes(LogPath()),
            ExpectedLog({Target("a.txt"), Target("sub\\big.bin"), Target("empty.txt"),
                         Target("padded.bin"), Target("last.txt")},
                        // The list's empty line names nothing and is left out.
                        {"HKEY_CURRENT_USER\\Software\\TarnTest\\A",
                         "HKEY_CURRENT_USER\\Software\\TarnTest\\B\\v", KeyLine()}));

  // Progress: begin, one step per entry, end.
  std::vector<UINT> data;
  for (const auto& n : notes.calls())
    if (n.msg >= WM_SETUP_DATA_BEGIN && n.msg <= WM_SETUP_DATA_END) data.push_back(n.msg);
  ASSERT_EQ(data.size(), 12u);
  EXPECT_EQ(data.front(), WM_SETUP_DATA_BEGIN);
  EXPECT_EQ(data.back(), WM_SETUP_DATA_END);

  const std::string keyPath = UninstallKeyPath(key.c_str()).str();
  EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "DisplayName"), key);
  EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "UninstallString"),
            "C:\\WINDOWS\\tsu11.exe -U|" + key + "|" + LogPath());
}

// Installing twice, then another package, into one folder: the log keeps
// one line per file, carries what only the earlier log listed, and names the
// Uninstall key once.
TEST_F(InstallTest, SecondInstallMergesTheLog) {
  const std::string list = "HKEY_CURRENT_USER\\Software\\TarnTest\\Merge";
  Build({{"<TARGETDIR>\\a.txt", "a"},
         {"<TARGETDIR>\\B.txt", "b"},
         {"<TARGETDIR>\\reg.txt", list, IF_REGLIST}});
  Install();
  Install();
  EXPECT_EQ(ReadFileBytes(LogPath()),
            ExpectedLog({Target("a.txt"), Target("B.txt")}, {KeyLine(), list}));

  Build({{"<TARGETDIR>\\c.txt", "c"}, {"<TARGETDIR>\\b.TXT", "b2"}}, "q.tsp");
  Install("q.tsp");
  EXPECT_EQ(ReadFileBytes(LogPath()),
            ExpectedLog({Target("c.txt"), Target("b.TXT"), Target("a.txt")}, {KeyLine(), list}));

  EXPECT_TRUE(boxes.texts().empty());
}

// A line the package lists again, in any letter case, is not carried over
// twice; many lines merge in linear time (a set, not a scan).
TEST_F(InstallTest, ReinstallCarriesEachRegistryLineOnce) {
  std::string upper, lower;
  for (int i = 0; i < 3000; ++i) {
    upper += "HKEY_CURRENT_USER\\Software\\TarnTest\\Many\\K" + std::to_string(i) + "\r\n";
    lower += "hkey_current_user\\software\\tarntest\\many\\k" + std::to_string(i) + "\r\n";
  }
  Build({{"<TARGETDIR>\\reg.txt", upper, IF_REGLIST}}, "upper.tsp");
  Install("upper.tsp");
  Build({{"<TARGETDIR>\\reg.txt", lower, IF_REGLIST}}, "lower.tsp");
  Install("lower.tsp");
  const std::string log = ReadFileBytes(LogPath());
  EXPECT_EQ(log.find("\\Many\\"), std::string::npos);
  EXPECT_NE(log.find("\\many\\k2999\r\n"), std::string::npos);
  EXPECT_EQ(log.find(KeyLine()), log.rfind(KeyLine()));
}

// Each failure of the install shows its message and leaves the entries
// around it installed.
TEST_F(InstallTest, FailuresTellAndTheInstallGoesOn) {
  ASSERT_TRUE(platform::MakeDirectory(Target("dir.txt")));
  Build({{"<TARGETDIR>\\dir.txt", "a folder is in the way"},
         {"<TARGETDIR>\\bad.txt", std::string(4000, 'z')},
         {"<TARGETDIR>\\noslash.txt", "x", 0, "<DESKTOP_FOLDER>"},
         {"<TARGETDIR>\\unknown.txt", "x", 0, "<NOWHERE>\\x.lnk"},
         {"<TARGETDIR>\\ok.txt", "ok"}});
  // Damage the compressed item of bad.txt: the second stored item, which
  // follows the first in the data block.
  std::string bytes = ReadFileBytes(package);
  const std::string head = std::string("\x0CTARN_TSPV1.0", 13);
  ASSERT_EQ(bytes.substr(0, 13), head);
  const size_t data = 13 + 1 + 4 + 2 + 4;
  const size_t firstItem = std::string("a folder is in the way").size();
  bytes[data + firstItem + 6] ^= 0x55;
  ASSERT_TRUE(WriteFileBytes(package, bytes));
  Install();

  EXPECT_EQ(boxes.texts(),
            (std::vector<std::string>{
                "不能打开文件'" + Target("dir.txt") + "'!\n文件可能正在被使用，请关闭文件再试!",
                Target("bad.txt") + " Decode 失败!", "脚本格式错误!",
                // Shortcuts that cannot be made are said, not skipped.
                "非法快捷方式路径'<DESKTOP_FOLDER>'!", "非法快捷方式路径'<NOWHERE>\\x.lnk'!"}));
  EXPECT_EQ(ReadFileBytes(Target("bad.txt")), "");
  EXPECT_EQ(ReadFileBytes(Target("ok.txt")), "ok");
  EXPECT_EQ(ReadFileBytes(LogPath()),
            ExpectedLog({Target("bad.txt"), Target("noslash.txt"), Target("unknown.txt"),
                         Target("ok.txt")},
                        {KeyLine()}));
}

// A target placeholder that does not expand stops the install there, with
// no end message, and undoes what it did; a package whose two file counts
// differ installs nothing.
TEST_F(InstallTest, StopsOnBadPlaceholderAndRefusesDamagedIndex) {
  Build({{"<TARGETDIR>\\first.txt", "1"}, {"<NOPE>\\x.txt", "2"}, {"<TARGETDIR>\\third.txt", "3"}});
  Install();
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{
                               "非法安装路径!", "安装没有完成,已撤销安装所做的更改!已运行的程序不能撤销。"}));
  EXPECT_FALSE(platform::Access(Target("first.txt")));
  EXPECT_FALSE(platform::Access(LogPath()));
  EXPECT_FALSE(platform::Access(Target("third.txt")));
  for (const auto& n : notes.calls()) EXPECT_NE(n.msg, WM_SETUP_DATA_END);

  boxes.Clear();
  Build({{"<TARGETDIR>\\one.txt", "1"}, {"<TARGETDIR>\\two.txt", "2"}}, "count.tsp");
  std::string bytes = ReadFileBytes(dir / "count.tsp");
  ASSERT_EQ(bytes[18], 2);
  bytes[18] = 100;
  ASSERT_TRUE(WriteFileBytes(dir / "count.tsp", bytes));
  Install("count.tsp");
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"安装包索引已损坏!"});
  EXPECT_FALSE(platform::Access(Target("one.txt")));
}

namespace {
std::string RegDword(const std::string& key, const char* name) {
  platform::RegKey k;
  DWORD v = 0;
  if (k.Open(platform::RegKey::Root(platform::kRegLocalMachine), key, platform::kRegRead) != 0 ||
      k.QueryDword(name, &v) != 0)
    return "<none>";
  return std::to_string(v);
}
}  // namespace

// The whole Add/Remove Programs entry: the same values after a second
// install, the optional ones only when the state names them, the size of
// what the log lists, and none of it left after the uninstall.
TEST_F(InstallTest, UninstallEntryHasItsValues) {
  const std::string keyPath = UninstallKeyPath(key.c_str()).str();
  Build({{"<TARGETDIR>\\a.bin", std::string(5000, 'a')},
         {"<TARGETDIR>\\sub\\b.bin", std::string(3000, 'b')}});
  struct Case {
    const char* version;
    const char* publisher;
    const char* url;
  } cases[] = {{"1.0", "塔恩软件", "https://tarn.example.org/"}, {"", "", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    app.m_strVersion = c.version;
    app.m_strPublisher = c.publisher;
    app.m_strURL = c.url;
    RemoveUninstallKey(key.c_str());
    platform::RemoveFile(LogPath());  // a log no key names is kept, not merged
    Install();
    EXPECT_TRUE(boxes.texts().empty());
    const std::string none = "<none>";
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "UninstallString"),
              "C:\\WINDOWS\\tsu11.exe -U|" + key + "|" + LogPath());
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "QuietUninstallString"),
              "\"C:\\WINDOWS\\tsu11.exe\" /S \"-U|" + key + "|" + LogPath() + "\"");
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "InstallLocation"), target.path());
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "DisplayIcon"), "C:\\WINDOWS\\tsu11.exe");
    EXPECT_EQ(RegDword(keyPath, "EstimatedSize"), "8");  // 8000 bytes, rounded up
    EXPECT_EQ(RegDword(keyPath, "NoModify"), "1");
    EXPECT_EQ(RegDword(keyPath, "NoRepair"), "1");
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "InstallDate"),
              InstallDateText(std::time(nullptr)).str());
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "DisplayVersion"), *c.version ? c.version : none);
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "Publisher"), *c.publisher ? c.publisher : none);
    EXPECT_EQ(RegString(platform::kRegLocalMachine, keyPath, "URLInfoAbout"), *c.url ? c.url : none);
  }
  EXPECT_TRUE(Uninstall());
  platform::RegKey k;
  EXPECT_NE(k.Open(platform::RegKey::Root(platform::kRegLocalMachine), keyPath, platform::kRegRead), 0);
}

// A key name that gets no Uninstall key gets none of its values either.
TEST_F(InstallTest, NoUninstallDetailsWithoutTheKey) {
  Build({{"<TARGETDIR>\\a.txt", "a"}});
  app.m_strProductName = "bad|name";
  Install();
  EXPECT_EQ(RegString(platform::kRegLocalMachine, UninstallKeyPath("bad|name").str(), "InstallLocation"),
            "<none>");
  EXPECT_EQ(boxes.texts().size(), 1u);
}

TEST_F(InstallTest, EstimatedSizeCountsFilesThatAreThere) {
  ASSERT_TRUE(WriteFileBytes(Target("one"), "x"));
  ASSERT_TRUE(WriteFileBytes(Target("k"), std::string(1024, 'k')));
  ASSERT_TRUE(WriteFileBytes(Target("k1"), std::string(1025, 'k')));
  ASSERT_TRUE(platform::MakeDirectory(Target("dir")));
  struct Case {
    std::vector<std::string> files;
    DWORD kib;
  } cases[] = {{{}, 0},
               {{Target("one")}, 1},
               {{Target("k")}, 1},
               {{Target("k1")}, 2},
               {{Target("k"), Target("k1"), Target("one")}, 3},
               {{Target("missing"), Target("dir")}, 0}};
  for (const Case& c : cases) {
    CStringArray list;
    for (const auto& f : c.files) list.Add(f.c_str());
    EXPECT_EQ(EstimatedSizeKiB(list), c.kib) << c.files.size();
  }
}

// A confirmed quit stops the install before its next entry and undoes it:
// what it made and the registry entries its package lists go, what was
// there before stays, and no log or Uninstall key is written.
TEST_F(InstallTest, AStoppedInstallIsUndone) {
  const std::string listed = "HKEY_CURRENT_USER\\Software\\TarnTest\\Undo";
  platform::RegKey k;
  ASSERT_EQ(k.Create(platform::RegKey::Root(platform::kRegCurrentUser), "Software\\TarnTest\\Undo"), 0);
  k.Close();
  ASSERT_TRUE(WriteFileBytes(Target("old.txt"), "mine"));
  Build({{"<TARGETDIR>\\a.txt", "a", 0, "<DESKTOP_FOLDER>\\Tarn Undo Test\\a.lnk"},
         {"<TARGETDIR>\\sub\\deeper\\b.txt", "b"},
         {"<TARGETDIR>\\old.txt", "new"},
         {"<TARGETDIR>\\keys.txt", listed, IF_REGLIST},
         {"<TARGETDIR>\\never.txt", "n"}});
  platform::NotifyHandler prev = platform::SetNotifyHandler([](HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_SETUP_DATA_STEP && wp == 4) RequestInstallStop();
  });
  Install();
  platform::SetNotifyHandler(prev);
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_FALSE(platform::Access(Target("a.txt")));
  EXPECT_FALSE(platform::Access(Target("sub")));
  EXPECT_FALSE(platform::Access(Target("never.txt")));
  EXPECT_TRUE(platform::Access(Target("old.txt")));  // there before: kept
  EXPECT_FALSE(platform::Access(LogPath()));
  std::string desktop;
  ASSERT_TRUE(platform::SpecialFolderPath(platform::kFolderDesktop, &desktop));
  EXPECT_FALSE(platform::Access(desktop + "\\Tarn Undo Test"));
  EXPECT_FALSE(k.Open(platform::RegKey::Root(platform::kRegCurrentUser), "Software\\TarnTest\\Undo",
                      platform::kRegRead) == 0);
  EXPECT_EQ(RegString(platform::kRegLocalMachine, UninstallKeyPath(key.c_str()).str(), "DisplayName"), "<none>");
  // The next install is not stopped by the last one's quit.
  Install();
  EXPECT_TRUE(platform::Access(Target("never.txt")));
  EXPECT_TRUE(CInstallRunner::Uninstall(LogPath().c_str(), nullptr));
}
