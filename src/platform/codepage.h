// Lead-byte test of the ANSI code page: on Windows the system's, in the
// sandbox always code page 936 (GBK).
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {
bool IsLeadByte(BYTE b);
}

namespace platform {
// Conversions between ANSI text (code page 936 in the sandbox) and UTF-8,
// for host file names and for output meant for people and machines.
// Bytes that do not convert are replaced, never dropped silently.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
}  // namespace platform
