// The folders Windows names stay when an uninstall empties them, and so do
// the folders above them; a product's own folder beside them goes.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "engine/removal.h"
#include "platform/fs.h"
#include "platform/known_folders.h"
#include "support/support.h"

namespace {

void MakeFolders(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '\\') platform::MakeDirectory(path.substr(0, i));
}

TEST(KeptFolders, EmptiedKnownFoldersStay) {
  tarntest::BoxRecorder boxes;
  const std::vector<std::string> known = platform::KnownFolders();
  for (const char* tail : {"\\Documents", "\\Downloads", "\\Music", "\\Pictures", "\\Videos",
                           "\\Favorites", "\\AppData\\Roaming", "\\AppData\\Local\\Programs"}) {
    const size_t n = std::strlen(tail);
    bool found = false;
    for (const std::string& f : known)
      found = found || (f.size() > n && f.compare(f.size() - n, n, tail) == 0);
    EXPECT_TRUE(found) << tail;
  }
  for (const std::string& folder : known) {
    SCOPED_TRACE(folder);
    MakeFolders(folder);
    const std::string file = folder + "\\TarnKeptFolderTest.txt";
    ASSERT_TRUE(tarntest::WriteFileBytes(file, "x"));
    // Wine's profile folders are links to a home folder: nothing is
    // deleted through one that is not trusted, which other tests cover.
    const bool linked = platform::LinkInPath(file);
    EXPECT_EQ(DeleteFileAndDir(file.c_str(), TRUE) != FALSE, !linked);
    if (linked) platform::RemoveFile(file);
    EXPECT_FALSE(platform::Access(file));
    EXPECT_TRUE(platform::Access(folder));
  }
  // Beside them a product's folder, and one inside a known folder, go.
  std::string programs;
  ASSERT_TRUE(platform::SpecialFolderPath(platform::kFolderProgramFiles, &programs));
  for (const std::string& own : {programs + "\\TarnKept Own", known.back() + "\\TarnKept Own"}) {
    MakeFolders(own);
    ASSERT_TRUE(tarntest::WriteFileBytes(own + "\\a.txt", "x"));
    EXPECT_TRUE(DeleteFileAndDir((own + "\\a.txt").c_str(), TRUE));
    EXPECT_FALSE(platform::Access(own)) << own;
  }
  EXPECT_TRUE(boxes.calls().empty());
}

}  // namespace
