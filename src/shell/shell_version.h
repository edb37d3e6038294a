// The shell's own version: its VERSIONINFO resource and the name of its
// uninstaller copy. Raise it with every shell that reads or writes
// something an older one cannot.
#pragma once
#define TARN_SHELL_MAJOR 1
#define TARN_SHELL_MINOR 6
#define TARN_SHELL_PATCH 0
#define TARN_SHELL_BUILD 0
#define TARN_SHELL_VERSION TARN_SHELL_MAJOR, TARN_SHELL_MINOR, TARN_SHELL_PATCH, TARN_SHELL_BUILD
// One literal: the resource compiler joins no strings.
#define TARN_SHELL_VERSION_TEXT "1.6.0.0"

#ifndef RC_INVOKED
#include <cstdint>
inline constexpr uint64_t kShellVersion =
    (uint64_t{TARN_SHELL_MAJOR} << 48) | (uint64_t{TARN_SHELL_MINOR} << 32) |
    (uint64_t{TARN_SHELL_PATCH} << 16) | uint64_t{TARN_SHELL_BUILD};
inline constexpr char kShellVersionText[] = TARN_SHELL_VERSION_TEXT;
#endif
