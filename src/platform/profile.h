// The profile functions of INI files. On Windows these are the system's
// GetPrivateProfileStringA / WritePrivateProfileStringA; in the sandbox our own
// reading of the same rules.
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {

// Copies at most size-1 bytes of the value (or of default) into buf and
// returns the count copied. section == nullptr asks for the section names:
// each ended by a zero byte, the list by one more.
DWORD ProfileGetString(LPCSTR section, LPCSTR key, LPCSTR def, char* buf, DWORD size,
                              LPCSTR file);
BOOL ProfileWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

}  // namespace platform
