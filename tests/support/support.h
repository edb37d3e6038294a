// Shared helpers of the test programs: a fresh folder per test, and
// recorders for the message-box and notification seams.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>
#include "platform/journal.h"
#include "platform/msgbox.h"
#include "platform/notify.h"

namespace tarntest {

// A new empty folder, removed with everything in it at the end. Its path
// is a Windows path: under the sandbox's C: natively, the Wine temp folder
// on Windows. Ends without a backslash.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Records every message box and answers from a queue (IDOK, or IDNO for a
// question, when the queue is empty). Restores the previous handler.
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  void Answer(int id) { answers_.push_back(id); }
  const std::vector<platform::MessageBoxCall>& calls() const { return calls_; }
  std::vector<std::string> texts() const;
  void Clear() { calls_.clear(); }

 private:
  std::vector<platform::MessageBoxCall> calls_;
  std::deque<int> answers_;
  platform::MessageBoxHandler prev_;
};

struct Notification {
  HWND wnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

class NotifyRecorder {
 public:
  NotifyRecorder();
  ~NotifyRecorder();
  const std::vector<Notification>& calls() const { return calls_; }

 private:
  std::vector<Notification> calls_;
  platform::NotifyHandler prev_;
};

// Running under Wine, which keeps no creation times on Linux file systems.
bool UnderWine();

// Collects journal events while it lives; restores the previous handler.
class JournalRecorder {
 public:
  JournalRecorder();
  ~JournalRecorder();
  const std::vector<platform::JournalEvent>& events() const { return events_; }
  std::vector<platform::JournalEvent> Of(platform::JournalKind kind) const;

 private:
  std::vector<platform::JournalEvent> events_;
  platform::JournalHandler prev_;
};

// Whole-file helpers over the platform layer.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Removes a file or a folder tree.
void RemoveTree(const std::string& path);
// A symbolic link at `link` to `target` as the host makes them: a host
// symlink natively, a Unix symlink in the prefix under Wine (where Windows'
// own call does nothing). False where neither can be made.
bool MakeSymlink(const std::string& target, const std::string& link);
// A second name `added` for the file `existing`.
bool HardLink(const std::string& existing, const std::string& added);
// What another program's move of a folder came to: done, refused because
// the folder is in use (an install holds what it works in), or not done.
enum class Moved { kDone, kInUse, kFailed };
Moved MoveFolder(const std::string& from, const std::string& to);
// Moves a folder aside and puts a link to `target` in its place; kFailed
// also where no link can be made.
Moved SwapForLink(const std::string& folder, const std::string& aside, const std::string& target);
// A folder held open as another program may, to move or remove it (delete
// access, sharing all); not held where share modes are not kept.
class FolderOpenForDelete {
 public:
  explicit FolderOpenForDelete(const std::string& folder);
  ~FolderOpenForDelete();
  FolderOpenForDelete(const FolderOpenForDelete&) = delete;
  FolderOpenForDelete& operator=(const FolderOpenForDelete&) = delete;
  bool held() const { return h_ != nullptr; }

 private:
  void* h_ = nullptr;
};

// The headers of a PE image as signing tools see them, `size` bytes with
// the optional header at nt + 24 and CheckSum 0x5EC5EC5E. secEntry is
// where the security directory's 8 bytes were put.
struct PeHeaders {
  uint32_t nt = 0x80;
  uint16_t magic = 0x10B;  // PE32; 0x20B for PE32+
  uint16_t optionalSize = 224;
  uint32_t directories = 16;
  uint32_t secOffset = 0, secSize = 0;
  size_t size = 1024;
  std::string Bytes() const;
  size_t secEntry() const { return nt + 24 + (magic == 0x20B ? 144 : 128); }
  size_t checkSum() const { return nt + 24 + 64; }
};
void PutLe32(std::string& bytes, size_t at, uint32_t v);
uint32_t GetLe32(const std::string& bytes, size_t at);

}  // namespace tarntest
