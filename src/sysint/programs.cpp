#include "sysint/programs.h"
#include "platform/process.h"

BOOL RegisterServer(LPCSTR libraryPath, BOOL reg) {
  platform::LibraryCall r = platform::CallLibraryEntry(
      libraryPath ? libraryPath : "", reg ? "DllRegisterServer" : "DllUnregisterServer");
  return r == platform::LibraryCall::kOk || r == platform::LibraryCall::kNoEntry;
}

BOOL RunProgram(LPCSTR commandLine, BOOL wait) { return RunProgramIn(commandLine, wait, nullptr); }

BOOL RunProgramIn(LPCSTR commandLine, BOOL wait, LPCSTR dir) {
  if (!commandLine || !*commandLine) return FALSE;
  return platform::StartProcess(commandLine, wait != FALSE, dir ? dir : "");
}
