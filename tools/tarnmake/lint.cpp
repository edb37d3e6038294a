// What a built package holds, looked at as the install will look at it.
#include "lint.h"
#include <map>
#include "afx/cstring.h"
#include "engine/tsp_index.h"
#include "lint_findings.h"

namespace tarnmake {

bool LintStoredEntries(const std::string& file, const std::vector<Entry>& entries) {
  lint::Findings f(file);
  std::map<std::string, std::pair<std::string, int>> seen;  // compared -> spelled, entry
  for (size_t n = 0; n < entries.size(); ++n) {
    const Entry& e = entries[n];
    std::string which = "entry [" + std::to_string(n) + "] " + e.target_path;
    int slash = CString(e.target_path.c_str()).Find('\\');
    if (slash < 0) continue;  // told by the target check before
    std::string head = e.target_path.substr(0, static_cast<size_t>(slash));
    std::string rest = e.target_path.substr(static_cast<size_t>(slash) + 1);
    CString h(head.c_str());
    std::string why = lint::PathFault(head, rest, h.CompareNoCase("<TARGETDIR>") == 0);
    if (!why.empty()) {
      f.Error(0, which + ": its target path cannot be installed: " + why);
      continue;
    }
    int cut = CString(e.shortcut_path.c_str()).Find('\\');
    if (cut > 0) {
      std::string linkHead = e.shortcut_path.substr(0, static_cast<size_t>(cut));
      std::string linkWhy =
          lint::PathFault(linkHead, e.shortcut_path.substr(static_cast<size_t>(cut) + 1), false);
      if (!linkWhy.empty()) f.Error(0, which + ": its shortcut " + e.shortcut_path + " cannot be made: " + linkWhy);
    }
    if (e.slot < 0 || (e.install_flag & IF_REGLIST)) continue;  // writes no file
    auto it = seen.emplace(lint::ComparedPath(head, rest),
                           std::make_pair(lint::SpelledPath(head, rest), static_cast<int>(n)));
    if (!it.second && it.first->second.first != lint::SpelledPath(head, rest))
      f.Error(0, which + " and entry [" + std::to_string(it.first->second.second) + "] " +
                     it.first->second.first + " differ only in case: Windows takes them for one file");
  }
  return f.ok();
}

}  // namespace tarnmake
