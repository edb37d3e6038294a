// How the sandbox maps a Windows path onto the host.
#pragma once
#include <string>

namespace platform {
// "X:\a\b" -> <root>/X/a/b; any other path is a host path with "\" as "/".
// ANSI bytes become UTF-8, the host's encoding of names.
std::string HostPath(const std::string& path);
}
