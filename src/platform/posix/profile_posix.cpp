// The profile functions for the sandbox: a section is "[name]" on a trimmed
// line, a key line is "key=value" with both sides trimmed, names compare
// without regard to the case of Latin letters. Enough for what the system
// asks of them; quoting and other niceties of Windows are not copied.
#include <cstring>
#include <string>
#include <vector>
#include "platform/file.h"
#include "platform/posix/reg_tree.h"
#include "platform/profile.h"

namespace platform {
namespace {

// Lines as text-mode reading gives them: without LF or CR LF, and a last
// line without its line end.
bool ReadLines(LPCSTR file, std::vector<std::string>* lines) {
  FileHandle f;
  int error = 0;
  if (!file || !f.Open(file, kAccessRead, kShareDenyWrite, false, false, &error)) return false;
  std::string text;
  char buf[65536];
  for (int64_t n; (n = f.Read(buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (nl != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return true;
}

// Blanks as the framework's strings trim them; none is a GBK trail byte.
std::string Trimmed(const std::string& s) {
  const char* blanks = " \t\r\n\v\f";
  size_t a = s.find_first_not_of(blanks);
  if (a == std::string::npos) return std::string();
  return s.substr(a, s.find_last_not_of(blanks) - a + 1);
}

bool SameName(const std::string& a, const char* b) { return RegTree::SameName(a, b ? b : ""); }

bool IsHeader(const std::string& line, std::string* name) {
  std::string t = Trimmed(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  *name = t.substr(1, t.size() - 2);
  return true;
}

// "=" is never a GBK trail byte, so a plain search is a multibyte-aware one.
bool SplitKey(const std::string& line, std::string* key, std::string* value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = Trimmed(line.substr(0, eq));
  *value = Trimmed(line.substr(eq + 1));
  return true;
}

DWORD CopyOut(const std::string& s, char* buf, DWORD size) {
  if (!buf || size == 0) return 0;
  DWORD n = static_cast<DWORD>(s.size()) < size - 1 ? static_cast<DWORD>(s.size()) : size - 1;
  std::memcpy(buf, s.data(), n);
  buf[n] = '\0';
  return n;
}
}  // namespace

DWORD ProfileGetString(LPCSTR section, LPCSTR key, LPCSTR def, char* buf, DWORD size,
                              LPCSTR file) {
  std::vector<std::string> lines;
  bool read = ReadLines(file, &lines);
  if (!section) {
    // Names, each ended by a zero byte, the list by one more; a name that
    // does not fit is cut and the list still ends with two zeros.
    std::string list;
    std::string name;
    for (const std::string& l : lines)
      if (IsHeader(l, &name)) list += name + '\0';
    // The count takes in every name's zero byte but not the list's last one;
    // a cut list counts size-2, as on Windows.
    if (!buf || size < 2) return 0;
    bool cut = list.size() + 1 > size;
    if (cut) {
      list.resize(size - 2);
      list += '\0';
    }
    std::memcpy(buf, list.data(), list.size());
    buf[list.size()] = '\0';
    return cut ? size - 2 : static_cast<DWORD>(list.size());
  }
  std::string value = def ? def : "";
  if (read && key) {
    bool in = false;
    std::string name, k, v;
    for (const std::string& l : lines) {
      if (IsHeader(l, &name)) {
        if (in) break;
        in = SameName(name, section);
        continue;
      }
      if (in && SplitKey(l, &k, &v) && SameName(k, key)) {
        value = v;
        break;
      }
    }
  }
  return CopyOut(value, buf, size);
}

BOOL ProfileWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (!section || !file) return FALSE;
  std::vector<std::string> lines;
  ReadLines(file, &lines);
  int sectionAt = -1, end = static_cast<int>(lines.size()), keyAt = -1;
  std::string name, k, v;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    if (IsHeader(lines[i], &name)) {
      if (sectionAt >= 0) {
        end = i;
        break;
      }
      if (SameName(name, section)) sectionAt = i;
      continue;
    }
    if (sectionAt >= 0 && key && keyAt < 0 && SplitKey(lines[i], &k, &v) && SameName(k, key))
      keyAt = i;
  }
  if (sectionAt < 0) {
    if (!key) return TRUE;  // deleting a section that is not there
    lines.push_back(std::string("[") + section + "]");
    sectionAt = static_cast<int>(lines.size()) - 1;
    end = static_cast<int>(lines.size());
  }
  if (!key) {  // a null key deletes the section
    lines.erase(lines.begin() + sectionAt, lines.begin() + end);
  } else if (!value) {
    if (keyAt >= 0) lines.erase(lines.begin() + keyAt);
  } else if (keyAt >= 0) {
    lines[keyAt] = std::string(key) + "=" + value;
  } else {
    int at = end;
    while (at > sectionAt + 1 && lines[at - 1].empty()) --at;  // before trailing blank lines
    lines.insert(lines.begin() + at, std::string(key) + "=" + value);
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  FileHandle f;
  int error = 0;
  if (!f.Open(file, kAccessWrite, kShareExclusive, true, true, &error)) return FALSE;
  return f.Write(text.data(), text.size()) ? TRUE : FALSE;
}

}  // namespace platform
