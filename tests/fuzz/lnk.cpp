// Arbitrary bytes as a .lnk file for the sandbox's shell link reader.
#include <sys/stat.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "platform/fs.h"
#include "platform/shell_link.h"

namespace {

std::string g_root;

void Cleanup() {
  std::remove((g_root + "/C/in.lnk").c_str());
  rmdir((g_root + "/C").c_str());
  rmdir(g_root.c_str());
}

void Setup() {
  char tmpl[] = "/tmp/fuzz_lnk.XXXXXX";
  if (!mkdtemp(tmpl)) std::abort();
  g_root = tmpl;
  platform::SetSandboxRoot(g_root);
  mkdir((g_root + "/C").c_str(), 0700);
  std::atexit(Cleanup);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  FILE* f = std::fopen((g_root + "/C/in.lnk").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string target, dir;
  platform::ShellLink::Read("C:\\in.lnk", &target, &dir);
  return 0;
}
