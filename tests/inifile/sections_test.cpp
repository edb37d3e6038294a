#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include "inifile/ini_file.h"
#include "ini_test_util.h"
#include "platform/fs.h"
#include "support/support.h"

using ::testing::ElementsAre;
using tarntest::BoxRecorder;
using tarntest::TempDir;
using tarntest::WriteFileBytes;

namespace {

class SectionScan : public ::testing::Test {
 protected:
  // Writes text, scans it with a section handle and returns each section as
  // its name followed by its lines.
  std::vector<std::vector<std::string>> Scan(const std::string& text) {
    std::string path = dir_ / "scan.ini";
    EXPECT_TRUE(WriteFileBytes(path, text));
    CIniFile ini(path.c_str());
    stuSectionHandle* h = ini.OpenSectionHandle();
    EXPECT_NE(h, nullptr);
    std::vector<std::vector<std::string>> out;
    CString name;
    CStringArray lines;
    while (h && ini.ReadSection(h, name, lines)) {
      std::vector<std::string> one{name.str()};
      for (const auto& l : Lines(lines)) one.push_back(l);
      out.push_back(one);
      if (out.size() > 100) break;
    }
    ini.CloseSectionHandle(h);
    return out;
  }
  TempDir dir_;
  BoxRecorder boxes_;
};

using S = std::vector<std::string>;

TEST_F(SectionScan, SectionsSeparatedByEmptyLines) {
  auto s = Scan(";head\r\nloose\r\n[A]\r\na=1\r\n;c\r\n  ;kept\r\n\r\nbetween\r\n[B]\nb=2\n");
  EXPECT_THAT(s, ElementsAre(S{"A", "a=1", "  ;kept"}, S{"B", "b=2"}));
  EXPECT_TRUE(boxes_.calls().empty());
}

TEST_F(SectionScan, MissingSeparatorIsAFormatErrorAndLosesTheNextHeader) {
  auto s = Scan("[A]\na=1\n[B]\nb=2\n\n[C]\nc=3");
  EXPECT_THAT(s, ElementsAre(S{"A", "a=1"}, S{"C", "c=3"}));
  EXPECT_THAT(boxes_.texts(), ElementsAre("ini 文件格式错误！"));
}

TEST_F(SectionScan, HeaderIsRecognisedAfterTrimming) {
  auto s = Scan("  [ X ] \t\nv\n\n[]\n\n[\nz\n\n[Y]\n");
  EXPECT_THAT(s, ElementsAre(S{" X ", "v"}, S{""}, S{"Y"}));
}

TEST_F(SectionScan, OddBytesAndLongLinesSurvive) {
  std::string longValue(100000, 'x');
  std::string text = "[A]\nk=" + longValue + "\nnul" + std::string(1, '\0') + "z\r\nr\rs\nlast";
  auto s = Scan(text);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].size(), 5u);
  EXPECT_EQ(s[0][1], "k=" + longValue);
  EXPECT_EQ(s[0][2], std::string("nul\0z", 5));
  EXPECT_EQ(s[0][3], "r\rs");  // a CR without LF is no line end
  EXPECT_EQ(s[0][4], "last");
}

TEST_F(SectionScan, EmptyFileAndNullHandle) {
  EXPECT_TRUE(Scan("").empty());
  CIniFile ini("x.ini");
  CString name("keep");
  CStringArray lines;
  EXPECT_FALSE(ini.ReadSection(static_cast<stuSectionHandle*>(nullptr), name, lines));
  stuSectionHandle bare;  // no reader
  EXPECT_FALSE(ini.ReadSection(&bare, name, lines));
  EXPECT_EQ(name, "keep");
  ini.CloseSectionHandle(nullptr);
  EXPECT_TRUE(boxes_.calls().empty());
}

TEST(SectionHandle, MissingFileIsReportedAndGivesNoHandle) {
  TempDir dir;
  BoxRecorder boxes;
  std::string path = dir / "none.ini";
  CIniFile ini(path.c_str());
  EXPECT_EQ(ini.OpenSectionHandle(), nullptr);
  EXPECT_THAT(boxes.texts(), ElementsAre(OpenFailure(path)));
}

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "find.ini";
    ASSERT_TRUE(WriteFileBytes(path_,
                               "[LICENCE]\r\nL1\r\n;c\r\n\r\n  L2\r\n[Next]\r\nn\r\n"
                               " [Sp]\nx\n[Sp] \ny\n[Comments]\n;a\n\n;b\n[Dup]\nfirst\n[Dup]\nsecond\n"
                               "[Raw]\nr1\n\n;r2\n\n[End]\ne"));
  }
  TempDir dir_;
  BoxRecorder boxes_;
  std::string path_;
};

TEST_F(FindTest, FindsByNameWithoutCaseSkippingEmptyAndCommentLines) {
  CIniFile ini(path_.c_str());
  CStringArray lines;
  EXPECT_TRUE(ini.FindSection("licence", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("L1", "  L2"));
  EXPECT_TRUE(ini.FindSection("dup", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("first"));
  EXPECT_TRUE(ini.FindSection("End", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("e"));
  EXPECT_TRUE(boxes_.calls().empty());
}

TEST_F(FindTest, HeadersAreComparedUntrimmed) {
  CIniFile ini(path_.c_str());
  CStringArray lines = Array({"before"});
  EXPECT_FALSE(ini.FindSection("Sp", lines));
  EXPECT_FALSE(ini.FindSection("missing", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("before"));
  // Found, but nothing in it.
  EXPECT_FALSE(ini.FindSection("Comments", lines));
  EXPECT_TRUE(lines.IsEmpty());
  EXPECT_TRUE(boxes_.calls().empty());
}

TEST_F(FindTest, RawSectionKeepsEmptyAndCommentLines) {
  CIniFile ini(path_.c_str());
  CStringArray lines;
  EXPECT_TRUE(ini.ReadRawSection("RAW", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("r1", "", ";r2", ""));
  EXPECT_TRUE(ini.ReadRawSection("licence", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("L1", ";c", "", "  L2"));
  lines = Array({"before"});
  EXPECT_FALSE(ini.ReadRawSection("missing", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("before"));
}

TEST_F(FindTest, MissingFileIsReported) {
  std::string path = dir_ / "none.ini";
  CIniFile ini(path.c_str());
  CStringArray lines;
  EXPECT_FALSE(ini.FindSection("A", lines));
  EXPECT_FALSE(ini.ReadRawSection("A", lines));
  EXPECT_THAT(boxes_.texts(), ElementsAre(OpenFailure(path), OpenFailure(path)));
}

TEST(WriteSection, NewFileGetsHeaderAndSection) {
  TempDir dir;
  BoxRecorder boxes;
  std::string path = dir / "new.ini";
  CIniFile ini(path.c_str());
  EXPECT_TRUE(ini.WriteSection("Sec", Array({"a=1", "b"})));
  EXPECT_EQ(tarntest::ReadFileBytes(path), DefaultHeadOnDisk() + "\r\n[Sec]\r\na=1\r\nb\r\n\r\n");
  CStringArray lines;
  EXPECT_TRUE(ini.FindSection("sec", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("a=1", "b"));
  EXPECT_TRUE(boxes.calls().empty());
}

TEST(WriteSection, ReplacesTheLastSectionOfTheNameAndKeepsTheRest) {
  TempDir dir;
  std::string path = dir / "old.ini";
  ASSERT_TRUE(WriteFileBytes(path, ";old head\r\nlead1\r\n\r\n[A]\r\na=1\r\n;c\r\n[S]\nold\n[B]\nb=1\n"
                                   "[s]\nold2\n\n"));
  CIniFile ini(path.c_str());
  ini.SetHeadInfo(";h");
  EXPECT_TRUE(ini.WriteSection("S", Array({"new", "", "x"})));
  EXPECT_EQ(tarntest::ReadFileBytes(path),
            ";h\r\nlead1\r\n\r\n[A]\r\na=1\r\n\r\n[S]\r\nold\r\n\r\n[B]\r\nb=1\r\n\r\n"
            "[S]\r\nnew\r\n\r\nx\r\n\r\n");
  // Writing a name not in the file appends it; other bytes round-trip.
  std::string odd = std::string("nul\0z", 5) + "\rcr";
  EXPECT_TRUE(ini.WriteSection("T", Array({odd})));
  CStringArray lines;
  EXPECT_TRUE(ini.FindSection("T", lines));
  EXPECT_THAT(Lines(lines), ElementsAre(odd));
  EXPECT_TRUE(ini.FindSection("B", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("b=1"));
  CString head;
  ini.GetHeadInfo(head);
  EXPECT_EQ(head, ";h");
}

TEST(WriteSection, FailureToOpenLeavesEverythingAsItWas) {
  TempDir dir;
  BoxRecorder boxes;
  // A folder of that name exists: it cannot be read as the old file.
  std::string folder = dir / "folder.ini";
  ASSERT_TRUE(platform::MakeDirectory(folder));
  CIniFile a(folder.c_str());
  EXPECT_FALSE(a.WriteSection("S", Array({"x"})));
  // No folder to create the file in.
  std::string nowhere = dir / "missing\\new.ini";
  CIniFile b(nowhere.c_str());
  EXPECT_FALSE(b.WriteSection("S", Array({"x"})));
  EXPECT_THAT(boxes.texts(), ElementsAre(OpenFailure(folder), OpenFailure(nowhere)));
  CFileFind find;
  EXPECT_TRUE(find.FindFile(folder.c_str()));
  EXPECT_TRUE(find.IsDirectory());
}

TEST(SectionHandle, HoldsTheFileUntilClosed) {
#ifndef _WIN32
  GTEST_SKIP() << "the sandbox has no share modes";
#endif
  TempDir dir;
  BoxRecorder boxes;
  std::string path = dir / "held.ini";
  ASSERT_TRUE(WriteFileBytes(path, "[A]\na\n"));
  CIniFile ini(path.c_str());
  stuSectionHandle* h = ini.OpenSectionHandle();
  ASSERT_NE(h, nullptr);
  CStringArray lines;
  EXPECT_FALSE(ini.FindSection("A", lines));
  EXPECT_FALSE(ini.WriteSection("A", Array({"b"})));
  ini.CloseSectionHandle(h);
  EXPECT_THAT(boxes.texts(), ElementsAre(OpenFailure(path), OpenFailure(path)));
  EXPECT_EQ(tarntest::ReadFileBytes(path), "[A]\na\n");
  EXPECT_TRUE(ini.FindSection("A", lines));
}

}  // namespace
