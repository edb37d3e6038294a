// The sandbox's registry tree at the size of a large product's imports: the
// work of loading and looking up grows with the keys, not with their square.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "platform/posix/reg_tree.h"

namespace {
using platform::RegTree;

TEST(RegTree, LargeTreeLoadsLooksUpAndRemovesInLinearWork) {
  const int kKeys = 20000, kParents = 8;
  const std::string soft = "HKEY_LOCAL_MACHINE\\Software";
  // Names that are prefixes of each other's, that differ only in a trail
  // byte's case, or that hold a trail byte "\" (one name with the leaf
  // before it, not two keys).
  const std::vector<std::string> parents = {"P1", "P10", "\x81" "a", "\x81" "A",
                                            "Q\x81\\R", "Mixed", "Last", "Z"};
  auto key = [&](int i) { return parents[i % kParents] + "\\K" + std::to_string(i); };
  std::string text = "REGEDIT4\n[" + soft + "\\Q\x81]\n";
  for (int i = 0; i < kKeys; ++i)
    text += "\n[HKLM\\SOFTWARE\\" + key(i) + "]\n\"V\"=\"" + std::to_string(i) + "\"\n";
  RegTree tree;
  ASSERT_TRUE(tree.Apply(text));
  ASSERT_EQ(static_cast<size_t>(kKeys + kParents + 2), tree.keys().size());

  for (int i = 0; i < kKeys; ++i) {
    const platform::RegTreeKey* k =
        tree.Find("hkey_local_machine\\software\\" + parents[i % kParents] + "\\k" + std::to_string(i));
    ASSERT_NE(nullptr, k) << i;
    EXPECT_EQ(soft + "\\" + key(i), k->path) << "the case of the key that made it";
    ASSERT_EQ(1u, k->values.size());
    EXPECT_EQ(std::to_string(i), k->values[0].data);
  }
  std::vector<std::string> names = {"Q\x81"};
  names.insert(names.end(), parents.begin(), parents.end());
  EXPECT_EQ(names, tree.Children(soft));
  for (int p = 0; p < kParents; ++p) {
    std::vector<std::string> children = tree.Children(soft + "\\" + parents[p]);
    ASSERT_EQ(static_cast<size_t>(kKeys / kParents), children.size()) << p;
    EXPECT_EQ("K" + std::to_string(p), children.front());
    EXPECT_EQ("K" + std::to_string(kKeys - kParents + p), children.back());
  }

  // Each removal takes its own subtree only, and a key made again comes last.
  for (const char* name : {"P1", "\x81" "a", "Q\x81"}) tree.RemoveTree(soft + "\\" + name);
  EXPECT_FALSE(tree.Exists(soft + "\\P1\\K0"));
  EXPECT_FALSE(tree.Exists(soft + "\\\x81" "a\\K2"));
  EXPECT_TRUE(tree.Exists(soft + "\\P10\\K1"));
  EXPECT_TRUE(tree.Exists(soft + "\\\x81" "A\\K3"));
  EXPECT_TRUE(tree.Exists(soft + "\\Q\x81\\R\\K4"));
  EXPECT_TRUE(tree.Create(soft + "\\P1"));
  EXPECT_EQ((std::vector<std::string>{"P10", "\x81" "A", "Q\x81\\R", "Mixed", "Last", "Z", "P1"}),
            tree.Children(soft));
  EXPECT_EQ(static_cast<size_t>(kKeys / kParents * 6 + kParents), tree.keys().size());

  // Quadratic work would look at about kKeys * kKeys / 2 keys.
  EXPECT_LT(tree.visits(), static_cast<size_t>(10 * kKeys));

  RegTree again;
  ASSERT_TRUE(again.Apply(tree.Text()));
  EXPECT_EQ(tree.Text(), again.Text());
  EXPECT_LT(again.visits(), static_cast<size_t>(5 * kKeys));
}

}  // namespace
#endif
