#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "afx/file.h"
#include "platform/fs.h"
#include "support/support.h"
#include "sysint/path_ops.h"

namespace {
// A GBK character whose second byte is the byte of "\".
const std::string kTrail5C = "\x95\x5c";

std::string Cap(const platform::MessageBoxCall& c) { return c.caption; }

bool IsDir(const std::string& path) {
  bool dir = false;
  return platform::FindEntry(path, &dir) && dir;
}

TEST(SplitPath, NameAndDirectoryOfTheFullPath) {
  struct Case {
    const char* path;
    BOOL ok;
    const char* name;
    const char* dir;
  } cases[] = {
      {"C:\\a.txt", TRUE, "a.txt", "C:"},
      {"C:\\ab\\ab", TRUE, "ab", "C:\\ab"},
      {"C:\\dir\\", FALSE, "", "C:\\dir\\"},
      {"C:\\a\\.\\b\\..\\c.txt", TRUE, "c.txt", "C:\\a"},
      {"C:/x/y.txt", TRUE, "y.txt", "C:\\x"},
      {"\\\\srv\\share\\a.txt", TRUE, "a.txt", "\\\\srv\\share"},
  };
  for (const Case& c : cases) {
    CString name = "junk", dir = "junk";
    EXPECT_EQ(c.ok, SplitPath(c.path, name, dir)) << c.path;
    EXPECT_EQ(std::string(c.name), name.str()) << c.path;
    EXPECT_EQ(std::string(c.dir), dir.str()) << c.path;
  }
  CString name = "junk", dir = "junk";
  std::string tooLong = "C:\\" + std::string(300, 'a') + "\\f.txt";
  EXPECT_FALSE(SplitPath(tooLong.c_str(), name, dir));
  EXPECT_TRUE(name.IsEmpty() && dir.IsEmpty());
}

TEST(FullPathName, WindowsRulesOnDrivePathsAndShares) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:", "C:\\"},
      {"C:\\dir\\.", "C:\\dir"},
      {"C:\\dir\\..", "C:\\"},
      {"C:\\..\\..\\x", "C:\\x"},
      {"C:\\dir\\\\", "C:\\dir\\"},
      {"C:\\foo. .", "C:\\foo"},
      {"\\\\srv\\share", "\\\\srv\\share"},
      {"\\\\srv\\share\\..\\..\\x", "\\\\srv\\share\\x"},
  };
  for (const Case& c : cases) {
    std::string full;
    ASSERT_TRUE(platform::FullPathName(c.in, &full)) << c.in;
    EXPECT_EQ(c.out, full) << c.in;
  }
}

TEST(SplitFirstComponent, DrivesRegistryPathsAndShares) {
  struct Case {
    std::string in, first, rest;
  } cases[] = {
      {"C:\\Program Files\\App\\bin", "C:\\Program Files", "App\\bin"},
      {"HKEY_CURRENT_USER\\Software\\X", "HKEY_CURRENT_USER", "Software\\X"},
      {"D:\\", "D:\\", ""},
      {"\\\\srv\\share\\d", "", "\\srv\\share\\d"},
      {" a \\  b c \t", " a ", "b c"},
      {kTrail5C + "\\B", kTrail5C, "B"},
      {"C:\\" + kTrail5C + "\\B", "C:\\" + kTrail5C, "B"},
  };
  for (const Case& c : cases) {
    CString path = c.in;
    EXPECT_EQ(c.first, SplitFirstComponent(path).str()) << c.in;
    EXPECT_EQ(c.rest, path.str()) << c.in;
  }
  CString longPath = std::string(300, 'k') + "\\" + std::string(300, 'v');
  EXPECT_EQ(std::string(300, 'k'), SplitFirstComponent(longPath).str());
  EXPECT_EQ(std::string(300, 'v'), longPath.str());
}

TEST(SetTrailingBackslash, OneByteOfItsOwn) {
  CString p = "C:\\dir\\\\";
  EXPECT_TRUE(SetTrailingBackslash(p, FALSE));
  EXPECT_EQ("C:\\dir\\", p.str());
  CString empty;
  EXPECT_FALSE(SetTrailingBackslash(empty, TRUE));

  // The trail byte of a double-byte character is no separator: removing it
  // would cut the character in half.
  CString mb = "C:\\" + kTrail5C;
  EXPECT_TRUE(SetTrailingBackslash(mb, FALSE));
  EXPECT_EQ("C:\\" + kTrail5C, mb.str());
  EXPECT_TRUE(SetTrailingBackslash(mb, TRUE));
  EXPECT_EQ("C:\\" + kTrail5C + "\\", mb.str());
}

TEST(CheckDir, DriveRoots) {
  tarntest::BoxRecorder boxes;
  EXPECT_TRUE(CheckDir("C:\\", TRUE, TRUE));
  EXPECT_TRUE(CheckDir("C:", TRUE, TRUE));
  EXPECT_TRUE(boxes.calls().empty());
  EXPECT_FALSE(CheckDir("", TRUE, TRUE));
  EXPECT_TRUE(boxes.calls().empty());

  if (PathExists("Q:")) GTEST_SKIP() << "this machine has a drive Q:";
  EXPECT_FALSE(CheckDir("Q:\\", TRUE, FALSE));
  EXPECT_TRUE(boxes.calls().empty());
  EXPECT_FALSE(CheckDir("Q:\\", TRUE, TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("'Q:'不是合法的根目录!", boxes.calls()[0].text);
  EXPECT_EQ("错误", Cap(boxes.calls()[0]));
  EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.calls()[0].type);
}

TEST(CheckDir, AsksOnceThenCreatesEveryLevel) {
  tarntest::TempDir tmp;
  tarntest::BoxRecorder boxes;
  std::string z = tmp / "x\\y\\z";

  EXPECT_FALSE(CheckDir(z.c_str(), FALSE, TRUE));
  EXPECT_TRUE(boxes.calls().empty());

  boxes.Answer(IDNO);
  EXPECT_FALSE(CheckDir((z + "\\").c_str(), TRUE, TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("'" + z + "'目录不存在,是否新建目录?", boxes.calls()[0].text);
  EXPECT_EQ("目录不存在", Cap(boxes.calls()[0]));
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), boxes.calls()[0].type);
  EXPECT_FALSE(PathExists((tmp / "x").c_str()));

  boxes.Clear();
  boxes.Answer(IDYES);
  EXPECT_TRUE(CheckDir(z.c_str(), TRUE, TRUE));
  EXPECT_EQ(1u, boxes.calls().size());
  EXPECT_TRUE(IsDir(tmp / "x"));
  EXPECT_TRUE(IsDir(tmp / "x\\y"));
  EXPECT_TRUE(IsDir(z));
}

TEST(CreatePath, AFileInTheWay) {
  tarntest::TempDir tmp;
  tarntest::BoxRecorder boxes;
  ASSERT_TRUE(tarntest::WriteFileBytes(tmp / "f", "data"));

  EXPECT_FALSE(CreatePath((tmp / "f\\y").c_str(), FALSE));
  EXPECT_TRUE(boxes.calls().empty());
  EXPECT_FALSE(CreatePath((tmp / "f\\y").c_str(), TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("不能建立路径'" + tmp / "f\\y" + "'!", boxes.calls()[0].text);
  EXPECT_EQ(platform::AppCaption(), Cap(boxes.calls()[0]));

  // A file where the directory should be is no directory.
  boxes.Clear();
  EXPECT_FALSE(CreatePath((tmp / "f").c_str(), TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("不能建立路径'" + tmp / "f" + "'!", boxes.calls()[0].text);
  EXPECT_FALSE(CheckDir((tmp / "f").c_str(), FALSE, FALSE));
  EXPECT_FALSE(CheckDir((tmp / "f").c_str(), TRUE, FALSE));
  EXPECT_EQ("data", tarntest::ReadFileBytes(tmp / "f"));
}

TEST(CreatePath, ShareAndOverlongPathFailAtOnce) {
  tarntest::BoxRecorder boxes;
  EXPECT_FALSE(CreatePath("\\\\tarn-no-such-server\\share\\d", TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("不能建立路径''!", boxes.calls()[0].text);

  tarntest::TempDir tmp;
  boxes.Clear();
  std::string longPath = tmp / std::string(300, 'a');
  EXPECT_FALSE(CreatePath(longPath.c_str(), TRUE));
  EXPECT_EQ(1u, boxes.calls().size());
  EXPECT_FALSE(CheckDir(longPath.c_str(), TRUE, FALSE));
}

TEST(CheckFileDir, TheFilesDirectory) {
  tarntest::TempDir tmp;
  tarntest::BoxRecorder boxes;
  EXPECT_TRUE(CheckFileDir("C:\\a.txt", FALSE, TRUE));
  EXPECT_FALSE(CheckFileDir((tmp / "dir\\").c_str(), TRUE, TRUE));
  EXPECT_FALSE(CheckFileDir("", TRUE, TRUE));
  EXPECT_TRUE(boxes.calls().empty());

  std::string file = tmp / "a\\b\\f.txt";
  EXPECT_FALSE(CheckFileDir(file.c_str(), FALSE, FALSE));
  boxes.Answer(IDYES);
  EXPECT_TRUE(CheckFileDir(file.c_str(), TRUE, TRUE));
  ASSERT_EQ(1u, boxes.calls().size());
  EXPECT_EQ("'" + tmp / "a\\b" + "'路径不存在,是否新建路径?", boxes.calls()[0].text);
  EXPECT_EQ("路径不存在", Cap(boxes.calls()[0]));
  EXPECT_TRUE(IsDir(tmp / "a\\b"));
  EXPECT_TRUE(CheckFileDir((tmp / "c\\..\\d\\f.txt").c_str(), TRUE, FALSE));
  EXPECT_TRUE(IsDir(tmp / "d"));
}

TEST(PathOps, DoubleByteNameWithBackslashTrailByte) {
  tarntest::TempDir tmp;
  std::string dir = tmp / kTrail5C;
  EXPECT_TRUE(CheckFileDir((dir + "\\sub\\f.txt").c_str(), TRUE, FALSE));
  EXPECT_TRUE(IsDir(dir + "\\sub"));
  CString name, parent;
  EXPECT_TRUE(SplitPath(dir.c_str(), name, parent));
  EXPECT_EQ(kTrail5C, name.str());
  EXPECT_EQ(tmp.path(), parent.str());
}

// What is there is found with its kind; a name ending in a separator, a
// wildcard or what is not there is not.
TEST(FindEntry, FilesFoldersAndNames) {
  tarntest::TempDir tmp;
  ASSERT_TRUE(platform::MakeDirectory(tmp / "d"));
  ASSERT_TRUE(tarntest::WriteFileBytes(tmp / "d\\f.txt", "x"));
  bool dir = false;
  EXPECT_TRUE(platform::FindEntry(tmp / "d", &dir));
  EXPECT_TRUE(dir);
  EXPECT_TRUE(platform::FindEntry(tmp / "d\\f.txt", &dir));
  EXPECT_FALSE(dir);
  EXPECT_FALSE(platform::FindEntry(tmp / "d\\g.txt"));
  EXPECT_FALSE(platform::FindEntry(tmp / "d\\f.txt\\"));
  EXPECT_FALSE(platform::FindEntry(tmp / "d\\f.tx?"));
  EXPECT_FALSE(platform::FindEntry(tmp / "e\\f.txt"));
}

TEST(Sandbox, DotDotNeverLeavesTheDrive) {
  std::string name = "tarn_dotdot_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  ASSERT_TRUE(platform::MakeDirectory("C:\\..\\..\\" + name));
  EXPECT_TRUE(IsDir("C:\\" + name));
  EXPECT_TRUE(platform::RemoveDir("C:\\" + name));
  EXPECT_FALSE(platform::MakeDirectory("C:\\"));
  EXPECT_FALSE(platform::RemoveDir("C:\\"));
  EXPECT_FALSE(platform::FindEntry("C:\\"));
  EXPECT_FALSE(platform::FindEntry("C:\\*"));
}

TEST(Sandbox, ADriveIsAFolderUnderTheRoot) {
  std::string root = platform::SandboxRoot();
  if (root.empty()) GTEST_SKIP() << "no sandbox on Windows";
  std::filesystem::path drive = std::filesystem::path(root) / "D";
  std::filesystem::remove_all(drive);
  EXPECT_FALSE(CheckDir("D:\\x\\y\\z", TRUE, FALSE));
  EXPECT_FALSE(std::filesystem::exists(drive));

  std::filesystem::create_directory(drive);
  EXPECT_TRUE(CheckDir("D:\\x\\y\\z", TRUE, FALSE));
  EXPECT_TRUE(std::filesystem::is_directory(drive / "x" / "y" / "z"));
  EXPECT_TRUE(IsDir("d:\\X\\..\\x\\y"));
  std::filesystem::remove_all(drive);
}

}  // namespace
