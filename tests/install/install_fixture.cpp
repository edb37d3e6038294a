#include "install_fixture.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "engine/install_runner.h"

namespace tarntest {

std::string RegString(DWORD root, const std::string& key, const char* name) {
  platform::RegKey k;
  std::string v;
  if (k.Open(platform::RegKey::Root(root), key, platform::kRegRead) != 0 || k.QueryString(name, &v) != 0)
    return "<none>";
  return v;
}

InstallTest::InstallTest() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  key = std::string("TarnTest ") + info->name();
  app.m_strProductName = key;
  app.m_strTargetDir = target.path();
  app.m_strUninstaller = "C:\\WINDOWS\\tsu11.exe";
}

InstallTest::~InstallTest() { RemoveUninstallKey(key.c_str()); }

void InstallTest::Build(const std::vector<Item>& items, const std::string& name) {
  std::string script;
  for (size_t i = 0; i < items.size(); ++i) {
    const Item& it = items[i];
    std::string src = dir / ("src" + std::to_string(i));
    if (!(it.flags & IF_NO_DATA)) {
      ASSERT_TRUE(WriteFileBytes(src, it.content));
      ASSERT_TRUE(platform::SetFileTimes(src, kSourceCreate, kSourceModify, kSourceAccess));
    }
    script += "[FILEINFO]\r\nSOURCE_PATH=" + src + "\r\nTARGET_PATH=" + it.target +
              "\r\nINSTALL_FLAG=" + std::to_string(it.flags) + "\r\nOS_VERSION=" +
              std::to_string(it.os) + "\r\nFILE_PROTECTED=" + std::to_string(it.prot) + "\r\n";
    if (!it.shortcut.empty()) script += "SHORTCUT_PATH=" + it.shortcut + "\r\n";
    if (!it.command.empty()) script += "COMMAND_LINE=" + it.command + "\r\n";
    script += "\r\n";
  }
  ASSERT_TRUE(WriteFileBytes(dir / "setup.ini", script));
  package = dir / name;
  BoxRecorder quiet;  // items that do not shrink are noted, not failures
  CSetupPackage p(package.c_str(), "", (dir / "setup.ini").c_str(), nullptr);
  ASSERT_TRUE(p.MakePacket());
}

void InstallTest::Install(const std::string& name) {
  platform::ComScope com;  // as the install worker does
  CInstallRunner::Install((dir / name).c_str(), reinterpret_cast<HWND>(0x5150));
}

BOOL InstallTest::Uninstall() {
  platform::ComScope com;
  return CInstallRunner::Uninstall(LogPath().c_str(), reinterpret_cast<HWND>(0x5150));
}

std::string InstallTest::KeyLine() const {
  return "HKEY_LOCAL_MACHINE\\" + UninstallKeyPath(key.c_str()).str();
}

std::string InstallTest::ExpectedLog(const std::vector<std::string>& files,
                                     const std::vector<std::string>& registry) const {
  std::string log = "TSUIV1.0\r\n";
  for (const auto& f : files) log += f + "\r\n";
  log += "[DeleteRegistry]\r\n";
  for (const auto& r : registry) log += r + "\r\n";
  return log;
}

}  // namespace tarntest
