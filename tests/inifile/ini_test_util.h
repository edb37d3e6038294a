// Helpers shared by the CIniFile tests.
#pragma once
#include <string>
#include <vector>
#include "afx/collections.h"
#include "inifile/ini_file.h"

inline std::vector<std::string> Lines(const CStringArray& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.GetSize(); ++i) out.push_back(a[i].str());
  return out;
}

inline CStringArray Array(const std::vector<std::string>& v) {
  CStringArray a;
  for (const auto& s : v) a.Add(CString(s));
  return a;
}

inline std::string OpenFailure(const std::string& path) { return "不能打开文件'" + path + "'"; }

// The default header as stored on disk: text mode turns LF into CR LF.
inline std::string DefaultHeadOnDisk() {
  return ";******************************\r\n"
         ";TarnSetup 配置文件 V1.0\r\n"
         ";Tarn Studio\r\n"
         ";http://www.tarnstudio.net/\r\n"
         ";mailto:support@tarnstudio.net\r\n"
         ";******************************\r\n";
}
