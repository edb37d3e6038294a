#include "shell/wizard/page_rules.h"

DWORD LicenceButtons(int choice) { return choice == 0 ? kWizBack | kWizNext : kWizBack; }

BOOL LicenceMayLeave(BOOL forward, int choice) { return !forward || choice == 0; }

const char* InstallPathProblem(const CString& path) {
  if (path.IsEmpty()) return "请选择安装路径!";
  if (path.Find(':') >= 0) return nullptr;
  if (path.GetLength() >= 2 && path[0] == '\\' && path[1] == '\\') return "不支持网络安装!\n";
  return kRelativePathText;
}

CString TargetDirInfoText(const CString& productName, BOOL installed,
                          const CString& installedVersion) {
  CString text;
  text.Format("    安装程序将把 %s 安装到以下路径中。\n    点击'下一步'将开始安装。",
              static_cast<LPCSTR>(productName));
  if (!installed) return text;
  CString upgrade;
  if (installedVersion.IsEmpty())
    upgrade.Format("\n    本机已安装 %s,建议安装到原来的路径中。", static_cast<LPCSTR>(productName));
  else
    upgrade.Format("\n    本机已安装 %s %s 版,建议安装到原来的路径中。", static_cast<LPCSTR>(productName),
                   static_cast<LPCSTR>(installedVersion));
  return text + upgrade;
}
