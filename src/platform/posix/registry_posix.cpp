// Placeholder: the sandbox registry is being written.
#include "platform/registry.h"
namespace platform {
RegKey::~RegKey() { Close(); }
RegKey::RegKey(RegKey&& o) noexcept : h_(o.h_), owned_(o.owned_) { o.h_ = 0; }
RegKey& RegKey::operator=(RegKey&& o) noexcept { h_ = o.h_; owned_ = o.owned_; o.h_ = 0; return *this; }
RegKey RegKey::Root(DWORD root) { RegKey k; k.h_ = root; return k; }
void RegKey::Close() { h_ = 0; }
LONG RegKey::Create(const RegKey&, const std::string&) { return kRegAccessDenied; }
LONG RegKey::Open(const RegKey&, const std::string&, DWORD) { return kRegNotFound; }
LONG RegKey::SetString(const std::string&, const std::string&) { return kRegAccessDenied; }
LONG RegKey::QueryString(const std::string&, std::string*) const { return kRegNotFound; }
LONG RegKey::EnumKey(DWORD, std::string*) const { return kRegNoMoreItems; }
LONG RegKey::EnumValue(DWORD, std::string*) const { return kRegNoMoreItems; }
LONG RegKey::DeleteSubKey(const std::string&) { return kRegNotFound; }
LONG RegKey::DeleteValue(const std::string&) { return kRegNotFound; }
}  // namespace platform
