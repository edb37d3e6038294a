#include "platform_test.h"
#include <atomic>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tarntest {

std::string UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
#ifdef _WIN32
  unsigned long pid = GetCurrentProcessId();
#else
  unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  return prefix + std::to_string(pid) + "_" + std::to_string(counter++);
}

void DeleteKeyTree(platform::RegKey& parent, const std::string& name) {
  platform::RegKey k;
  if (k.Open(parent, name, platform::kRegAllAccess) == platform::kRegOk) {
    std::string child;
    // Always index 0: each pass removes the first subkey.
    while (k.EnumKey(0, &child) == platform::kRegOk) {
      DeleteKeyTree(k, child);
      platform::RegKey probe;
      if (probe.Open(k, child, platform::kRegRead) == platform::kRegOk) break;  // stuck
    }
    k.Close();
  }
  parent.DeleteSubKey(name);
}

}  // namespace tarntest
