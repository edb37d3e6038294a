#include "shell/installed_product.h"
#include "afx/msgbox.h"
#include "shell/command_line.h"

CString OtherPublisherText(const CString& product, const CString& theirPublisher, bool asking) {
  CString text;
  if (asking)
    text.Format("本机已安装的 %s 由 %s 发布,与本安装程序的发布者不同。\n继续安装将覆盖它,您确定要继续吗?",
                static_cast<LPCSTR>(product), static_cast<LPCSTR>(theirPublisher));
  else
    text.Format("本机已安装的 %s 由 %s 发布,与本安装程序的发布者不同,没有安装。",
                static_cast<LPCSTR>(product), static_cast<LPCSTR>(theirPublisher));
  return text;
}

void ProposeInstalledFolder(CTarnSetupShellApp& app, const stuInstalledEntry& installed) {
  if (!installed.bExists) return;
  app.m_bInstalled = TRUE;
  app.m_strInstalledVersion = installed.strVersion;
  // A location that the path page would refuse is no proposal.
  if (!installed.strLocation.IsEmpty() && !SilentTargetProblem(installed.strLocation))
    app.m_strTargetDir = installed.strLocation;
}

BOOL AcceptInstalledProduct(CTarnSetupShellApp& app) {
  const stuInstalledEntry installed = ReadInstalledEntry(app.m_strProductName);
  if (IsOtherPublisher(installed, app.m_strPublisher) &&
      AfxShowMessage(nullptr, OtherPublisherText(app.m_strProductName, installed.strPublisher, true),
                     kOtherPublisherCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return FALSE;
  ProposeInstalledFolder(app, installed);
  return TRUE;
}
