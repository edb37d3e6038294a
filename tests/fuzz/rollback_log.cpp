// Arbitrary bytes as a rollback log left by a killed install, recovered
// inside a private sandbox: records become deletions and restores, so they
// must never reach outside it, and the slot must end empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include "afx/file.h"
#include "engine/rollback_journal.h"
#include "platform/fs.h"
#include "platform/msgbox.h"
#include "ram_dir.h"

namespace {
const char kFolder[] = "C:\\rollback";

std::string g_root;

void Cleanup() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

struct Setup {
  Setup() {
    g_root = RamDir("fuzz_rollback_log");
    std::atexit(Cleanup);
    platform::SetSandboxRoot(g_root);
    platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
    SetRollbackFolder(kFolder);
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup once;
  std::vector<rollback::Record> records;
  bool damaged = false;
  if (rollback::ParseLog(data, size, &records, &damaged)) {
    // What was read back encodes to the bytes it came from.
    std::string again(rollback::kMagic, rollback::kMagicSize);
    for (const auto& r : records) again += rollback::EncodeRecord(r);
    if (again.size() > size || again.compare(0, again.size(), reinterpret_cast<const char*>(data), again.size()) != 0)
      std::abort();
    if (!damaged && again.size() != size) std::abort();
  }
  platform::MakeDirectory(kFolder);
  const std::string slot = rollback::SlotPath(kFolder, 1);
  CFile f;
  if (f.Open(slot.c_str(), CFile::modeCreate | CFile::modeWrite)) f.Write(data, size);
  f.Close();
  RecoverRollbacks();
  if (platform::Access(slot)) std::abort();
  return 0;
}
