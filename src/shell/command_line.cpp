#include "shell/command_line.h"
#include "inifile/ini_file.h"

stuCommandLine SplitCommandLine(LPCSTR cmdLine) {
  stuCommandLine result;
  if (!cmdLine) return result;
  CString rest(cmdLine);
  CString first = CIniFile::GetFirstParam(rest, nullptr, '|');
  if (first.CompareNoCase("-U") != 0) return result;
  result.bUninstall = TRUE;
  result.strKeyName = CIniFile::GetFirstParam(rest, nullptr, '|');
  result.strLogPath = rest;
  return result;
}
