#include "shell/command_line.h"
#include "inifile/ini_file.h"
#include "shell/wizard/page_rules.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "/S" or "/s" standing alone at the start; rest then holds what follows,
// blanks skipped.
bool TakeSilentSwitch(CString& rest) {
  const std::string& s = rest.str();
  if (s.size() < 2 || s[0] != '/' || (s[1] | 0x20) != 's') return false;
  if (s.size() > 2 && !IsBlank(s[2])) return false;
  rest = rest.Mid(2);
  rest.TrimLeft();
  return true;
}

// Deployment tools, cmd and PowerShell quote an argument with blanks or
// "|": "/D=C:\a b", /D="C:\a b" and "-U|key|log" are read without them.
void Unquote(CString& rest) {
  const std::string& s = rest.str();
  if (s.size() >= 2 && s[0] == '"' && s.back() == '"' && s.find('"', 1) == s.size() - 1) {
    rest = rest.Mid(1, rest.GetLength() - 2);
  } else if (s.size() >= 5 && rest.Left(4).CompareNoCase("/D=\"") == 0 && s.back() == '"' &&
             s.find('"', 4) == s.size() - 1) {
    rest = rest.Left(3) + rest.Mid(4, rest.GetLength() - 5);
  }
}

// A word of the line that starts with "/S" in any case, alone or glued to
// more ("/S/D=", "/SILENT"): whoever wrote it wanted no window.
bool MentionsSilent(const std::string& s) {
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if ((i == 0 || IsBlank(s[i - 1])) && s[i] == '/' && (s[i + 1] | 0x20) == 's') return true;
  return false;
}

void SplitUninstall(CString rest, stuCommandLine& result) {
  CString first = CIniFile::GetFirstParam(rest, nullptr, '|');
  if (first.CompareNoCase("-U") != 0) return;
  result.bUninstall = TRUE;
  result.strKeyName = CIniFile::GetFirstParam(rest, nullptr, '|');
  result.strLogPath = rest;
}
}  // namespace

stuCommandLine SplitCommandLine(LPCSTR cmdLine) {
  stuCommandLine result;
  if (!cmdLine) return result;
  CString rest(cmdLine);
  if (!TakeSilentSwitch(rest)) {
    SplitUninstall(rest, result);
    // The uninstall's fields are names, not switches. Anything else naming
    // "/S" out of its place is a silent run with a wrong argument: a
    // deployment tool waiting on it must not get a wizard.
    if (!result.bUninstall && MentionsSilent(rest.str())) {
      result.bSilent = TRUE;
      result.strUnknown = rest;
      result.strUnknown.Trim();
    }
    return result;
  }
  result.bSilent = TRUE;
  rest.TrimRight();
  Unquote(rest);
  if (rest.IsEmpty()) return result;
  if (rest.Left(3).CompareNoCase("/D=") == 0) {
    result.bTargetDir = TRUE;
    CString& dir = result.strTargetDir;
    dir = rest.Mid(3);
    dir.TrimRight();
    // "C:\App\" would give "C:\App\\Unistall.tsu" in the Uninstall entry.
    while (dir.GetLength() > 3 && dir[dir.GetLength() - 1] == '\\' &&
           IsCharStart(dir.str(), static_cast<size_t>(dir.GetLength() - 1)))
      dir = dir.Left(dir.GetLength() - 1);
    return result;
  }
  SplitUninstall(rest, result);
  if (!result.bUninstall) result.strUnknown = rest;
  return result;
}

const char* SilentTargetProblem(const CString& dir) {
  // The wizard's own words for an empty, network or relative path.
  if (const char* problem = InstallPathProblem(dir)) return problem;
  if (dir.Find('/') >= 0) return "/D= 必须是最后一个参数!";
  const std::string& s = dir.str();
  const char letter = static_cast<char>(s[0] | 0x20);
  if (s.size() < 3 || letter < 'a' || letter > 'z' || s[1] != ':' || s[2] != '\\')
    return kRelativePathText;
  for (char c : std::string(":*?\"<>|"))
    if (dir.Find(c, 2) >= 0) return "安装路径中有不能使用的字符!";
  return nullptr;
}
