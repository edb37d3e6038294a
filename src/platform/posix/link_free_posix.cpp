// The sandbox's link-free walk: the trusted folder (or the drive's folder)
// is opened by name, every step below it with openat and O_NOFOLLOW, and
// the final name is made, opened or unlinked relative to the folder that
// holds it, so no name is looked up twice.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <vector>
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_open.h"

namespace platform {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(-1); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Where the walk begins (a host folder, followed as it stands) and the
// names below it. A removal needs one name at least: a trusted folder's
// own name is then taken from its parent.
struct Plan {
  std::string drive;  // the drive's folder, or "/", which nothing makes
  std::string base;
  std::vector<std::string> steps;
};

bool MakePlan(const std::string& path, bool removal, Plan* plan) {
  std::string full;
  if (path.empty() || !FullPathName(path, &full)) return false;
  std::string host = HostPath(full);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (host.empty() || host[0] != '/') return false;
  std::string base = "/";
  if (full.size() >= 2 && full[1] == ':') {
    base = HostPath(full.substr(0, 2) + "\\");
    while (base.size() > 1 && base.back() == '/') base.pop_back();
  }
  plan->drive = base;
  if (size_t trusted = TrustedPrefix(full)) {
    std::string t = HostPath(full.substr(0, trusted));
    if (!t.empty() && host.compare(0, t.size(), t) == 0 && (host.size() == t.size() || host[t.size()] == '/'))
      base = t;
  }
  if (host.size() == base.size() && !removal) {
    plan->base = base;
    plan->steps.clear();
    return true;
  }
  if (host.size() == base.size()) {
    // The trusted folder itself: its own name is acted on from its parent.
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash + 1 >= host.size()) return false;
    base = slash ? host.substr(0, slash) : "/";
  }
  if (host.compare(0, base.size(), base) != 0) return false;
  size_t i = base.size();
  if (base != "/") {
    if (i >= host.size() || host[i] != '/') return false;
    ++i;
  }
  plan->base = base;
  plan->steps.clear();
  while (i <= host.size()) {
    size_t next = host.find('/', i);
    if (next == std::string::npos) next = host.size();
    if (next > i) plan->steps.push_back(host.substr(i, next - i));
    i = next + 1;
  }
  return !plan->steps.empty();
}


bool IsSymlinkAt(int dir, const std::string& name) {
  struct stat st;
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Opens the folder that holds the plan's last name; `create` makes missing
// folders on the way, each in the folder just opened.
Reach OpenParent(const Plan& plan, bool create, Fd* out, int* error) {
  Fd dir(::open(plan.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0 && errno == ENOENT && create) {
    // A trusted folder not made yet is made where its own path leads, on
    // a drive that is there.
    struct stat st;
    const size_t from = plan.drive.size() + 1;
    if (plan.base.size() > plan.drive.size() && ::stat(plan.drive.c_str(), &st) == 0)
      for (size_t i = from; i <= plan.base.size(); ++i)
      if (i == plan.base.size() || plan.base[i] == '/') ::mkdir(plan.base.substr(0, i).c_str(), 0755);
    dir.Reset(::open(plan.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  if (dir.get() < 0) {
    *error = errno;
    return Reach::kFailed;
  }
  for (size_t i = 0; i + 1 < plan.steps.size(); ++i) {
    const char* name = plan.steps[i].c_str();
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = ::openat(dir.get(), name, flags);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(dir.get(), name, 0755) != 0 && errno != EEXIST) {
        *error = errno;
        return Reach::kFailed;
      }
      next = ::openat(dir.get(), name, flags);
    }
    if (next < 0) {
      *error = errno;
      return errno == ELOOP || IsSymlinkAt(dir.get(), name) ? Reach::kLink : Reach::kFailed;
    }
    dir.Reset(next);
  }
  out->Reset(dir.release());
  return Reach::kDone;
}

}  // namespace

Reach MakeFoldersLinkFree(const std::string& dir) {
  Plan plan;
  if (!MakePlan(dir, false, &plan)) return Reach::kFailed;
  // The last name is one more folder to make and open.
  plan.steps.emplace_back(".");
  Fd parent;
  int error = 0;
  return OpenParent(plan, true, &parent, &error);
}

Reach RemoveFileLinkFree(const std::string& path) {
  Plan plan;
  Fd parent;
  int error = 0;
  if (!MakePlan(path, true, &plan)) return Reach::kFailed;
  Reach r = OpenParent(plan, false, &parent, &error);
  if (r != Reach::kDone) return r;
  const char* name = plan.steps.back().c_str();
  struct stat st;
  if (::fstatat(parent.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Reach::kFailed;
  if (S_ISLNK(st.st_mode) || (!S_ISDIR(st.st_mode) && st.st_nlink > 1)) return Reach::kLink;
  if (S_ISDIR(st.st_mode)) return Reach::kFailed;
  // A name swapped after the look: unlinkat takes the name itself, never
  // what a link there leads to.
  return ::unlinkat(parent.get(), name, 0) == 0 ? Reach::kDone : Reach::kFailed;
}

Reach RemoveFolderLinkFree(const std::string& dir) {
  Plan plan;
  Fd parent;
  int error = 0;
  if (!MakePlan(dir, true, &plan)) return Reach::kFailed;
  Reach r = OpenParent(plan, false, &parent, &error);
  if (r != Reach::kDone) return r;
  const char* name = plan.steps.back().c_str();
  if (IsSymlinkAt(parent.get(), name)) return Reach::kLink;
  return ::unlinkat(parent.get(), name, AT_REMOVEDIR) == 0 ? Reach::kDone : Reach::kFailed;
}

bool FileHandle::OpenLinkFree(const std::string& path, FileAccess access, FileShare, bool create,
                              bool truncate, int* error, bool* linked) {
  Close();
  if (linked) *linked = false;
  Plan plan;
  Fd parent;
  int err = ENOENT;
  Reach r = MakePlan(path, true, &plan) ? OpenParent(plan, false, &parent, &err) : Reach::kFailed;
  if (r != Reach::kDone) {
    if (linked) *linked = r == Reach::kLink;
    if (error) *error = r == Reach::kLink ? ELOOP : err;
    return false;
  }
  const char* name = plan.steps.back().c_str();
  int flags = O_CLOEXEC | O_NOFOLLOW;
  flags |= access == kAccessRead ? O_RDONLY : access == kAccessWrite ? O_WRONLY : O_RDWR;
  if (create) flags |= O_CREAT;
  int fd = create ? ::openat(parent.get(), name, flags | O_EXCL, 0644) : -1;
  const bool made = fd >= 0;
  if (fd < 0 && (!create || errno == EEXIST)) fd = ::openat(parent.get(), name, flags, 0644);
  if (fd < 0) {
    err = errno;
    if (linked) *linked = err == ELOOP || IsSymlinkAt(parent.get(), name);
    if (error) *error = err;
    return false;
  }
  Fd file(fd);
  struct stat st;
  err = 0;
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EACCES;  // Windows will not open a folder
  } else if (st.st_nlink > 1) {
    err = ELOOP;
    if (linked) *linked = true;
  } else if (truncate && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
    err = errno;
  }
  if (err) {
    if (error) *error = err;
    return false;
  }
  h_ = file.release();
  SetLastOpenMade(made);
  return true;
}

// Every act here walks from its base: nothing is held between them.
void ReleaseHeldFolder() {}

}  // namespace platform
