// list, extract and verify: looking into what was made.
#include <cstdio>
#include <map>
#include <string>
#include <vector>
#include "afx/cstring.h"
#include "commands.h"
#include "engine/tsp_index.h"
#include "host.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "reader.h"
#include "report.h"
#include "text.h"
#include "engine/target_path.h"
#include "lint.h"

namespace tarnmake {
namespace {

std::vector<std::string> FlagNames(BYTE flags) {
  static const struct {
    BYTE bit;
    const char* name;
  } kNames[] = {{IF_REGISTER, "IF_REGISTER"},   {IF_REGEDIT, "IF_REGEDIT"},
                {IF_TEMPORARY, "IF_TEMPORARY"}, {IF_KEEP_EXISTING, "IF_KEEP_EXISTING"},
                {IF_REGLIST, "IF_REGLIST"},     {IF_RUN, "IF_RUN"},
                {IF_NO_DATA, "IF_NO_DATA"}};
  std::vector<std::string> out;
  for (const auto& n : kNames)
    if (flags & n.bit) out.push_back(n.name);
  if (flags & 0x80) out.push_back("0x80");
  return out;
}

const char* OsName(DWORD v) {
  if (v & 1) return "NT only";
  if (v & 2) return "non-NT only";
  return "any";
}

// A calendar time as "YYYY-MM-DD hh:mm:ss" UTC; "-" for 0 (not known).
std::string TimeText(DWORD t) {
  if (t == 0) return "-";
  int64_t days = t / 86400, secs = t % 86400;
  // Civil date from days since 1970-01-01.
  int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153, d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(y),
                static_cast<int>(m), static_cast<int>(d), static_cast<int>(secs / 3600),
                static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
  return buf;
}


void PrintJson(Container& c) {
  std::string s = "{\n  \"kind\": " + Json(KindName(c.kind())) +
                  ",\n  \"version\": " + Json(c.version()) +
                  ",\n  \"password\": " + Json(c.password()) +
                  ",\n  \"file_count\": " + std::to_string(c.file_count()) +
                  ",\n  \"size_table\": [";
  for (size_t i = 0; i < c.size_table().size(); ++i)
    s += (i ? ", " : "") + std::to_string(c.size_table()[i]);
  s += "]";
  if (c.kind() == Kind::kInstaller) {
    const InstallerInfo& in = c.installer();
    s += ",\n  \"installer\": {\"shell_size\": " + std::to_string(in.shell_size) +
         ", \"package_size\": " + std::to_string(in.package_orig) +
         ", \"package_stored\": " + std::to_string(in.package_stored) +
         ", \"ui_script_size\": " + std::to_string(in.ui_orig) +
         ", \"ui_script_stored\": " + std::to_string(in.ui_stored) +
         ", \"signed\": " + (in.authenticode ? "true" : "false") + "}";
  }
  s += ",\n  \"entries\": [";
  bool first = true;
  for (const Entry& e : c.entries()) {
    // Entry by entry: 65535 of them would make a large text.
    std::fputs(s.c_str(), stdout);
    s = first ? "\n    {" : ",\n    {";
    first = false;
    s += "\"target_path\": " + Json(e.target_path) +
         ", \"shortcut_path\": " + Json(e.shortcut_path) +
         ", \"command_line\": " + Json(e.command_line) +
         ", \"icon_id\": " + std::to_string(e.icon_id) +
         ", \"orig_size\": " + std::to_string(e.orig_size) +
         ", \"stored_size\": " + std::to_string(e.stored_size) +
         ", \"install_flag\": " + std::to_string(e.install_flag) + ", \"flags\": [";
    std::vector<std::string> names = FlagNames(e.install_flag);
    for (size_t i = 0; i < names.size(); ++i) s += (i ? ", " : "") + Json(names[i]);
    s += "], \"create_time\": " + std::to_string(e.create_time) +
         ", \"modify_time\": " + std::to_string(e.modify_time) +
         ", \"access_time\": " + std::to_string(e.access_time) +
         ", \"os_version\": " + std::to_string(e.os_version) +
         ", \"protected\": " + std::to_string(e.protected_flags) + "}";
  }
  s += first ? "]\n}\n" : "\n  ]\n}\n";
  std::fputs(s.c_str(), stdout);
}

void PrintText(Container& c) {
  std::string head = std::string(KindName(c.kind())) + " " + c.version() + ", " +
                     std::to_string(c.file_count()) + " entries, " +
                     std::to_string(c.size_table().size()) + " stored items, data " +
                     std::to_string(c.data_length()) + " bytes, password " +
                     (c.password().empty() ? "none" : "'" + c.password() + "'");
  Say(head);
  if (c.kind() == Kind::kInstaller) {
    const InstallerInfo& in = c.installer();
    Say("shell " + std::to_string(in.shell_size) + " bytes; package " +
        std::to_string(in.package_orig) + " bytes (stored " + std::to_string(in.package_stored) +
        "); UI script " + std::to_string(in.ui_orig) + " bytes (stored " +
        std::to_string(in.ui_stored) + ")" + (in.authenticode ? "; signed" : ""));
  }
  if (c.kind() == Kind::kPacket) {
    for (size_t i = 0; i < c.size_table().size(); ++i)
      Say("  item " + std::to_string(i) + ": stored " + std::to_string(c.size_table()[i]) + " bytes");
    return;
  }
  int n = 0;
  for (const Entry& e : c.entries()) {
    std::string flags;
    for (const std::string& f : FlagNames(e.install_flag)) flags += (flags.empty() ? "" : "|") + f;
    Say("[" + std::to_string(n++) + "] " + e.target_path);
    std::string line = "    ";
    if (e.slot < 0)
      line += "no data";
    else
      line += std::to_string(e.orig_size) + " bytes, stored " + std::to_string(e.stored_size) +
              (e.stored_size == e.orig_size ? " (raw)" : " (zlib)");
    line += "; flags " + (flags.empty() ? std::string("none") : flags) + "; os " +
            OsName(e.os_version);
    if (e.protected_flags) line += "; protected " + std::to_string(e.protected_flags);
    Say(line);
    if (e.slot >= 0)
      Say("    created " + TimeText(e.create_time) + ", modified " + TimeText(e.modify_time) +
          ", accessed " + TimeText(e.access_time) + " (UTC)");
    if (!e.shortcut_path.empty())
      Say("    shortcut " + e.shortcut_path + " (icon " + std::to_string(e.icon_id) + ")");
    if (!e.command_line.empty()) Say("    command line " + e.command_line);
  }
}

bool OpenContainer(Container& c, const std::string& file) {
  std::string error;
  if (c.Open(file, &error)) return true;
  Error(file + ": " + error);
  return false;
}

// A host path folded as Windows compares names: Latin letters without
// case, the second byte of a double-byte character left alone.
std::string Folded(const std::string& path) {
  std::string out = path;
  for (size_t i = 0; i < out.size(); ++i) {
    if (platform::IsLeadByte(static_cast<BYTE>(out[i]))) {
      ++i;
      continue;
    }
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

// Makes the folders of an entry below root, refusing to pass through a
// link or to write where something else than a file is.
bool PrepareTarget(const std::string& root, const std::vector<std::string>& parts,
                   std::string* path, std::string* error) {
  *path = root;
  for (size_t i = 0; i < parts.size(); ++i) {
    bool last = i + 1 == parts.size();
    *path += "\\" + host::HostName(parts[i]);
    switch (host::Classify(*path, false)) {
      case host::PathKind::kMissing:
        if (!last && !platform::MakeDirectory(*path)) {
          *error = "cannot create the folder '" + *path + "'";
          return false;
        }
        break;
      case host::PathKind::kFolder:
        if (!last) break;
        *error = "'" + *path + "' is a folder";
        return false;
      case host::PathKind::kFile:
        // A new file rather than the old one rewritten: that one may be a
        // hard link to a file outside.
        if (last && platform::RemoveFile(*path)) break;
        if (last) {
          *error = "cannot replace '" + *path + "'";
          return false;
        }
        *error = "'" + *path + "' is a file, not a folder";
        return false;
      case host::PathKind::kLink:
        // It could lead anywhere outside the folder.
        *error = "refused, '" + *path + "' is a link";
        return false;
      default:
        *error = "'" + *path + "' is not a regular file or folder";
        return false;
    }
  }
  return true;
}

}  // namespace

int CmdList(const std::string& file, bool json) {
  Container c;
  if (!OpenContainer(c, file)) return 1;
  if (json)
    PrintJson(c);
  else
    PrintText(c);
  return 0;
}

int CmdVerify(const std::string& file) {
  Container c;
  if (!OpenContainer(c, file)) return 1;
  std::string error;
  if (c.kind() == Kind::kInstaller) {
    const InstallerInfo& in = c.installer();
    if (in.shell_size == 0) {
      Error(file + ": the installer has no setup shell before its payload");
      return 1;
    }
    // The shell cannot extract an empty blob.
    if (in.ui_orig == 0) {
      Error(file + ": the UI script blob is empty");
      return 1;
    }
    std::string head;
    // The whole of any UI script a person writes; a larger blob's start.
    if (!c.CheckBlob(Container::Blob::kUIScript, &error, &head, 4u << 20)) {
      Error(file + ": damaged UI script blob: " + error);
      return 1;
    }
    // The shell reads GBK only: a marked UTF-8 script (from a tarnmake that
    // did not convert it) would lose its first section.
    if (HasUtf8Mark(head)) {
      Error(file + ": the UI script blob is UTF-8 (it begins with a byte order mark); the shell "
                   "reads GBK, so build the installer again with this tarnmake");
      return 1;
    }
    if (!LintUIText(file + " (UI script)", head)) return 1;
    if (!c.CheckBlob(Container::Blob::kPackage, &error)) {
      Error(file + ": damaged package blob: " + error);
      return 1;
    }
  }
  if (c.trailing_bytes() != 0) {
    Error(file + ": " + std::to_string(c.trailing_bytes()) + " stray bytes follow the size table" +
          (c.kind() == Kind::kInstaller ? " in the package blob" : ""));
    return 1;
  }
  int n = 0;
  for (const Entry& e : c.entries()) {
    std::vector<std::string> parts;
    std::string why = TargetPathProblem(e.target_path, &parts);
    if (!why.empty()) {
      Error(file + ": entry [" + std::to_string(n) + "] " + e.target_path +
            ": its target path cannot be installed: " + why);
      return 1;
    }
    ++n;
  }
  if (!LintStoredEntries(file, c.entries())) return 1;
  uint64_t total = 0;
  for (const Entry& e : c.entries()) total += e.stored_size;
  Progress bar("verifying", total);
  auto count = [](const BYTE*, size_t) { return true; };
  n = 0;
  for (const Entry& e : c.entries()) {
    if (!c.DecodeEntry(e, count, &error)) {
      bar.Finish();
      Error(file + ": damaged entry [" + std::to_string(n) + "] " + e.target_path + ": " + error);
      return 1;
    }
    bar.Advance(e.slot >= 0 ? e.stored_size : 0);
    ++n;
  }
  if (c.kind() == Kind::kPacket) {
    for (size_t i = 0; i < c.size_table().size(); ++i) {
      if (!c.CopyStored(static_cast<int>(i), count, &error)) {
        Error(file + ": damaged item " + std::to_string(i) + ": " + error);
        return 1;
      }
    }
  }
  bar.Finish();
  // The signature is only found, not checked: that is the system's job.
  bool signed_ = c.kind() == Kind::kInstaller && c.installer().authenticode;
  Say(file + ": OK, " + std::string(KindName(c.kind())) + " with " +
      std::to_string(c.file_count()) + " entries" +
      (signed_ ? ", signed (its signature is not checked)" : ""));
  return 0;
}

int CmdExtract(const std::string& file, const std::string& dir) {
  Container c;
  if (!OpenContainer(c, file)) return 1;
  if (c.kind() == Kind::kPacket) {
    Error(file + ": a plain packet has no index that names its items");
    return 1;
  }
  std::string root = dir;
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  host::PathKind rootKind = host::Classify(root, true);
  if (rootKind == host::PathKind::kMissing) platform::MakeDirectory(root);
  if (host::Classify(root, true) != host::PathKind::kFolder) {
    Error(rootKind == host::PathKind::kMissing ? "cannot create the folder '" + dir + "'"
                                               : "'" + dir + "' is not a folder");
    return 1;
  }
  int failures = 0;
  std::string error;
  if (c.kind() == Kind::kInstaller) {
    if (!c.CheckBlob(Container::Blob::kUIScript, &error)) {
      Error(file + ": damaged UI script blob: " + error);
      ++failures;
    }
    // Reading the entries does not reach the end of a compressed package
    // blob, where its check value is.
    if (!c.CheckBlob(Container::Blob::kPackage, &error)) {
      Error(file + ": damaged package blob: " + error);
      ++failures;
    }
  }
  uint64_t total = 0;
  for (const Entry& e : c.entries()) total += e.stored_size;
  Progress bar("extracting", total);
  int written = 0, n = -1;
  std::map<std::string, int> taken;  // folded path -> entry that wrote it
  for (const Entry& e : c.entries()) {
    ++n;
    if (e.slot < 0) continue;
    std::string which = "entry [" + std::to_string(n) + "] " + e.target_path;
    std::vector<std::string> parts;
    std::string path, why = TargetPathProblem(e.target_path, &parts);
    if (!why.empty()) {
      Error(which + ": refused, " + why);
      ++failures;
      continue;
    }
    if (!PrepareTarget(root, parts, &path, &error)) {
      Error(which + ": " + error);
      ++failures;
      continue;
    }
    CFile out;
    if (!out.Open(path.c_str(), CFile::modeWrite | CFile::modeCreate)) {
      Error(which + ": cannot write '" + path + "'");
      ++failures;
      continue;
    }
    bool ok = c.DecodeEntry(
        e, [&out](const BYTE* p, size_t k) { return out.Write(p, k) != FALSE; }, &error);
    out.Close();
    if (!ok) {
      platform::RemoveFile(path);
      Error(which + ": " + error);
      ++failures;
      continue;
    }
    platform::SetFileTimes(path, e.create_time, e.modify_time, e.access_time);
    bar.Advance(e.stored_size);
    // As an install would, the later entry replaces the earlier one.
    auto seen = taken.emplace(Folded(path), n);
    if (!seen.second) {
      Note("warning: " + which + " has the target path of entry [" +
           std::to_string(seen.first->second) + "] and replaces it");
      seen.first->second = n;
    } else {
      ++written;
    }
  }
  bar.Finish();
  if (failures) return 1;  // each told in its own line
  Say(std::to_string(written) + (written == 1 ? " file" : " files") + " extracted into '" + dir +
      "'");
  return 0;
}

}  // namespace tarnmake
