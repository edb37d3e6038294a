// The system's text (platform/codepage.h) as the wide text of the Windows
// W functions, and back. Windows code includes it; elsewhere wchar_t holds
// code points, so the conversions are testable in the sandbox too.
#pragma once
#include <string>

namespace platform {
std::wstring Wide(const std::string& text);
std::wstring Wide(const char* text);
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text);
std::string Narrow(const wchar_t* text, size_t length);
}  // namespace platform
