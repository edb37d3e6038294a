#include "sysint/programs.h"
#include "platform/process.h"

BOOL RegisterServer(LPCSTR libraryPath, BOOL reg) {
  platform::LibraryCall r = platform::CallLibraryEntry(
      libraryPath ? libraryPath : "", reg ? "DllRegisterServer" : "DllUnregisterServer");
  return r == platform::LibraryCall::kOk || r == platform::LibraryCall::kNoEntry;
}

BOOL RunProgram(LPCSTR commandLine, BOOL wait) {
  if (!commandLine || !*commandLine) return FALSE;
  return platform::StartProcess(commandLine, wait != FALSE);
}
