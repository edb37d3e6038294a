// The sandbox's .lnk reader on bytes already in memory; ShellLink::Read
// reads the file and hands its bytes here.
#pragma once
#include <string>

namespace platform {
bool ParseShellLink(const std::string& bytes, std::string* target, std::string* workingDir);
}
