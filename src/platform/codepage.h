// The system's text is GBK (code page 936) on every machine, whatever the
// system's own code page: the design's texts and the names that packages,
// scripts and logs carry. A character GBK lacks is written as its GB18030
// four-byte sequence (platform/gb18030.h), so any name Windows or the host
// hands over is held exactly, and GBK text stays byte for byte what it was.
// Only this layer converts: nothing above it asks for a code page.
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {
// Code page 936's lead bytes, on every machine.
bool IsLeadByte(BYTE b);
}

namespace platform {
// The system's text to and from UTF-8 (host file names, output for people
// and machines). Bytes that do not convert become U+FFFD (or "?" the other
// way), never dropped silently.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
// The text needs four-byte sequences: GBK alone cannot hold it.
bool HasFourByte(const std::string& ansi);
// The system's text as UTF-16 little-endian bytes, without a byte order
// mark (a registry script for regedit, which reads its "5.00" form so on
// every code page).
std::string AnsiToUtf16Bytes(const std::string& ansi);
}  // namespace platform
