#include <gtest/gtest.h>
#include "afx/file.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "support/support.h"
#include "test_package.h"

namespace {

std::string Section(const std::string& name, const std::vector<std::string>& lines) {
  std::string s = "[" + name + "]\r\n";
  for (const auto& l : lines) s += l + "\r\n";
  return s + "\r\n";
}

std::string Entry(const std::string& source, const std::string& target, int flag = 0) {
  return Section("FILEINFO", {"SOURCE_PATH=" + source, "TARGET_PATH=" + target,
                              "INSTALL_FLAG=" + std::to_string(flag)});
}

std::string Repeated(size_t n) {
  std::string s;
  while (s.size() < n) s += "Tarn Setup repeats itself. ";
  s.resize(n);
  return s;
}

struct Fixture : ::testing::Test {
  tarntest::TempDir dir;
  std::string script = dir / "setup.ini";
  std::string package = dir / "out.tsp";

  void Source(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(tarntest::WriteFileBytes(dir / name, bytes));
  }
};

using ScriptTest = Fixture;
using MakePacketTest = Fixture;

}  // namespace

TEST_F(ScriptTest, KeysValuesAndSections) {
  ASSERT_TRUE(tarntest::WriteFileBytes(
      script,
      Section("SETUPFILEINFO_V2", {"SOURCE_PATH=ignored", "TARGET_PATH=<WINDIR>\\x"}) +
          Section("fileinfo", {"  source_path = C:\\src\\a.exe ", "target_path=<TARGETDIR>\\a.exe",
                               "Install_Flag = 300", "OS_VERSION=3", "shortcut_icon_id=-1",
                               "SHORTCUT_PATH=<DESKTOP_FOLDER>\\A.lnk", "COMMAND_LINE= /q /n ",
                               "FILE_PROTECTED= 12abc", "UNKNOWN=1", "=7"}) +
          Section("OTHER", {"TARGET_PATH=<WINDIR>\\y"}) +
          Section("FILEINFO", {"TARGET_PATH=<WINDIR>\\first", "TARGET_PATH=<WINDIR>\\second",
                               "INSTALL_FLAG=x", "OS_VERSION=-2", "SHORTCUT_ICON_ID=99999999999"})));
  TestPackage p(nullptr, script.c_str());
  ASSERT_TRUE(p.PrepareFromScript());
  ASSERT_EQ(p.m_arrIndex.GetSize(), 2);
  EXPECT_EQ(p.m_wFileCount, 2);
  const TSPIndex& a = *p.m_arrIndex[0];
  EXPECT_EQ(a.m_strSourcePath, CString("C:\\src\\a.exe"));
  EXPECT_EQ(a.m_strTargetPath, CString("<TARGETDIR>\\a.exe"));
  EXPECT_EQ(a.m_byInstallFlag, 44);
  EXPECT_EQ(a.m_dwOSVersion, 3u);
  EXPECT_EQ(a.m_byIconId, 255);
  EXPECT_EQ(a.m_strShortcutPath, CString("<DESKTOP_FOLDER>\\A.lnk"));
  EXPECT_EQ(a.m_strCommandLine, CString("/q /n"));
  EXPECT_EQ(a.m_dwProtected, 12u);
  const TSPIndex& b = *p.m_arrIndex[1];
  EXPECT_EQ(b.m_strTargetPath, CString("<WINDIR>\\second"));
  EXPECT_EQ(b.m_byInstallFlag, 0);
  EXPECT_EQ(b.m_dwOSVersion, static_cast<DWORD>(-2));
  EXPECT_EQ(b.m_byIconId, 0xFF);  // saturated like atol
  EXPECT_TRUE(b.m_strSourcePath.IsEmpty());
}

TEST_F(ScriptTest, MissingScriptPathOrFile) {
  {
    tarntest::BoxRecorder boxes;
    TestPackage p(package.c_str(), "");
    EXPECT_FALSE(p.MakePacket());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"没有指定Setup Script File!"});
    EXPECT_FALSE(platform::Access(package));
  }
  {
    // The reader reports the missing script; the package has no entries.
    tarntest::BoxRecorder boxes;
    TestPackage p(package.c_str(), (dir / "none.ini").c_str());
    EXPECT_TRUE(p.MakePacket());
    EXPECT_EQ(boxes.calls().size(), 1u);
    TestPackage back(package.c_str());
    EXPECT_TRUE(back.GetIndxInfo());
    EXPECT_EQ(back.m_wFileCount, 0);
  }
}

TEST_F(ScriptTest, MoreEntriesThanTheCountHoldsAreRefused) {
  std::string text;
  const std::string one = Section("FILEINFO", {"TARGET_PATH=<WINDIR>\\a", "INSTALL_FLAG=64"});
  text.reserve(one.size() * 65536);
  for (int i = 0; i < 65535; ++i) text += one;
  ASSERT_TRUE(tarntest::WriteFileBytes(script, text));
  {
    tarntest::BoxRecorder boxes;
    TestPackage p(nullptr, script.c_str());
    EXPECT_TRUE(p.PrepareFromScript());
    EXPECT_EQ(p.m_wFileCount, 65535);
    EXPECT_TRUE(boxes.calls().empty());
  }
  ASSERT_TRUE(tarntest::WriteFileBytes(script, text + one));
  tarntest::BoxRecorder boxes;
  TestPackage p(package.c_str(), script.c_str());
  EXPECT_FALSE(p.MakePacket());
  EXPECT_EQ(boxes.calls().size(), 1u);
  EXPECT_FALSE(platform::Access(package));
}

TEST_F(MakePacketTest, RoundTripThroughTheIndex) {
  const std::string big = Repeated(100000), noise = Noise(64, 7);
  Source("big.txt", big);
  Source("noise.bin", noise);
  Source("empty.txt", "");
  ASSERT_TRUE(platform::SetFileTimes(dir / "big.txt", 1500000000, 1500000100, 1500000200));
  ASSERT_TRUE(tarntest::WriteFileBytes(
      script, Entry(dir / "big.txt", "<TARGETDIR>\\big.txt") +
                  Entry("C:\\nowhere\\run.exe", "<WINDIR>\\notepad.exe", IF_NO_DATA | IF_RUN) +
                  Entry(dir / "noise.bin", "<TARGETDIR>\\noise.bin") +
                  Entry(dir / "empty.txt", "<TARGETDIR>\\empty.txt")));
  tarntest::BoxRecorder boxes;
  {
    TestPackage p(package.c_str(), script.c_str());
    ASSERT_TRUE(p.MakePacket());
  }
  // One message per item that does not shrink: the noise and the empty file.
  EXPECT_EQ(boxes.texts(), std::vector<std::string>({kNoShrink, kNoShrink}));

  TestPackage back(package.c_str());
  ASSERT_TRUE(back.GetIndxInfo());
  ASSERT_EQ(back.m_wFileCount, 4);
  ASSERT_EQ(back.m_arrIndex.GetSize(), 4);
  // The entry without data has no slot in the size table.
  ASSERT_EQ(back.m_dwaDataSize.GetSize(), 3);
  const TSPIndex& b = *back.m_arrIndex[0];
  EXPECT_EQ(b.m_dwOrigSize, big.size());
  EXPECT_LT(b.m_dwStoredSize, b.m_dwOrigSize / 10);
  EXPECT_EQ(back.m_dwaDataSize[0], b.m_dwStoredSize);
  CFileStatus st;
  ASSERT_TRUE(CFile::GetStatus((dir / "big.txt").c_str(), st));
  EXPECT_EQ(b.m_tModify, 1500000100u);
  EXPECT_EQ(b.m_tAccess, 1500000200u);  // as it was before the build read it
  EXPECT_EQ(b.m_tCreate, static_cast<DWORD>(st.m_ctime));
  EXPECT_EQ(back.Content(0, b), big);

  const TSPIndex& nd = *back.m_arrIndex[1];
  EXPECT_EQ(nd.m_byInstallFlag, IF_NO_DATA | IF_RUN);
  EXPECT_EQ(nd.m_dwOrigSize, 0u);
  EXPECT_EQ(nd.m_tModify, 0u);

  const TSPIndex& n = *back.m_arrIndex[2];
  EXPECT_EQ(n.m_dwOrigSize, 64u);
  EXPECT_EQ(n.m_dwStoredSize, 64u);
  EXPECT_EQ(back.Content(1, n), noise);

  const TSPIndex& e = *back.m_arrIndex[3];
  EXPECT_EQ(e.m_dwOrigSize, 0u);
  EXPECT_EQ(e.m_dwStoredSize, 0u);
  EXPECT_EQ(back.m_dwaDataSize[2], 0u);
  EXPECT_TRUE(back.m_arrIndex[0]->m_strSourcePath.IsEmpty());
}

TEST_F(MakePacketTest, HeaderOfAThirtySixEntryPackage) {
  std::string text;
  for (int i = 0; i < 36; ++i) {
    std::string name = "f" + std::to_string(i) + ".txt";
    Source(name, Repeated(1000 + i));
    text += Entry(dir / name, "<TARGETDIR>\\" + name);
  }
  ASSERT_TRUE(tarntest::WriteFileBytes(script, text));
  TestPackage p(package.c_str(), script.c_str());
  ASSERT_TRUE(p.MakePacket());
  std::string bytes = tarntest::ReadFileBytes(package);
  const std::string head = std::string("\x0C" "TARN_TSPV1.0") + std::string(5, '\0') + "\x24";
  ASSERT_GT(bytes.size(), head.size() + 8);
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_EQ(bytes[head.size()], '\0');
  // The data block opens with a zlib stream: CMF 0x78, and CMF*256+FLG % 31 == 0.
  size_t data = head.size() + 1 + 4;
  EXPECT_EQ(static_cast<BYTE>(bytes[data]), 0x78);
  EXPECT_EQ((static_cast<BYTE>(bytes[data]) * 256 + static_cast<BYTE>(bytes[data + 1])) % 31, 0);
}

// A name GBK lacks makes the package 1.1, whichever index string holds it;
// GBK names (and a source path, which the index does not carry) keep 1.0.
TEST_F(MakePacketTest, VersionFollowsTheNamesItHolds) {
  const std::string beyond = platform::Utf8ToAnsi(u8"Straße 한국어 😀");
  const std::string chinese = "说明";  // GBK already
  Source("a.txt", "text");
  Source(beyond + ".txt", "text");
  struct Case {
    std::vector<std::string> lines;
    const char* version;
  } cases[] = {
      {{"SOURCE_PATH=" + dir / "a.txt", "TARGET_PATH=<TARGETDIR>\\" + chinese + ".txt",
        "SHORTCUT_PATH=<TARGET_FOLDER>\\" + chinese + ".lnk", "COMMAND_LINE=/" + chinese},
       "TARN_TSPV1.0"},
      {{"SOURCE_PATH=" + dir / (beyond + ".txt"), "TARGET_PATH=<TARGETDIR>\\a.txt"},
       "TARN_TSPV1.0"},
      {{"SOURCE_PATH=" + dir / "a.txt", "TARGET_PATH=<TARGETDIR>\\" + beyond + ".txt"},
       "TARN_TSPV1.1"},
      {{"SOURCE_PATH=" + dir / "a.txt", "TARGET_PATH=<TARGETDIR>\\a.txt",
        "SHORTCUT_PATH=<TARGET_FOLDER>\\" + beyond + ".lnk"},
       "TARN_TSPV1.1"},
      {{"SOURCE_PATH=" + dir / "a.txt", "TARGET_PATH=<TARGETDIR>\\a.txt",
        "COMMAND_LINE=/" + beyond},
       "TARN_TSPV1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    // A 1.0 entry before it: the mark is the package's, not the first entry's.
    ASSERT_TRUE(tarntest::WriteFileBytes(
        script, Entry(dir / "a.txt", "<TARGETDIR>\\first.txt") + Section("FILEINFO", c.lines)));
    {
      TestPackage p(package.c_str(), script.c_str());
      ASSERT_TRUE(p.MakePacket());
    }
    std::string bytes = tarntest::ReadFileBytes(package);
    EXPECT_EQ(bytes.substr(0, 13), std::string("\x0C") + c.version);
    TestPackage back(package.c_str());
    ASSERT_TRUE(back.GetIndxInfo());
    ASSERT_EQ(back.m_arrIndex.GetSize(), 2);
    EXPECT_EQ(back.Content(1, *back.m_arrIndex[1]), "text");
  }
}

// What an older shell does with a 1.1 package: its version check refuses it
// before any entry is read, so no garbled name is installed.
TEST_F(MakePacketTest, AReaderOfOnlyVersionOnePointZeroRefusesTheMarkedPackage) {
  const std::string name = platform::Utf8ToAnsi(u8"<TARGETDIR>\\Straße.txt");
  Source("a.txt", "text");
  ASSERT_TRUE(tarntest::WriteFileBytes(script, Entry(dir / "a.txt", name)));
  {
    TestPackage p(package.c_str(), script.c_str());
    ASSERT_TRUE(p.MakePacket());
  }
  {
    TestPackage now(package.c_str());
    ASSERT_TRUE(now.GetIndxInfo());
    ASSERT_EQ(now.m_arrIndex.GetSize(), 1);
    EXPECT_EQ(now.m_arrIndex[0]->m_strTargetPath.str(), name);
  }
  tarntest::BoxRecorder boxes;
  TestPackage old(package.c_str());
  old.m_strVersion = "TARN_TSPV1.0";
  EXPECT_FALSE(old.GetIndxInfo());
  EXPECT_EQ(old.m_arrIndex.GetSize(), 0);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find("version"), std::string::npos);
}

TEST_F(MakePacketTest, WhatTheFormatCannotHoldIsRefused) {
  // Index strings carry one length byte.
  ASSERT_TRUE(tarntest::WriteFileBytes(
      script, Section("FILEINFO", {"TARGET_PATH=<TARGETDIR>\\" + std::string(243, 'a'),
                                   "INSTALL_FLAG=64"})));
  {
    tarntest::BoxRecorder boxes;
    TestPackage p(package.c_str(), script.c_str());
    EXPECT_TRUE(p.MakePacket());
    EXPECT_TRUE(boxes.calls().empty());
  }
  ASSERT_TRUE(tarntest::WriteFileBytes(
      script, Section("FILEINFO", {"TARGET_PATH=<TARGETDIR>\\" + std::string(244, 'a'),
                                   "INSTALL_FLAG=64"})));
  {
    tarntest::BoxRecorder boxes;
    TestPackage p(package.c_str(), script.c_str());
    EXPECT_FALSE(p.MakePacket());
    EXPECT_EQ(boxes.calls().size(), 1u);
  }
  // Sizes are 32 bits: a source of 4 GB cannot be stored (a sparse file).
  {
    platform::FileHandle h;
    int err = 0;
    ASSERT_TRUE(h.Open(dir / "huge.bin", platform::kAccessWrite, platform::kShareExclusive, true,
                       true, &err));
    ASSERT_TRUE(h.SetLength(0x100000000ULL));
  }
  ASSERT_TRUE(tarntest::WriteFileBytes(script, Entry(dir / "huge.bin", "<TARGETDIR>\\huge.bin")));
  tarntest::BoxRecorder boxes;
  TestPackage p(package.c_str(), script.c_str());
  EXPECT_FALSE(p.MakePacket());
  ASSERT_EQ(boxes.calls().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find("huge.bin"), std::string::npos);
  platform::RemoveFile(dir / "huge.bin");
}

namespace {
class PlainPacket : public CPacket {
 public:
  explicit PlainPacket(const std::string& path) { m_strPacketFile = path.c_str(); }
  int MakePacket() override { return WritePacket(); }
};
}  // namespace

TEST_F(MakePacketTest, APlainPacketIsNoSetupPackage) {
  ASSERT_TRUE(PlainPacket(package).MakePacket());
  tarntest::BoxRecorder boxes;
  tarntest::NotifyRecorder notes;
  TestPackage p(package.c_str(), nullptr, FakeWindow());
  EXPECT_FALSE(p.GetIndxInfo());
  EXPECT_EQ(boxes.calls().size(), 1u);
  EXPECT_TRUE(notes.calls().empty());
}
