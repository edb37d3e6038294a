// The registry: the real one on Windows; in the sandbox a small tree kept as
// REGEDIT4-style text in <sandbox root>/registry.reg (UTF-8), read and
// written on every call so that separate processes see one registry.
// Results are Windows status codes (0 = ERROR_SUCCESS).
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {

enum : DWORD {
  kRegClassesRoot = 0x80000000, kRegCurrentUser = 0x80000001, kRegLocalMachine = 0x80000002,
  kRegUsers = 0x80000003, kRegPerformanceData = 0x80000004, kRegCurrentConfig = 0x80000005,
  kRegDynData = 0x80000006,
};
enum : DWORD { kRegAllAccess = 0xF003F, kRegReadWrite = 0x2001F, kRegRead = 0x20019 };
enum : LONG { kRegOk = 0, kRegNotFound = 2, kRegAccessDenied = 5, kRegNoMoreItems = 259 };

// "HKEY_LOCAL_MACHINE" and its siblings; empty for other values.
const char* RegRootName(DWORD root);

// A DWORD as REGEDIT4 writes it ("dword:0000000a"), and back; false for
// any other text.
std::string DwordText(DWORD value);
bool ParseDwordText(const std::string& text, DWORD* value);

// One open key. A root is a key too (RegKey::Root), never closed.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey();
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;

  static RegKey Root(DWORD root);

  // RegCreateKeyExA: non-volatile, all access; the key is made if missing.
  LONG Create(const RegKey& parent, const std::string& path);
  // RegOpenKeyExA; an empty path opens parent itself again.
  LONG Open(const RegKey& parent, const std::string& path, DWORD access);
  void Close();
  bool IsOpen() const { return h_ != 0; }
  // The key's full path from its root's name ("HKEY_CURRENT_USER\Software").
  const std::string& name() const { return name_; }

  // REG_SZ, stored with its terminating zero.
  LONG SetString(const std::string& name, const std::string& value);
  // A REG_SZ value (other types: kRegNotFound).
  LONG QueryString(const std::string& name, std::string* value) const;
  // REG_DWORD; journalled as its REGEDIT4 text, "dword:0000000a".
  LONG SetDword(const std::string& name, DWORD value);
  // A REG_DWORD value (other types: kRegNotFound).
  LONG QueryDword(const std::string& name, DWORD* value) const;
  // RegEnumKeyExA with a 256-byte name buffer.
  LONG EnumKey(DWORD index, std::string* name) const;
  // RegEnumValueA: names of values in order.
  LONG EnumValue(DWORD index, std::string* name) const;
  // RegDeleteKeyA: path must have no subkeys.
  LONG DeleteSubKey(const std::string& path);
  LONG DeleteValue(const std::string& name);

 private:
  intptr_t h_ = 0;
  bool owned_ = false;
  std::string name_;
};

}  // namespace platform
