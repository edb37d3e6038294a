// The extracted blobs against other programs of the user: a name swapped,
// deleted or linked between the extraction and the install changes nothing
// installed, and what a killed run left is cleared at the next start, but
// never a running installer's blobs, a link or another name.
#include <gtest/gtest.h>
#include <string>
#include "afx/file.h"
#include "engine/install_runner.h"
#include "engine/setup_package.h"
#include "payload/trailer.h"
#include "platform/fs.h"
#include "platform/held_file.h"
#include "shell/payload_extract.h"
#include "shell/silent.h"
#include "shell/temp_sweep.h"
#include "shell/ui_script.h"
#include "support/support.h"

namespace {
using tarntest::ReadFileBytes;
using tarntest::WriteFileBytes;

using tarntest::HardLink;

class BlobHold : public ::testing::Test {
 protected:
  BlobHold() {
    for (const char* sub : {"win", "tmp", "src"}) platform::MakeDirectory(dir / sub);
    env.strSelf = (dir / "setup.exe").c_str();
    env.strTempDir = (dir / "tmp\\").c_str();
    env.strWindowsDir = (dir / "win").c_str();
    env.sleep = [](DWORD) {};
  }
  ~BlobHold() override { RemoveUninstallKey(product.c_str()); }

  void MakeInstaller(const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(dir / "src\\a", bytes));
    ASSERT_TRUE(WriteFileBytes(dir / "setup.ini", "[FILEINFO]\r\nSOURCE_PATH=" + (dir / "src\\a") +
                                                      "\r\nTARGET_PATH=<TARGETDIR>\\a.txt\r\nINSTALL_FLAG=0\r\n"));
    {
      tarntest::BoxRecorder quiet;
      CSetupPackage p((dir / "p.tsp").c_str(), "", (dir / "setup.ini").c_str(), nullptr);
      ASSERT_TRUE(p.MakePacket());
    }
    ASSERT_TRUE(WriteFileBytes(dir / "ui.ini", "[PRODUCTNAME]\r\n" + product + "\r\n"));
    CFile out, pkg, ui;
    ASSERT_TRUE(out.Open(env.strSelf, CFile::modeCreate | CFile::modeReadWrite));
    out.Write("MZ bare shell", 13);
    ASSERT_TRUE(pkg.Open((dir / "p.tsp").c_str(), CFile::modeRead));
    ASSERT_TRUE(ui.Open((dir / "ui.ini").c_str(), CFile::modeRead));
    ASSERT_EQ(payload::AppendPayload(out, pkg, true, ui, false), payload::kWriteOk);
  }

  // What another program of the user can do to a name: put its own file
  // there, or delete it and put one there.
  void Swap(const std::string& path, const std::string& bytes, int n) {
    const std::string evil = dir / ("evil" + std::to_string(n));
    ASSERT_TRUE(WriteFileBytes(evil, bytes));
    if (n % 2) {
      bool linked = false;
      platform::RemovePlainFile(path, &linked);
    }
    platform::RenameOver(evil, path);
    platform::RemoveFile(evil);
  }

  // One name a test: the tests of this file run side by side, and each
  // removes its product's key when done.
  std::string product = std::string("TarnTest ") +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name();
  tarntest::TempDir dir;
  stuExtractEnv env;
  tarntest::BoxRecorder boxes;
};

TEST_F(BlobHold, ASwappedBlobChangesNothingInstalled) {
  MakeInstaller("the publisher's bytes");
  // Another package, as a swapper would make it.
  ASSERT_TRUE(WriteFileBytes(dir / "src\\a", "planted bytes"));
  {
    tarntest::BoxRecorder quiet;
    CSetupPackage p((dir / "evil.tsp").c_str(), "", (dir / "setup.ini").c_str(), nullptr);
    ASSERT_TRUE(p.MakePacket());
  }
  const std::string evilPackage = ReadFileBytes(dir / "evil.tsp");
  std::string package, script;
  {
    CTarnSetupShellApp app;
    ASSERT_TRUE(ExtractPayloadTo(app, env));
    package = app.m_strPackageFile.str();
    script = app.m_strUIScriptFile.str();
    // In use: a later installer's clean-up leaves them.
    EXPECT_FALSE(platform::RemoveUnheldFile(package));
    EXPECT_FALSE(platform::RemoveUnheldFile(script));
    for (int n = 0; n < 2; ++n) {
      Swap(package, evilPackage, n);
      Swap(script, "[PRODUCTNAME]\r\nPlanted\r\n[TARGETDIR]\r\nC:\\Planted\r\n", n + 2);
    }
    LoadUIScriptInto(app);
    EXPECT_EQ(app.m_strProductName.str(), product);
    app.m_strTargetDir = (dir / "target").c_str();
    ASSERT_TRUE(platform::MakeDirectory(app.m_strTargetDir.str()));
    CInstallRunner::Install(app.GetPackageFile(), nullptr);
    EXPECT_EQ(ReadFileBytes(dir / "target\\a.txt"), "the publisher's bytes");
    EXPECT_TRUE(boxes.calls().empty()) << (boxes.calls().empty() ? "" : boxes.calls()[0].text);
  }
  // The hold's file is gone with the run; a planted one, where a swap got
  // through (the sandbox has no share modes), is not the run's to delete.
  for (const std::string& path : {package, script}) {
    EXPECT_FALSE(platform::IsHeld(path));
    const std::string left = ReadFileBytes(path);
    EXPECT_TRUE(left.empty() || left == evilPackage || left.find("Planted") != std::string::npos) << path;
  }
}

TEST_F(BlobHold, LeftoversOfAKilledRunGoAtTheNextStart) {
  MakeInstaller("bytes");
  const std::string tmp = dir / "tmp";
  const char* const ours[] = {"tst1A.tmp", "TST2.TMP", "tstFFFF.tmp"};
  const char* const others[] = {"tst12345.tmp", "tstx.tmp", "tst.tmp", "tst1.tmp.txt", "abc1.tmp", "tst7.bak"};
  for (const char* name : ours) ASSERT_TRUE(WriteFileBytes(tmp + "\\" + name, "left"));
  for (const char* name : others) ASSERT_TRUE(WriteFileBytes(tmp + "\\" + name, "theirs"));
  // A blob-like name that is a second name of someone's file.
  ASSERT_TRUE(WriteFileBytes(dir / "precious", "keep"));
  ASSERT_TRUE(HardLink(dir / "precious", tmp + "\\tst3.tmp"));
  platform::MakeDirectory(tmp + "\\tst5.tmp");
  // A running installer's blob.
  CTarnSetupShellApp running;
  running.m_strPackageFile = platform::TempFileName(tmp, "tst").c_str();
  ASSERT_TRUE(platform::HoldFile(running.m_strPackageFile.str()));

  CTarnSetupShellApp app;
  ASSERT_TRUE(ExtractPayloadTo(app, env));
  for (const char* name : ours) EXPECT_FALSE(platform::Access(tmp + "\\" + name)) << name;
  for (const char* name : others) EXPECT_EQ(ReadFileBytes(tmp + "\\" + name), "theirs") << name;
  EXPECT_EQ(ReadFileBytes(tmp + "\\tst3.tmp"), "keep");
  EXPECT_EQ(ReadFileBytes(dir / "precious"), "keep");
  EXPECT_TRUE(platform::Access(tmp + "\\tst5.tmp"));
  EXPECT_TRUE(platform::IsHeld(running.m_strPackageFile.str()));
  EXPECT_TRUE(platform::Access(running.m_strPackageFile.str()));
  EXPECT_EQ(ReadFileBytes(app.m_strPackageFile.str()), ReadFileBytes(dir / "p.tsp"));
}

TEST(BlobName, OnlyTheTemporaryNamingsForm) {
  for (const char* name : {"tst1.tmp", "tstABCD.tmp", "TsT0f.TmP"}) EXPECT_TRUE(IsBlobName(name)) << name;
  for (const char* name : {"", "tst.tmp", "tst12345.tmp", "tstG.tmp", "tst1.tm", "xtst1.tmp", "tst1.tmp ",
                           "tst-1.tmp"})
    EXPECT_FALSE(IsBlobName(name)) << name;
}

}  // namespace
