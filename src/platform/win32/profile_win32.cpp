#include <windows.h>
#include "platform/profile.h"

namespace platform {
DWORD ProfileGetString(LPCSTR section, LPCSTR key, LPCSTR def, char* buf, DWORD size,
                              LPCSTR file) {
  return GetPrivateProfileStringA(section, key, def, buf, size, file);
}
BOOL ProfileWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  return WritePrivateProfileStringA(section, key, value, file);
}
}  // namespace platform
