#include "lint_findings.h"
#include <algorithm>
#include <cctype>
#include "commands.h"
#include "lint.h"
#include "report.h"

namespace tarnmake {
namespace {
bool g_lax = false, g_strict = false;
}

void SetLax(bool lax) { g_lax = lax; }
bool Lax() { return g_lax; }
void SetStrict(bool strict) { g_strict = strict; }
bool Strict() { return g_strict; }

namespace lint {

std::string Findings::Where(int line) const {
  return line > 0 ? file_ + ":" + std::to_string(line) + ": " : file_ + ": ";
}

void Findings::Error(int line, const std::string& text) {
  ++errors_;
  tarnmake::Error(Where(line) + text);
}

void Findings::Warn(int line, const std::string& text) {
  if (g_strict)
    Error(line, text);
  else
    Note("warning: " + Where(line) + text);
}

void Findings::Unknown(int line, const std::string& text) {
  if (g_lax)
    Warn(line, text);
  else
    Error(line, text + " (--lax makes this a warning)");
}

namespace {
std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Edits between two names, a swap of neighbours counting as one.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}
}  // namespace

std::string Nearest(const std::string& name, const std::vector<std::string>& known) {
  std::string n = name;
  n.erase(0, n.find_first_not_of(" \t"));
  n.erase(n.find_last_not_of(" \t") + 1);
  n = Upper(n);
  if (n.empty() || n.size() > 64) return std::string();
  std::string best;
  size_t bestDistance = 3;  // a slip of one or two keys
  for (const std::string& k : known) {
    size_t d = Distance(n, Upper(k));
    if (d < bestDistance && d * 3 <= k.size()) {
      best = k;
      bestDistance = d;
    }
  }
  // A name cut short: "<DESKTOP>" for "<DESKTOP_FOLDER>".
  std::string stem = n;
  if (best.empty() && stem.size() > 1 && stem.back() == '>') stem.pop_back();
  for (const std::string& k : known) {
    if (!best.empty() || stem.size() < 4) break;
    std::string u = Upper(k);
    if (u.size() > stem.size() && u.compare(0, stem.size(), stem) == 0) best = k;
  }
  return best;
}

std::string DidYouMean(const std::string& name, const std::vector<std::string>& known) {
  std::string near = Nearest(name, known);
  return near.empty() ? std::string() : "; did you mean " + near + "?";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

}  // namespace lint
}  // namespace tarnmake
