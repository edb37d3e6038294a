// What both back ends' registry keys share: ownership and the roots.
// msvcrt's snprintf, as in afx/cstring.cpp.
#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>
#include <cstdio>
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

std::string DwordText(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "dword:%08lx", static_cast<unsigned long>(value));
  return text;
}

bool ParseDwordText(const std::string& text, DWORD* value) {
  static const char kPrefix[] = "dword:";
  const size_t n = sizeof kPrefix - 1;
  if (text.size() <= n || text.size() > n + 8) return false;
  for (size_t i = 0; i < n; ++i)
    if ((text[i] | 0x20) != kPrefix[i]) return false;
  DWORD v = 0;
  for (size_t i = n; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
      digit = (c | 0x20) - 'a' + 10;
    else
      return false;
    v = v << 4 | static_cast<DWORD>(digit);
  }
  *value = v;
  return true;
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
