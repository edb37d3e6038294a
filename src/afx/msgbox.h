// The framework's message boxes: AfxMessageBox carries the application's
// caption; AfxShowMessage names its own. Both go through the platform seam.
#pragma once
#include "platform/msgbox.h"

int AfxMessageBox(LPCSTR text, UINT type = MB_OK);
int AfxShowMessage(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// The application's main window, owner of the packet messages; null until a
// window exists.
HWND AfxGetMainWndHandle();
void AfxSetMainWndHandle(HWND wnd);
