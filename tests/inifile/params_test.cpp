#include <gtest/gtest.h>
#include <string>
#include "inifile/ini_file.h"

namespace {

TEST(GetFirstParam, TakesFieldsOffTheFront) {
  CString s("-U|a b|c");
  EXPECT_EQ(CIniFile::GetFirstParam(s, "d", '|'), "-U");
  EXPECT_EQ(s, "a b|c");
  EXPECT_EQ(CIniFile::GetFirstParam(s, "d", '|'), "a b");
  EXPECT_EQ(s, "c");
  EXPECT_EQ(CIniFile::GetFirstParam(s, "d", '|'), "c");
  EXPECT_EQ(s, "");
  EXPECT_EQ(CIniFile::GetFirstParam(s, "d", '|'), "d");
  EXPECT_EQ(CIniFile::GetFirstParam(s, nullptr, '|'), "");
}

TEST(GetFirstParam, FieldKeepsItsSpacesTheRestIsTrimmed) {
  CString s(" x | \ty\r\n");
  EXPECT_EQ(CIniFile::GetFirstParam(s, nullptr, '|'), " x ");
  EXPECT_EQ(s, "y");
  CString e("|y");
  EXPECT_EQ(CIniFile::GetFirstParam(e, "def", '|'), "def");
  EXPECT_EQ(e, "y");
}

TEST(GetFirstParam, TrailByteOfADoubleByteCharacterIsNoDelimiter) {
  // 0x95 0x7C is one GBK character whose second byte is "|".
  CString s("a\x95\x7C" "b|c");
  EXPECT_EQ(CIniFile::GetFirstParam(s, nullptr, '|'), CString("a\x95\x7C" "b"));
  EXPECT_EQ(s, "c");
}

TEST(GetFirstParam, LongTextIsNotCut) {
  std::string first(300, 'a'), second(5000, 'b');
  CString s(first + "|" + second + "|" + "c");
  EXPECT_EQ(CIniFile::GetFirstParam(s, nullptr, '|').str(), first);
  EXPECT_EQ(CIniFile::GetFirstParam(s, nullptr, '|').str(), second);
  EXPECT_EQ(s, "c");
}

TEST(GetNameAndValue, SplitsAtTheFirstEquals) {
  CString name("n"), value("v");
  EXPECT_FALSE(CIniFile::GetNameAndValue("", name, value));
  EXPECT_FALSE(CIniFile::GetNameAndValue(nullptr, name, value));
  EXPECT_EQ(name, "n");
  EXPECT_EQ(value, "v");
  EXPECT_TRUE(CIniFile::GetNameAndValue("Target = C:\\A ", name, value));
  EXPECT_EQ(name, "Target ");
  EXPECT_EQ(value, "C:\\A");
  EXPECT_TRUE(CIniFile::GetNameAndValue("abc", name, value));
  EXPECT_EQ(name, "abc");
  EXPECT_EQ(value, "");
  EXPECT_TRUE(CIniFile::GetNameAndValue("=x=y", name, value));
  EXPECT_EQ(name, "");
  EXPECT_EQ(value, "x=y");
}

}  // namespace
