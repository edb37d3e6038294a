#include "payload/shell_identity.h"

namespace payload {
namespace {

uint32_t Le16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}
uint32_t Le32(const std::string& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

std::string Utf16(const char* ascii, bool withZero) {
  std::string out;
  for (const char* p = ascii; *p; ++p) out += std::string{*p, '\0'};
  if (withZero) out += std::string(2, '\0');
  return out;
}

const uint32_t kFixedSignature = 0xFEEF04BDu;
const size_t kFixedSize = 52;

}  // namespace

ShellIdentity IdentifyShell(const std::string& bytes) {
  ShellIdentity id;
  const std::string key = Utf16("VS_VERSION_INFO", true);
  const std::string product = Utf16(kShellProductName, false);
  for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
    // wLength, wValueLength, wType, then the key.
    if (at < 6) continue;
    const size_t start = at - 6;
    const size_t length = Le16(bytes, start);
    if (length > bytes.size() - start) continue;
    size_t fixed = at + key.size();
    fixed = (fixed + 3) & ~size_t{3};
    if (fixed + kFixedSize > start + length) continue;
    if (Le32(bytes, fixed) != kFixedSignature) continue;
    if (bytes.substr(start, length).find(product) == std::string::npos) continue;
    id.kind = ShellKind::kVersioned;
    id.version = static_cast<uint64_t>(Le32(bytes, fixed + 8)) << 32 | Le32(bytes, fixed + 12);
    return id;
  }
  if (bytes.find("TSUIV1.0") != std::string::npos && bytes.find("\\Unistall.tsu") != std::string::npos)
    id.kind = ShellKind::kOlderShell;
  return id;
}

}  // namespace payload
