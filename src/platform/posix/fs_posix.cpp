// The sandbox's machine: drives are folders under the sandbox root, the
// Windows folders and shell folders fixed folders on drive C.
#include <dirent.h>
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
#include "platform/posix/host_path.h"

namespace platform {
namespace {
std::mutex g_rootLock;
std::string g_root;

bool IsDrivePath(const std::string& p) {
  return p.size() >= 2 && p[1] == ':' &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// Windows reads "/" as "\" too; trail bytes of double-byte characters are
// left alone.
std::string Backslashes(const std::string& p) {
  std::string out = p;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '/') out[i] = '\\';
  }
  return out;
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
}  // namespace

void SetSandboxRoot(const std::string& root) {
  std::lock_guard<std::mutex> l(g_rootLock);
  g_root = root;
}

std::string SandboxRoot() {
  std::lock_guard<std::mutex> l(g_rootLock);
  if (g_root.empty()) {
    const char* env = std::getenv("TARN_SANDBOX_ROOT");
    const char* tmp = std::getenv("TMPDIR");
    g_root = env && *env ? env : std::string(tmp && *tmp ? tmp : "/tmp") + "/tarn-sandbox";
  }
  return g_root;
}

std::string HostPath(const std::string& path) {
  if (IsDrivePath(path)) {
    std::string rest = Backslashes(path.substr(2));
    for (char& c : rest)
      if (c == '\\') c = '/';
    char drive = static_cast<char>(path[0] & ~0x20);
    return SandboxRoot() + "/" + drive + (rest.empty() || rest[0] != '/' ? "/" : "") +
           AnsiToUtf8(rest);
  }
  std::string p = Backslashes(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return AnsiToUtf8(p);
}

bool FullPathName(const std::string& path, std::string* full) {
  // Windows rules on drive paths; a host path is made absolute against the
  // host's current directory.
  std::string p = Backslashes(path);
  if (p.empty()) return false;
  std::string drive, rest;
  if (IsDrivePath(p)) {
    drive = p.substr(0, 2);
    drive[0] = static_cast<char>(drive[0] & ~0x20);
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\') rest = "\\" + rest;  // drive-relative: from its root
  } else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    // UNC: \\server\share stays the root.
    std::vector<std::string> parts = SplitComponents(p.substr(2));
    std::string out = "\\\\";
    std::vector<std::string> keep;
    for (size_t i = 0; i < parts.size(); ++i) {
      const std::string& c = parts[i];
      if (i >= 2 && (c == "." || (c.empty() && i + 1 < parts.size()))) continue;
      if (i >= 2 && c == "..") {
        if (keep.size() > 2) keep.pop_back();
        continue;
      }
      keep.push_back(c);
    }
    for (size_t i = 0; i < keep.size(); ++i) out += (i ? "\\" : "") + keep[i];
    if (out.size() >= MAX_PATH) return false;
    *full = out;
    return true;
  } else {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return false;
    std::string base = Backslashes(Utf8ToAnsi(cwd));
    rest = (p[0] == '\\') ? p : base + "\\" + p;
  }
  std::vector<std::string> parts = SplitComponents(rest);
  std::vector<std::string> keep;
  for (size_t i = 1; i < parts.size(); ++i) {  // parts[0] is the empty root
    const std::string& c = parts[i];
    bool last = i + 1 == parts.size();
    if (c == "." || (c.empty() && !last)) continue;
    if (c == "..") {
      if (!keep.empty()) keep.pop_back();
      continue;
    }
    keep.push_back(c);
  }
  std::string out = drive;
  for (const std::string& c : keep) out += "\\" + c;
  if (keep.empty() || (keep.size() == 1 && keep[0].empty())) out = drive + "\\";
  if (out.size() >= MAX_PATH) return false;
  *full = out;
  return true;
}

size_t FilePartOffset(const std::string& full) {
  if (full.empty() || full.back() == '\\') return std::string::npos;
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
  return !path.empty() && ::mkdir(HostPath(path).c_str(), 0755) == 0;
}

bool RemoveDir(const std::string& path) {
  return !path.empty() && ::rmdir(HostPath(path).c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
  std::string host = HostPath(path);
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(host.c_str()) == 0;
}

bool Access(const std::string& path) {
  if (path.empty()) return false;
  if (IsDrivePath(path) && path.size() == 2) return ::access(HostPath(path + "\\").c_str(), F_OK) == 0;
  return ::access(HostPath(path).c_str(), F_OK) == 0;
}

bool FindEntry(const std::string& path, bool* isDirectory) {
  if (path.empty()) return false;
  char last = path.back();
  if (last == '\\' || last == '/') return false;
  if (IsDrivePath(path) && path.size() == 2) return false;
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
  return true;
}

std::string WindowsDirectory() { return "C:\\WINDOWS"; }
std::string SystemDirectory() { return "C:\\WINDOWS\\system32"; }

std::string ModuleFileName() {
  const char* env = std::getenv("TARN_SANDBOX_MODULE");
  if (env && *env) return env;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return Utf8ToAnsi(std::string(buf, static_cast<size_t>(n)));
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
