// The link checks on both back ends: on Windows they now read attributes
// and the link count without listing folders, which nothing else covers.
#include <gtest/gtest.h>
#include <string>
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/shell_link.h"
#include "support/support.h"
#ifndef _WIN32
#include <unistd.h>
#include "platform/posix/host_path.h"
#endif

namespace {

using tarntest::HardLink;

TEST(Links, PlainNamesHardLinksAndMissingNames) {
  tarntest::TempDir dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / "sub"));
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "sub\\plain.txt", "x"));
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "one.txt", "x"));
  ASSERT_TRUE(HardLink(dir / "one.txt", dir / "sub\\two.txt"));
  struct Case {
    std::string path;
    bool linkedName, linkInPath;
  } cases[] = {
      {dir / "sub\\plain.txt", false, false},
      {dir / "sub", false, false},
      {dir / "sub\\two.txt", true, true},
      {dir / "one.txt", true, true},
      {dir / "sub\\missing.txt", false, false},
      {dir / "missing\\deeper\\x.txt", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::IsLinkedName(c.path), c.linkedName) << c.path;
    EXPECT_EQ(platform::LinkInPath(c.path), c.linkInPath) << c.path;
  }
  ASSERT_TRUE(platform::RemoveFile(dir / "one.txt"));
  EXPECT_FALSE(platform::IsLinkedName(dir / "sub\\two.txt"));
}

// An open for writing that refuses links leaves a linked file whole; other
// names are made or cut as an ordinary open does.
TEST(Links, OpenForWritingRefusesALinkedNameWithoutCuttingIt) {
  tarntest::TempDir dir;
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "one.txt", "keep"));
  ASSERT_TRUE(HardLink(dir / "one.txt", dir / "two.txt"));
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "plain.txt", "old"));
  struct Case {
    std::string name;
    bool opens;
  } cases[] = {{"two.txt", false}, {"plain.txt", true}, {"new.txt", true}};
  for (const Case& c : cases) {
    platform::FileHandle f;
    int error = 0;
    EXPECT_EQ(f.Open(dir / c.name, platform::kAccessWrite, platform::kShareExclusive, true, true, &error, true),
              c.opens)
        << c.name;
    if (c.opens) {
      EXPECT_TRUE(f.Write("new", 3));
    } else {
      EXPECT_NE(error, 0) << c.name;
    }
  }
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "one.txt"), "keep");
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "plain.txt"), "new");
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "new.txt"), "new");
}

using platform::Reach;

// Below a folder, a link anywhere on the way or as the name itself stops
// every write and delete of the walk, and nothing outside changes.
TEST(Links, WalksRefuseALinkOnTheWayOrAsTheName) {
  tarntest::TempDir dir;
  platform::TrustFolder(dir.path());
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  ASSERT_TRUE(tarntest::WriteFileBytes(dir / "outside\\keep.txt", "keep"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside\\empty"));
  if (!tarntest::MakeSymlink(dir / "outside", dir / "ln")) GTEST_SKIP() << "no symbolic links here";
  ASSERT_TRUE(tarntest::MakeSymlink(dir / "outside\\keep.txt", dir / "name.txt"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "real"));
  ASSERT_TRUE(tarntest::MakeSymlink(dir / "outside\\empty", dir / "real\\gone"));

  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "ln\\new\\deeper"), Reach::kLink);
  EXPECT_EQ(platform::RemoveFileLinkFree(dir / "ln\\keep.txt"), Reach::kLink);
  EXPECT_EQ(platform::RemoveFileLinkFree(dir / "name.txt"), Reach::kLink);
  EXPECT_EQ(platform::RemoveFolderLinkFree(dir / "ln\\empty"), Reach::kLink);
  EXPECT_EQ(platform::RemoveFolderLinkFree(dir / "real\\gone"), Reach::kLink);
  for (const char* name : {"ln\\keep.txt", "ln\\made.txt", "name.txt"}) {
    platform::FileHandle f;
    int error = 0;
    bool linked = false;
    EXPECT_FALSE(f.OpenLinkFree(dir / name, platform::kAccessWrite, platform::kShareExclusive, true, true, &error,
                                &linked))
        << name;
    EXPECT_TRUE(linked) << name;
    EXPECT_NE(error, 0) << name;
  }
  {
    // A shortcut is saved the same way.
    platform::ComScope com;
    platform::ShellLink shortcut;
    ASSERT_GE(shortcut.Create(), 0);
    ASSERT_GE(shortcut.SetPath(dir / "outside\\keep.txt"), 0);
    LONG saved = 0;
    shortcut.Save(dir / "ln\\x.lnk", &saved);
    EXPECT_LT(saved, 0);
    shortcut.Save(dir / "real\\x.lnk", &saved);
    EXPECT_GE(saved, 0);
    std::string target, workDir;
    EXPECT_TRUE(platform::ShellLink::Read(dir / "real\\x.lnk", &target, &workDir));
    EXPECT_EQ(target, dir / "outside\\keep.txt");
  }
  EXPECT_FALSE(platform::Access(dir / "outside\\x.lnk"));
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "outside\\keep.txt"), "keep");
  EXPECT_FALSE(platform::Access(dir / "outside\\new"));
  EXPECT_FALSE(platform::Access(dir / "outside\\made.txt"));
  EXPECT_TRUE(platform::Access(dir / "outside\\empty"));
  EXPECT_TRUE(platform::Access(dir / "name.txt"));  // the link itself stays too
}

// What is no link is made, written and removed as before; a missing name
// or a folder that is not empty is a failure, not a link.
TEST(Links, WalksActOnPlainNames) {
  tarntest::TempDir dir;
  platform::TrustFolder(dir.path());
  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "a\\b\\c"), Reach::kDone);
  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "a\\b\\c"), Reach::kDone);
  {
    platform::FileHandle f;
    int error = 0;
    ASSERT_TRUE(f.OpenLinkFree(dir / "a\\b\\c\\x.txt", platform::kAccessWrite, platform::kShareExclusive, true,
                               true, &error));
    EXPECT_TRUE(platform::LastOpenMadeFile());
    EXPECT_TRUE(f.Write("new", 3));
  }
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "a\\b\\c\\x.txt"), "new");
  {
    platform::FileHandle f;
    int error = 0;
    ASSERT_TRUE(f.OpenLinkFree(dir / "a\\b\\c\\x.txt", platform::kAccessWrite, platform::kShareExclusive, true,
                               true, &error));
    EXPECT_FALSE(platform::LastOpenMadeFile());
    EXPECT_TRUE(f.Write("z", 1));
  }
  EXPECT_EQ(tarntest::ReadFileBytes(dir / "a\\b\\c\\x.txt"), "z");
  EXPECT_EQ(platform::RemoveFolderLinkFree(dir / "a\\b\\c"), Reach::kFailed);  // not empty
  EXPECT_EQ(platform::RemoveFileLinkFree(dir / "a\\b\\c"), Reach::kFailed);    // a folder
  EXPECT_EQ(platform::RemoveFileLinkFree(dir / "a\\b\\c\\x.txt"), Reach::kDone);
  EXPECT_EQ(platform::RemoveFileLinkFree(dir / "a\\b\\c\\x.txt"), Reach::kFailed);
  EXPECT_EQ(platform::RemoveFolderLinkFree(dir / "a\\b\\c"), Reach::kDone);
  EXPECT_FALSE(platform::Access(dir / "a\\b\\c"));
  EXPECT_TRUE(platform::Access(dir / "a\\b"));
}

// The folder a user typed may lead through the user's own links; what is
// made below it may not.
TEST(Links, TheExistingPartOfATypedFolderIsFollowed) {
  tarntest::TempDir dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / "home"));
  if (!tarntest::MakeSymlink(dir / "home", dir / "Programs")) GTEST_SKIP() << "no symbolic links here";
  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "Programs\\App"), Reach::kLink);
  platform::TrustExistingPart(dir / "Programs\\App\\Sub");
  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "Programs\\App\\Sub"), Reach::kDone);
  EXPECT_TRUE(platform::Access(dir / "home\\App\\Sub"));
  ASSERT_TRUE(tarntest::MakeSymlink(dir / "home", dir / "home\\App\\planted"));
  EXPECT_EQ(platform::MakeFoldersLinkFree(dir / "Programs\\App\\planted\\x"), Reach::kLink);
  EXPECT_EQ(platform::RemoveFolderLinkFree(dir / "Programs\\App\\Sub"), Reach::kDone);
  EXPECT_FALSE(platform::Access(dir / "home\\App\\Sub"));
}

}  // namespace

#ifndef _WIN32
// A folder the machine's layout places may itself be a link (Wine links a
// profile's Desktop to the home folder); below it, links are still links.
TEST(Links, TrustedFoldersAreFollowedAndNothingBelowThem) {
  tarntest::TempDir dir;
  ASSERT_TRUE(platform::MakeDirectory(dir / "home"));
  ASSERT_TRUE(platform::MakeDirectory(dir / "outside"));
  auto host = [](const std::string& p) { return platform::HostPath(p); };
  ASSERT_EQ(symlink(host(dir / "home").c_str(), host(dir / "Desktop").c_str()), 0);
  ASSERT_EQ(symlink(host(dir / "outside").c_str(), host(dir / "home\\planted").c_str()), 0);
  ASSERT_EQ(symlink(host(dir / "outside").c_str(), host(dir / "Other").c_str()), 0);
  EXPECT_TRUE(platform::LinkInPath(dir / "Desktop\\x.lnk"));
  platform::TrustFolder(dir / "desktop\\");  // as Windows may spell it
  EXPECT_EQ(platform::TrustedPrefix(dir / "Desktop\\x.lnk"), (dir / "Desktop").size());
  EXPECT_EQ(platform::TrustedPrefix(dir / "Desktop2\\x.lnk"), 0u);
  EXPECT_FALSE(platform::LinkInPath(dir / "Desktop"));
  EXPECT_FALSE(platform::LinkInPath(dir / "Desktop\\x.lnk"));
  EXPECT_FALSE(platform::LinkInPath(dir / "Desktop\\Tarn\\x.lnk"));
  EXPECT_TRUE(platform::LinkInPath(dir / "Desktop\\planted\\x.lnk"));
  EXPECT_TRUE(platform::LinkInPath(dir / "Other\\x.lnk"));
}
#endif
