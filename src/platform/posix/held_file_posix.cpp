// Held files in the sandbox, which has no share modes: the descriptor is
// kept under an exclusive flock (what tells another run it is in use), and
// this process reopens it through /proc/self/fd, so a name swapped or
// deleted meanwhile changes nothing it reads. A killed run leaves the file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <mutex>
#include <vector>
#include "platform/codepage.h"
#include "platform/held_file.h"
#include "platform/posix/host_path.h"
#include "platform/sync.h"

namespace platform {
namespace {

struct Held {
  std::string host;
  int fd;
  dev_t dev;
  ino_t ino;
};

Mutex g_lock;
// Left alive at exit, as the application object removes its files last.
std::vector<Held>& Holds() {
  static auto* holds = new std::vector<Held>;
  return *holds;
}

std::vector<Held>::iterator Find(const std::string& host) {
  auto& holds = Holds();
  for (auto it = holds.begin(); it != holds.end(); ++it)
    if (it->host == host) return it;
  return holds.end();
}

bool Plain(int fd, struct stat* st) {
  return fstat(fd, st) == 0 && S_ISREG(st->st_mode) && st->st_nlink == 1;
}

// The name still leads to the file the descriptor has: only then is the
// name this file's to delete.
void UnlinkIfSame(const std::string& host, const struct stat& st) {
  struct stat now;
  if (::lstat(host.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
    ::unlink(host.c_str());
}

}  // namespace

bool HoldFile(const std::string& path) {
  const std::string host = HostPath(path);
  int fd = ::open(host.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (!Plain(fd, &st) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  std::lock_guard<Mutex> l(g_lock);
  Holds().push_back({host, fd, st.st_dev, st.st_ino});
  return true;
}

bool IsHeld(const std::string& path) {
  std::lock_guard<Mutex> l(g_lock);
  return Find(HostPath(path)) != Holds().end();
}

bool RemoveHeld(const std::string& path) {
  Held held;
  {
    std::lock_guard<Mutex> l(g_lock);
    auto it = Find(HostPath(path));
    if (it == Holds().end()) return false;
    held = *it;
    Holds().erase(it);
  }
  struct stat st;
  st.st_dev = held.dev;
  st.st_ino = held.ino;
  UnlinkIfSame(held.host, st);
  ::close(held.fd);
  return true;
}

bool ReopenHeld(const std::string& path, FileAccess access, bool truncate, intptr_t* handle) {
  std::lock_guard<Mutex> l(g_lock);
  auto it = Find(HostPath(path));
  if (it == Holds().end()) return false;
  const int flags = (access == kAccessRead ? O_RDONLY : access == kAccessWrite ? O_WRONLY : O_RDWR) |
                    O_CLOEXEC;
  const std::string self = "/proc/self/fd/" + std::to_string(it->fd);
  int fd = ::open(self.c_str(), flags);
  if (fd >= 0 && truncate && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    fd = -1;
  }
  *handle = fd;
  return true;
}

bool RemoveUnheldFile(const std::string& path) {
  const std::string host = HostPath(path);
  int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool removable = Plain(fd, &st) && flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (removable) UnlinkIfSame(host, st);
  ::close(fd);
  return removable;
}

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  const std::string host = HostPath(dir);
  DIR* d = ::opendir(host.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    struct stat st;
    const std::string full = host + "/" + e->d_name;
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(Utf8ToAnsi(e->d_name));
  }
  ::closedir(d);
  return names;
}

}  // namespace platform
