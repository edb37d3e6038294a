// The silent modes on a whole installer: a shell file with a real package
// and UI script appended, run as "/S ..." and uninstalled by the command
// its QuietUninstallString registers.
#include <gtest/gtest.h>
#include <string>
#include "afx/file.h"
#include "afx/msgbox.h"
#include <ctime>
#include "engine/install_runner.h"
#include "engine/installed_entry.h"
#include "engine/setup_package.h"
#include "payload/trailer.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "shell/installed_product.h"
#include "shell/shell_version.h"
#include "shell/silent.h"
#include "shell/wizard/page_rules.h"
#include "support/support.h"

namespace {
using tarntest::ReadFileBytes;
using tarntest::WriteFileBytes;

std::string RegValue(const std::string& key, const char* name) {
  platform::RegKey k;
  std::string v;
  if (k.Open(platform::RegKey::Root(platform::kRegLocalMachine), key, platform::kRegRead) != 0 ||
      k.QueryString(name, &v) != 0)
    return "<none>";
  return v;
}

class Silent : public ::testing::Test {
 protected:
  Silent() {
    product = std::string("TarnTest Silent ") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (const char* sub : {"win", "tmp", "src"}) platform::MakeDirectory(dir / sub);
    env.strSelf = (dir / "setup.exe").c_str();
    env.strTempDir = (dir / "tmp\\").c_str();
    env.strWindowsDir = (dir / "win").c_str();
    env.sleep = [](DWORD) {};
    logPath = dir / "TarnSetup.log";
  }
  ~Silent() override { RemoveUninstallKey(product.c_str()); }

  // entries: TARGET_PATH below <TARGETDIR> and the bytes to install there.
  void MakeInstaller(const std::vector<std::pair<std::string, std::string>>& entries,
                     const std::string& version = "2.1", const std::string& publisher = "") {
    std::string script;
    for (size_t i = 0; i < entries.size(); ++i) {
      const std::string src = dir / ("src\\" + std::to_string(i));
      ASSERT_TRUE(WriteFileBytes(src, entries[i].second));
      script += "[FILEINFO]\r\nSOURCE_PATH=" + src + "\r\nTARGET_PATH=<TARGETDIR>\\" +
                entries[i].first + "\r\nINSTALL_FLAG=0\r\n\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(dir / "setup.ini", script));
    {
      tarntest::BoxRecorder quiet;
      CSetupPackage p((dir / "p.tsp").c_str(), "", (dir / "setup.ini").c_str(), nullptr);
      ASSERT_TRUE(p.MakePacket());
    }
    ASSERT_TRUE(WriteFileBytes(dir / "ui.ini", "[PRODUCTNAME]\r\n" + product +
                                                   "\r\n[TARGETDIR]\r\n" + (dir / "ui target") +
                                                   "\r\n[VERSION]\r\n" + version + "\r\n" +
                                                   (publisher.empty() ? "" : "[PUBLISHER]\r\n" + publisher + "\r\n")));
    CFile out, pkg, ui;
    ASSERT_TRUE(out.Open(env.strSelf, CFile::modeCreate | CFile::modeReadWrite));
    out.Write("MZ bare shell", 13);
    ASSERT_TRUE(pkg.Open((dir / "p.tsp").c_str(), CFile::modeRead));
    ASSERT_TRUE(ui.Open((dir / "ui.ini").c_str(), CFile::modeRead));
    ASSERT_EQ(payload::AppendPayload(out, pkg, true, ui, true), payload::kWriteOk);
  }

  // The run as the shell makes it, with a state of its own as the shell's is.
  int Run(const std::string& line) {
    CTarnSetupShellApp app;
    return RunSilent(SplitCommandLine(line.c_str()), line.c_str(), app, env, logPath.c_str());
  }
  std::string Log() const { return ReadFileBytes(logPath); }
  bool TempEmpty() {
    if (!platform::RemoveDir(dir / "tmp")) return false;
    platform::MakeDirectory(dir / "tmp");
    return true;
  }

  tarntest::TempDir dir;
  stuExtractEnv env;
  std::string product, logPath;
  tarntest::BoxRecorder boxes;  // a box that reaches it was shown
};

TEST_F(Silent, InstallsAndTheQuietCommandUninstalls) {
  MakeInstaller({{"a.txt", "alpha"}, {"sub\\b.txt", std::string(3000, 'b')}});
  const std::string target = dir / "Some Folder";
  EXPECT_EQ(Run("/S /D=" + target), kExitOk) << Log();
  EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "alpha");
  EXPECT_EQ(ReadFileBytes(target + "\\sub\\b.txt"), std::string(3000, 'b'));
  EXPECT_TRUE(platform::Access(target + "\\Unistall.tsu"));
  EXPECT_TRUE(TempEmpty()) << "the blobs' temporary files are gone";

  const std::string key = UninstallKeyPath(product.c_str()).str();
  const std::string uninstaller = dir / ("win\\tsu11-" + std::string(kShellVersionText) + ".exe");
  const std::string log = target + "\\Unistall.tsu";
  const std::string quiet = RegValue(key, "QuietUninstallString");
  EXPECT_EQ(quiet, "\"" + uninstaller + "\" /S \"-U|" + product + "|" + log + "\"");
  EXPECT_EQ(RegValue(key, "DisplayVersion"), "2.1");  // read from the UI script

  // The registered command without its program, as the shell gets it.
  ASSERT_EQ(quiet.rfind("\"" + uninstaller + "\" ", 0), 0u);
  const std::string args = quiet.substr(uninstaller.size() + 3);
  EXPECT_EQ(Run(args), kExitOk) << Log();
  EXPECT_FALSE(platform::Access(target));
  EXPECT_EQ(RegValue(key, "DisplayName"), "<none>");

  // Again: the log is gone, which is a failure, and the key stays gone.
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(Log().find("message: 打开卸载信息错误!\r\nexit code 1\r\n"), std::string::npos) << Log();
  EXPECT_TRUE(boxes.calls().empty());
  // Every run begins and ends its part of the log.
  const std::string text = Log();
  size_t runs = 0;
  for (size_t at = text.find("== "); at != std::string::npos; at = text.find("== ", at + 1)) ++runs;
  EXPECT_EQ(runs, 3u);
  EXPECT_NE(text.find("install: /S /D=" + target + "\r\n"), std::string::npos);
}

TEST_F(Silent, WithoutAFolderTheScriptsFolder) {
  MakeInstaller({{"a.txt", "alpha"}});
  EXPECT_EQ(Run("/s"), kExitOk) << Log();
  // Upper case, as the wizard shows the script's folder; in the sandbox
  // that is another host folder.
  CString folder((dir / "ui target").c_str());
  folder.MakeUpper();
  EXPECT_EQ(ReadFileBytes(folder.str() + "\\a.txt"), "alpha");
  EXPECT_EQ(RegValue(UninstallKeyPath(product.c_str()).str(), "InstallLocation"), folder.str());
  CString top(dir.path().c_str());
  top.MakeUpper();
  tarntest::RemoveTree(top.str());
}

// Each failure is its exit code and a line of the log, never a box.
TEST_F(Silent, FailuresAreExitCodesAndLogLines) {
  MakeInstaller({{"blocked\\x.txt", "x"}, {"ok.txt", "ok"}});
  ASSERT_TRUE(platform::MakeDirectory(dir / "target"));
  ASSERT_TRUE(WriteFileBytes(dir / "target\\blocked", "a file where a folder should be"));
  struct Case {
    std::string line;
    int code;
    std::string logged;
  } cases[] = {
      {"/S /D=relative\\dir", kExitUsage, "message: 安装路径书写不正确,请写入全部路径! 例如'C:\\Program Files'"},
      {"/S /D=" + (dir / "a") + " /X", kExitUsage, "message: /D= 必须是最后一个参数!"},
      {"/S /Q", kExitUsage, "message: 不能识别的参数: /Q"},
      {"/S/D=" + (dir / "a"), kExitUsage, "message: 不能识别的参数: /S/D=" + (dir / "a")},
      {"/SILENT", kExitUsage, "message: 不能识别的参数: /SILENT"},
      {"/D=" + (dir / "a") + " /S", kExitUsage, "message: 不能识别的参数: /D=" + (dir / "a") + " /S"},
      {"/S /D=" + (dir / "target"), kExitFailed, "message: 不能建立路径'" + (dir / "target\\blocked") + "'!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Run(c.line), c.code);
    EXPECT_NE(Log().find(c.logged + "\r\n"), std::string::npos) << Log();
    EXPECT_NE(Log().find("exit code " + std::to_string(c.code) + "\r\n"), std::string::npos);
    EXPECT_TRUE(TempEmpty());
  }
  // The failed entry did not stop the others.
  EXPECT_EQ(ReadFileBytes(dir / "target\\ok.txt"), "ok");

  // No payload at all: the bare shell.
  ASSERT_TRUE(WriteFileBytes(env.strSelf.str(), "MZ bare shell"));
  EXPECT_EQ(Run("/S /D=" + (dir / "bare")), kExitNoPayload);
  EXPECT_NE(Log().find("message: 安装数据错误,无法正常安装!\r\nexit code 3\r\n"), std::string::npos) << Log();
  EXPECT_FALSE(platform::Access(dir / "bare"));
  EXPECT_TRUE(boxes.calls().empty());
}

// The run's record decides, not the boxes: a failure that no box handler
// sees or counts fails the run, and a notice or a question does not.
TEST_F(Silent, TheRecordDecidesNotTheBoxes) {
  CSilentLog log(logPath.c_str());
  AfxReportNotice("", "一条通知");
  EXPECT_EQ(AfxShowMessage(nullptr, "是否继续?", "问题", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_FALSE(log.Failed());
  platform::MessageBoxHandler prev =
      platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
  EXPECT_FALSE(CInstallRunner::Uninstall((dir / "gone\\Unistall.tsu").c_str(), nullptr));
  platform::SetMessageBoxHandler(prev);
  EXPECT_TRUE(log.Failed());
  EXPECT_FALSE(log.Scheduled());
  EXPECT_NE(Log().find("message: 一条通知\r\nmessage: 是否继续?\r\nmessage: 打开卸载信息错误!\r\n"),
            std::string::npos)
      << Log();
  EXPECT_TRUE(boxes.calls().empty());
}

// The notice that another program's uninstaller was left alone is logged;
// the install succeeded all the same.
TEST_F(Silent, ANoticeIsLoggedAndDoesNotFail) {
  MakeInstaller({{"a.txt", "alpha"}});
  const std::string legacy = dir / "win\\tsu11.exe";
  ASSERT_TRUE(WriteFileBytes(legacy, "MZ some other program"));
  EXPECT_EQ(Run("/S /D=" + (dir / "noticed")), kExitOk) << Log();
  EXPECT_NE(Log().find("message: '" + legacy + "'不是本安装程序的卸载程序,没有覆盖。\r\n"),
            std::string::npos)
      << Log();
  EXPECT_EQ(ReadFileBytes(legacy), "MZ some other program");
  EXPECT_EQ(ReadFileBytes(dir / "noticed\\a.txt"), "alpha");
  EXPECT_TRUE(boxes.calls().empty());
}

// An upgrade without /D= goes where the installed version is; the entry
// then tells the new version and date, and one uninstall removes it all.
TEST_F(Silent, AnUpgradeGoesIntoTheInstalledFolder) {
  const std::string key = UninstallKeyPath(product.c_str()).str();
  MakeInstaller({{"a.txt", "v1.0"}, {"old.txt", "only in 1.0"}}, "1.0", "Kestrel Works");
  const std::string first = "C:\\Apps\\Kestrel";
  ASSERT_EQ(Run("/S /D=" + first), kExitOk) << Log();
  MakeInstaller({{"a.txt", "v1.1"}, {"new.txt", "1.1"}}, "1.1", "Kestrel Works");
  ASSERT_EQ(Run("/S"), kExitOk) << Log();
  EXPECT_NE(Log().find("target: " + first + "\r\n"), std::string::npos) << Log();
  EXPECT_EQ(ReadFileBytes(first + "\\a.txt"), "v1.1");
  EXPECT_EQ(ReadFileBytes(first + "\\new.txt"), "1.1");
  EXPECT_EQ(RegValue(key, "DisplayVersion"), "1.1");
  EXPECT_EQ(RegValue(key, "InstallLocation"), first);
  EXPECT_EQ(RegValue(key, "InstallDate"), InstallDateText(std::time(nullptr)).str());
  EXPECT_FALSE(platform::Access(dir / "ui target"));

  const std::string quiet = RegValue(key, "QuietUninstallString");
  const size_t args = quiet.find("/S ");
  ASSERT_NE(args, std::string::npos);
  EXPECT_EQ(Run(quiet.substr(args)), kExitOk) << Log();
  EXPECT_FALSE(platform::Access(first)) << "the 1.0 files went with the merged log";
  EXPECT_EQ(RegValue(key, "DisplayName"), "<none>");
}

// Another maker's product of the same name is left alone: nothing is
// installed and the entry keeps its values.
TEST_F(Silent, AnotherPublishersProductIsRefused) {
  const std::string key = UninstallKeyPath(product.c_str()).str();
  MakeInstaller({{"a.txt", "theirs"}}, "3.0", "Other Maker");
  const std::string folder = dir / "theirs";
  ASSERT_EQ(Run("/S /D=" + folder), kExitOk) << Log();
  MakeInstaller({{"a.txt", "ours"}}, "1.0", "Kestrel Works");
  EXPECT_EQ(Run("/S /D=" + (dir / "ours")), kExitUsage);
  EXPECT_NE(Log().find("message: " + OtherPublisherText(product.c_str(), "Other Maker").str() +
                       "\r\nexit code 2\r\n"),
            std::string::npos)
      << Log();
  EXPECT_FALSE(platform::Access(dir / "ours"));
  EXPECT_EQ(ReadFileBytes(folder + "\\a.txt"), "theirs");
  EXPECT_EQ(RegValue(key, "Publisher"), "Other Maker");
  EXPECT_TRUE(TempEmpty());
  // The same maker, or an entry of an older shell that names none, goes on.
  MakeInstaller({{"a.txt", "again"}}, "3.1", "Other Maker");
  EXPECT_EQ(Run("/S"), kExitOk) << Log();
  EXPECT_EQ(ReadFileBytes(folder + "\\a.txt"), "again");
  EXPECT_TRUE(IsOtherPublisher(ReadInstalledEntry(product.c_str()), "Kestrel Works"));
  platform::RegKey k;
  ASSERT_EQ(k.Open(platform::RegKey::Root(platform::kRegLocalMachine), key, platform::kRegAllAccess), 0);
  ASSERT_EQ(k.DeleteValue("Publisher"), 0);
  EXPECT_FALSE(IsOtherPublisher(ReadInstalledEntry(product.c_str()), "Kestrel Works"));
  tarntest::RemoveTree(folder);
}

// The wizard's start asks about another maker's product (No by default
// ends it), proposes the installed folder, and the path page names the
// installed version.
TEST_F(Silent, TheWizardAsksAndProposesTheInstalledFolder) {
  MakeInstaller({{"a.txt", "v1"}}, "1.0", "Other Maker");
  const std::string folder = dir / "installed";
  ASSERT_EQ(Run("/S /D=" + folder), kExitOk) << Log();
  CTarnSetupShellApp app;
  app.m_strProductName = product.c_str();
  app.m_strTargetDir = "C:\\Program Files\\Default";
  app.m_strPublisher = "Kestrel Works";
  boxes.Clear();
  EXPECT_FALSE(AcceptInstalledProduct(app));
  ASSERT_EQ(boxes.calls().size(), 1u);
  EXPECT_EQ(boxes.calls()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(boxes.texts()[0], OtherPublisherText(product.c_str(), "Other Maker", true).str());
  EXPECT_EQ(app.m_strTargetDir.str(), "C:\\Program Files\\Default");

  app.m_strPublisher = "Other Maker";
  boxes.Clear();
  EXPECT_TRUE(AcceptInstalledProduct(app));
  EXPECT_TRUE(boxes.calls().empty());
  EXPECT_EQ(app.m_strTargetDir.str(), folder);
  EXPECT_EQ(TargetDirInfoText("Demo", app.m_bInstalled, app.m_strInstalledVersion).str(),
            "    安装程序将把 Demo 安装到以下路径中。\n    点击'下一步'将开始安装。"
            "\n    本机已安装 Demo 1.0 版,建议安装到原来的路径中。");
  EXPECT_EQ(TargetDirInfoText("Demo").str(), "    安装程序将把 Demo 安装到以下路径中。\n    点击'下一步'将开始安装。");
  tarntest::RemoveTree(folder);
}

}  // namespace
