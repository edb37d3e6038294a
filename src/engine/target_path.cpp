#include "engine/target_path.h"
#include <cctype>
#include "platform/codepage.h"

bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* n : kNames)
    if (base == n) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

std::string TargetPathProblem(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  std::string cur;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i + 1 < path.size() && platform::IsLeadByte(static_cast<unsigned char>(path[i]))) {
      cur += path[i];
      cur += path[++i];
      continue;
    }
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      if (cur == "." || cur == "..") return "it climbs out of its folder";
      if (IsDeviceName(cur)) return "'" + cur + "' names a Windows device";
      // Windows drops a trailing dot or blank: the name would be another one.
      if (!cur.empty() && (cur.back() == '.' || cur.back() == ' '))
        return "'" + cur + "' ends in a dot or a blank";
      if (!cur.empty()) parts->push_back(cur);
      cur.clear();
      continue;
    }
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == ':' || c < 0x20 || c == 0x7F) return "it holds a character no file name may hold";
    cur += path[i];
  }
  if (parts->empty()) return "it is empty";
  return std::string();
}

std::string CanonicalSeparators(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  size_t i = 0;
  bool separator = false;  // the last character out is a "\" of its own
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
    out = "\\\\";
    i = 2;
    separator = true;
  }
  for (; i < path.size(); ++i) {
    if (i + 1 < path.size() && platform::IsLeadByte(static_cast<unsigned char>(path[i]))) {
      out += path[i];
      out += path[++i];
      separator = false;
    } else if (path[i] == '\\' || path[i] == '/') {
      if (!separator) out += '\\';
      separator = true;
    } else {
      out += path[i];
      separator = false;
    }
  }
  return out;
}
