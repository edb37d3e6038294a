#include "shell/ui_script.h"
#include <string>
#include "afx/msgbox.h"
#include "engine/install_runner.h"
#include "inifile/ini_file.h"
#include "platform/fs.h"

namespace {

CString FirstLine(CStringArray& lines) {
  CString first = lines.GetSize() > 0 ? lines[0] : CString();
  lines.RemoveAll();
  return first;
}

}  // namespace

BOOL CUIScriptReader::Read(CString& productName, CString& targetDir, CString& programFolder,
                           CString& licence) {
  if (m_strFileName.IsEmpty()) {
    AfxReportFailure("", "没有指定Setup UI Script File!");
    return FALSE;
  }
  productName.Empty();
  targetDir.Empty();
  programFolder.Empty();
  licence.Empty();
  CIniFile ini(m_strFileName);
  CStringArray lines;

  if (ini.FindSection("PRODUCTNAME", lines)) productName = FirstLine(lines);
  BOOL haveFolder = ini.FindSection("TARGETFOLDER", lines);

  std::string programs;
  if (!platform::SpecialFolderPath(platform::kFolderPrograms, &programs)) {
    AfxReportFailure(m_strFileName, "SHGetSpecialFolderPath CSIDL_PROGRAMS failed!!");
    return FALSE;
  }
  if (haveFolder) {
    programFolder = FirstLine(lines);
    programFolder.MakeUpper();
    programFolder.Replace("<DEFAULT>", "");
  }

  BOOL haveDir = ini.FindSection("TARGETDIR", lines);
  std::string programFiles;
  if (!platform::SpecialFolderPath(platform::kFolderProgramFiles, &programFiles))
    programFiles = "C:\\Program Files";
  if (haveDir) {
    targetDir = FirstLine(lines);
    targetDir.MakeUpper();
    targetDir.Replace("<DEFAULT>", programFiles.c_str());
  }
  if (targetDir.IsEmpty()) targetDir = programFiles;

  ini.ReadRawSection("LICENCE", lines);
  for (int i = 0; i < lines.GetSize(); ++i) licence += lines[i] + "\r\n";
  lines.RemoveAll();
  return TRUE;
}

void CUIScriptReader::ReadDetails(CString& version, CString& publisher, CString& url) {
  ReadEntryDetails(m_strFileName, version, publisher, url);
}

CString FormatWelcomeText(const CString& productName) {
  CString text;
  text.Format("    欢迎进入 %s 安装程序。本程序将在您的计算机中安装 %s。\n\n"
              "    建议您在继续安装之前退出所有正在运行的 Windows 程序。\n\n"
              "    点击'下一步'继续。",
              static_cast<LPCSTR>(productName), static_cast<LPCSTR>(productName));
  return text;
}

void LoadUIScriptInto(CTarnSetupShellApp& app) {
  CUIScriptReader reader(app.m_strUIScriptFile);
  reader.Read(app.m_strProductName, app.m_strTargetDir, app.m_strProgramFolder, app.m_strLicence);
  reader.ReadDetails(app.m_strVersion, app.m_strPublisher, app.m_strURL);
  app.m_strWelcomeText = FormatWelcomeText(app.m_strProductName);
}
