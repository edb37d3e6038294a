// What a file under the uninstaller's name is: a shell of ours with its
// version, an older shell (before shells carried a version), or something
// else that is not ours to replace.
#pragma once
#include <cstdint>
#include <string>

namespace payload {

enum class ShellKind { kVersioned, kOlderShell, kForeign };

struct ShellIdentity {
  ShellKind kind = ShellKind::kForeign;
  uint64_t version = 0;  // the fixed file version, major in the top 16 bits
};

// The UTF-16 product name our VERSIONINFO carries.
inline constexpr char kShellProductName[] = "Tarn Setup";

// From a file's bytes: a VS_VERSION_INFO block whose fixed part is whole and
// whose block names kShellProductName; else the texts every older shell
// holds (its log's first line and name); else foreign.
ShellIdentity IdentifyShell(const std::string& bytes);

}  // namespace payload
