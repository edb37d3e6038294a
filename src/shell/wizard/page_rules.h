// The decisions of the wizard pages, apart from their windows.
#pragma once
#include "afx/cstring.h"

// Property sheet wizard button flags.
enum : DWORD { kWizBack = 1, kWizNext = 2, kWizFinish = 4, kWizDisabledFinish = 8 };

inline constexpr char kQuitQuestion[] = "安装还未完成,您真的要退出安装吗?";
inline constexpr char kQuitCaption[] = "退出询问";
inline constexpr char kRelativePathText[] = "安装路径书写不正确,请写入全部路径!\n例如'C:\\Program Files'";

// Licence page: choice 0 accepts, 1 declines.
DWORD LicenceButtons(int choice);
// Leaving the licence page: Back always, Next only after accepting.
BOOL LicenceMayLeave(BOOL forward, int choice);

// The install path page's check before the directory check: the message
// for a path that is empty, a network path or not a full path; nullptr when
// the path goes on to the directory check.
const char* InstallPathProblem(const CString& path);

// The install path page's info text; for an upgrade it says which version
// is installed (installed set; version empty when the entry names none).
CString TargetDirInfoText(const CString& productName, BOOL installed = FALSE,
                          const CString& installedVersion = CString());
