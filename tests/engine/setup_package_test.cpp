#include <gtest/gtest.h>
#include "support/support.h"
#include "test_package.h"

TEST(SetupPackage, ExpandDirMacroReplacesTheHeadInAnyCase) {
  tarntest::BoxRecorder boxes;
  TestPackage p(nullptr, nullptr, nullptr, "D:\\Apps\\Tarn\\");
  struct Case { const char* in; CString out; };
  const Case cases[] = {
      {"<TARGETDIR>\\bin\\a.exe", "D:\\Apps\\Tarn\\bin\\a.exe"},
      {"<targetdir>\\a.exe", "D:\\Apps\\Tarn\\a.exe"},
      {"<WinSysDir>\\x.dll", p.m_strWinSysDir + "\\x.dll"},
      {"<windir>\\y.ini", p.m_strWinDir + "\\y.ini"},
      {"<SETUPDIR>\\z", p.m_strSetupDir + "\\z"},
      {"<TARGETDIR>\\", "D:\\Apps\\Tarn\\"},
      // Only the first "\" splits; the second byte of a GBK character is no "\".
      {"<TARGETDIR>\\\x95\x5C\\b", "D:\\Apps\\Tarn\\\x95\x5C\\b"},
  };
  for (const Case& c : cases) {
    CString path = c.in;
    EXPECT_TRUE(p.ExpandDirMacro(path)) << c.in;
    EXPECT_EQ(path, c.out) << c.in;
  }
  EXPECT_TRUE(boxes.calls().empty());
}

TEST(SetupPackage, ExpandDirMacroFailures) {
  TestPackage p;
  struct Case { const char* in; const char* message; };
  const Case cases[] = {
      {"<TARGETDIR>", "脚本格式错误!"},
      {"\x95\x5C", "脚本格式错误!"},
      {"<TARGET>\\a", "非法安装路径!"},
      {"C:\\a.exe", "非法安装路径!"},
      {"\\<TARGETDIR>\\a", "非法安装路径!"},
  };
  for (const Case& c : cases) {
    tarntest::BoxRecorder boxes;
    CString path = c.in;
    EXPECT_FALSE(p.ExpandDirMacro(path)) << c.in;
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.message}) << c.in;
  }
}

TEST(SetupPackage, UninstallListsIgnoreLetterCase) {
  TestPackage p;
  p.AddUninstallFile("C:\\Apps\\A.exe");
  p.AddUninstallFile("c:\\apps\\a.EXE");
  p.AddUninstallFile("C:\\Apps\\B.exe");
  ASSERT_EQ(p.m_saUninstallFiles.GetSize(), 2);
  EXPECT_EQ(p.m_saUninstallFiles[0], CString("C:\\Apps\\A.exe"));

  // Registry entries already carried by the package's own list are skipped;
  // the carried list itself is not searched.
  p.m_saScriptRegKeys.Add("HKEY_LOCAL_MACHINE\\Software\\Tarn");
  p.AddUninstallRegKey("hkey_local_machine\\software\\tarn");
  p.AddUninstallRegKey("HKEY_CURRENT_USER\\Software\\Tarn");
  p.AddUninstallRegKey("HKEY_CURRENT_USER\\Software\\Tarn");
  EXPECT_EQ(p.m_saRegKeys.GetSize(), 2);
  EXPECT_EQ(p.m_saScriptRegKeys.GetSize(), 1);
}
