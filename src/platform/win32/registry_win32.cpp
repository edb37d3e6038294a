#include <windows.h>
#include <utility>
#include "platform/journal.h"
#include "platform/registry.h"
#include "platform/wide.h"

namespace platform {
namespace {
HKEY H(intptr_t h) { return reinterpret_cast<HKEY>(h); }
}  // namespace


namespace {
std::string Child(const std::string& parent, const std::string& path) {
  return path.empty() ? parent : parent + "\\" + path;
}
}  // namespace

void RegKey::Close() {
  if (h_ && owned_) RegCloseKey(H(h_));
  h_ = 0;
  owned_ = false;
  name_.clear();
}

LONG RegKey::Create(const RegKey& parent, const std::string& path) {
  Close();
  HKEY k = nullptr;
  DWORD disp = 0;
  LONG rc = RegCreateKeyExW(H(parent.h_), Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &k, &disp);
  if (rc == ERROR_SUCCESS) {
    h_ = reinterpret_cast<intptr_t>(k);
    owned_ = true;
    name_ = Child(parent.name_, path);
    if (disp == REG_CREATED_NEW_KEY) Journal(JournalKind::kRegKeyCreated, name_);
  }
  return rc;
}

LONG RegKey::Open(const RegKey& parent, const std::string& path, DWORD access) {
  Close();
  HKEY k = nullptr;
  const std::wstring wide = Wide(path);
  LONG rc = RegOpenKeyExW(H(parent.h_), path.empty() ? nullptr : wide.c_str(), 0, access, &k);
  if (rc == ERROR_SUCCESS) {
    h_ = reinterpret_cast<intptr_t>(k);
    owned_ = true;
    name_ = Child(parent.name_, path);
  }
  return rc;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) {
  const std::wstring wide = Wide(value);
  LONG rc = RegSetValueExW(H(h_), Wide(name).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(wide.c_str()),
                           static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  if (rc == ERROR_SUCCESS) Journal(JournalKind::kRegValueSet, name_, name, value);
  return rc;
}

LONG RegKey::QueryString(const std::string& name, std::string* value) const {
  const std::wstring wname = Wide(name);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExW(H(h_), wname.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return rc;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
  std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
  rc = RegQueryValueExW(H(h_), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]),
                        &size);
  if (rc != ERROR_SUCCESS) return rc;
  buf.resize(size / sizeof(wchar_t));
  while (!buf.empty() && buf.back() == L'\0') buf.pop_back();
  *value = Narrow(buf);
  return ERROR_SUCCESS;
}

LONG RegKey::SetDword(const std::string& name, DWORD value) {
  LONG rc = RegSetValueExW(H(h_), Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof value);
  if (rc == ERROR_SUCCESS) Journal(JournalKind::kRegValueSet, name_, name, DwordText(value));
  return rc;
}

LONG RegKey::QueryDword(const std::string& name, DWORD* value) const {
  DWORD type = 0, data = 0, size = sizeof data;
  LONG rc = RegQueryValueExW(H(h_), Wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                             &size);
  if (rc == ERROR_MORE_DATA) return ERROR_FILE_NOT_FOUND;
  if (rc != ERROR_SUCCESS) return rc;
  if (type != REG_DWORD || size != sizeof data) return ERROR_FILE_NOT_FOUND;
  *value = data;
  return ERROR_SUCCESS;
}

LONG RegKey::EnumKey(DWORD index, std::string* name) const {
  wchar_t buf[256];
  DWORD n = 256;
  LONG rc = RegEnumKeyExW(H(h_), index, buf, &n, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) *name = Narrow(buf, n);
  return rc;
}

LONG RegKey::EnumValue(DWORD index, std::string* name) const {
  wchar_t buf[16384];
  DWORD n = 16384;
  LONG rc = RegEnumValueW(H(h_), index, buf, &n, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) *name = Narrow(buf, n);
  return rc;
}

LONG RegKey::DeleteSubKey(const std::string& path) { return RegDeleteKeyW(H(h_), Wide(path).c_str()); }

LONG RegKey::DeleteValue(const std::string& name) { return RegDeleteValueW(H(h_), Wide(name).c_str()); }

}  // namespace platform
