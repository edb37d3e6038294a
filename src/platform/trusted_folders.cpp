// The folders whose own path is the machine's layout, not the install's:
// Windows and its users move them with links (Wine links a profile's
// Desktop to the home folder), so the link checks begin below them.
#include <mutex>
#include <vector>
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/link_free.h"
#include "platform/sync.h"

namespace platform {
namespace {
Mutex g_lock;
std::vector<std::string>* g_folders = nullptr;  // folded, no trailing "\"

// ASCII letters fold; a double-byte character's trail byte never does.
std::string Folded(const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size()) {
      ++i;
    } else if (out[i] >= 'A' && out[i] <= 'Z') {
      out[i] = static_cast<char>(out[i] + 32);
    } else if (out[i] == '/') {
      out[i] = '\\';
    }
  }
  return out;
}

std::string WithoutTrailingSeparator(std::string s) {
  while (s.size() > 3 && (s.back() == '\\' || s.back() == '/') && !IsLeadByte(static_cast<BYTE>(s[s.size() - 2])))
    s.pop_back();
  return s;
}
}  // namespace

void TrustFolder(const std::string& path) {
  std::string full;
  if (path.empty() || !FullPathName(path, &full)) return;
  full = Folded(WithoutTrailingSeparator(full));
  if (full.size() <= 3) return;  // a drive itself: everything would pass
  std::lock_guard<Mutex> hold(g_lock);
  if (!g_folders) g_folders = new std::vector<std::string>();
  for (const std::string& f : *g_folders)
    if (f == full) return;
  g_folders->push_back(full);
}

void TrustMachineFolders() {
  std::string path;
  for (SpecialFolder f : {kFolderPrograms, kFolderStartup, kFolderDesktop, kFolderProgramFiles})
    if (SpecialFolderPath(f, &path)) TrustFolder(path);
  TrustFolder(WindowsDirectory());
  TrustFolder(SystemDirectory());
}

size_t TrustedPrefix(const std::string& full) {
  const std::string folded = Folded(full);
  std::lock_guard<Mutex> hold(g_lock);
  size_t best = 0;
  if (!g_folders) return 0;
  for (const std::string& f : *g_folders) {
    if (f.size() <= best || folded.compare(0, f.size(), f) != 0) continue;
    if (folded.size() == f.size() || folded[f.size()] == '\\') best = f.size();
  }
  return best;
}

void TrustExistingPart(const std::string& path) {
  std::string dir;
  if (path.empty() || !FullPathName(path, &dir)) return;
  dir = WithoutTrailingSeparator(dir);
  while (dir.size() > 3) {
    bool isDir = false;
    if (FindEntry(dir, &isDir)) {
      if (isDir) TrustFolder(dir);
      return;
    }
    size_t cut = FilePartOffset(dir);
    if (cut == std::string::npos || cut == 0) return;
    dir = WithoutTrailingSeparator(dir.substr(0, cut));
  }
}

}  // namespace platform
