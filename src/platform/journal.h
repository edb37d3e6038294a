// What an install or uninstall did to the machine, for tools and tests that
// report it (tarnmake install/uninstall). Both the engine and the platform
// back ends write to it; nothing is recorded unless a handler is installed.
#pragma once
#include <functional>
#include <string>

namespace platform {

enum class JournalKind {
  kFileWritten,      // path
  kEntrySkipped,     // path, detail: why
  kShortcut,         // path (the link), detail: its target
  kRegKeyCreated,    // path: ROOT\key
  kRegValueSet,      // path: ROOT\key, detail: the value's name, value: its data
  kRegDeleted,       // path: the registry entry removed
  kRegNotDeleted,    // path: the registry entry that could not be removed
  kProgramStarted,   // path: the command line, detail: "wait" or ""
  kLibraryCalled,    // path, detail: entry point name and outcome
  kFileRemoved,      // path
  kFileNotRemoved,   // path
  kFileScheduled,    // path: to be deleted when Windows next starts
  kFolderRemoved,    // path
  kAlreadyGone,      // path: a file or registry entry to remove that was not there
};

struct JournalEvent {
  JournalKind kind;
  std::string path;    // ANSI
  std::string detail;  // ANSI
  std::string value;   // ANSI
};

using JournalHandler = std::function<void(const JournalEvent&)>;
JournalHandler SetJournalHandler(JournalHandler handler);
void Journal(JournalKind kind, const std::string& path, const std::string& detail = "",
             const std::string& value = "");

}  // namespace platform
