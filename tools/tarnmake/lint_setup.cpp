// The setup script, read line by line as the package builder reads it:
// a section runs from its header to the first empty line, a "[" inside one
// is a format error that loses the next section, and whatever lies between
// sections is never read.
#include <cstdlib>
#include <map>
#include "engine/tsp_index.h"
#include "inifile/ini_file.h"
#include "lint.h"
#include "lint_findings.h"
#include "lint_read.h"

namespace tarnmake {
namespace {
using lint::Findings;

const std::vector<std::string> kSections = {"FILEINFO", "SETUPFILEINFO_V2"};
const std::vector<std::string> kKeys = {"SOURCE_PATH",      "TARGET_PATH",  "INSTALL_FLAG",
                                        "SHORTCUT_PATH",    "SHORTCUT_ICON_ID", "COMMAND_LINE",
                                        "OS_VERSION",       "FILE_PROTECTED"};
const std::vector<std::string> kDirs = {"<TARGETDIR>", "<WINSYSDIR>", "<WINDIR>", "<SETUPDIR>"};
const std::vector<std::string> kFolders = {"<TARGET_FOLDER>", "<STARTUP_FOLDER>", "<DESKTOP_FOLDER>",
                                           "<WINDOWS_FOLDER>", "<SYSTEM_FOLDER>"};

struct Value {
  std::string text;
  int line = 0;
};

struct Section {
  int line = 0;
  std::map<std::string, Value> keys;  // by the upper-case key
};

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

bool Header(const std::string& line, std::string* name) {
  size_t a = line.find_first_not_of(" \t\r\n\v\f");
  size_t b = line.find_last_not_of(" \t\r\n\v\f");
  if (a == std::string::npos || b - a < 1 || line[a] != '[' || line[b] != ']') return false;
  *name = line.substr(a + 1, b - a - 1);
  return true;
}

// A number as the installer means it: plain decimal digits within the
// values that have a meaning.
bool CheckNumber(Findings& f, const std::string& key, const Value& v, unsigned max,
                 const char* meaning) {
  const std::string& t = v.text;
  if (t.empty() || t.size() > 10 || t.find_first_not_of("0123456789") != std::string::npos) {
    f.Error(v.line, key + " '" + t + "' is not a decimal number from 0 to " + std::to_string(max));
    return false;
  }
  if (std::stoull(t) <= max) return true;
  f.Error(v.line, key + " " + t + " is out of range: " + meaning);
  return false;
}

struct Target {
  std::string spelled, compared;
  int line;
  int os;  // 1 NT only, 2 non-NT only, 0 both
};

class SetupLint {
 public:
  explicit SetupLint(Findings& f) : f_(f) {}

  void Run(const std::vector<std::string>& lines) {
    enum { kOutside, kBody, kLost } state = kOutside;
    bool fileinfo = false;
    Section s;
    int strayLine = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      int no = static_cast<int>(i) + 1;
      std::string name;
      if (state == kBody) {
        if (line.empty()) {
          if (fileinfo) Entry(s);
          state = kOutside;
          strayLine = 0;
          continue;
        }
        if (line[0] == '[') {
          f_.Error(no, "a section header must come after an empty line: here it is a format "
                       "error, and the section it opens is not read");
          if (fileinfo) Entry(s);
          state = kLost;
          continue;
        }
        if (line[0] == ';') continue;
        if (fileinfo) Key(s, line, no);
        continue;
      }
      if (Header(line, &name)) {
        bool known = false;
        for (const std::string& k : kSections) known |= Upper(name) == k;
        if (!known)
          f_.Unknown(no, "unknown section [" + name + "], which is not read" +
                             lint::DidYouMean(name, kSections));
        fileinfo = Upper(name) == "FILEINFO";
        s = Section();
        s.line = no;
        state = kBody;
        continue;
      }
      if (state == kLost) continue;
      size_t text = line.find_first_not_of(" \t");
      if (text == std::string::npos || line[text] == ';' || strayLine) continue;
      strayLine = no;
      f_.Error(no, "this line is outside any section and is not read (a section ends at its "
                   "first empty line)");
    }
    if (state == kBody && fileinfo) Entry(s);
    if (entries_ > 0xFFFF)
      f_.Error(0, std::to_string(entries_) +
                      " FILEINFO sections: a package holds at most 65535 entries "
                      "(安装包最多容纳65535个文件项!)");
  }

 private:
  void Key(Section& s, const std::string& line, int no) {
    CString key, value;
    if (!CIniFile::GetNameAndValue(line.c_str(), key, value)) return;
    key.Trim();
    std::string k = key.str();
    if (line.find('=') == std::string::npos) {
      // A line of blanks is taken for no key at all.
      if (!k.empty())
        f_.Unknown(no, "'" + line + "' has no '=' and is not read" + lint::DidYouMean(k, kKeys));
      return;
    }
    bool known = false;
    for (const std::string& n : kKeys) known |= Upper(k) == n;
    if (!known) {
      f_.Unknown(no, "unknown key '" + k + "' in [FILEINFO], which is not read" +
                         lint::DidYouMean(k, kKeys));
      return;
    }
    auto it = s.keys.find(Upper(k));
    if (it != s.keys.end())
      f_.Warn(no, k + " is given again; line " + std::to_string(it->second.line) +
                      "'s value is not used");
    s.keys[Upper(k)] = {value.str(), no};
  }

  // The placeholder of a path value, checked; "" when it is not one.
  std::string Head(const Value& v, const std::string& key, const std::vector<std::string>& known,
                   bool lax) {
    size_t slash = CString(v.text.c_str()).Find('\\');
    std::string head = slash == std::string::npos ? v.text : v.text.substr(0, slash);
    for (const std::string& k : known)
      if (Upper(head) == k && slash != std::string::npos) return k;
    std::string list;
    for (size_t i = 0; i < known.size(); ++i)
      list += (i == 0 ? "" : i + 1 == known.size() ? " or " : ", ") + known[i] + "\\";
    std::string text = key + " '" + v.text + "' must begin with " + list +
                       lint::DidYouMean(head, known);
    if (lax)
      f_.Unknown(v.line, text + "; no shortcut would be made");
    else
      f_.Error(v.line, text);
    return std::string();
  }

  void Entry(const Section& s) {
    ++entries_;
    auto get = [&s](const char* k) -> const Value* {
      auto it = s.keys.find(k);
      return it == s.keys.end() ? nullptr : &it->second;
    };
    int flags = 0, os = 0;
    if (const Value* v = get("INSTALL_FLAG")) {
      // A bad value is told once: what the builder would make of it is moot.
      if (CheckNumber(f_, "INSTALL_FLAG", *v, 127,
                      "the flags are 1, 2, 4, 8, 16, 32 and 64, added up (0 to 127)"))
        flags = std::atoi(v->text.c_str());
    }
    if (const Value* v = get("SHORTCUT_ICON_ID"))
      CheckNumber(f_, "SHORTCUT_ICON_ID", *v, 255, "0 to 255");
    if (const Value* v = get("OS_VERSION")) {
      if (CheckNumber(f_, "OS_VERSION", *v, 3, "0 any system, 1 NT only, 2 non-NT only (3 means 1)")) {
        int n = std::atoi(v->text.c_str());
        os = n & 1 ? 1 : n & 2 ? 2 : 0;
      }
    }
    if (const Value* v = get("FILE_PROTECTED"))
      CheckNumber(f_, "FILE_PROTECTED", *v, 1, "0, or 1 for random padding");
    if ((flags & IF_REGLIST) && (flags & IF_NO_DATA))
      f_.Error(get("INSTALL_FLAG")->line,
               "INSTALL_FLAG sets 16 (a registry list) and 64 (no data): the list would be empty");
    if (!(flags & IF_NO_DATA)) {
      const Value* src = get("SOURCE_PATH");
      if (!src || src->text.empty())
        f_.Error(src ? src->line : s.line, "this FILEINFO has no SOURCE_PATH (only INSTALL_FLAG "
                                           "64, no data, goes without one)");
    }
    for (const char* k : {"TARGET_PATH", "SHORTCUT_PATH", "COMMAND_LINE"}) {
      const Value* v = get(k);
      if (v && v->text.size() > 255)
        f_.Error(v->line, std::string(k) + " is " + std::to_string(v->text.size()) +
                              " bytes, over the 255 the package holds");
    }
    const Value* target = get("TARGET_PATH");
    if (!target || target->text.empty()) {
      f_.Error(target ? target->line : s.line, "this FILEINFO has no TARGET_PATH");
    } else {
      std::string head = Head(*target, "TARGET_PATH", kDirs, false);
      if (!head.empty()) {
        std::string rest = target->text.substr(head.size() + 1);
        std::string why = lint::PathFault(head, rest, head == "<TARGETDIR>");
        if (!why.empty())
          f_.Error(target->line, "TARGET_PATH '" + target->text + "' cannot be installed: " + why);
        else if (!(flags & (IF_NO_DATA | IF_REGLIST)))
          Collide(targets_, {lint::SpelledPath(head, rest), lint::ComparedPath(head, rest),
                             target->line, os}, "TARGET_PATH");
      }
    }
    const Value* link = get("SHORTCUT_PATH");
    if (link && !link->text.empty()) {
      std::string head = Head(*link, "SHORTCUT_PATH", kFolders, true);
      if (!head.empty()) {
        std::string rest = link->text.substr(head.size() + 1);
        std::string why = lint::PathFault(head, rest, false);
        if (!why.empty())
          f_.Error(link->line, "SHORTCUT_PATH '" + link->text + "' cannot be made: " + why);
        else
          Collide(links_, {lint::SpelledPath(head, rest), lint::ComparedPath(head, rest),
                           link->line, os}, "SHORTCUT_PATH");
      }
    }
  }

  // Two names Windows takes for one file, spelt differently; or one that
  // is a file here and a folder of another entry's.
  void Collide(std::vector<Target>& seen, const Target& t, const char* key) {
    for (const Target& o : seen) {
      if (o.os && t.os && o.os != t.os) continue;  // never on one system
      if (o.compared == t.compared && o.spelled != t.spelled) {
        f_.Error(t.line, std::string(key) + " '" + t.spelled + "' and line " +
                             std::to_string(o.line) + "'s '" + o.spelled +
                             "' differ only in case: Windows takes them for one file");
        return;
      }
      const Target* file = o.compared.size() < t.compared.size() ? &o : &t;
      const Target* below = file == &o ? &t : &o;
      if (below->compared.size() > file->compared.size() &&
          below->compared.compare(0, file->compared.size(), file->compared) == 0 &&
          below->compared[file->compared.size()] == '\\') {
        if (file == &t)
          f_.Error(t.line, std::string(key) + " '" + t.spelled + "' is a file, but line " +
                               std::to_string(o.line) + " puts '" + o.spelled +
                               "' in it as a folder");
        else
          f_.Error(t.line, std::string(key) + " '" + t.spelled + "' needs the folder '" +
                               o.spelled + "', which line " + std::to_string(o.line) +
                               " makes a file");
        return;
      }
    }
    seen.push_back(t);
  }

  Findings& f_;
  size_t entries_ = 0;
  std::vector<Target> targets_, links_;
};

}  // namespace

bool LintSetupScript(const std::string& file, const std::string& path) {
  Findings f(file);
  std::string text;
  if (!lint::ReadScript(path, f, &text)) return false;
  SetupLint(f).Run(lint::Lines(text));
  return f.ok();
}

}  // namespace tarnmake
