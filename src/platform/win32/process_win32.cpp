#include <windows.h>
#include <vector>
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/process.h"
#include "platform/regedit_script.h"
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

namespace platform {

std::string RegistryScriptForEditor(const std::string& path, bool* copy) {
  *copy = false;
  // The editor reads REGEDIT4 in this code page: GBK reads as written.
  if (GetACP() == 936) return path;
  FileHandle in;
  int error = 0;
  uint64_t length = 0;
  const uint64_t kMax = 64u << 20;
  if (!in.Open(path, kAccessRead, kShareDenyWrite, false, false, &error) || !in.Length(&length) ||
      length > kMax)
    return path;
  std::string text(static_cast<size_t>(length), '\0');
  if (in.Read(&text[0], text.size()) != static_cast<int64_t>(text.size())) return path;
  in.Close();
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  const std::string unicode = ascii ? std::string() : RegistryScriptAsUnicode(text);
  if (unicode.empty()) return path;
  const std::string dest = path + ".utf16.reg";
  FileHandle out;
  if (!out.Open(dest, kAccessWrite, kShareExclusive, true, true, &error, true)) return path;
  if (!out.Write(unicode.data(), unicode.size())) {
    out.Close();
    RemoveFile(dest);
    return path;
  }
  *copy = true;
  return dest;
}

}  // namespace platform
