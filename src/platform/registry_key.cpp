// What both back ends' registry keys share: ownership and the roots.
#include <utility>
#include "platform/registry.h"

namespace platform {

const char* RegRootName(DWORD root) {
  static const char* const names[] = {"HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE",    "HKEY_USERS",
                                      "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                      "HKEY_DYN_DATA"};
  return root >= kRegClassesRoot && root <= kRegDynData ? names[root - kRegClassesRoot] : "";
}

RegKey::~RegKey() { Close(); }

RegKey::RegKey(RegKey&& o) noexcept : h_(o.h_), owned_(o.owned_), name_(std::move(o.name_)) {
  o.h_ = 0;
  o.owned_ = false;
}

RegKey& RegKey::operator=(RegKey&& o) noexcept {
  if (this != &o) {
    Close();
    std::swap(h_, o.h_);
    std::swap(owned_, o.owned_);
    std::swap(name_, o.name_);
  }
  return *this;
}

RegKey RegKey::Root(DWORD root) {
  RegKey k;
  // Root handles carry the root's value as Windows has it, sign-extended.
  k.h_ = static_cast<intptr_t>(static_cast<int32_t>(root));
  k.name_ = RegRootName(root);
  return k;
}

}  // namespace platform
