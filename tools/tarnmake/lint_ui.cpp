// The UI script, read as the setup shell reads it: a section is found by a
// line that is exactly its header, it runs to the next line that begins
// with "[", and only the first of two sections of one name is read.
#include <map>
#include "engine/install_runner.h"
#include "lint.h"
#include "lint_findings.h"
#include "lint_read.h"

namespace tarnmake {
namespace {
using lint::Findings;

const std::vector<std::string> kSections = {"PRODUCTNAME", "TARGETDIR", "TARGETFOLDER", "LICENCE",
                                            "VERSION",     "PUBLISHER", "URL"};

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

void Run(Findings& f, const std::vector<std::string>& lines) {
  std::map<std::string, int> seen;  // section -> its header's line
  std::string section;              // the one being read, "" outside or unknown
  int productLine = 0;              // of the product name, once found
  std::string product;
  int strayLine = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    int no = static_cast<int>(i) + 1;
    if (!line.empty() && line[0] == '[') {
      std::string name;
      bool header = line.size() >= 2 && line.back() == ']';
      if (header) name = line.substr(1, line.size() - 2);
      std::string trimmed = line;
      trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
      bool known = false;
      for (const std::string& k : kSections) known |= header && Upper(name) == k;
      if (known) {
        auto first = seen.emplace(Upper(name), no);
        if (!first.second) {
          f.Error(no, "[" + name + "] again: the shell reads only the one on line " +
                          std::to_string(first.first->second));
          section.clear();
          continue;
        }
        section = Upper(name);
        continue;
      }
      if (section == "LICENCE" && !(trimmed.size() >= 2 && trimmed.back() == ']')) {
        f.Error(no, "this licence line begins with '[', which ends the licence; begin it with "
                    "a blank");
      } else if (!header) {
        std::string inner = trimmed.substr(1);
        if (!inner.empty() && inner.back() == ']') inner.pop_back();
        f.Error(no, "'" + line + "' is no section header the shell reads (it must be the whole "
                    "line, without blanks)" + lint::DidYouMean(inner, kSections));
      } else {
        f.Unknown(no, "unknown section [" + name + "], which the shell does not read" +
                          lint::DidYouMean(name, kSections));
      }
      section.clear();
      strayLine = 0;
      continue;
    }
    if (section.empty()) {
      bool blank = line.find_first_not_of(" \t") == std::string::npos;
      if (!blank && line[0] != ';' && !strayLine && seen.empty()) {
        strayLine = no;
        f.Error(no, "this line is outside any section and is not read");
      }
      continue;
    }
    if (section == "PRODUCTNAME" && !productLine && !line.empty() && line[0] != ';') {
      productLine = no;
      product = line;
    }
  }
  auto header = seen.find("PRODUCTNAME");
  if (header == seen.end()) {
    f.Error(0, "there is no [PRODUCTNAME]: the product needs a name for its Uninstall entry");
  } else if (!productLine) {
    f.Error(header->second, "[PRODUCTNAME] holds no name: the product needs one for its "
                            "Uninstall entry");
  } else if (!IsUninstallKeyName(product.c_str())) {
    std::string why = product.size() > 255 ? "it is " + std::to_string(product.size()) +
                                                 " bytes, over 255"
                      : product.find_first_not_of(" \t") == std::string::npos
                          ? "it is blank"
                          : "it holds \\ or |";
    f.Error(productLine, "the product name cannot name an Uninstall entry: " + why);
  }
}

}  // namespace

bool LintUIText(const std::string& file, const std::string& text) {
  Findings f(file);
  Run(f, lint::Lines(text));
  return f.ok();
}

bool LintUIScript(const std::string& file, const std::string& path) {
  Findings f(file);
  std::string text;
  if (!lint::ReadScript(path, f, &text)) return false;
  Run(f, lint::Lines(text));
  return f.ok();
}

}  // namespace tarnmake
