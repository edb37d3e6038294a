// What only the sandbox has: its registry file, its .lnk files read by
// another reader, and its record of started programs and libraries. Each
// test gets a sandbox root of its own.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/posix/host_path.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "platform_test.h"
#include "support/support.h"

namespace {
using platform::RegKey;

std::string ReadHost(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteHost(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = platform::SandboxRoot();
    char tmpl[] = "/tmp/tarn-sandbox-test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    root_ = tmpl;
    platform::SetSandboxRoot(root_);
  }
  void TearDown() override {
    platform::SetSandboxRoot(old_);
    std::filesystem::remove_all(root_);
  }
  std::string Store() const { return ReadHost(root_ + "/registry.reg"); }
  static std::string Value(const std::string& key, const std::string& name,
                           DWORD root = platform::kRegCurrentUser) {
    RegKey k;
    std::string v = "<none>";
    if (k.Open(RegKey::Root(root), key, platform::kRegRead) == platform::kRegOk)
      k.QueryString(name, &v);
    return v;
  }
  std::string old_, root_;
};

TEST_F(Sandbox, RegistryFileIsReadableUtf8Text) {
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Create(RegKey::Root(platform::kRegCurrentUser), "Software\\产品"));
  ASSERT_EQ(platform::kRegOk, k.SetString("Path", "C:\\a \"b\""));
  ASSERT_EQ(platform::kRegOk, k.SetString("", "默认"));
  ASSERT_EQ(platform::kRegOk, k.SetString("Lines", "one\ntwo"));
  EXPECT_EQ(
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\Software]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n\n"
      "[HKEY_CURRENT_USER\\Software]\n\n"
      "[HKEY_CURRENT_USER\\Software\\\xE4\xBA\xA7\xE5\x93\x81]\n"
      "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n"
      "@=\"\xE9\xBB\x98\xE8\xAE\xA4\"\n"
      "\"Lines\"=\"one\\ntwo\"\n",
      Store());
  EXPECT_EQ("one\ntwo", Value("software\\产品", "lines"));
  // A key name cannot hold a line break: it would end the key's line.
  RegKey bad;
  EXPECT_NE(platform::kRegOk, bad.Create(RegKey::Root(platform::kRegCurrentUser), "Bad\nName"));
  EXPECT_EQ("C:\\a \"b\"", Value("Software\\产品", "Path"));
}

// DWORDs are lines as regedit writes them, and such lines read back as
// DWORDs.
TEST_F(Sandbox, DwordsAreRegeditLines) {
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Create(RegKey::Root(platform::kRegCurrentUser), "Software\\D"));
  ASSERT_EQ(platform::kRegOk, k.SetDword("EstimatedSize", 300));
  EXPECT_NE(std::string::npos, Store().find("[HKEY_CURRENT_USER\\Software\\D]\n\"EstimatedSize\"=dword:0000012c\n"));
  WriteHost(root_ + "/registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\D]\n\"N\"=dword:0000000f\n");
  DWORD v = 0;
  EXPECT_EQ(platform::kRegOk, k.QueryDword("n", &v));
  EXPECT_EQ(15u, v);
}

TEST_F(Sandbox, RegistryFileWrittenByAnotherProcessIsRead) {
  WriteHost(root_ + "/registry.reg",
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other\\Deep]\r\n"
            "\"Name\"=\"\xE5\x80\xBC\"\r\n");
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Open(RegKey::Root(platform::kRegLocalMachine), "SOFTWARE\\other",
                                     platform::kRegRead));
  std::string n;
  EXPECT_EQ(platform::kRegOk, k.EnumKey(0, &n));
  EXPECT_EQ("Deep", n);
  RegKey deep;
  ASSERT_EQ(platform::kRegOk, deep.Open(k, "Deep", platform::kRegRead));
  std::string v;
  EXPECT_EQ(platform::kRegOk, deep.QueryString("name", &v));
  EXPECT_EQ("值", v);
}

TEST_F(Sandbox, DamagedRegistryFileNeverStopsTheRegistry) {
  const std::string inputs[] = {
      "",
      std::string("\0\0\0\xff\xfe", 5),
      "not a registry",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Unclosed\n\"a\"=\"b\"\n",
      "REGEDIT4\n\"before\"=\"any key\"\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"unterminated=\"x\n\"a\"=\"b\\\n\"c\"\n\"d\"=\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"x\"=hex:01,02,\\\n",
      "REGEDIT4\n[NOT_A_ROOT\\K]\n\"x\"=\"y\"\n[]\n[\\]\n[-]\n[-HKEY_CURRENT_USER]\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\\xff\xfe\\\x81]\n\"\x81\"=\"\xc3\"\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(100000, 'k') + "]\n",
      "REGEDIT4\n" + std::string(5000, '[') + "\n" + std::string(5000, '"') + "\n",
  };
  for (const std::string& in : inputs) {
    WriteHost(root_ + "/registry.reg", in);
    RegKey root = RegKey::Root(platform::kRegCurrentUser), k;
    std::string s;
    for (DWORD i = 0; root.EnumKey(i, &s) == platform::kRegOk && i < 100; ++i) {
      RegKey sub;
      sub.Open(root, s, platform::kRegRead);
      for (DWORD j = 0; sub.EnumValue(j, &s) == platform::kRegOk && j < 100; ++j) sub.QueryString(s, &s);
    }
    ASSERT_EQ(platform::kRegOk, k.Create(root, "Software\\After")) << in.substr(0, 60);
    ASSERT_EQ(platform::kRegOk, k.SetString("v", "1"));
    EXPECT_EQ("1", Value("Software\\After", "v")) << in.substr(0, 60);
  }
}

TEST_F(Sandbox, EveryRootHoldsKeys) {
  for (DWORD r = platform::kRegClassesRoot; r <= platform::kRegDynData; ++r) {
    RegKey root = RegKey::Root(r), k;
    ASSERT_EQ(platform::kRegOk, k.Create(root, "TarnRoot")) << r;
    ASSERT_EQ(platform::kRegOk, k.SetString("v", std::to_string(r)));
    RegKey again;
    std::string v;
    ASSERT_EQ(platform::kRegOk, again.Open(root, "tarnroot", platform::kRegRead));
    EXPECT_EQ(platform::kRegOk, again.QueryString("V", &v));
    EXPECT_EQ(std::to_string(r), v);
    EXPECT_EQ(platform::kRegOk, root.DeleteSubKey("TarnRoot"));
    EXPECT_NE(platform::kRegOk, k.SetString("v", "gone")) << "a deleted key takes no values";
    // A root holds values of its own.
    ASSERT_EQ(platform::kRegOk, root.SetString("RootValue", "r"));
    EXPECT_EQ(platform::kRegOk, root.QueryString("rootvalue", &v));
    EXPECT_EQ("r", v);
    EXPECT_EQ(platform::kRegOk, root.DeleteValue("RootValue"));
  }
  EXPECT_NE(platform::kRegOk, RegKey().SetString("v", "no handle"));
}

TEST_F(Sandbox, ProcessesDoNotLoseEachOthersValues) {
  const int kChildren = 3, kValues = 15;
  std::vector<pid_t> pids;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      RegKey k;
      int bad = k.Create(RegKey::Root(platform::kRegCurrentUser), "Software\\Shared");
      for (int i = 0; i < kValues; ++i)
        bad |= k.SetString("v" + std::to_string(c) + "_" + std::to_string(i), "x");
      _exit(bad ? 1 : 0);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegKey k;
  ASSERT_EQ(platform::kRegOk, k.Open(RegKey::Root(platform::kRegCurrentUser), "Software\\Shared",
                                     platform::kRegRead));
  std::string n;
  DWORD count = 0;
  while (k.EnumValue(count, &n) == platform::kRegOk) ++count;
  EXPECT_EQ(static_cast<DWORD>(kChildren * kValues), count);
}

TEST_F(Sandbox, CallsAnswerAsIfEachReadTheStoreAfresh) {
  const std::string store = root_ + "/registry.reg";
  // The same calls twice: once as they come, once with a line break added
  // to the store before each, so that every call must parse it again.
  auto run = [&](bool reread) {
    RegKey root = RegKey::Root(platform::kRegCurrentUser), k, sub;
    std::string s;
    const std::vector<std::function<LONG()>> steps = {
        [&] { return root.SetString("RootValue", "r"); },
        [&] { return root.DeleteValue("rootvalue"); },  // the text drops the emptied root
        [&] { return k.Create(root, "Software\\After"); },
        [&] { return root.SetString("RootValue", "again"); },
        [&] { return k.SetString("\x81", "\xff" "bad\x81"); },  // no GBK: replaced in the text
        [&] { return k.QueryString("\x81", &s); },
        [&] { return k.EnumValue(0, &s); },
        [&] { return sub.Create(k, "Sub\\Deeper"); },
        [&] { return k.DeleteSubKey("SUB"); },
        [&] { return sub.SetString("v", "1"); },
        [&] {
          // Another writer, as fast and of the same size.
          std::string text = Store();
          text.replace(text.find("\"v\"=\"1\""), 7, "\"v\"=\"2\"");
          WriteHost(store, text);
          return sub.QueryString("V", &s);
        },
        [&] { return root.DeleteSubKey("software\\after\\sub\\deeper"); },
        [&] { return sub.SetString("v", "3"); },
        [&] { return root.EnumKey(0, &s); },
        [&] { return root.EnumValue(0, &s); },
    };
    std::vector<std::string> out;
    for (const auto& step : steps) {
      if (reread && std::filesystem::exists(store)) WriteHost(store, Store() + "\n");
      s = "-";
      LONG rc = step();
      std::string text = Store();
      while (text.size() > 1 && text.compare(text.size() - 2, 2, "\n\n") == 0) text.pop_back();
      out.push_back(std::to_string(rc) + " " + s + "\n" + text);
    }
    return out;
  };
  const std::vector<std::string> once = run(false);
  std::filesystem::remove(store);
  EXPECT_EQ(once, run(true));
}

TEST_F(Sandbox, RegeditImportsItsFileAndIsRecorded) {
  ASSERT_TRUE(platform::MakeDirectory("C:\\in"));
  {
    RegKey old;
    ASSERT_EQ(platform::kRegOk, old.Create(RegKey::Root(platform::kRegLocalMachine), "Software\\Old\\Sub"));
    ASSERT_EQ(platform::kRegOk, old.SetString("Gone", "1"));
  }
  // ANSI, as regedit reads it.
  WriteHost(platform::HostPath("C:\\in\\产品.reg"),
            "REGEDIT4\r\n\r\n"
            "; a comment\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\产品]\r\n"
            "\"Name\"=\"名称\"\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\Program Files\\\\产品\"\r\n"
            "\"Count\"=dword:00000001\r\n"
            "\"Bytes\"=hex:01,02,\\\r\n  03,04\r\n"
            "[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n"
            "[HKEY_CURRENT_USER\\Software\\X]\r\n"
            "\"Drop\"=\"1\"\r\n"
            "\"Drop\"=-\r\n");
  tarntest::JournalRecorder journal;
  std::string cmd = "regedit /s \"C:\\in\\产品.reg\"";
  ASSERT_TRUE(platform::StartProcess(cmd, true));
  const DWORD lm = platform::kRegLocalMachine;
  EXPECT_EQ("名称", Value("Software\\产品", "name", lm));
  EXPECT_EQ("default", Value("Software\\产品", "", lm));
  EXPECT_EQ("C:\\Program Files\\产品", Value("Software\\产品", "Path", lm));
  EXPECT_EQ("<none>", Value("Software\\产品", "Count", lm)) << "not a string";
  EXPECT_EQ("<none>", Value("Software\\Old\\Sub", "Gone", lm));
  EXPECT_EQ("<none>", Value("Software\\X", "Drop"));
  RegKey x;
  EXPECT_EQ(platform::kRegOk, x.Open(RegKey::Root(platform::kRegCurrentUser), "Software\\X",
                                     platform::kRegRead));
  EXPECT_NE(std::string::npos, Store().find("\"Count\"=dword:00000001\n"));
  EXPECT_NE(std::string::npos, Store().find("\"Bytes\"=hex:01,02,03,04\n"));

  ASSERT_FALSE(journal.events().empty());
  EXPECT_EQ(platform::JournalKind::kProgramStarted, journal.events()[0].kind);
  EXPECT_EQ(cmd, journal.events()[0].path);
  EXPECT_EQ("wait", journal.events()[0].detail);
  std::vector<std::string> log = Lines(ReadHost(root_ + "/actions.log"));
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ(platform::AnsiToUtf8("run\twait\t" + cmd), log[0]);

  // Unquoted, any case; a file that is no REGEDIT4 file changes nothing.
  WriteHost(root_ + "/C/in/second.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"New\"=\"2\"\n");
  WriteHost(root_ + "/C/in/bad.reg", "[HKEY_CURRENT_USER\\Software\\X]\n\"Bad\"=\"3\"\n");
  EXPECT_TRUE(platform::StartProcess("REGEDIT.EXE /S C:\\in\\second.reg ", false));
  EXPECT_TRUE(platform::StartProcess("regedit /s \"C:\\in\\bad.reg\"", false));
  EXPECT_TRUE(platform::StartProcess("regedit /s \"C:\\in\\missing.reg\"", false));
  EXPECT_EQ("2", Value("Software\\X", "New"));
  EXPECT_EQ("<none>", Value("Software\\X", "Bad"));
  log = Lines(ReadHost(root_ + "/actions.log"));
  ASSERT_EQ(4u, log.size());
  EXPECT_EQ("run\t\tREGEDIT.EXE /S C:\\in\\second.reg ", log[1]);
}

TEST_F(Sandbox, ProgramsAreRecordedNotRun) {
  ASSERT_TRUE(platform::MakeDirectory("C:\\My App"));
  WriteHost(root_ + "/C/My App/app.exe", "MZ");
  WriteHost(platform::HostPath("C:\\My App\\程序.exe"), "MZ");
  struct Case {
    std::string cmd;
    bool ok;
  } cases[] = {
      {"\"C:\\My App\\app.exe\" -x", true},
      {"C:\\My App\\app.exe -x", true},  // tried at each space, as Windows does
      {"C:\\My App\\app -x", true},      // ".exe" added
      {"\"C:\\My App\\程序.exe\"", true},
      {"notepad.exe readme.txt", true},  // taken for a program on the search path
      {"C:\\My App\\other.exe", false},
      {"\"C:\\My App\"", false},  // a folder
      {"   ", false},
  };
  tarntest::JournalRecorder journal;
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    EXPECT_EQ(c.ok, platform::StartProcess(c.cmd, false)) << c.cmd;
    if (c.ok) expected.push_back(platform::AnsiToUtf8("run\t\t" + c.cmd));
  }
  EXPECT_EQ(expected, Lines(ReadHost(root_ + "/actions.log")));
  EXPECT_EQ(expected.size(), journal.events().size());
}

TEST_F(Sandbox, LibraryMarkersChooseTheOutcome) {
  ASSERT_TRUE(platform::MakeDirectory("C:\\lib"));
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file
    platform::LibraryCall result;
    const char* detail;
  } cases[] = {
      {"ok.dll", "MZ plain library", platform::LibraryCall::kOk, "DllRegisterServer: ok"},
      {"none.dll", nullptr, platform::LibraryCall::kLoadFailed, "DllRegisterServer: not loaded"},
      {"noentry.dll", "MZ..TARN-NO-ENTRY..", platform::LibraryCall::kNoEntry,
       "DllRegisterServer: no entry point"},
      {"fails.dll", "MZ..TARN-ENTRY-FAILS", platform::LibraryCall::kEntryFailed,
       "DllRegisterServer: failed"},
      {"组件.dll", "", platform::LibraryCall::kOk, "DllRegisterServer: ok"},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    std::string path = std::string("C:\\lib\\") + c.name;
    if (c.content) WriteHost(platform::HostPath(path), c.content);
    tarntest::JournalRecorder journal;
    EXPECT_EQ(c.result, platform::CallLibraryEntry(path, "DllRegisterServer")) << c.name;
    ASSERT_EQ(1u, journal.events().size());
    EXPECT_EQ(path, journal.events()[0].path);
    EXPECT_EQ(c.detail, journal.events()[0].detail);
    expected.push_back(platform::AnsiToUtf8("register\tDllRegisterServer\t" + path));
  }
  EXPECT_EQ(expected, Lines(ReadHost(root_ + "/actions.log")));
}

std::string LnkBytes(const std::string& target, const std::string& dir) {
  platform::ShellLink l;
  l.Create();
  l.SetPath(target);
  l.SetWorkingDirectory(dir);
  l.SetDescription("说明");
  l.SetArguments("-a");
  LONG saved = platform::kHrFail;
  l.Save("C:\\probe.lnk", &saved);
  return saved == platform::kHrOk ? ReadHost(platform::HostPath("C:\\probe.lnk")) : std::string();
}

TEST_F(Sandbox, LnkinfoReadsTheLink) {
  const std::string target = "C:\\程序\\应用.exe", dir = "C:\\程序";
  ASSERT_FALSE(LnkBytes(target, dir).empty());
  std::string out;
  FILE* p = popen(("lnkinfo '" + platform::HostPath("C:\\probe.lnk") + "' 2>&1").c_str(), "r");
  ASSERT_NE(nullptr, p);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  ASSERT_EQ(0, pclose(p)) << out;
  std::string path, workDir;
  for (const std::string& line : Lines(out)) {
    size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    if (line.find("Local path") != std::string::npos) path = line.substr(colon + 2);
    if (line.find("Working directory") != std::string::npos) workDir = line.substr(colon + 2);
  }
  EXPECT_EQ(platform::AnsiToUtf8(target), path) << out;
  EXPECT_EQ(platform::AnsiToUtf8(dir), workDir) << out;
}

TEST_F(Sandbox, DamagedLinksAreReadWithinTheirBytes) {
  const std::string good = LnkBytes("C:\\a\\b.exe", "C:\\a");
  ASSERT_FALSE(good.empty());
  std::string target, dir;
  for (size_t n = 0; n < good.size(); ++n) {
    WriteHost(platform::HostPath("C:\\cut.lnk"), good.substr(0, n));
    bool ok = platform::ShellLink::Read("C:\\cut.lnk", &target, &dir);
    if (n < 0x4C) {
      EXPECT_FALSE(ok) << n;
    }
    // Every byte at its extremes: sizes, offsets and counts out of range.
    for (char b : {'\0', '\x7f', '\xff'}) {
      std::string bad = good;
      bad[n] = b;
      WriteHost(platform::HostPath("C:\\bad.lnk"), bad);
      platform::ShellLink::Read("C:\\bad.lnk", &target, &dir);
    }
  }
}

}  // namespace
#endif
