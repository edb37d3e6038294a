#include <sys/ioctl.h>
#include <sys/stat.h>
#include <cstdio>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#include "host.h"
#include "platform/codepage.h"

namespace host {

void InitConsole() {}

std::string ArgToAnsi(const std::string& arg) { return platform::Utf8ToAnsi(arg); }

bool IsTerminal(std::FILE* stream) { return ::isatty(fileno(stream)) == 1; }

int TerminalWidth(std::FILE* stream) {
  struct winsize ws{};
  if (::ioctl(fileno(stream), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return std::string();
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return std::string();
  return platform::Utf8ToAnsi(cwd) + "/" + path;
}

bool ChangeDirectory(const std::string& dir) {
  std::string p = platform::AnsiToUtf8(dir);
  for (char& c : p)
    if (c == '\\') c = '/';
  return ::chdir(p.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return std::rename(platform::AnsiToUtf8(from).c_str(), platform::AnsiToUtf8(to).c_str()) == 0;
}

bool SamePath(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(platform::AnsiToUtf8(a).c_str(), &sa) != 0 ||
      ::stat(platform::AnsiToUtf8(b).c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string NewTempFile(const std::string& dir) {
  std::string d;
  if (dir.empty()) {
    const char* t = std::getenv("TMPDIR");
    d = t && *t ? t : "/tmp";
  } else {
    d = platform::AnsiToUtf8(dir);
  }
  std::string templ = d + "/.tarnmake-XXXXXX";
  int fd = ::mkstemp(&templ[0]);
  if (fd < 0) return std::string();
  // mkstemp makes it private; an output becomes what a new file would be.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return platform::Utf8ToAnsi(templ);
}

std::string HostName(const std::string& component) { return component; }

}  // namespace host
