#include <gtest/gtest.h>
#include <gmock/gmock.h>
#include <string>
#include "inifile/ini_file.h"
#include "ini_test_util.h"
#include "support/support.h"

using ::testing::ElementsAre;

namespace {

// Reaches the protected in-memory operations.
class MemIni : public CIniFile {
 public:
  MemIni() : CIniFile("") {}
  using CIniFile::ReadSection;
  using CIniFile::WriteSection;
};

std::string Text(const CMemFile& f) {
  return std::string(reinterpret_cast<const char*>(f.Data()), static_cast<size_t>(f.GetLength()));
}

void Put(CMemFile& f, const std::string& text) {
  f.SetLength(0);
  f.SeekToBegin();
  f.Write(text.data(), text.size());
}

TEST(MemoryIni, ReadStringTakesTheFirstKeyThatStartsTheLine) {
  MemIni ini;
  CMemFile f;
  Put(f, ";c\n[Other]\nname=o\n[SEC]\r\n;name=comment\n\nName =spaced\n Name=indented\n"
         "NAME= x y \r\nname=second\nempty=\n[Sec]\nlater=1\n");
  EXPECT_EQ(ini.ReadString(f, "sec", "name", "d"), " x y ");
  EXPECT_EQ(ini.ReadString(f, "sec", "empty", "d"), "");
  EXPECT_EQ(ini.ReadString(f, "sec", "absent", "d"), "d");
  EXPECT_EQ(ini.ReadString(f, "sec", "later", "d"), "d");  // only the first [Sec] counts
  EXPECT_EQ(ini.ReadString(f, "none", "name", nullptr), "");
  EXPECT_EQ(ini.ReadString(f, "other", "NAME", "d"), "o");
}

TEST(MemoryIni, ReadSectionWorksFromTheStartWhateverThePosition) {
  MemIni ini;
  CMemFile f;
  Put(f, "[A]\n;c\n\na=1\n[B]\nb");
  CStringArray lines = Array({"keep"});
  EXPECT_FALSE(ini.ReadSection(f, "C", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("keep"));
  f.SeekToEnd();
  EXPECT_TRUE(ini.ReadSection(f, "a", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("a=1"));
  EXPECT_TRUE(ini.ReadSection(f, "B", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("b"));
}

TEST(MemoryIni, WriteSectionRewritesInPlaceWithLineFeeds) {
  MemIni ini;
  ini.SetHeadInfo(";h");
  CMemFile f;
  std::string longBody(20000, 'z');
  Put(f, ";old\r\nlead\r\n[A]\r\n" + longBody + "\r\n[B]\nb\n");
  EXPECT_TRUE(ini.WriteSection(f, "a", Array({"short"})));
  EXPECT_EQ(Text(f), ";h\nlead\n\n[a]\nshort\n\n[B]\nb\n\n");
  EXPECT_TRUE(ini.WriteSection(f, "New", Array({"n=1"})));
  EXPECT_EQ(Text(f), ";h\nlead\n\n[a]\nshort\n\n[B]\nb\n\n[New]\nn=1\n\n");
  CStringArray lines;
  EXPECT_TRUE(ini.ReadSection(f, "new", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("n=1"));
  EXPECT_EQ(ini.ReadString(f, "NEW", "n", ""), "1");
}

TEST(MemoryIni, WriteSectionOnAnAttachedBufferLeavesTheBufferAlone) {
  MemIni ini;
  ini.SetHeadInfo(";h");
  const std::string original = "[A]\nx\n";
  CMemFile f(reinterpret_cast<const BYTE*>(original.data()), original.size());
  EXPECT_TRUE(ini.WriteSection(f, "A", Array({"y"})));
  EXPECT_EQ(Text(f), ";h\n[A]\ny\n\n");
  EXPECT_EQ(original, "[A]\nx\n");
}

}  // namespace
