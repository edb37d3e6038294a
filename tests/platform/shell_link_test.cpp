// Shell links saved and read back: the shell's own component under Wine,
// the sandbox's .lnk writer natively.
#include <gtest/gtest.h>
#include <string>
#include "platform/fs.h"
#include "platform/shell_link.h"
#include "support/support.h"

namespace {
using platform::ShellLink;

TEST(ShellLink, SavedLinksReadBackTargetAndWorkingDirectory) {
  platform::ComScope com;
  tarntest::TempDir dir;
  struct Case {
    const char* link;
    const char* target;  // under dir
    const char* workingDir;
    const char* description;
    const char* arguments;
  } cases[] = {
      {"plain.lnk", "app.exe", "", "", ""},
      {"full.lnk", "tool.exe", "work", "A tool", "-x \"quoted arg\""},
      {"链接.lnk", "程序\\应用.exe", "程序", "中文说明", "参数"},
  };
  ASSERT_TRUE(platform::MakeDirectory(dir / "程序"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "work"));
  for (const Case& c : cases) {
    std::string target = dir / c.target;
    std::string workingDir = *c.workingDir ? dir / c.workingDir : std::string();
    ASSERT_TRUE(tarntest::WriteFileBytes(target, "MZ")) << c.target;
    ShellLink l;
    ASSERT_EQ(platform::kHrOk, l.Create());
    EXPECT_EQ(platform::kHrOk, l.SetPath(target));
    if (*c.description) { EXPECT_EQ(platform::kHrOk, l.SetDescription(c.description)); }
    if (*c.arguments) { EXPECT_EQ(platform::kHrOk, l.SetArguments(c.arguments)); }
    if (!workingDir.empty()) { EXPECT_EQ(platform::kHrOk, l.SetWorkingDirectory(workingDir)); }
    LONG saved = platform::kHrFail;
    ASSERT_EQ(platform::kHrOk, l.Save(dir / c.link, &saved)) << c.link;
    ASSERT_EQ(platform::kHrOk, saved) << c.link;

    std::string readTarget, readDir = "junk";
    ASSERT_TRUE(ShellLink::Read(dir / c.link, &readTarget, &readDir)) << c.link;
    EXPECT_EQ(target, readTarget) << c.link;
    EXPECT_EQ(workingDir, readDir) << c.link;
  }
}

TEST(ShellLink, NameLongerThanMaxPathIsRefusedAndNothingSaved) {
  platform::ComScope com;
  tarntest::TempDir dir;
  ShellLink l;
  ASSERT_EQ(platform::kHrOk, l.Create());
  // The target need not exist (the shell may say S_FALSE).
  ASSERT_GE(l.SetPath(dir / "app.exe"), 0);
  std::string name = dir / (std::string(260, 'n') + ".lnk");
  ASSERT_GT(name.size(), 259u);
  LONG saved = platform::kHrOk;
  EXPECT_EQ(platform::kHrInvalidArg, l.Save(name, &saved));
  EXPECT_NE(platform::kHrOk, saved);
  EXPECT_FALSE(platform::Access(name));
}

TEST(ShellLink, FailsWithoutComponentOrFolderOrFile) {
  platform::ComScope com;
  tarntest::TempDir dir;
  ShellLink none;
  EXPECT_EQ(platform::kHrFail, none.SetPath("C:\\x.exe"));
  LONG saved = platform::kHrOk;
  EXPECT_EQ(platform::kHrFail, none.Save(dir / "none.lnk", &saved));
  EXPECT_EQ(platform::kHrFail, saved);

  ShellLink l;
  ASSERT_EQ(platform::kHrOk, l.Create());
  ASSERT_GE(l.SetPath(dir / "app.exe"), 0);
  EXPECT_EQ(platform::kHrOk, l.Save(dir / "missing\\x.lnk", &saved));
  EXPECT_LT(saved, 0);

  std::string target;
  EXPECT_FALSE(ShellLink::Read(dir / "nothing.lnk", &target, nullptr));
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "text.lnk", "not a link at all"));
  EXPECT_FALSE(ShellLink::Read(dir / "text.lnk", &target, nullptr));
}

}  // namespace
