#include <gtest/gtest.h>
#include "afx/cstring.h"

TEST(CStringTest, FindSkipsTrailBytesOfDoubleByteCharacters) {
  // 0x95 0x7C and 0x95 0x5C are GBK characters whose second byte is "|" / "\".
  CString s("\x95\x7C|x\x95\x5C\\");
  EXPECT_EQ(s.Find('|'), 2);
  EXPECT_EQ(s.Find('\\'), 6);
  EXPECT_EQ(s.ReverseFind('\\'), 6);
  EXPECT_EQ(CString("\x95\x7C").Find('|'), -1);
}

TEST(CStringTest, CompareNoCaseFoldsLatinLettersOnly) {
  EXPECT_EQ(CString("[Licence]").CompareNoCase("[LICENCE]"), 0);
  EXPECT_NE(CString("\xC4\xE3").CompareNoCase("\xC4\xC3"), 0);
  // The trail byte of a double-byte character is not a letter to fold.
  EXPECT_NE(CString("\x81\x61").CompareNoCase("\x81\x41"), 0);
  EXPECT_LT(CString("ab").CompareNoCase("ABC"), 0);
}

TEST(CStringTest, MakeUpperKeepsDoubleByteCharacters) {
  CString s("d:\\apps\\\x81\x61<default>");
  s.MakeUpper();
  EXPECT_EQ(s, CString("D:\\APPS\\\x81\x61<DEFAULT>"));
}

TEST(CStringTest, TrimAndParts) {
  CString s(" \t\r\nab c\v\f ");
  s.Trim();
  EXPECT_EQ(s, CString("ab c"));
  CString t("hello");
  EXPECT_EQ(t.Left(2), CString("he"));
  EXPECT_EQ(t.Mid(3), CString("lo"));
  EXPECT_EQ(t.Mid(9), CString(""));
  EXPECT_EQ(t.Right(10), CString("hello"));
  CString f;
  f.Format("%s=%d", "a", 7);
  EXPECT_EQ(f, CString("a=7"));
}
