// Arbitrary bytes as REGEDIT4 text: as an imported file the tree it makes
// writes text that reads back to itself; as the sandbox's store file the
// registry calls work on whatever could be read of it.
#include <sys/stat.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "platform/fs.h"
#include "platform/posix/reg_tree.h"
#include "platform/registry.h"
#include "ram_dir.h"

namespace {

std::string g_root;

void Cleanup() {
  std::remove((g_root + "/registry.reg").c_str());
  std::remove((g_root + "/registry.lock").c_str());
  rmdir((g_root + "/C").c_str());
  rmdir(g_root.c_str());
}

void Setup() {
  g_root = RamDir("fuzz_registry");
  platform::SetSandboxRoot(g_root);
  std::atexit(Cleanup);
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  const std::string text(reinterpret_cast<const char*>(data), size);

  platform::RegTree tree;
  if (tree.Apply(text)) {
    const std::string written = tree.Text();
    platform::RegTree again;
    Check(again.Apply(written));
    Check(again.Text() == written);
  }

  FILE* f = std::fopen((g_root + "/registry.reg").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  using platform::RegKey;
  for (DWORD r : {platform::kRegCurrentUser, platform::kRegLocalMachine}) {
    RegKey root = RegKey::Root(r);
    std::string name, value;
    for (DWORD i = 0; i < 16 && root.EnumKey(i, &name) == platform::kRegOk; ++i) {
      RegKey k;
      Check(k.Open(root, name, platform::kRegRead) == platform::kRegOk);
      for (DWORD j = 0; j < 16 && k.EnumValue(j, &name) == platform::kRegOk; ++j)
        k.QueryString(name, &value);
    }
  }
  RegKey k;
  Check(k.Create(RegKey::Root(platform::kRegCurrentUser), "Software\\Fuzz") == platform::kRegOk);
  Check(k.SetString("v", "\x81") == platform::kRegOk);
  std::string v;
  Check(k.QueryString("v", &v) == platform::kRegOk);
  return 0;
}
