// Sandbox files. Share modes are not enforced: the host has no such locks.
// Creation times are kept in an extended attribute where the file system
// allows it, else the last-write time stands in for them.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include "platform/file.h"
#include "platform/held_file.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_open.h"

namespace platform {

FileHandle::~FileHandle() { Close(); }

namespace {
thread_local bool t_made = false;
}  // namespace

bool LastOpenMadeFile() { return t_made; }
void SetLastOpenMade(bool made) { t_made = made; }

bool FileHandle::Open(const std::string& path, FileAccess access, FileShare, bool create,
                      bool truncate, int* error, bool refuseLinks) {
  Close();
  // A held file is read through its hold, never by a name others can swap.
  intptr_t held = -1;
  if (ReopenHeld(path, access, truncate, &held)) {
    if (held == -1) {
      if (error) *error = errno;
      return false;
    }
    h_ = held;
    t_made = false;
    return true;
  }
  int flags = O_CLOEXEC;
  flags |= access == kAccessRead ? O_RDONLY : access == kAccessWrite ? O_WRONLY : O_RDWR;
  if (create) flags |= O_CREAT;
  // A link's file is cut only once it is known to be no link.
  if (truncate && !refuseLinks) flags |= O_TRUNC;
  if (refuseLinks) flags |= O_NOFOLLOW;
  std::string host = HostPath(path);
  // A new name first, so that one knows whether the open made the file.
  int fd = path.empty() || !create ? -1 : ::open(host.c_str(), flags | O_EXCL, 0644);
  const bool made = fd >= 0;
  if (fd < 0 && !path.empty() && (!create || errno == EEXIST)) fd = ::open(host.c_str(), flags, 0644);
  if (fd >= 0) {
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok && S_ISDIR(st.st_mode)) {  // Windows will not open a folder
      ::close(fd);
      fd = -1;
      errno = EACCES;
    } else if (refuseLinks && (!ok || st.st_nlink > 1)) {
      ::close(fd);
      fd = -1;
      errno = ELOOP;
    } else if (refuseLinks && truncate && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
      int e = errno;
      ::close(fd);
      fd = -1;
      errno = e;
    }
  } else if (path.empty()) {
    errno = ENOENT;
  }
  if (fd < 0) {
    if (error) *error = errno;
    return false;
  }
  h_ = fd;
  t_made = made;
  return true;
}

void FileHandle::Close() {
  if (h_ >= 0) ::close(static_cast<int>(h_));
  h_ = -1;
}

bool FileHandle::IsOpen() const { return h_ >= 0; }

int64_t FileHandle::Read(void* buf, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t r = ::read(static_cast<int>(h_), static_cast<char*>(buf) + done, count - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

bool FileHandle::Write(const void* buf, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t r = ::write(static_cast<int>(h_), static_cast<const char*>(buf) + done, count - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(r);
  }
  return true;
}

bool FileHandle::Seek(int64_t offset, SeekFrom from, uint64_t* newPos) {
  int whence = from == kSeekBegin ? SEEK_SET : from == kSeekCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(h_), static_cast<off_t>(offset), whence);
  if (r < 0) return false;
  if (newPos) *newPos = static_cast<uint64_t>(r);
  return true;
}

bool FileHandle::Length(uint64_t* length) {
  struct stat st;
  if (fstat(static_cast<int>(h_), &st) != 0) return false;
  *length = static_cast<uint64_t>(st.st_size);
  return true;
}

bool FileHandle::SetLength(uint64_t length) {
  return ftruncate(static_cast<int>(h_), static_cast<off_t>(length)) == 0;
}

bool FileHandle::TryLock() {
  return h_ >= 0 && ::flock(static_cast<int>(h_), LOCK_EX | LOCK_NB) == 0;
}

bool FileHandle::Flush() { return fsync(static_cast<int>(h_)) == 0 || errno == EINVAL; }

namespace {
const char kCtimeAttr[] = "user.tarn.ctime";
}

bool FileHandle::SetTimes(int64_t ctime, int64_t mtime, int64_t atime) {
  struct timespec ts[2];
  ts[0].tv_sec = atime;
  ts[0].tv_nsec = atime ? 0 : UTIME_OMIT;
  ts[1].tv_sec = mtime;
  ts[1].tv_nsec = mtime ? 0 : UTIME_OMIT;
  const int fd = static_cast<int>(h_);
  if (futimens(fd, ts) != 0) return false;
  if (ctime) fsetxattr(fd, kCtimeAttr, &ctime, sizeof ctime, 0);
  return true;
}

bool GetFileInfo(const std::string& path, FileInfo* info) {
  std::string host = HostPath(path);
  struct stat st;
  if (path.empty() || ::stat(host.c_str(), &st) != 0) return false;
  info->size = st.st_size;
  info->attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  if (!(st.st_mode & S_IWUSR)) info->attributes |= kAttrReadOnly;
  info->mtime = st.st_mtim.tv_sec;
  info->atime = st.st_atim.tv_sec;
  info->ctime = st.st_mtim.tv_sec;
  int64_t c = 0;
  if (getxattr(host.c_str(), kCtimeAttr, &c, sizeof c) == static_cast<ssize_t>(sizeof c))
    info->ctime = c;
  return true;
}

bool SetFileTimes(const std::string& path, int64_t ctime, int64_t mtime, int64_t atime) {
  std::string host = HostPath(path);
  struct timespec ts[2];
  ts[0].tv_sec = atime;
  ts[0].tv_nsec = atime ? 0 : UTIME_OMIT;
  ts[1].tv_sec = mtime;
  ts[1].tv_nsec = mtime ? 0 : UTIME_OMIT;
  if (utimensat(AT_FDCWD, host.c_str(), ts, 0) != 0) return false;
  if (ctime) setxattr(host.c_str(), kCtimeAttr, &ctime, sizeof ctime, 0);
  return true;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  std::string host = HostPath(path);
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttrReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
  return chmod(host.c_str(), mode) == 0;
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace platform
