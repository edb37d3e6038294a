// A package built from entries in a fresh folder, installed into another
// through CInstallRunner with every message box, notification and journal
// event recorded.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "engine/setup_app.h"
#include "engine/setup_package.h"
#include "platform/journal.h"
#include "support/support.h"

namespace tarntest {

// Every source carries these times when the package is built.
constexpr int64_t kSourceCreate = 1000000000, kSourceModify = 1100000000,
                  kSourceAccess = 1200000000;

struct Item {
  Item(std::string t, std::string c, int f = 0, std::string s = "", std::string cmd = "",
       int o = 0, int p = 0)
      : target(std::move(t)), content(std::move(c)), flags(f), shortcut(std::move(s)),
        command(std::move(cmd)), os(o), prot(p) {}
  std::string target;   // TARGET_PATH
  std::string content;  // source bytes
  int flags;
  std::string shortcut;
  std::string command;
  int os;
  int prot;
};

// A string value, or "<none>".
std::string RegString(DWORD root, const std::string& key, const char* name);

class InstallTest : public ::testing::Test {
 protected:
  InstallTest();
  ~InstallTest() override;

  // Writes the sources and the script, builds the package (fails the test
  // when the build does).
  void Build(const std::vector<Item>& items, const std::string& name = "p.tsp");
  void Install(const std::string& name = "p.tsp");
  BOOL Uninstall();
  std::string Target(const std::string& rel) const { return target.path() + "\\" + rel; }
  std::string LogPath() const { return Target("Unistall.tsu"); }
  // The log as it should read: magic, files, marker, registry lines.
  std::string ExpectedLog(const std::vector<std::string>& files,
                          const std::vector<std::string>& registry) const;
  std::string KeyLine() const;

  TempDir dir;
  TempDir target;
  CTarnSetupShellApp app;
  std::string key;
  std::string package;
  BoxRecorder boxes;
  NotifyRecorder notes;
  JournalRecorder journal;
};

}  // namespace tarntest
