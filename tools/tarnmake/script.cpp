// script: a setup script for the files of one or more folders (an install
// tree, as CPack stages it), and the UI script beside it. Names are
// written in ANSI (GBK, a character it lacks as its four-byte sequence),
// whatever the host's own encoding.
#include <algorithm>
#include <map>
#include <vector>
#include "afx/file.h"
#include "commands.h"
#include "engine/target_path.h"
#include "host.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "report.h"
#include "text.h"

namespace tarnmake {
namespace {

// Strings of the index carry a one-byte length.
const size_t kIndexMax = 255;

// What the script's INSTALL_FLAG bits ask of an entry.
const int kRegedit = 0x02, kTemporary = 0x04, kRegList = 0x10, kRun = 0x20;

struct Entry {
  std::string rel;     // below its folder, "\"-separated
  std::string source;  // the file as the script names it
  std::string shortcut;
  std::string host;    // the file on this machine
  int flags = 0;
  std::string commandLine;
  std::string role;    // the option that gave it its flags
};

// Windows sees one name where these compare equal.
std::string FoldCase(const std::string& s) { return FoldedName(s); }

// Characters a Windows name may not hold that the target check lets by
// ("\" is a separator to the script, so a host name with one would be two).
bool HasForbiddenChar(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(name[i])) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (std::string("\\/<>\"|?*").find(name[i]) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> Split(const std::string& path);

// Why a path below a folder cannot be made on Windows, or empty.
std::string PathProblem(const std::string& path) {
  std::vector<std::string> parts;
  std::string why = TargetPathProblem(path, &parts);
  if (!why.empty()) return why;
  for (const std::string& part : Split(path))
    if (HasForbiddenChar(part)) return "Windows allows no < > \" | ? * in a name";
  return std::string();
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i + 1 < path.size() && platform::IsLeadByte(static_cast<BYTE>(path[i]))) {
      cur += path[i];
      cur += path[++i];
      continue;
    }
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
      continue;
    }
    cur += path[i];
  }
  return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t from, char sep) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) {
    if (!out.empty()) out += sep;
    out += parts[i];
  }
  return out;
}

// `to` (a canonical folder) as seen from the canonical folder `from`:
// relative when they share their first component (the drive), else as is.
std::string RelativeFolder(const std::string& from, const std::string& to) {
  std::vector<std::string> a = Split(from), b = Split(to);
  bool rooted = !from.empty() && (from[0] == '/' || from[0] == '\\');
  if (!rooted && (a.empty() || b.empty() || FoldCase(a[0]) != FoldCase(b[0]))) return to;
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  // No separator at the end: the caller adds one before the name.
  std::vector<std::string> steps(a.size() - common, "..");
  steps.insert(steps.end(), b.begin() + common, b.end());
  return Join(steps, 0, '\\');
}

class Walker {
 public:
  // outputs: files that may lie in the tree and are not part of it.
  Walker(const std::string& target, std::vector<std::string> outputs)
      : target_(target), outputs_(std::move(outputs)) {}

  // Every file under root, folder by folder in byte order of the names.
  bool Walk(const std::string& root, const std::string& sourceBase) {
    return WalkFolder(root, sourceBase, std::string());
  }
  std::vector<Entry>& entries() { return entries_; }

 private:
  bool WalkFolder(const std::string& dir, const std::string& sourceBase, const std::string& rel) {
    std::vector<std::string> names, strays;
    if (!host::ListFolder(dir, &names, &strays)) {
      Error("cannot read the folder '" + dir + "'");
      return false;
    }
    if (!strays.empty()) {
      Error("'" + dir + "/" + strays.front() +
            "': the name is not UTF-8, so it cannot be written exactly");
      return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      std::string path = dir + "/" + name;
      std::string childRel = rel.empty() ? name : rel + "\\" + name;
      if (HasForbiddenChar(name)) {
        Error("'" + path + "': Windows allows no \\ / < > \" | ? * in a name");
        return false;
      }
      switch (host::Classify(path, false)) {
        case host::PathKind::kFolder:
          if (!WalkFolder(path, sourceBase, childRel)) return false;
          continue;
        case host::PathKind::kFile:
          break;
        case host::PathKind::kLink:
          Error("'" + path + "' is a link; an installer carries files, not links");
          return false;
        case host::PathKind::kOther:
          Error("'" + path + "' is not a regular file");
          return false;
        default:
          Error("cannot read '" + path + "'");
          return false;
      }
      // A script written into the tree is not one of its files.
      if (std::any_of(outputs_.begin(), outputs_.end(),
                      [&](const std::string& o) { return !o.empty() && host::SamePath(path, o); }))
        continue;
      std::vector<std::string> parts;
      std::string why = TargetPathProblem(target_ + "\\" + childRel, &parts);
      if (!why.empty()) {
        Error("'" + path + "' cannot be installed: " + why);
        return false;
      }
      std::string key = FoldCase(childRel);
      auto seen = seen_.find(key);
      if (seen != seen_.end()) {
        Error("'" + path + "' and '" + seen->second + "' are one name on Windows");
        return false;
      }
      seen_[key] = path;
      std::string source = sourceBase.empty() ? childRel : sourceBase + "\\" + childRel;
      Entry e;
      e.rel = childRel;
      e.source = source;
      e.host = path;
      entries_.push_back(e);
    }
    return true;
  }

  std::string target_;
  std::vector<std::string> outputs_;
  std::vector<Entry> entries_;
  std::map<std::string, std::string> seen_;
};

// Lines of GBK text, ended by CR LF as the samples are.
void Line(std::string* out, const std::string& text) { *out += text + "\r\n"; }

bool WriteText(const std::string& text, const std::string& output) {
  if (output.empty()) {
    host::BinaryStdout();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0;
  }
  host::PathKind kind = host::Classify(output, false);
  if (kind != host::PathKind::kMissing && kind != host::PathKind::kFile) {
    Error("the output '" + output + "' is not a regular file; it must be a file or a new name");
    return false;
  }
  // Written beside it and moved over it whole, so that a failure leaves
  // the old one as it was.
  std::string abs = host::AbsolutePath(output);
  size_t cut = abs.find_last_of("\\/");
  std::string temp = host::NewTempFile(cut == std::string::npos ? "." : abs.substr(0, cut));
  CFile f;
  if (temp.empty() || !f.Open(temp.c_str(), CFile::modeCreate | CFile::modeWrite)) {
    if (!temp.empty()) platform::RemoveFile(temp);
    Error("cannot create a file beside '" + output + "'");
    return false;
  }
  bool ok = f.Write(text.data(), text.size()) && !f.IsFailed();
  f.Close();
  ok = ok && !f.IsFailed() && host::RenameFile(temp, output);
  if (!ok) {
    platform::RemoveFile(temp);
    Error("cannot write '" + output + "'");
  }
  return ok;
}

// The licence text as the UI script holds it: GBK, CR LF lines, and no line
// that the reader would take for the next section.
bool LicenceText(const std::string& path, std::string* out) {
  std::string problem = host::InputProblem(path);
  if (!problem.empty()) {
    Error("the licence '" + path + "': " + problem);
    return false;
  }
  CFile f;
  if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) {
    Error("cannot open the licence '" + path + "'");
    return false;
  }
  const uint64_t kMax = 1 << 20;
  if (f.GetLength() > kMax) {
    Error("the licence '" + path + "' is over 1 MiB");
    return false;
  }
  std::string text(static_cast<size_t>(f.GetLength()), '\0');
  if (f.Read(&text[0], text.size()) != text.size() || f.IsFailed()) {
    Error("cannot read the licence '" + path + "'");
    return false;
  }
  if (HasUtf8Mark(text)) text.erase(0, 3);
  // UTF-8 (what CMake projects write) is converted, a character GBK lacks
  // to its four-byte sequence; other bytes are taken for GBK already.
  if (ValidUtf8(text)) {
    std::string ansi = platform::Utf8ToAnsi(text);
    if (platform::AnsiToUtf8(ansi) != text) {
      Error("the licence '" + path + "' has bytes that are not UTF-8 text");
      return false;
    }
    text = ansi;
  }
  out->clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') line.insert(0, " ");
    Line(out, line);
    start = end + 1;
  }
  return true;
}

// A value for a first-line UI section: one line, as the reader takes it,
// and not one it skips as a comment or takes for the next section.
bool OneLine(const char* what, const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos) {
    Error(std::string("the ") + what + " must be one line");
    return false;
  }
  if (!value.empty() && (value[0] == ';' || value[0] == '[')) {
    Error(std::string("the ") + what + " '" + value + "' may not begin with '" + value[0] +
          "': the setup shell would not read it");
    return false;
  }
  return true;
}

bool WriteUIScript(const ScriptOptions& o) {
  // The product names the Uninstall key: without a usable one the install
  // fails at its end.
  std::string product = o.product;
  if (product.find_first_not_of(" \t") == std::string::npos ||
      product.find_first_of("\\|") != std::string::npos) {
    Error("the product name '" + product + "' cannot name an Uninstall key (empty, or \\ or |)");
    return false;
  }
  if (product.size() > 255) {
    Error("the product name is " + std::to_string(product.size()) +
          " bytes; an Uninstall key's name holds at most 255");
    return false;
  }
  std::string installDir = o.installDir.empty() ? product : o.installDir;
  std::string folder = o.programFolder.empty() ? product : o.programFolder;
  for (const std::string* dir : {&installDir, &folder}) {
    std::string why = PathProblem(*dir);
    if (!why.empty()) {
      Error("the folder '" + *dir + "' cannot be used: " + why);
      return false;
    }
  }
  if (!OneLine("product name", product) || !OneLine("version", o.version) ||
      !OneLine("publisher", o.publisher) || !OneLine("address", o.url))
    return false;
  std::string licence;
  if (!o.licence.empty() && !LicenceText(o.licence, &licence)) return false;
  std::string text;
  auto section = [&text](const char* name, const std::string& value) {
    Line(&text, std::string("[") + name + "]");
    Line(&text, value);
    Line(&text, "");
  };
  section("PRODUCTNAME", product);
  section("TARGETDIR", "<DEFAULT>\\" + installDir);
  section("TARGETFOLDER", folder);
  if (!o.version.empty()) section("VERSION", o.version);
  if (!o.publisher.empty()) section("PUBLISHER", o.publisher);
  if (!o.url.empty()) section("URL", o.url);
  // Last: its text runs to the next section or the end.
  Line(&text, "[LICENCE]");
  text += licence;
  return WriteText(text, o.ui);
}

bool KnownFolder(const std::string& head) {
  for (const char* f : {"<TARGET_FOLDER>", "<STARTUP_FOLDER>", "<DESKTOP_FOLDER>",
                        "<WINDOWS_FOLDER>", "<SYSTEM_FOLDER>"})
    if (FoldCase(head) == FoldCase(f)) return true;
  return false;
}

// Gives an entry its role; one file plays one.
bool TakeRole(Entry* e, int flags, const std::string& role) {
  if (!e->role.empty()) {
    Error("'" + e->rel + "' is given to " + e->role + " and to " + role);
    return false;
  }
  e->flags |= flags;
  e->role = role;
  return true;
}

// A registry file of --reg or --reg-list: a file of the tree takes the
// flags where it is; another file is packed too, to the target's top.
bool AddRegistryFile(const std::string& file, int flags, const std::string& option,
                     const std::string& canonicalBase, std::vector<Entry>* entries,
                     std::vector<Entry>* extras) {
  if (host::Classify(file, false) != host::PathKind::kFile) {
    Error(option + " '" + file + "' is not a regular file");
    return false;
  }
  for (Entry& e : *entries)
    if (host::SamePath(file, e.host)) return TakeRole(&e, flags, option);
  std::vector<std::string> parts = Split(file);
  const std::string name = parts.empty() ? std::string() : parts.back();
  std::string why = PathProblem(name);
  if (!why.empty()) {
    Error(option + " '" + file + "' cannot be installed: " + why);
    return false;
  }
  // Neither another file of that name nor a folder of the tree.
  const std::string folded = FoldCase(name);
  auto clashes = [&](const Entry& e) {
    const std::string rel = FoldCase(e.rel);
    return rel == folded || rel.compare(0, folded.size() + 1, folded + "\\") == 0;
  };
  for (const std::vector<Entry>* list : {entries, extras}) {
    auto it = std::find_if(list->begin(), list->end(), clashes);
    if (it != list->end()) {
      Error(option + " '" + file + "' and '" + it->host + "' are one name in the target");
      return false;
    }
  }
  std::string abs = host::AbsolutePath(file);
  size_t cut = abs.find_last_of("\\/");
  std::string folder = host::CanonicalPath(cut == 0 ? abs.substr(0, 1) : abs.substr(0, cut));
  std::string from = RelativeFolder(canonicalBase, folder);
  Entry e;
  e.rel = name;
  e.source = from.empty() ? name : from + "\\" + name;
  e.host = file;
  extras->push_back(e);
  return TakeRole(&extras->back(), flags, option);
}

// The file of --run, given its flags and arguments; null after an error.
Entry* MarkProgram(const ScriptOptions& o, std::vector<Entry>* entries) {
  const std::string& file = o.run[0];
  const std::string args = o.run.size() > 1 ? o.run[1] : std::string();
  std::string key = FoldCase(Join(Split(file), 0, '\\'));
  auto it = std::find_if(entries->begin(), entries->end(),
                         [&](const Entry& e) { return FoldCase(e.rel) == key; });
  if (it == entries->end()) {
    Error("--run '" + file + "': no file '" + file + "' in the folders");
    return nullptr;
  }
  if (!OneLine("--run arguments", args)) return nullptr;
  // The reader trims the value: blanks around the arguments are lost.
  std::string trimmed = args;
  trimmed.erase(0, trimmed.find_first_not_of(" \t"));
  trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
  if (!TakeRole(&*it, kRun | (o.wait ? kTemporary : 0), o.wait ? "--run --wait" : "--run"))
    return nullptr;
  it->commandLine = trimmed;
  return &*it;
}

}  // namespace

int CmdScript(const ScriptOptions& o) {
  std::string target = o.target.empty() ? "<TARGETDIR>" : o.target;
  while (!target.empty() && (target.back() == '\\' || target.back() == '/')) target.pop_back();
  static const char* const kDirs[] = {"<TARGETDIR>", "<WINSYSDIR>", "<WINDIR>", "<SETUPDIR>"};
  std::string head = target.substr(0, target.find('\\'));
  bool known = false;
  for (const char* d : kDirs) known |= FoldCase(head) == d;
  std::vector<std::string> parts;
  if (!known || !TargetPathProblem(target, &parts).empty()) {
    Error("the target '" + o.target +
          "' must be <TARGETDIR>, <WINSYSDIR>, <WINDIR> or <SETUPDIR>, or a folder below one");
    return 1;
  }

  if (!o.ui.empty() && (o.ui == o.output || host::SamePath(o.ui, o.output))) {
    Error("the setup script and the UI script are one file '" + o.ui + "'");
    return 1;
  }
  // SOURCE_PATH values are relative to the script's folder (the current
  // one for standard output).
  std::string base = ".";
  if (!o.output.empty()) {
    std::string abs = host::AbsolutePath(o.output);
    size_t cut = abs.find_last_of("\\/");
    base = cut == std::string::npos ? "." : cut == 0 ? abs.substr(0, 1) : abs.substr(0, cut);
  }
  std::string canonicalBase = host::CanonicalPath(base);
  if (canonicalBase.empty()) {
    Error("the output's folder '" + base + "' does not exist");
    return 1;
  }
  Walker walker(target, {o.output, o.ui});
  for (const std::string& dir : o.dirs) {
    if (host::Classify(dir, false) != host::PathKind::kFolder) {
      Error("'" + dir + "' is not a folder");
      return 1;
    }
    std::string from = RelativeFolder(canonicalBase, host::CanonicalPath(dir));
    if (!walker.Walk(dir, from)) return 1;
  }
  std::vector<Entry>& entries = walker.entries();
  if (entries.empty()) {
    Error("no file to install under '" + o.dirs[0] + "'" + (o.dirs.size() > 1 ? " and the others" : ""));
    return 1;
  }
  if (entries.size() > 0xFFFF) {
    Error("a package holds at most 65535 files; these folders have " +
          std::to_string(entries.size()));
    return 1;
  }

  for (const std::string& s : o.shortcuts) {
    size_t eq = s.find('=');
    std::string file = eq == std::string::npos ? s : s.substr(0, eq);
    std::string name = eq == std::string::npos ? std::string() : s.substr(eq + 1);
    if (file.empty() || name.empty()) {
      Error("--shortcut '" + s + "' is not FILE=NAME");
      return 1;
    }
    std::string key = FoldCase(Join(Split(file), 0, '\\'));
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return FoldCase(e.rel) == key; });
    if (it == entries.end()) {
      Error("--shortcut '" + s + "': no file '" + file + "' in the folders");
      return 1;
    }
    if (!it->shortcut.empty()) {
      Error("--shortcut '" + s + "': '" + file + "' has a shortcut already");
      return 1;
    }
    // A name that begins with a folder placeholder goes there; any other
    // goes below the Start menu's Programs folder.
    std::string link = "<TARGET_FOLDER>\\" + name + ".lnk";
    if (name[0] == '<') {
      std::string head = name.substr(0, name.find('\\'));
      if (!KnownFolder(head) || head.size() == name.size()) {
        Error("--shortcut '" + s + "': a shortcut's folder is <TARGET_FOLDER>, <STARTUP_FOLDER>, "
              "<DESKTOP_FOLDER>, <WINDOWS_FOLDER> or <SYSTEM_FOLDER>, then \\ and its name");
        return 1;
      }
      link = name + ".lnk";
    }
    std::string why = PathProblem(link.substr(link.find('\\') + 1));
    if (!why.empty()) {
      Error("--shortcut '" + s + "': the shortcut cannot be made: " + why);
      return 1;
    }
    for (const Entry& other : entries) {
      if (!other.shortcut.empty() && FoldCase(other.shortcut) == FoldCase(link)) {
        Error("--shortcut '" + s + "': '" + link + "' and '" + other.shortcut +
              "' are one shortcut on Windows");
        return 1;
      }
    }
    it->shortcut = link;
  }

  std::vector<Entry> extras;
  for (const std::string& reg : o.regs)
    if (!AddRegistryFile(reg, kRegedit | kTemporary, "--reg", canonicalBase, &entries, &extras))
      return 1;
  for (const std::string& list : o.regLists)
    if (!AddRegistryFile(list, kRegList, "--reg-list", canonicalBase, &entries, &extras))
      return 1;
  // The program runs last, once everything it may need is installed.
  Entry* program = nullptr;
  if (!o.run.empty() && !(program = MarkProgram(o, &entries))) return 1;
  if (o.wait && o.run.empty()) {
    Error("--wait needs --run");
    return 1;
  }
  for (const Entry& e : entries) {
    // The installer makes no shortcut to a file it deletes or never writes.
    if (!e.shortcut.empty() && (e.flags & (kTemporary | kRegList))) {
      Error("'" + e.rel + "' gets no shortcut: " + e.role + " " +
            (e.flags & kRegList ? "writes no file" : "deletes the file after its use"));
      return 1;
    }
  }
  std::vector<const Entry*> order;
  for (const Entry& e : entries)
    if (&e != program) order.push_back(&e);
  for (const Entry& e : extras) order.push_back(&e);
  if (program) order.push_back(program);

  std::string text;
  Line(&text, "; Setup script written by tarnmake script (GBK text).");
  Line(&text, "");
  for (const Entry* entry : order) {
    const Entry& e = *entry;
    const std::string targetPath = target + "\\" + e.rel;
    for (const std::string* v : {&targetPath, &e.shortcut, &e.commandLine}) {
      if (v->size() > kIndexMax) {
        Error("'" + *v + "' is over 255 bytes, more than the package holds");
        return 1;
      }
    }
    // The reader trims values: a leading blank would be lost.
    std::string source = e.source[0] == ' ' ? ".\\" + e.source : e.source;
    Line(&text, "[FILEINFO]");
    Line(&text, "SOURCE_PATH=" + source);
    Line(&text, "TARGET_PATH=" + targetPath);
    Line(&text, "INSTALL_FLAG=" + std::to_string(e.flags));
    if (!e.shortcut.empty()) Line(&text, "SHORTCUT_PATH=" + e.shortcut);
    if (!e.commandLine.empty()) Line(&text, "COMMAND_LINE=" + e.commandLine);
    Line(&text, "");
  }
  if (!o.ui.empty() && !WriteUIScript(o)) return 1;
  if (!WriteText(text, o.output)) return 1;
  if (!o.output.empty())
    Say("setup script '" + o.output + "': " + std::to_string(order.size()) + " entries");
  return 0;
}

}  // namespace tarnmake
