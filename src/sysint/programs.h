#pragma once
#include "afx/cstring.h"

// Calls "DllRegisterServer" (reg) or "DllUnregisterServer" of a library; a
// library without the entry point counts as done.
TARN_EXPORT BOOL RegisterServer(LPCSTR libraryPath, BOOL reg);
// Starts a command line; with wait, returns once the program has ended.
TARN_EXPORT BOOL RunProgram(LPCSTR commandLine, BOOL wait);
// The same, started in the folder dir (null: the current one).
BOOL RunProgramIn(LPCSTR commandLine, BOOL wait, LPCSTR dir);
