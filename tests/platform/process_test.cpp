// Programs and libraries that cannot start fail alike on Windows and in
// the sandbox, and are not reported as started.
#include <gtest/gtest.h>
#include <string>
#include "platform/journal.h"
#include "platform/process.h"
#include "platform_test.h"
#include "support/support.h"

namespace {

TEST(StartProcess, MissingProgramsFailUnreported) {
  tarntest::TempDir dir;
  tarntest::JournalRecorder journal;
  const std::string cases[] = {
      "",
      "\"" + (dir / "missing.exe") + "\"",
      dir / "missing.exe",
      dir / "missing.exe" + " /arg",
      "\"" + (dir / "没有.exe") + "\" x",
  };
  for (const std::string& cmd : cases) {
    EXPECT_FALSE(platform::StartProcess(cmd, false)) << cmd;
    EXPECT_FALSE(platform::StartProcess(cmd, true)) << cmd;
  }
  EXPECT_TRUE(journal.events().empty());
}

TEST(CallLibraryEntry, MissingLibraryDoesNotLoad) {
  tarntest::TempDir dir;
  tarntest::JournalRecorder journal;
  EXPECT_EQ(platform::LibraryCall::kLoadFailed,
            platform::CallLibraryEntry(dir / "missing.dll", "DllRegisterServer"));
  ASSERT_EQ(1u, journal.events().size());
  EXPECT_EQ(platform::JournalKind::kLibraryCalled, journal.events()[0].kind);
  EXPECT_EQ(dir / "missing.dll", journal.events()[0].path);
  EXPECT_EQ("DllRegisterServer: not loaded", journal.events()[0].detail);
}

}  // namespace
