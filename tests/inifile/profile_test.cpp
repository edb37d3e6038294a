// Single values go through the platform's profile functions: on Windows the
// system's own, so these run against Wine too.
#include <gtest/gtest.h>
#include <gmock/gmock.h>
#include <string>
#include "inifile/ini_file.h"
#include "ini_test_util.h"
#include "support/support.h"

using ::testing::ElementsAre;
using tarntest::BoxRecorder;
using tarntest::TempDir;

namespace {

TEST(IniProfile, ReadsValuesAndDefaults) {
  TempDir dir;
  BoxRecorder boxes;
  std::string path = dir / "p.ini";
  ASSERT_TRUE(tarntest::WriteFileBytes(path, "[Main]\r\nName = Tarn \r\nEmpty=\r\n\r\n[Other]\r\nx=1\r\n"));
  CIniFile ini(path.c_str());
  EXPECT_EQ(ini.ReadString("main", "name", "d"), "Tarn");
  EXPECT_EQ(ini.ReadString("Main", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Main", "x", "d"), "d");
  EXPECT_EQ(ini.ReadString("None", "x", "d"), "d");
  EXPECT_EQ(ini.ReadString("Main", "x", nullptr), "");
  CIniFile missing((dir / "none.ini").c_str());
  EXPECT_EQ(missing.ReadString("Main", "Name", "d"), "d");
  CStringArray names = Array({"stale"});
  EXPECT_FALSE(missing.ReadSections(names));
  EXPECT_TRUE(names.IsEmpty());
  EXPECT_TRUE(boxes.calls().empty());
}

TEST(IniProfile, WritesCreateFileSectionAndKey) {
  TempDir dir;
  std::string path = dir / "w.ini";
  CIniFile ini(path.c_str());
  EXPECT_NE(ini.WriteString("First", "a", "1"), 0);
  EXPECT_NE(ini.WriteString("Second", "b", "2"), 0);
  EXPECT_NE(ini.WriteString("First", "a", "one"), 0);
  EXPECT_NE(ini.WriteString("First", "c", "3"), 0);
  EXPECT_EQ(ini.ReadString("First", "a", ""), "one");
  EXPECT_EQ(ini.ReadString("first", "C", ""), "3");
  EXPECT_EQ(ini.ReadString("Second", "b", ""), "2");
  CStringArray names;
  EXPECT_TRUE(ini.ReadSections(names));
  EXPECT_THAT(Lines(names), ElementsAre("First", "Second"));
  // The line parser reads what the profile writer wrote.
  CStringArray lines;
  EXPECT_TRUE(ini.FindSection("FIRST", lines));
  EXPECT_THAT(Lines(lines), ElementsAre("a=one", "c=3"));
}

TEST(IniProfile, LongValuesAreCutAndManySectionsListed) {
  TempDir dir;
  std::string path = dir / "l.ini";
  std::string text = "[Long]\r\nv=" + std::string(3000, 'q') + "\r\n";
  for (int i = 0; i < 50; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
  ASSERT_TRUE(tarntest::WriteFileBytes(path, text));
  CIniFile ini(path.c_str());
  EXPECT_EQ(ini.ReadString("Long", "v", "").str(), std::string(2047, 'q'));
  CStringArray names;
  EXPECT_TRUE(ini.ReadSections(names));
  ASSERT_EQ(names.GetSize(), 51);
  EXPECT_EQ(names[0], "Long");
  EXPECT_EQ(names[50], "S49");
}

}  // namespace
