// Started programs and self-registering libraries. On Windows they run; in
// the sandbox they are recorded (journal and <sandbox root>/actions.log),
// and "regedit /s FILE" imports a REGEDIT4 file into the sandbox registry.
#pragma once
#include <string>
#include "platform/types.h"

namespace platform {

// CreateProcess(nullptr, commandLine, ...): no inheritance, no flags, the
// current environment, and the current directory or workingDir when given;
// with wait, blocks until it ends.
bool StartProcess(const std::string& commandLine, bool wait, const std::string& workingDir = "");

enum class LibraryCall { kOk, kLoadFailed, kNoEntry, kEntryFailed };
// LoadLibraryExA(path, 0, LOAD_WITH_ALTERED_SEARCH_PATH), then the named
// entry point called with no arguments; zero is success. The library is
// released before returning.
LibraryCall CallLibraryEntry(const std::string& path, const char* entry);

void SleepMs(DWORD ms);

}  // namespace platform
