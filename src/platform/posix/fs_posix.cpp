// The sandbox's machine: drives are folders under the sandbox root, the
// Windows folders and shell folders fixed folders on drive C.
//
// Where the sandbox differs from Windows:
// - drive X: is the folder <root>/X; C: always exists, another letter only
//   when its folder does; there is no current directory per drive, so "C:a"
//   is "C:\a";
// - a path without a drive is a host path (relative ones against the host's
//   current directory), so tools can name the host's files;
// - there is no network: UNC paths name nothing;
// - names are compared as the host compares them (case-sensitively on most
//   hosts), and FindEntry takes no wildcards.
#include <algorithm>
#include <dirent.h>
#include <sys/file.h>
#include <fcntl.h>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/held_file.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace {
std::mutex g_rootLock;
std::string g_root;
bool g_rootReady = false;

bool IsDrivePath(const std::string& p) {
  return p.size() >= 2 && p[1] == ':' &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

bool IsUncPath(const std::string& p) {
  return p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/');
}

// Replaces one separator byte by the other; trail bytes of double-byte
// characters are left alone.
std::string SwapSeparator(const std::string& p, char from, char to) {
  std::string out = p;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == from) out[i] = to;
  }
  return out;
}

// Windows reads "/" as "\" too.
std::string Backslashes(const std::string& p) { return SwapSeparator(p, '/', '\\'); }
std::string Slashes(const std::string& p) { return SwapSeparator(p, '\\', '/'); }

bool EndsWithSeparator(const std::string& p) {
  bool sep = false;
  for (size_t i = 0; i < p.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(p[i])) && i + 1 < p.size()) {
      ++i;
      sep = false;
      continue;
    }
    sep = p[i] == '\\' || p[i] == '/';
  }
  return sep;
}

std::vector<std::string> SplitComponents(const std::string& p) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i < p.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(p[i])) && i + 1 < p.size()) {
      cur += p[i];
      cur += p[++i];
      continue;
    }
    if (p[i] == '\\') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += p[i];
    }
  }
  parts.push_back(cur);
  return parts;
}

// A path taken apart the way GetFullPathNameA does: the root ("C:",
// "\\srv\share", or empty for a host path), the steps below it with "." and
// ".." resolved (never above the root) and repeated separators collapsed,
// and whether it ends in a separator.
struct Resolved {
  std::string root;
  bool unc = false;
  std::vector<std::string> steps;
  bool trailing = false;

  bool IsRoot() const { return steps.empty(); }
  std::string Text() const {
    std::string out = root;
    for (const std::string& s : steps) out += "\\" + s;
    if (trailing || (steps.empty() && !unc)) out += "\\";
    return out;
  }
};

void AddSteps(const std::vector<std::string>& parts, size_t first, bool windows, Resolved* r) {
  r->trailing = false;
  for (size_t i = first; i < parts.size(); ++i) {
    const std::string& c = parts[i];
    bool last = i + 1 == parts.size();
    if (c.empty()) {
      if (last) r->trailing = true;
      continue;
    }
    if (c == ".") continue;
    if (c == "..") {
      if (!r->steps.empty()) r->steps.pop_back();
      continue;
    }
    r->steps.push_back(c);
  }
  // Windows drops trailing dots and spaces from the final name.
  if (windows && !r->trailing && !r->steps.empty()) {
    std::string& name = r->steps.back();
    // Neither byte can be the trail byte of a double-byte character.
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) {
      r->steps.pop_back();
      r->trailing = true;
    }
  }
}

bool Resolve(const std::string& path, Resolved* r) {
  std::string p = Backslashes(path);
  if (p.empty()) return false;
  if (IsDrivePath(p)) {
    r->root = p.substr(0, 2);
    AddSteps(SplitComponents(p.substr(2)), 0, true, r);
  } else if (IsUncPath(p)) {
    std::vector<std::string> parts = SplitComponents(p.substr(2));
    r->unc = true;
    r->root = "\\\\" + parts[0];
    if (parts.size() > 1) r->root += "\\" + parts[1];
    AddSteps(parts, 2, true, r);
  } else {
    std::string rooted = p;
    if (p[0] != '\\') {
      char cwd[PATH_MAX];
      if (!getcwd(cwd, sizeof cwd)) return false;
      rooted = Backslashes(Utf8ToAnsi(cwd)) + "\\" + p;
    }
    AddSteps(SplitComponents(rooted), 0, false, r);
  }
  return r->Text().size() < MAX_PATH;
}

bool IsDriveRoot(const std::string& path) {
  Resolved r;
  return IsDrivePath(path) && Resolve(path, &r) && r.IsRoot();
}

// Names Windows refuses; "|" may be a trail byte, the others cannot.
bool ValidName(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    BYTE b = static_cast<BYTE>(name[i]);
    if (IsLeadByte(b) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (b < 0x20 || std::string("<>:\"|?*").find(static_cast<char>(b)) != std::string::npos) return false;
  }
  return true;
}
}  // namespace

void SetSandboxRoot(const std::string& root) {
  std::lock_guard<std::mutex> l(g_rootLock);
  g_root = root;
  g_rootReady = false;
}

std::string SandboxRoot() {
  std::lock_guard<std::mutex> l(g_rootLock);
  if (g_root.empty()) {
    const char* env = std::getenv("TARN_SANDBOX_ROOT");
    const char* tmp = std::getenv("TMPDIR");
    g_root = env && *env ? env : std::string(tmp && *tmp ? tmp : "/tmp") + "/tarn-sandbox";
  }
  if (!g_rootReady) {
    // Every Windows machine has a drive C.
    std::string c = g_root + "/C";
    for (size_t i = 1; i <= c.size(); ++i)
      if (i == c.size() || c[i] == '/') ::mkdir(c.substr(0, i).c_str(), 0755);
    g_rootReady = true;
  }
  return g_root;
}

std::string HostPath(const std::string& path) {
  std::string p = Backslashes(path);
  if (IsDrivePath(p)) {
    // Resolved first, so that ".." never leaves the drive's folder.
    Resolved r;
    if (!Resolve(p, &r)) return std::string();
    std::string out = SandboxRoot() + "/" + static_cast<char>(p[0] & ~0x20) + "/";
    for (size_t i = 0; i < r.steps.size(); ++i) {
      if (!ValidName(r.steps[i])) return std::string();
      out += (i ? "/" : "") + AnsiToUtf8(r.steps[i]);
    }
    if (r.trailing && !r.steps.empty()) out += "/";
    return out;
  }
  if (IsUncPath(p)) return std::string();
  return AnsiToUtf8(Slashes(p));
}

bool FullPathName(const std::string& path, std::string* full) {
  Resolved r;
  if (!Resolve(path, &r)) return false;
  *full = r.Text();
  return true;
}

size_t FilePartOffset(const std::string& full) {
  if (full.empty() || EndsWithSeparator(full)) return std::string::npos;
  size_t last = std::string::npos;
  for (size_t i = 0; i < full.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(full[i])) && i + 1 < full.size()) {
      ++i;
      continue;
    }
    if (full[i] == '\\') last = i;
  }
  return last == std::string::npos ? std::string::npos : last + 1;
}

bool MakeDirectory(const std::string& path) {
  if (path.empty() || IsDriveRoot(path)) return false;
  return ::mkdir(HostPath(path).c_str(), 0755) == 0;
}

bool RemoveDir(const std::string& path) {
  if (path.empty() || IsDriveRoot(path)) return false;
  return ::rmdir(HostPath(path).c_str()) == 0;
}

namespace {
bool UnlinkFile(const std::string& path) {
  if (path.empty()) return false;
  std::string host = HostPath(path);
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(host.c_str()) == 0;
}
}  // namespace

// This process's own blobs end their hold here; a delete by another road
// (RemovePlainFile) is what any other program could do, and leaves it.
bool RemoveFile(const std::string& path) { return RemoveHeld(path) || UnlinkFile(path); }

bool RemovePlainFile(const std::string& path, bool* linked) {
  *linked = IsLinkedName(path);
  return !*linked && UnlinkFile(path);
}

bool Access(const std::string& path) {
  return !path.empty() && ::access(HostPath(path).c_str(), F_OK) == 0;
}

bool FindEntry(const std::string& path, bool* isDirectory) {
  if (path.empty() || EndsWithSeparator(path) || IsDriveRoot(path)) return false;
  if (path.find_first_of("*?") != std::string::npos) return false;
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
  return true;
}

namespace {
// lstat of one host name: 1 a link (or a file of several names when
// `last`), 0 a plain entry, -1 nothing there.
int LinkState(const std::string& host, bool last) {
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0) return -1;
  if (S_ISLNK(st.st_mode)) return 1;
  return last && !S_ISDIR(st.st_mode) && st.st_nlink > 1 ? 1 : 0;
}

// Where the names a package may own begin: below the drive's folder for a
// drive path (the sandbox root is the host's business), else below "/".
size_t OwnedFrom(const std::string& path, const std::string& host) {
  if (IsDrivePath(Backslashes(path))) return SandboxRoot().size() + 2;
  return host.empty() || host[0] != '/' ? 0 : 1;
}
}  // namespace

bool LinkInPath(const std::string& path) {
  std::string host = HostPath(path);
  if (host.empty()) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  size_t from = OwnedFrom(path, host);
  std::string full;
  if (FullPathName(path, &full)) {
    // Past a folder the machine's layout places (links followed there).
    if (size_t trusted = TrustedPrefix(full)) {
      std::string base = HostPath(full.substr(0, trusted));
      if (!base.empty() && host.compare(0, base.size(), base) == 0) from = std::max(from, base.size() + 1);
    }
  }
  for (size_t i = from; i <= host.size(); ++i) {
    if (i != host.size() && host[i] != '/') continue;
    if (i == 0) continue;
    int state = LinkState(host.substr(0, i), i == host.size());
    if (state < 0) return false;
    if (state > 0) return true;
  }
  return false;
}

bool IsLinkedName(const std::string& path) {
  std::string host = HostPath(path);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return !host.empty() && LinkState(host, true) > 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  std::string ha = HostPath(a), hb = HostPath(b);
  return !ha.empty() && !hb.empty() && ::stat(ha.c_str(), &sa) == 0 && ::stat(hb.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RemoveAtRestart(const std::string&) { return false; }

bool RenameOver(const std::string& from, const std::string& to) {
  std::string a = HostPath(from), b = HostPath(to);
  return !a.empty() && !b.empty() && std::rename(a.c_str(), b.c_str()) == 0;
}

// flock on the file's folder: it exists while anybody writes the file, and
// no lock file is left behind.
PathLock::PathLock(const std::string& path) {
  std::string host = HostPath(path);
  size_t slash = host.find_last_of('/');
  if (slash == std::string::npos) return;
  int fd = ::open(slash ? host.substr(0, slash).c_str() : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  h_ = fd;
}

PathLock::~PathLock() {
  if (h_ >= 0) ::close(static_cast<int>(h_));
}

std::string WindowsDirectory() { return "C:\\WINDOWS"; }
std::string SystemDirectory() { return "C:\\WINDOWS\\system32"; }

// The running program as the sandbox's machine sees it: in C:\SETUP, so
// that "<SETUPDIR>" is a folder of the sandbox and never the host folder
// the binary happens to be in.
std::string ModuleFileName() {
  const char* env = std::getenv("TARN_SANDBOX_MODULE");
  if (env && IsDrivePath(env)) return env;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string name = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("setup.exe");
  return "C:\\SETUP\\" + Utf8ToAnsi(name.substr(name.find_last_of('/') + 1));
}

std::string TempPath() { return "C:\\TEMP\\"; }

std::string TempFileName(const std::string& dir, const std::string& prefix) {
  std::string d = dir;
  if (!d.empty() && d.back() != '\\') d += '\\';
  for (unsigned n = 1; n < 0x10000; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%X.tmp", n);
    std::string path = d + prefix.substr(0, 3) + name;
    int fd = ::open(HostPath(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}

bool SpecialFolderPath(SpecialFolder folder, std::string* path) {
  const char* p = folder == kFolderPrograms ? "C:\\Users\\user\\Start Menu\\Programs"
                  : folder == kFolderStartup ? "C:\\Users\\user\\Start Menu\\Programs\\Startup"
                  : folder == kFolderDesktop ? "C:\\Users\\user\\Desktop"
                                             : "C:\\Program Files";
  // With the create flag the shell makes the folder when it is missing.
  std::string host = HostPath(p);
  for (size_t i = 1; i <= host.size(); ++i)
    if (i == host.size() || host[i] == '/') ::mkdir(host.substr(0, i).c_str(), 0755);
  *path = p;
  return true;
}

bool IsWinNT() { return std::getenv("TARN_SANDBOX_WIN9X") == nullptr; }

}  // namespace platform
