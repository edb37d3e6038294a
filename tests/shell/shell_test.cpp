#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include "afx/file.h"
#include "shell/command_line.h"
#include "shell/payload_extract.h"
#include "shell/ui_script.h"
#include "engine/setup_package.h"
#include "payload/shell_identity.h"
#include "payload/trailer.h"
#include "shell/shell_version.h"
#include "platform/fs.h"
#include "support/support.h"
#include "engine/uninstall_messages.h"
#include "shell/wizard/install_gate.h"
#include "shell/wizard/page_rules.h"
#include "shell/wizard/progress_steps.h"

namespace {

std::string ReadAll(const std::string& path) {
  CFile f;
  if (!f.Open(path.c_str(), CFile::modeRead)) return "<missing>";
  std::string s(static_cast<size_t>(f.GetLength()), '\0');
  f.Read(&s[0], s.size());
  return s;
}

void WriteAll(const std::string& path, const std::string& data) {
  CFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
  f.Write(data.data(), data.size());
}

TEST(CommandLine, ModesAndFields) {
  struct Case {
    const char* line;
    BOOL uninstall;
    const char* key;
    const char* log;
  } cases[] = {
      {nullptr, FALSE, "", ""},
      {"", FALSE, "", ""},
      {"-U|Tarn 演示程序|C:\\Tarn Demo\\Unistall.tsu", TRUE, "Tarn 演示程序", "C:\\Tarn Demo\\Unistall.tsu"},
      {"-u|Key|C:\\a\\Unistall.tsu", TRUE, "Key", "C:\\a\\Unistall.tsu"},
      {"-U", TRUE, "", ""},
      {" -U|Key|Log", FALSE, "", ""},  // the first field is not trimmed
      {"-U |Key|Log", FALSE, "", ""},
      {"/S", FALSE, "", ""},
  };
  for (const Case& c : cases) {
    stuCommandLine cmd = SplitCommandLine(c.line);
    SCOPED_TRACE(c.line ? c.line : "(null)");
    EXPECT_EQ(cmd.bUninstall, c.uninstall);
    EXPECT_EQ(cmd.strKeyName.str(), c.key);
    EXPECT_EQ(cmd.strLogPath.str(), c.log);
  }
}

// "/S" first makes either mode silent; "/D=" takes the rest of the line.
TEST(CommandLine, SilentSwitches) {
  struct Case {
    const char* line;
    BOOL silent, uninstall, hasDir;
    const char* dir;  // or the key, for an uninstall
    const char* unknown;
    const char* problem;  // SilentTargetProblem of dir, for an install
  } cases[] = {
      {"/S", TRUE, FALSE, FALSE, "", "", "请选择安装路径!"},
      {"/s", TRUE, FALSE, FALSE, "", "", "请选择安装路径!"},
      {"/S /D=C:\\Program Files\\My App", TRUE, FALSE, TRUE, "C:\\Program Files\\My App", "", nullptr},
      {"/s\t/d=D:\\演示 程序  ", TRUE, FALSE, TRUE, "D:\\演示 程序", "", nullptr},
      {"/S /D=C:\\App /X", TRUE, FALSE, TRUE, "C:\\App /X", "", "/D= 必须是最后一个参数!"},
      {"/S /D=apps\\demo", TRUE, FALSE, TRUE, "apps\\demo", "", kRelativePathText},
      {"/S /D=", TRUE, FALSE, TRUE, "", "", "请选择安装路径!"},
      {"/S /D=C:\\App\\\\", TRUE, FALSE, TRUE, "C:\\App", "", nullptr},
      {"/S /D=D:\\", TRUE, FALSE, TRUE, "D:\\", "", nullptr},
      {"/S /D=C:\\\x95\x5c", TRUE, FALSE, TRUE, "C:\\\x95\x5c", "", nullptr},  // GBK, trail byte "\\"
      {"/S -U|Tarn 演示程序|C:\\Tarn Demo\\Unistall.tsu", TRUE, TRUE, FALSE, "Tarn 演示程序", "", nullptr},
      {"/s -u|Key|Log", TRUE, TRUE, FALSE, "Key", "", nullptr},
      {"/S /X", TRUE, FALSE, FALSE, "", "/X", nullptr},
      {"/S /S", TRUE, FALSE, FALSE, "", "/S", nullptr},
      // "/S" glued or out of its place: silent, and refused, never a wizard.
      {"/D=C:\\App /S", TRUE, FALSE, FALSE, "", "/D=C:\\App /S", nullptr},
      {"/Sx", TRUE, FALSE, FALSE, "", "/Sx", nullptr},
      {"/S/D=C:\\x", TRUE, FALSE, FALSE, "", "/S/D=C:\\x", nullptr},
      {"/SILENT /D=C:\\x", TRUE, FALSE, FALSE, "", "/SILENT /D=C:\\x", nullptr},
      {"/silent", TRUE, FALSE, FALSE, "", "/silent", nullptr},
      {" /S ", TRUE, FALSE, FALSE, "", "/S", nullptr},
      {"/X /S", TRUE, FALSE, FALSE, "", "/X /S", nullptr},
      {"setup \t/s", TRUE, FALSE, FALSE, "", "setup \t/s", nullptr},
      // Not the switch: the install mode as it always was.
      {"/D=C:\\App", FALSE, FALSE, FALSE, "", "", nullptr},
      {"/X", FALSE, FALSE, FALSE, "", "", nullptr},
      {"C:\\a/S", FALSE, FALSE, FALSE, "", "", nullptr},
      {"-U|Key|Log", FALSE, TRUE, FALSE, "Key", "", nullptr},
      {"-U|A /S Tools|C:\\a /S\\Unistall.tsu", FALSE, TRUE, FALSE, "A /S Tools", "", nullptr},
      // Quoted as deployment tools and shells quote an argument.
      {"/S \"/D=C:\\a b\"", TRUE, FALSE, TRUE, "C:\\a b", "", nullptr},
      {"/S /D=\"C:\\a b\" ", TRUE, FALSE, TRUE, "C:\\a b", "", nullptr},
      {"/S \"-U|Tarn 演示程序|C:\\a b\\Unistall.tsu\"", TRUE, TRUE, FALSE, "Tarn 演示程序", "", nullptr},
      {"/S \"/D=C:\\a\" b\"", TRUE, FALSE, FALSE, "", "\"/D=C:\\a\" b\"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    stuCommandLine cmd = SplitCommandLine(c.line);
    EXPECT_EQ(cmd.bSilent, c.silent);
    EXPECT_EQ(cmd.bUninstall, c.uninstall);
    EXPECT_EQ(cmd.bTargetDir, c.hasDir);
    EXPECT_EQ((c.uninstall ? cmd.strKeyName : cmd.strTargetDir).str(), c.dir);
    EXPECT_EQ(cmd.strUnknown.str(), c.unknown);
    if (c.silent && !c.uninstall && c.unknown[0] == '\0') {
      const char* got = SilentTargetProblem(cmd.strTargetDir);
      EXPECT_STREQ(got ? got : "(none)", c.problem ? c.problem : "(none)");
    }
  }
}

TEST(CommandLine, SilentTargetProblems) {
  struct Case {
    const char* dir;
    const char* problem;
  } cases[] = {
      {"C:\\Program Files\\My App", nullptr},
      {"d:\\", nullptr},
      {"C:\\\x81\x7c", nullptr},  // a GBK character whose trail byte is "|"
      {"\\\\server\\share", "不支持网络安装!\n"},
      {"\\apps", kRelativePathText},
      {"C:relative", kRelativePathText},
      {"1:\\x", kRelativePathText},
      {"C:/Apps", "/D= 必须是最后一个参数!"},
      {"C:\\a:b", "安装路径中有不能使用的字符!"},
      {"C:\\a|b", "安装路径中有不能使用的字符!"},
      {"C:\\\"quoted\"", "安装路径中有不能使用的字符!"},
      {"C:\\*", "安装路径中有不能使用的字符!"},
  };
  for (const Case& c : cases) {
    const char* got = SilentTargetProblem(c.dir);
    EXPECT_STREQ(got ? got : "(none)", c.problem ? c.problem : "(none)") << c.dir;
  }
}

class Extract : public ::testing::Test {
 protected:
  void SetUp() override {
    windows = dir / "win";
    temp = dir / "tmp";
    platform::MakeDirectory(windows);
    platform::MakeDirectory(temp);
    env.strSelf = (dir / "setup.exe").c_str();
    env.strTempDir = (temp + "\\").c_str();
    env.strWindowsDir = windows.c_str();
    env.sleep = [this](DWORD ms) { sleeps.push_back(ms); };
  }

  // shell + payload, written through the one trailer writer
  void MakeInstaller(const std::string& uiScript, const std::string& package, bool compress) {
    WriteAll(dir / "ui", uiScript);
    WriteAll(dir / "pkg", package);
    CFile out, pkg, ui;
    ASSERT_TRUE(out.Open(env.strSelf, CFile::modeCreate | CFile::modeReadWrite));
    out.Write(shell.data(), shell.size());
    ASSERT_TRUE(pkg.Open((dir / "pkg").c_str(), CFile::modeRead));
    ASSERT_TRUE(ui.Open((dir / "ui").c_str(), CFile::modeRead));
    ASSERT_EQ(payload::AppendPayload(out, pkg, compress, ui, compress), payload::kWriteOk);
  }

  // Only an empty folder can be removed.
  bool TempDirEmpty() {
    if (!platform::RemoveDir(temp)) return false;
    platform::MakeDirectory(temp);
    return true;
  }

  tarntest::TempDir dir;
  std::string windows, temp;
  stuExtractEnv env;
  std::vector<DWORD> sleeps;
  // With the texts every shell holds, so that a copy of it left under
  // tsu11.exe counts as an older shell.
  std::string shell = std::string("MZ shell bytes\0\x01\x02", 17) + "TSUIV1.0 \\Unistall.tsu" +
                      std::string(3000, 'S');
  tarntest::BoxRecorder boxes;
  CTarnSetupShellApp app;
};

TEST_F(Extract, WritesBothBlobsAndTheUninstallerCopy) {
  std::string ui = "[PRODUCTNAME]\r\nDemo\r\n" + std::string(500, ';');
  std::string pkg = std::string(20000, 'P') + "end";
  for (bool compress : {true, false}) {
    SCOPED_TRACE(compress);
    MakeInstaller(ui, pkg, compress);
    ASSERT_TRUE(ExtractPayloadTo(app, env));
    EXPECT_EQ(ReadAll(app.m_strUIScriptFile.str()), ui);
    EXPECT_EQ(ReadAll(app.m_strPackageFile.str()), pkg);
    EXPECT_EQ(app.m_strUninstaller.str(), windows + "\\tsu11-" + kShellVersionText + ".exe");
    EXPECT_EQ(ReadAll(app.m_strUninstaller.str()), shell);
    EXPECT_EQ(ReadAll(windows + "\\tsu11.exe"), shell);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(sleeps.empty());
    // Temporary names come from the platform with the "tst" prefix.
    for (const CString* path : {&app.m_strUIScriptFile, &app.m_strPackageFile}) {
      std::string p = path->str();
      EXPECT_EQ(p.substr(0, temp.size() + 4), temp + "\\tst") << p;
      platform::RemoveFile(p);
    }
    app.m_strUIScriptFile.Empty();
    app.m_strPackageFile.Empty();
  }
}

// Signing the built installer points the shell's header at a table past
// the copy's end; a shell signed before the build keeps its own signature.
TEST_F(Extract, UninstallerCopyOfASignedInstallerClaimsNoSignature) {
  tarntest::PeHeaders pe;
  pe.secOffset = 1024;
  pe.secSize = 16;
  std::string signedShell = pe.Bytes() + std::string(16, 'c');
  tarntest::PutLe32(signedShell, 1024, 16);
  struct Case {
    std::string shell;
    bool signInstaller, cleared;
  } cases[] = {
      {tarntest::PeHeaders().Bytes() + "code", true, true},
      {signedShell, false, false},
  };
  for (const Case& c : cases) {
    shell = c.shell;
    MakeInstaller("[PRODUCTNAME]\r\nDemo\r\n", std::string(3000, 'p'), true);
    if (c.signInstaller) {
      std::string bytes = ReadAll(env.strSelf.str()) + std::string(3, '\0');
      std::string table(64, 'C');
      tarntest::PutLe32(table, 0, 64);
      tarntest::PutLe32(bytes, pe.secEntry(), static_cast<uint32_t>(bytes.size()));
      tarntest::PutLe32(bytes, pe.secEntry() + 4, 64);
      WriteAll(env.strSelf.str(), bytes + table);
    }
    ASSERT_TRUE(ExtractPayloadTo(app, env));
    std::string copy = ReadAll(app.m_strUninstaller.str());
    ASSERT_EQ(shell.size(), copy.size());
    std::string want = shell;
    if (c.cleared) {
      tarntest::PutLe32(want, pe.checkSum(), 0);
    }
    EXPECT_EQ(want, copy);
    EXPECT_TRUE(boxes.calls().empty());
    platform::RemoveFile(windows + "\\tsu11.exe");  // not an older shell, so kept next time
    platform::RemoveFile(app.m_strUIScriptFile.str());
    platform::RemoveFile(app.m_strPackageFile.str());
  }
}

namespace {
// A file with a VS_VERSION_INFO block as the resource compiler lays it out:
// header, key, the fixed part, then the string tables (here just a name).
std::string VersionedFile(uint64_t version, const std::string& name = "Tarn Setup") {
  auto wide = [](const std::string& a) {
    std::string w;
    for (char c : a) w += std::string{c, '\0'};
    return w;
  };
  std::string block(6, '\0');
  block += wide("VS_VERSION_INFO") + std::string(2, '\0');
  while (block.size() % 4) block += '\0';
  std::string fixed(52, '\0');
  tarntest::PutLe32(fixed, 0, 0xFEEF04BDu);
  tarntest::PutLe32(fixed, 8, static_cast<uint32_t>(version >> 32));
  tarntest::PutLe32(fixed, 12, static_cast<uint32_t>(version));
  block += fixed + wide(name);
  block[0] = static_cast<char>(block.size() & 0xFF);
  block[1] = static_cast<char>(block.size() >> 8);
  return "MZ" + std::string(62, 'x') + block + "tail";
}
}  // namespace

TEST(ShellIdentity, VersionOnlyFromAWholeBlockThatNamesUs) {
  using payload::ShellKind;
  const uint64_t v = (uint64_t{1} << 48) | (uint64_t{7} << 32) | 3;
  payload::ShellIdentity id = payload::IdentifyShell(VersionedFile(v));
  EXPECT_EQ(id.kind, ShellKind::kVersioned);
  EXPECT_EQ(id.version, v);
  EXPECT_EQ(payload::IdentifyShell(VersionedFile(v, "Other Tool")).kind, ShellKind::kForeign);
  const std::string whole = VersionedFile(v);
  // Every cut inside the block leaves no version, and reads nothing past the end.
  for (size_t cut = 64; cut < whole.size() - 4; cut += 7)
    EXPECT_NE(payload::IdentifyShell(whole.substr(0, cut)).kind, ShellKind::kVersioned) << cut;
  EXPECT_EQ(payload::IdentifyShell("MZ TSUIV1.0 C:\\x\\Unistall.tsu").kind, ShellKind::kOlderShell);
  EXPECT_EQ(payload::IdentifyShell("MZ some other program").kind, ShellKind::kForeign);
  EXPECT_EQ(payload::IdentifyShell("").kind, ShellKind::kForeign);
}

// What lies under tsu11.exe: an older shell is replaced, a newer one and a
// file not ours are kept (the latter said); the entry's copy is always
// this version's.
TEST_F(Extract, TheUninstallerCopiesNeverGoBackAVersion) {
  const std::string legacy = windows + "\\tsu11.exe";
  const uint64_t newer = kShellVersion + (uint64_t{1} << 48);
  const uint64_t older = (uint64_t{1} << 48);
  struct Case {
    std::string there;
    bool replaced;
    bool told;
  } cases[] = {
      {"MZ older shell TSUIV1.0 \\Unistall.tsu", true, false},
      {VersionedFile(older), true, false},
      {VersionedFile(kShellVersion), false, false},
      {VersionedFile(newer), false, false},
      {"MZ some other program", false, true},
  };
  MakeInstaller("[PRODUCTNAME]\r\nDemo\r\n", "pkg", true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.there.substr(0, 20));
    WriteAll(legacy, c.there);
    boxes.Clear();
    ASSERT_TRUE(ExtractPayloadTo(app, env));
    EXPECT_EQ(ReadAll(app.m_strUninstaller.str()), shell);
    EXPECT_EQ(ReadAll(legacy), c.replaced ? shell : c.there);
    EXPECT_EQ(boxes.calls().size(), c.told ? 1u : 0u);
    if (c.told) EXPECT_NE(boxes.texts()[0].find(legacy), std::string::npos);
    platform::RemoveFile(app.m_strUIScriptFile.str());
    platform::RemoveFile(app.m_strPackageFile.str());
  }
  // The entry's own copy of another build is replaced by this one.
  WriteAll(app.m_strUninstaller.str(), "MZ some other program");
  ASSERT_TRUE(ExtractPayloadTo(app, env));
  EXPECT_EQ(ReadAll(app.m_strUninstaller.str()), shell);
  platform::RemoveFile(app.m_strUIScriptFile.str());
  platform::RemoveFile(app.m_strPackageFile.str());
  EXPECT_TRUE(TempDirEmpty());
}

TEST_F(Extract, NoPayloadEndsSilentlyAndWritesNothing) {
  for (const std::string& tail : {std::string(""), std::string("tspsev1.0\x09"), std::string("TSPSEV1.0\x08")}) {
    WriteAll(env.strSelf.str(), shell + tail);
    EXPECT_FALSE(ExtractPayloadTo(app, env));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(TempDirEmpty());
    EXPECT_FALSE(platform::Access(windows + "\\tsu11.exe"));
  }
}

TEST_F(Extract, BlobThatDoesNotInflateGetsFiveAttemptsThenTheMessage) {
  MakeInstaller("[PRODUCTNAME]\r\n" + std::string(4000, 'x'), std::string(9000, 'p'), true);
  // Spoil blob 1's deflate data, keeping its zlib header and sizes.
  std::string bytes = ReadAll(env.strSelf.str());
  uint32_t s1 = static_cast<uint8_t>(bytes[bytes.size() - 14]) | static_cast<uint8_t>(bytes[bytes.size() - 13]) << 8;
  size_t start = bytes.size() - 18 - s1;
  for (size_t i = start + 2; i < start + s1 - 4; ++i) bytes[i] ^= 0x5A;
  WriteAll(env.strSelf.str(), bytes);

  EXPECT_FALSE(ExtractPayloadTo(app, env));
  EXPECT_EQ(sleeps, std::vector<DWORD>(5, 1000));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{kNoTempFileText});
  EXPECT_TRUE(app.m_strUIScriptFile.IsEmpty());
  EXPECT_TRUE(TempDirEmpty()) << "failed attempts leave no files";
}

TEST_F(Extract, UninstallerThatCannotBeWrittenIsTold) {
  MakeInstaller("[PRODUCTNAME]\r\nDemo\r\n", "package", false);
  env.strWindowsDir = (dir / "no such folder").c_str();
  EXPECT_FALSE(ExtractPayloadTo(app, env));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{kNoTempFileText});
  // Both blobs were written and stay recorded, for the destructor.
  EXPECT_FALSE(app.m_strPackageFile.IsEmpty());
}

class UIScript : public ::testing::Test {
 protected:
  struct Result {
    std::string name, dir, folder, licence;
  };
  Result Read(const std::string& text) {
    WriteAll(dir / "ui.ini", text);
    Result r;
    CString name, target, folder, licence;
    reader_ok = CUIScriptReader((dir / "ui.ini").c_str()).Read(name, target, folder, licence);
    return {name.str(), target.str(), folder.str(), licence.str()};
  }
  std::string ProgramFiles() {
    std::string p;
    return platform::SpecialFolderPath(platform::kFolderProgramFiles, &p) ? p : "C:\\Program Files";
  }
  tarntest::TempDir dir;
  tarntest::BoxRecorder boxes;
  BOOL reader_ok = FALSE;
};

TEST_F(UIScript, Sections) {
  std::string pf = ProgramFiles();
  struct Case {
    std::string text, name, dir, folder, licence;
  } cases[] = {
      {"[PRODUCTNAME]\r\n;comment\r\nDemo\r\n", "Demo", pf, "", ""},
      {"[TARGETDIR]\r\n<DEFAULT>\\Apps\\Demo\r\n", "", pf + "\\APPS\\DEMO", "", ""},
      {"[targetdir]\r\nd:\\apps\\<default>\r\n", "", "D:\\APPS\\" + pf, "", ""},
      {"[TARGETFOLDER]\r\n演示 <Default> Folder\r\n", "", pf, "演示  FOLDER", ""},
      {"[LICENCE]\r\nfirst\r\n\r\n;kept\r\nsecond\r\n[OTHER]\r\nnot\r\n", "", pf, "",
       "first\r\n\r\n;kept\r\nsecond\r\n"},
      {"[PRODUCTNAME]\r\nTarn 演示程序\r\n[TARGETDIR]\r\nC:\\Tarn\\演示\r\n", "Tarn 演示程序", "C:\\TARN\\演示", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Result r = Read(c.text);
    EXPECT_TRUE(reader_ok);
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.dir, c.dir);
    EXPECT_EQ(r.folder, c.folder);
    EXPECT_EQ(r.licence, c.licence);
  }
  EXPECT_TRUE(boxes.calls().empty());
}

// The Uninstall entry's sections: each optional, each its first line, and
// a script that has them reads as before for the wizard.
TEST_F(UIScript, EntryDetails) {
  struct Case {
    std::string text, version, publisher, url;
  } cases[] = {
      {"[PRODUCTNAME]\r\nDemo\r\n", "", "", ""},
      {"[PRODUCTNAME]\r\nDemo\r\n[VERSION]\r\n1.2.3\r\nignored\r\n[PUBLISHER]\r\n塔恩软件\r\n"
       "[URL]\r\nhttps://tarn.example.org/demo\r\n",
       "1.2.3", "塔恩软件", "https://tarn.example.org/demo"},
      {"[url]\r\n;comment\r\nhttp://x/\r\n[Version]\r\n", "", "", "http://x/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Read(c.text).name, c.text.find("Demo") != std::string::npos ? "Demo" : "");
    EXPECT_TRUE(reader_ok);
    CString version = "x", publisher = "x", url = "x";
    CUIScriptReader((dir / "ui.ini").c_str()).ReadDetails(version, publisher, url);
    EXPECT_EQ(version.str(), c.version);
    EXPECT_EQ(publisher.str(), c.publisher);
    EXPECT_EQ(url.str(), c.url);
  }
  CTarnSetupShellApp app;
  app.m_strUIScriptFile = (dir / "ui.ini").c_str();
  LoadUIScriptInto(app);
  EXPECT_EQ(app.m_strURL.str(), "http://x/");
  app.m_strUIScriptFile.Empty();  // the test's file, not a temporary one of the app
  EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(UIScript, NoPathIsToldAndLeavesTheFields) {
  CString name = "keep", target = "keep", folder = "keep", licence = "keep";
  EXPECT_FALSE(CUIScriptReader("").Read(name, target, folder, licence));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"没有指定Setup UI Script File!"});
  EXPECT_EQ(name.str() + target.str() + folder.str() + licence.str(), "keepkeepkeepkeep");
}

TEST(WelcomeText, NamesTheProductTwiceAfterFourBlanks) {
  std::string text = FormatWelcomeText("Demo").str();
  EXPECT_EQ(text.rfind("    欢迎进入 Demo 安装程序。", 0), 0u) << text;
  EXPECT_NE(text.find("Demo", 20), std::string::npos);
  EXPECT_EQ(FormatWelcomeText("").str().rfind("    欢迎进入  安装程序。", 0), 0u);
}

TEST(PageRules, InstallPathProblems) {
  struct Case {
    const char* path;
    const char* problem;
  } cases[] = {
      {"", "请选择安装路径!"},
      {"\\\\server\\share", "不支持网络安装!\n"},
      {"apps\\demo", "安装路径书写不正确,请写入全部路径!\n例如'C:\\Program Files'"},
      {"\\apps", "安装路径书写不正确,请写入全部路径!\n例如'C:\\Program Files'"},
      {"\\\\server\\c:\\x", nullptr},  // a colon anywhere goes to the directory check
      {"C:\\Program Files\\Demo\\", nullptr},
      {"D:", nullptr},
  };
  for (const Case& c : cases) {
    const char* got = InstallPathProblem(c.path);
    EXPECT_EQ(std::string(got ? got : "(none)"), std::string(c.problem ? c.problem : "(none)")) << c.path;
  }
}

TEST(PageRules, LicenceGatesNext) {
  EXPECT_EQ(LicenceButtons(1), DWORD(kWizBack));
  EXPECT_EQ(LicenceButtons(0), DWORD(kWizBack | kWizNext));
  EXPECT_FALSE(LicenceMayLeave(TRUE, 1));
  EXPECT_TRUE(LicenceMayLeave(TRUE, 0));
  EXPECT_TRUE(LicenceMayLeave(FALSE, 1));  // Back always
  EXPECT_EQ(TargetDirInfoText("Demo").str(), "    安装程序将把 Demo 安装到以下路径中。\n    点击'下一步'将开始安装。");
}

TEST(ProgressSteps, InstallAndUninstallMessages) {
  struct Case {
    stuProgressStep step;
    const char* text;
    bool setRange;
    int rangeMax, pos;
    bool finished;
  } cases[] = {
      {InstallProgressStep(WM_SETUP_INFO_BEGIN, 65539), "准备读取安装信息...", true, 3, 0, false},
      {InstallProgressStep(WM_SETUP_INFO_STEP, 2), "正在读取安装信息...", false, 0, 3, false},
      {InstallProgressStep(WM_SETUP_INFO_END, 3), "完成读取安装信息...", false, 0, 0, false},
      {InstallProgressStep(WM_SETUP_DATA_BEGIN, 0), "准备读取安装数据...", true, 0, 0, false},
      {InstallProgressStep(WM_SETUP_DATA_STEP, 0), "正在读取安装数据...", false, 0, 1, false},
      {InstallProgressStep(WM_SETUP_DATA_END, 0), "完成读取安装数据...", false, 0, 0, true},
      {UninstallProgressStep(WM_UNINST_START, 7), "准备卸载文件...", true, 7, 0, false},
      {UninstallProgressStep(WM_UNINST_STEP, 6), "正在卸载文件...", false, 0, 7, false},
      {UninstallProgressStep(WM_UNINST_DONE, 7), "完成卸载文件...", false, 0, 0, true},
      {UninstallProgressStep(WM_UNINST_FAILED, 0), "卸载文件出错!!!", false, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(c.step.handled);
    EXPECT_STREQ(c.step.text, c.text);
    EXPECT_EQ(c.step.setRange, c.setRange);
    if (c.setRange) {
      EXPECT_EQ(c.step.rangeMax, c.rangeMax);
    }
    EXPECT_EQ(c.step.pos, c.pos);
    EXPECT_EQ(c.step.finished, c.finished);
  }
  EXPECT_FALSE(InstallProgressStep(WM_UNINST_START, 1).handled);
  EXPECT_FALSE(UninstallProgressStep(WM_SETUP_DATA_END, 1).handled);
}

bool Eventually(const std::function<bool()>& cond) {
  for (int i = 0; i < 400; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// The worker's two places to be held: a checkpoint, then the hand-over of
// the finish page; `passed` counts those it has passed.
std::thread GatedWorker(CInstallGate& gate, std::atomic<int>& passed) {
  return std::thread([&] {
    gate.Checkpoint();
    ++passed;
    gate.WaitForHandOver();
    ++passed;
  });
}

TEST(InstallGate, PausedWorkerWaitsAtItsNextCheckpoint) {
  CInstallGate gate;
  std::atomic<int> passed{0};
  gate.Pause();
  std::thread worker = GatedWorker(gate, passed);
  EXPECT_TRUE(Eventually([&] { return gate.IsHeld(); }));
  EXPECT_EQ(passed, 0);
  gate.Resume();
  EXPECT_TRUE(Eventually([&] { return passed == 1 && gate.IsHeld(); }));
  // The last message taken while a question is open: still held.
  gate.Pause();
  gate.HandOver();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(passed, 1);
  gate.Resume();
  worker.join();
  EXPECT_EQ(passed, 2);
  EXPECT_FALSE(gate.IsHeld());
}

TEST(InstallGate, AQuitLetsTheWorkerGoOnToUndo) {
  CInstallGate gate;
  gate.Checkpoint();  // returns at once
  EXPECT_FALSE(gate.IsHeld());
  // Held by the question, then let go by the quit: at a checkpoint and
  // while it waits for the hand-over of the finish page.
  std::atomic<int> passed{0};
  gate.Pause();
  std::thread worker = GatedWorker(gate, passed);
  EXPECT_TRUE(Eventually([&] { return gate.IsHeld(); }));
  gate.Quit();
  worker.join();
  EXPECT_EQ(passed, 2);
  EXPECT_TRUE(gate.IsQuit());
  gate.Checkpoint();  // after a quit, never held again
}

}  // namespace
