#include "support/support.h"
#include <atomic>
#include <cstdio>
#include <string>
#include "afx/file.h"
#include "platform/fs.h"
#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include "platform/posix/host_path.h"
#else
#include <windows.h>
#include "platform/wide.h"
#endif

namespace tarntest {
namespace {
std::atomic<int> g_counter{0};
}

TempDir::TempDir() {
  std::string base = platform::TempPath();
  if (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  // Make the chain of folders that the sandbox's temp path names.
  std::string acc;
  for (size_t i = 0; i <= base.size(); ++i) {
    if (i == base.size() || base[i] == '\\') {
      acc = base.substr(0, i);
      if (acc.size() > 2) platform::MakeDirectory(acc);
    }
  }
  for (;;) {
    char name[64];
    std::snprintf(name, sizeof name, "\\tarntest%lu_%d", static_cast<unsigned long>(
#ifdef _WIN32
                      GetCurrentProcessId()
#else
                      getpid()
#endif
                          ),
                  g_counter++);
    path_ = base + name;
    if (platform::MakeDirectory(path_)) break;
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
#ifdef _WIN32
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string n = fd.cFileName;
      if (n == "." || n == "..") continue;
      std::string child = path + "\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
#else
  std::string cmd = "rm -rf '" + platform::HostPath(path) + "'";
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path.c_str());
#endif
}

bool UnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

BoxRecorder::BoxRecorder() {
  prev_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& c) {
    calls_.push_back(c);
    if (!answers_.empty()) {
      int a = answers_.front();
      answers_.pop_front();
      return a;
    }
    return (c.type & 0x0F) == MB_YESNO ? IDNO : IDOK;
  });
}

BoxRecorder::~BoxRecorder() { platform::SetMessageBoxHandler(prev_); }

std::vector<std::string> BoxRecorder::texts() const {
  std::vector<std::string> out;
  for (const auto& c : calls_) out.push_back(c.text);
  return out;
}

NotifyRecorder::NotifyRecorder() {
  prev_ = platform::SetNotifyHandler(
      [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { calls_.push_back({w, m, wp, lp}); });
}

NotifyRecorder::~NotifyRecorder() { platform::SetNotifyHandler(prev_); }

JournalRecorder::JournalRecorder() {
  prev_ = platform::SetJournalHandler(
      [this](const platform::JournalEvent& e) { events_.push_back(e); });
}
JournalRecorder::~JournalRecorder() { platform::SetJournalHandler(prev_); }

std::vector<platform::JournalEvent> JournalRecorder::Of(platform::JournalKind kind) const {
  std::vector<platform::JournalEvent> out;
  for (const auto& e : events_)
    if (e.kind == kind) out.push_back(e);
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  CFile f;
  if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone)) return std::string();
  std::string out(static_cast<size_t>(f.GetLength()), '\0');
  size_t n = out.empty() ? 0 : f.Read(&out[0], out.size());
  out.resize(n);
  return out;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  CFile f;
  if (!f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite)) return false;
  return f.Write(bytes.data(), bytes.size()) != 0;
}

void PutLe32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

uint32_t GetLe32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

std::string PeHeaders::Bytes() const {
  std::string b(size < secEntry() + 8 ? secEntry() + 8 : size, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  PutLe32(b, 0x3C, nt);
  b.replace(nt, 4, std::string("PE\0\0", 4));
  b[nt + 4] = 0x4C;  // i386
  b[nt + 5] = 0x01;
  b[nt + 20] = static_cast<char>(optionalSize);
  b[nt + 21] = static_cast<char>(optionalSize >> 8);
  b[nt + 24] = static_cast<char>(magic);
  b[nt + 25] = static_cast<char>(magic >> 8);
  PutLe32(b, checkSum(), 0x5EC5EC5E);
  PutLe32(b, nt + 24 + (magic == 0x20B ? 108 : 92), directories);
  PutLe32(b, secEntry(), secOffset);
  PutLe32(b, secEntry() + 4, secSize);
  b.resize(size);
  return b;
}

}  // namespace tarntest

namespace tarntest {

#ifdef _WIN32
namespace {
// Wine's own export: the Unix name of a Windows path.
std::string UnixName(const std::string& path) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return std::string();
  std::wstring wide = platform::Wide(path);
  char* name = fn(wide.c_str());
  if (!name) return std::string();
  std::string out = name;
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}
}  // namespace

bool MakeSymlink(const std::string& target, const std::string& link) {
  const std::string t = UnixName(target), l = UnixName(link);
  if (t.empty() || l.empty()) return false;
  // Wine runs a Unix program given by its Unix path on drive Z:.
  std::wstring cmd = L"Z:\\bin\\ln -s \"" + platform::Wide(t) + L"\" \"" + platform::Wide(l) + L"\"";
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The handle Wine gives for a Unix program may be done before it is.
  for (int tries = 0; tries < 100; ++tries) {
    if (GetFileAttributesW(platform::Wide(link).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(50);
  }
  return false;
}

bool HardLink(const std::string& existing, const std::string& added) {
  return CreateHardLinkW(platform::Wide(added).c_str(), platform::Wide(existing).c_str(), nullptr) != 0;
}

Moved MoveFolder(const std::string& from, const std::string& to) {
  if (MoveFileW(platform::Wide(from).c_str(), platform::Wide(to).c_str())) return Moved::kDone;
  return GetLastError() == ERROR_SHARING_VIOLATION ? Moved::kInUse : Moved::kFailed;
}

FolderOpenForDelete::FolderOpenForDelete(const std::string& folder) {
  HANDLE h = CreateFileW(platform::Wide(folder).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) h_ = h;
}

FolderOpenForDelete::~FolderOpenForDelete() {
  if (h_) CloseHandle(h_);
}
#else
bool MakeSymlink(const std::string& target, const std::string& link) {
  return symlink(platform::HostPath(target).c_str(), platform::HostPath(link).c_str()) == 0;
}

bool HardLink(const std::string& existing, const std::string& added) {
  return link(platform::HostPath(existing).c_str(), platform::HostPath(added).c_str()) == 0;
}

Moved MoveFolder(const std::string& from, const std::string& to) {
  return std::rename(platform::HostPath(from).c_str(), platform::HostPath(to).c_str()) == 0 ? Moved::kDone
                                                                                            : Moved::kFailed;
}

FolderOpenForDelete::FolderOpenForDelete(const std::string&) {}
FolderOpenForDelete::~FolderOpenForDelete() {}
#endif

Moved SwapForLink(const std::string& folder, const std::string& aside, const std::string& target) {
  const Moved moved = MoveFolder(folder, aside);
  if (moved != Moved::kDone) return moved;
  return MakeSymlink(target, folder) ? Moved::kDone : Moved::kFailed;
}

}  // namespace tarntest
