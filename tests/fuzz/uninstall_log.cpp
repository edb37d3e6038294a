// Arbitrary bytes as an uninstall log, read by the uninstaller and by the
// merge of a second install, inside a private sandbox: lines become
// deletions, so they must never reach outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "afx/file.h"
#include "engine/setup_package.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "ram_dir.h"

namespace {
const char kDir[] = "C:\\fuzz";
const char kLog[] = "C:\\fuzz\\Unistall.tsu";

void Write(const char* path, const uint8_t* data, size_t size) {
  CFile f;
  if (f.Open(path, CFile::modeCreate | CFile::modeWrite)) f.Write(data, size);
}

std::string g_root;

void Cleanup() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

struct Setup {
  Setup() {
    g_root = RamDir("fuzz_uninstall_log");
    std::atexit(Cleanup);
    platform::SetSandboxRoot(g_root);
    platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup once;
  platform::MakeDirectory(kDir);
  Write("C:\\fuzz\\a.txt", reinterpret_cast<const uint8_t*>("a"), 1);
  Write(kLog, data, size);
  CSetupPackage package(nullptr, kDir, nullptr, nullptr);
  if (size && (data[0] & 1)) {
    package.AddUninstallFile("C:\\fuzz\\a.txt");
    package.WriteUninstallInfo(kDir, "Fuzz", nullptr, "C:\\WINDOWS\\tsu11.exe");
  } else {
    package.ProcessUninstallLog(kLog);
  }
  return 0;
}
