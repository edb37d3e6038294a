// The registry as the engine uses it; the same cases run against the real
// registry under Wine and the sandbox natively. Each test works below its
// own key under HKEY_CURRENT_USER\Software\TarnTest and removes it.
#include <gtest/gtest.h>
#include <atomic>
#include <set>
#include <string>
#include <vector>
#include "platform/journal.h"
#include "platform/registry.h"
#include "platform_test.h"
#include "support/support.h"

namespace {
using platform::RegKey;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = tarntest::UniqueName("Reg");
    ASSERT_EQ(platform::kRegOk, key_.Create(RegKey::Root(platform::kRegCurrentUser),
                                            "Software\\TarnTest\\" + name_));
  }
  void TearDown() override {
    key_.Close();
    RegKey parent;
    if (parent.Open(RegKey::Root(platform::kRegCurrentUser), "Software\\TarnTest",
                    platform::kRegAllAccess) == platform::kRegOk)
      tarntest::DeleteKeyTree(parent, name_);
    // The shared parent goes when the last test leaves it empty.
    RegKey(RegKey::Root(platform::kRegCurrentUser)).DeleteSubKey("Software\\TarnTest");
  }
  std::string name_;
  RegKey key_;
};

TEST_F(Registry, StringsComeBackAsSetThroughAnyHandle) {
  struct Case {
    const char* name;
    const char* value;
  } cases[] = {
      {"Plain", "value"},
      {"", "the default value"},
      {"Quoted \"name\"", "C:\\Program Files\\\"x\"\\"},
      {"中文名", "安装目录\\程序"},
      {"Trail5C", "\x95\x5c\\end"},  // a GBK character ending in the byte of "\"
      {"Empty", ""},
      {"Equals=Sign", "a=b;c"},
  };
  for (const Case& c : cases) ASSERT_EQ(platform::kRegOk, key_.SetString(c.name, c.value)) << c.name;
  RegKey again;
  ASSERT_EQ(platform::kRegOk, again.Open(RegKey::Root(platform::kRegCurrentUser),
                                         "Software\\TarnTest\\" + name_, platform::kRegRead));
  for (const Case& c : cases) {
    std::string v = "junk";
    EXPECT_EQ(platform::kRegOk, again.QueryString(c.name, &v)) << c.name;
    EXPECT_EQ(c.value, v) << c.name;
  }
  // Names compare without case; setting again replaces.
  std::string v;
  EXPECT_EQ(platform::kRegOk, key_.SetString("PLAIN", "second"));
  EXPECT_EQ(platform::kRegOk, again.QueryString("plain", &v));
  EXPECT_EQ("second", v);
}

// A DWORD and a string under one name are different values: each query
// finds only its own type, and setting one type replaces the other.
TEST_F(Registry, DwordsComeBackAndTypesStayApart) {
  tarntest::JournalRecorder journal;
  const struct {
    const char* name;
    DWORD value;
    const char* text;
  } cases[] = {{"Zero", 0, "dword:00000000"},
               {"NoModify", 1, "dword:00000001"},
               {"Size", 0x1234abcd, "dword:1234abcd"},
               {"Max", 0xFFFFFFFF, "dword:ffffffff"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(platform::kRegOk, key_.SetDword(c.name, c.value));
    DWORD v = 7;
    EXPECT_EQ(platform::kRegOk, key_.QueryDword(c.name, &v));
    EXPECT_EQ(c.value, v);
    std::string s = "kept";
    EXPECT_EQ(platform::kRegNotFound, key_.QueryString(c.name, &s));
    EXPECT_EQ("kept", s);
    ASSERT_FALSE(journal.events().empty());
    EXPECT_EQ(c.text, journal.events().back().value);
    EXPECT_EQ(c.name, journal.events().back().detail);
  }
  DWORD v = 7;
  ASSERT_EQ(platform::kRegOk, key_.SetString("Was", "text"));
  EXPECT_EQ(platform::kRegNotFound, key_.QueryDword("Was", &v));
  ASSERT_EQ(platform::kRegOk, key_.SetDword("WAS", 5));
  EXPECT_EQ(platform::kRegOk, key_.QueryDword("was", &v));
  EXPECT_EQ(5u, v);
  EXPECT_EQ(platform::kRegNotFound, key_.QueryDword("Missing", &v));
  EXPECT_EQ(5u, v);
}

TEST(DwordText, ReadsOnlyWhatRegeditWrites) {
  DWORD v = 0;
  for (const char* bad : {"", "dword:", "dword:123456789", "dword:12g4", "0x10", "hex:01", " dword:1"})
    EXPECT_FALSE(platform::ParseDwordText(bad, &v)) << bad;
  EXPECT_TRUE(platform::ParseDwordText("DWORD:A", &v));
  EXPECT_EQ(10u, v);
  EXPECT_TRUE(platform::ParseDwordText(platform::DwordText(0xdeadbeef), &v));
  EXPECT_EQ(0xdeadbeefu, v);
}

TEST_F(Registry, MissingKeysAndValuesAreNotFound) {
  RegKey k;
  EXPECT_EQ(platform::kRegNotFound, k.Open(key_, "Missing", platform::kRegRead));
  EXPECT_EQ(platform::kRegNotFound, k.Open(key_, "Missing\\Deeper", platform::kRegRead));
  EXPECT_FALSE(k.IsOpen());
  std::string v = "kept";
  EXPECT_EQ(platform::kRegNotFound, key_.QueryString("Missing", &v));
  EXPECT_EQ("kept", v);
  EXPECT_EQ(platform::kRegNotFound, key_.DeleteValue("Missing"));
  EXPECT_EQ(platform::kRegNotFound, key_.DeleteSubKey("Missing"));
}

TEST_F(Registry, EnumeratesSubkeysAndValuesWithTheirCase) {
  // Made in sorted order: Wine enumerates sorted, the sandbox in order of
  // creation.
  for (const char* sub : {"Alpha", "beta", "Gamma\\Inner"}) {
    RegKey k;
    ASSERT_EQ(platform::kRegOk, k.Create(key_, sub));
  }
  RegKey same;
  ASSERT_EQ(platform::kRegOk, same.Create(key_, "BETA"));  // opens "beta"
  std::vector<std::string> names;
  std::string n;
  for (DWORD i = 0; key_.EnumKey(i, &n) == platform::kRegOk; ++i) names.push_back(n);
  EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "Gamma"}), names);
  EXPECT_EQ(platform::kRegNoMoreItems, key_.EnumKey(3, &n));

  for (const char* v : {"one", "three", "Two"}) ASSERT_EQ(platform::kRegOk, key_.SetString(v, v));
  names.clear();
  for (DWORD i = 0; key_.EnumValue(i, &n) == platform::kRegOk; ++i) names.push_back(n);
  EXPECT_EQ((std::vector<std::string>{"one", "three", "Two"}), names);
  EXPECT_EQ(platform::kRegNoMoreItems, key_.EnumValue(3, &n));
}

TEST_F(Registry, KeyWithSubkeysIsNotDeleted) {
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Create(key_, "Parent\\Child"));
  k.Close();
  EXPECT_EQ(platform::kRegAccessDenied, key_.DeleteSubKey("Parent"));
  EXPECT_EQ(platform::kRegOk, k.Open(key_, "Parent\\Child", platform::kRegRead));
  k.Close();
  EXPECT_EQ(platform::kRegOk, key_.DeleteSubKey("Parent\\Child"));
  EXPECT_EQ(platform::kRegOk, key_.DeleteSubKey("parent"));
  EXPECT_EQ(platform::kRegNotFound, k.Open(key_, "Parent", platform::kRegRead));
  EXPECT_EQ(platform::kRegNotFound, key_.DeleteSubKey("Parent"));
}

TEST_F(Registry, DeletedValueIsGone) {
  ASSERT_EQ(platform::kRegOk, key_.SetString("Keep", "1"));
  ASSERT_EQ(platform::kRegOk, key_.SetString("Drop", "2"));
  EXPECT_EQ(platform::kRegOk, key_.DeleteValue("DROP"));
  std::string v;
  EXPECT_EQ(platform::kRegNotFound, key_.QueryString("Drop", &v));
  EXPECT_EQ(platform::kRegNotFound, key_.DeleteValue("Drop"));
  EXPECT_EQ(platform::kRegOk, key_.QueryString("Keep", &v));
  std::string n;
  EXPECT_EQ(platform::kRegOk, key_.EnumValue(0, &n));
  EXPECT_EQ("Keep", n);
  EXPECT_EQ(platform::kRegNoMoreItems, key_.EnumValue(1, &n));
}

TEST_F(Registry, EmptyPathReopensTheParentAndMovesKeepOneHandle) {
  ASSERT_EQ(platform::kRegOk, key_.SetString("V", "x"));
  RegKey same;
  ASSERT_EQ(platform::kRegOk, same.Open(key_, "", platform::kRegRead));
  std::string v;
  EXPECT_EQ(platform::kRegOk, same.QueryString("V", &v));
  EXPECT_EQ("x", v);
  RegKey moved(std::move(same));
  EXPECT_FALSE(same.IsOpen());
  EXPECT_EQ(platform::kRegOk, moved.QueryString("V", &v));
  RegKey assigned;
  assigned = std::move(moved);
  EXPECT_EQ(platform::kRegOk, assigned.QueryString("V", &v));
  // The root's handle opens keys below it.
  RegKey viaRoot;
  EXPECT_EQ(platform::kRegOk, viaRoot.Open(RegKey::Root(platform::kRegCurrentUser),
                                           "SOFTWARE\\tarntest\\" + name_, platform::kRegRead));
  EXPECT_EQ(platform::kRegOk, viaRoot.QueryString("v", &v));
}

TEST_F(Registry, JournalHasNewKeysAndSetValues) {
  tarntest::JournalRecorder journal;
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Create(key_, "New\\Deep"));
  ASSERT_EQ(platform::kRegOk, k.Create(key_, "New\\Deep"));  // exists: not reported
  ASSERT_EQ(platform::kRegOk, k.SetString("Name", "Value"));
  ASSERT_EQ(2u, journal.events().size());
  EXPECT_EQ(platform::JournalKind::kRegKeyCreated, journal.events()[0].kind);
  EXPECT_EQ(key_.name() + "\\New\\Deep", journal.events()[0].path);
  EXPECT_EQ(platform::JournalKind::kRegValueSet, journal.events()[1].kind);
  EXPECT_EQ(k.name(), journal.events()[1].path);
  EXPECT_EQ("Name", journal.events()[1].detail);
  EXPECT_EQ("Value", journal.events()[1].value);
}

}  // namespace
