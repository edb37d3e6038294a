// The profile functions for the sandbox: a section is "[name]" on a trimmed
// line, a key line is "key=value" with both sides trimmed, names compare
// without regard to the case of Latin letters. Enough for what the system
// asks of them; quoting and other niceties of Windows are not copied.
#include <cstring>
#include <string>
#include <vector>
#include "afx/cstring.h"
#include "afx/file.h"
#include "platform/profile.h"

namespace platform {
namespace {

bool ReadLines(LPCSTR file, std::vector<CString>* lines) {
  CStdioFile f;
  if (!f.Open(file, CFile::modeRead | CFile::shareDenyWrite)) return false;
  CString line;
  while (f.ReadString(line)) lines->push_back(line);
  return true;
}

bool IsHeader(CString t, CString* name) {
  t.Trim();
  if (t.GetLength() < 2 || t[0] != '[' || t[t.GetLength() - 1] != ']') return false;
  *name = t.Mid(1, t.GetLength() - 2);
  return true;
}

bool SplitKey(const CString& line, CString* key, CString* value) {
  int eq = line.Find('=');
  if (eq < 0) return false;
  *key = line.Left(eq);
  key->Trim();
  *value = line.Mid(eq + 1);
  value->Trim();
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
  std::vector<CString> lines;
  bool read = ReadLines(file, &lines);
  if (!section) {
    // Names, each ended by a zero byte, the list by one more; a name that
    // does not fit is cut and the list still ends with two zeros.
    std::string list;
    CString name;
    for (const CString& l : lines)
      if (IsHeader(l, &name)) list += std::string(name) + '\0';
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
    CString name, k, v;
    for (const CString& l : lines) {
      if (IsHeader(l, &name)) {
        if (in) break;
        in = name.CompareNoCase(section) == 0;
        continue;
      }
      if (in && SplitKey(l, &k, &v) && k.CompareNoCase(key) == 0) {
        value = v.str();
        break;
      }
    }
  }
  return CopyOut(value, buf, size);
}

BOOL ProfileWriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (!section || !file) return FALSE;
  std::vector<CString> lines;
  ReadLines(file, &lines);
  int sectionAt = -1, end = static_cast<int>(lines.size()), keyAt = -1;
  CString name, k, v;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    if (IsHeader(lines[i], &name)) {
      if (sectionAt >= 0) {
        end = i;
        break;
      }
      if (name.CompareNoCase(section) == 0) sectionAt = i;
      continue;
    }
    if (sectionAt >= 0 && key && keyAt < 0 && SplitKey(lines[i], &k, &v) && k.CompareNoCase(key) == 0)
      keyAt = i;
  }
  if (sectionAt < 0) {
    if (!key) return TRUE;  // deleting a section that is not there
    lines.push_back(CString("[") + section + "]");
    sectionAt = static_cast<int>(lines.size()) - 1;
    end = static_cast<int>(lines.size());
  }
  if (!key) {  // a null key deletes the section
    lines.erase(lines.begin() + sectionAt, lines.begin() + end);
  } else if (!value) {
    if (keyAt >= 0) lines.erase(lines.begin() + keyAt);
  } else if (keyAt >= 0) {
    lines[keyAt] = CString(key) + "=" + value;
  } else {
    int at = end;
    while (at > sectionAt + 1 && lines[at - 1].IsEmpty()) --at;  // before trailing blank lines
    lines.insert(lines.begin() + at, CString(key) + "=" + value);
  }
  CStdioFile f;
  if (!f.Open(file, CFile::modeCreate | CFile::modeWrite)) return FALSE;
  for (const CString& l : lines) {
    f.WriteString(l);
    f.WriteString("\n");
  }
  f.Close();
  return !f.IsFailed();
}

}  // namespace platform
