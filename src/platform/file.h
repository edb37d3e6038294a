// One open file of the operating system. 64-bit positions, so packages over
// 2 GB work in the 32-bit product too.
#pragma once
#include <cstdint>
#include <string>
#include "platform/types.h"

namespace platform {

enum FileAccess { kAccessRead = 1, kAccessWrite = 2, kAccessReadWrite = 3 };
enum FileShare { kShareExclusive, kShareDenyWrite, kShareDenyRead, kShareDenyNone };
enum SeekFrom { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // create: make the file if missing; truncate: cut an existing one to zero.
  // On failure returns false and leaves the system error in *error.
  // refuseLinks: an existing name that is a link (as IsLinkedName) is not
  // opened, and not cut; checked on the opened file, so the name cannot be
  // swapped between the check and the write.
  bool Open(const std::string& path, FileAccess access, FileShare share, bool create,
            bool truncate, int* error, bool refuseLinks = false);
  // As Open with refuseLinks, and no folder on the way below the trusted
  // folders is a link either (link_free.h): one open checks and opens, so
  // nothing is written elsewhere. *linked tells a refused link.
  bool OpenLinkFree(const std::string& path, FileAccess access, FileShare share, bool create,
                    bool truncate, int* error, bool* linked = nullptr);
  void Close();
  bool IsOpen() const;

  // Read returns the bytes read (0 at the end) or -1 on an error.
  int64_t Read(void* buf, size_t count);
  bool Write(const void* buf, size_t count);
  bool Seek(int64_t offset, SeekFrom from, uint64_t* newPos);
  bool Length(uint64_t* length);
  bool SetLength(uint64_t length);
  bool Flush();
  // Takes a lock no other process can hold at the same time, without
  // waiting; the system drops it when the handle closes or the process
  // dies, so a held lock means its owner still runs.
  bool TryLock();
  // The file's times through this handle; 0 leaves that time unchanged.
  bool SetTimes(int64_t ctime, int64_t mtime, int64_t atime);

 private:
  intptr_t h_ = -1;
};

// Whether this thread's last successful Open with create made the file
// (nothing of that name was there): what an install that is undone removes.
bool LastOpenMadeFile();

// Times as 32-bit calendar times (seconds since 1970 UTC), attributes as the
// Windows FILE_ATTRIBUTE_* bits.
struct FileInfo {
  int64_t size = 0;
  uint32_t attributes = 0;
  int64_t ctime = 0, mtime = 0, atime = 0;
};
enum : uint32_t { kAttrReadOnly = 0x01, kAttrHidden = 0x02, kAttrSystem = 0x04,
                  kAttrDirectory = 0x10, kAttrArchive = 0x20, kAttrNormal = 0x80 };

bool GetFileInfo(const std::string& path, FileInfo* info);
// A time of 0 leaves that time unchanged.
bool SetFileTimes(const std::string& path, int64_t ctime, int64_t mtime, int64_t atime);
bool SetAttributes(const std::string& path, uint32_t attributes);

// Text for a system error code, as the platform words it.
std::string ErrorText(int error);

}  // namespace platform
