// The sandbox runs nothing: started programs and library entry points are
// recorded in the journal and in <root>/actions.log, one line each, UTF-8,
// fields separated by tabs:
//   run      <"wait" or "">  <command line>
//   register <entry point>   <library path>
// "regedit /s FILE" also imports FILE into the sandbox registry.
//
// Where the sandbox differs from Windows:
// - a program named by a drive path must exist (as given or with ".exe"),
//   any other first word is taken for a program on the search path;
// - a library loads when its file exists; its entry point succeeds unless
//   the file holds "TARN-NO-ENTRY" (no such entry point) or
//   "TARN-ENTRY-FAILS" (the entry point returns an error).
#include <fcntl.h>
#include <unistd.h>
#include <fstream>
#include <sstream>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/posix/host_path.h"
#include "platform/posix/reg_tree.h"
#include "platform/process.h"
#include "platform/regedit_script.h"

namespace platform {
namespace {

bool IsDrivePath(const std::string& p) {
  return p.size() >= 2 && p[1] == ':' && ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z');
}

bool IsFile(const std::string& path) {
  bool dir = false;
  return FindEntry(path, &dir) && !dir;
}

bool ProgramExists(const std::string& path) { return IsFile(path) || IsFile(path + ".exe"); }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c += 32;
  return s;
}

// One word of a command line from pos: quoted (without its quotes) or up
// to the next space.
std::string NextWord(const std::string& cmd, size_t* pos) {
  size_t i = cmd.find_first_not_of(" \t", *pos);
  if (i == std::string::npos) {
    *pos = cmd.size();
    return std::string();
  }
  size_t end;
  std::string word;
  if (cmd[i] == '"') {
    end = cmd.find('"', i + 1);
    word = cmd.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    end = end == std::string::npos ? cmd.size() : end + 1;
  } else {
    end = cmd.find_first_of(" \t", i);
    if (end == std::string::npos) end = cmd.size();
    word = cmd.substr(i, end - i);
  }
  *pos = end;
  return word;
}

// Whether Windows would find the program: an unquoted path with spaces is
// tried at every space, as CreateProcessA does.
bool CanStart(const std::string& cmd) {
  size_t i = cmd.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  if (cmd[i] == '"') {
    size_t pos = i;
    std::string program = NextWord(cmd, &pos);
    return program.empty() ? false : !IsDrivePath(program) || ProgramExists(program);
  }
  if (!IsDrivePath(cmd.substr(i))) return true;
  for (size_t sp = i;; ++sp) {
    sp = cmd.find(' ', sp);
    if (ProgramExists(cmd.substr(i, sp == std::string::npos ? std::string::npos : sp - i)))
      return true;
    if (sp == std::string::npos) return false;
  }
}

// The file that "regedit /s FILE" imports, or empty.
std::string RegeditFile(const std::string& cmd) {
  size_t pos = 0;
  std::string program = Lower(NextWord(cmd, &pos));
  size_t slash = program.find_last_of("\\/");
  std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
  if (name != "regedit" && name != "regedit.exe") return std::string();
  std::string sw = Lower(NextWord(cmd, &pos));
  if (sw != "/s" && sw != "-s") return std::string();
  size_t rest = cmd.find_first_not_of(" \t", pos);
  if (rest == std::string::npos) return std::string();
  if (cmd[rest] == '"') return NextWord(cmd, &pos);
  std::string file = cmd.substr(rest);
  return file.substr(0, file.find_last_not_of(" \t") + 1);
}

// One line at the end of actions.log, written at once so that processes
// do not mix their lines. Line breaks in a field would start a false line.
void Record(const std::string& a, const std::string& b, const std::string& c) {
  std::string line = AnsiToUtf8(a + "\t" + b + "\t" + c);
  for (char& ch : line)
    if (ch == '\n' || ch == '\r') ch = ' ';
  line += '\n';
  int fd = ::open((SandboxRoot() + "/actions.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                  0644);
  if (fd < 0) return;
  ssize_t n = ::write(fd, line.data(), line.size());
  (void)n;
  ::close(fd);
}

}  // namespace

bool StartProcess(const std::string& commandLine, bool wait) {
  if (!CanStart(commandLine)) return false;
  Record("run", wait ? "wait" : "", commandLine);
  Journal(JournalKind::kProgramStarted, commandLine, wait ? "wait" : "");
  std::string regFile = RegeditFile(commandLine);
  // Like regedit /s, a file that cannot be imported fails silently.
  if (!regFile.empty()) ImportRegFile(regFile);
  return true;
}

LibraryCall CallLibraryEntry(const std::string& path, const char* entry) {
  Record("register", entry, path);
  LibraryCall result = LibraryCall::kLoadFailed;
  if (IsFile(path)) {
    std::ifstream in(HostPath(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string& text = bytes.str();
    result = !in ? LibraryCall::kLoadFailed
             : text.find("TARN-NO-ENTRY") != std::string::npos ? LibraryCall::kNoEntry
             : text.find("TARN-ENTRY-FAILS") != std::string::npos ? LibraryCall::kEntryFailed
                                                                   : LibraryCall::kOk;
  }
  Journal(JournalKind::kLibraryCalled, path,
          std::string(entry) + (result == LibraryCall::kOk            ? ": ok"
                                : result == LibraryCall::kLoadFailed  ? ": not loaded"
                                : result == LibraryCall::kNoEntry     ? ": no entry point"
                                                                      : ": failed"));
  return result;
}

void SleepMs(DWORD ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// The sandbox's editor reads the script in GBK, as the system writes it.
std::string RegistryScriptForEditor(const std::string& path, bool* copy) {
  *copy = false;
  return path;
}

}  // namespace platform
