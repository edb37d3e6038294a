#include <dirent.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <cstdio>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include "host.h"
#include "platform/codepage.h"

namespace host {

void InitConsole() {}

void BinaryStdout() {}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

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

namespace {
std::string HostPath(const std::string& ansi) {
  std::string p = platform::AnsiToUtf8(ansi);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}
}  // namespace

PathKind Classify(const std::string& path, bool followLinks) {
  struct stat st;
  std::string p = HostPath(path);
  int rc = followLinks ? ::stat(p.c_str(), &st) : ::lstat(p.c_str(), &st);
  if (rc != 0) return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kError;
  if (S_ISLNK(st.st_mode)) return PathKind::kLink;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  return PathKind::kOther;
}

bool ListFolder(const std::string& dir, std::vector<std::string>* names,
                std::vector<std::string>* strays) {
  names->clear();
  strays->clear();
  DIR* d = ::opendir(HostPath(dir).c_str());
  if (!d) return false;
  for (;;) {
    // readdir tells an error from the end only through errno.
    errno = 0;
    struct dirent* e = ::readdir(d);
    if (!e) break;
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string ansi = platform::Utf8ToAnsi(name);
    // The conversion replaces what it cannot hold: a name that does not
    // come back is not this file's name in ANSI.
    (platform::AnsiToUtf8(ansi) == name ? names : strays)->push_back(ansi);
  }
  bool ok = errno == 0;
  ::closedir(d);
  return ok;
}

std::string CanonicalPath(const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(HostPath(path).c_str(), buf)) return std::string();
  return platform::Utf8ToAnsi(buf);
}

namespace {
// Paths to unlink from a signal handler: fixed slots, no allocation there.
const int kStopSlots = 8;
char g_stopPaths[kStopSlots][PATH_MAX];
volatile std::sig_atomic_t g_stopUsed[kStopSlots];

void OnStop(int sig) {
  for (int i = 0; i < kStopSlots; ++i)
    if (g_stopUsed[i]) ::unlink(g_stopPaths[i]);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}
}  // namespace

void RemoveOnStop(const std::string& path) {
  static bool installed = false;
  if (!installed) {
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, OnStop);
  }
  std::string p = HostPath(path);
  if (p.size() >= PATH_MAX) return;
  for (int i = 0; i < kStopSlots; ++i) {
    if (g_stopUsed[i]) continue;
    std::memcpy(g_stopPaths[i], p.c_str(), p.size() + 1);
    g_stopUsed[i] = 1;
    return;
  }
}

void ForgetOnStop(const std::string& path) {
  std::string p = HostPath(path);
  for (int i = 0; i < kStopSlots; ++i)
    if (g_stopUsed[i] && p == g_stopPaths[i]) g_stopUsed[i] = 0;
}

std::string HostName(const std::string& component) { return component; }

}  // namespace host
