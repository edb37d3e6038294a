// Arbitrary bytes as a .lnk file for the sandbox's shell link reader, parsed
// in memory: ShellLink::Read only reads the file before the same parser.
#include <cstdint>
#include <string>
#include "platform/posix/shell_link_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string target, dir;
  platform::ParseShellLink(std::string(reinterpret_cast<const char*>(data), size), &target, &dir);
  return 0;
}
