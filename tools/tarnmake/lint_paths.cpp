// Names as Windows will see them at install time.
#include <cstdio>
#include "engine/target_path.h"
#include "lint_findings.h"
#include "platform/codepage.h"
#include "text.h"

namespace tarnmake {
namespace lint {
namespace {

// Components at "\" and "/", a double-byte character's second byte never
// taken for either; empty ones (doubled separators) dropped, as the install
// drops them.
std::vector<std::string> Components(const std::string& rest) {
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i + 1 < rest.size() && platform::IsLeadByte(static_cast<unsigned char>(rest[i]))) {
      cur += rest[i];
      cur += rest[++i];
      continue;
    }
    if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
      continue;
    }
    cur += rest[i];
  }
  return parts;
}

// The character of a name Windows refuses, as text, or "".
std::string ReservedIn(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (i + 1 < name.size() && platform::IsLeadByte(c)) {
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "0x%02X", c);
      return std::string("the control character ") + buf;
    }
    if (std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos)
      return std::string("'") + static_cast<char>(c) + "'";
  }
  return std::string();
}

std::string Fold(const std::string& s) { return FoldedName(s); }

// Names that reach the log: its own, and its short name on a volume that
// makes them (UNISTA~1.TSU).
bool IsLogName(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  std::string f = Fold(name);
  if (f == "UNISTALL.TSU") return true;
  if (f.size() < 12 || f.compare(0, 7, "UNISTA~") != 0 || f.compare(f.size() - 4, 4, ".TSU") != 0)
    return false;
  std::string digits = f.substr(7, f.size() - 11);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
}

// The components with "." and ".." applied; false when ".." climbs above
// the placeholder.
bool Resolve(const std::vector<std::string>& parts, std::vector<std::string>* out) {
  out->clear();
  for (const std::string& p : parts) {
    if (p == ".") continue;
    if (p == "..") {
      if (out->empty()) return false;
      out->pop_back();
      continue;
    }
    out->push_back(p);
  }
  return true;
}

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

}  // namespace

std::string PathFault(const std::string& head, const std::string& rest, bool targetDir) {
  std::vector<std::string> parts = Components(rest), resolved;
  bool dots = false;
  for (const std::string& p : parts) {
    if (p == "." || p == "..") {
      dots = true;
      continue;
    }
    std::string reserved = ReservedIn(p);
    if (!reserved.empty()) return "'" + p + "' holds " + reserved + ", which no Windows name may hold";
    if (IsDeviceName(p)) return "'" + p + "' names a Windows device, whatever its extension";
  }
  if (!Resolve(parts, &resolved)) return "'..' climbs out of " + head;
  if (targetDir && resolved.size() == 1 && IsLogName(resolved[0]))
    return "it is the uninstall log's own file, " + head + "\\Unistall.tsu, however it is spelt";
  for (const std::string& p : parts) {
    if (p == "." || p == "..") continue;
    if (p.back() == '.' || p.back() == ' ')
      return "'" + p + "' ends in a dot or a blank, which Windows drops";
  }
  if (dots) return "'.' and '..' components are refused by the installer; write the path without them";
  if (resolved.empty()) return "it names no file below " + head;
  return std::string();
}

std::string SpelledPath(const std::string& head, const std::string& rest) {
  std::vector<std::string> resolved;
  Resolve(Components(rest), &resolved);
  std::string out = Upper(head);
  for (const std::string& p : resolved) out += "\\" + p;
  return out;
}

std::string ComparedPath(const std::string& head, const std::string& rest) {
  return Fold(SpelledPath(head, rest));
}

}  // namespace lint
}  // namespace tarnmake
