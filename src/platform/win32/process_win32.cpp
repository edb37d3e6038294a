#include <windows.h>
#include <vector>
#include "platform/journal.h"
#include "platform/process.h"
#include "platform/wide.h"

namespace platform {

bool StartProcess(const std::string& commandLine, bool wait) {
  // CreateProcessW may write into the command line.
  std::wstring wide = Wide(commandLine);
  std::vector<wchar_t> cmd(wide.begin(), wide.end());
  cmd.push_back(L'\0');
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  Journal(JournalKind::kProgramStarted, commandLine, wait ? "wait" : "");
  if (wait) {
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  // Handles are released either way; the process runs on by itself.
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

LibraryCall CallLibraryEntry(const std::string& path, const char* entry) {
  HMODULE lib = LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (reinterpret_cast<uintptr_t>(lib) < 32) {
    Journal(JournalKind::kLibraryCalled, path, std::string(entry) + ": not loaded");
    return LibraryCall::kLoadFailed;
  }
  typedef HRESULT(STDAPICALLTYPE * EntryFn)();
  EntryFn fn = reinterpret_cast<EntryFn>(reinterpret_cast<void*>(GetProcAddress(lib, entry)));
  LibraryCall result = LibraryCall::kNoEntry;
  if (fn) result = fn() == 0 ? LibraryCall::kOk : LibraryCall::kEntryFailed;
  FreeLibrary(lib);
  Journal(JournalKind::kLibraryCalled, path,
          std::string(entry) + (result == LibraryCall::kOk ? ": ok"
                                : result == LibraryCall::kNoEntry ? ": no entry point" : ": failed"));
  return result;
}

void SleepMs(DWORD ms) { Sleep(ms); }

}  // namespace platform
