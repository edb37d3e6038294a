// The framework's message boxes: AfxMessageBox carries the application's
// caption; AfxShowMessage names its own. Both go through the platform seam.
#pragma once
#include "platform/msgbox.h"

int AfxMessageBox(LPCSTR text, UINT type = MB_OK);
int AfxShowMessage(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// A step that failed, or a notice, with the box AfxMessageBox (or
// AfxShowMessage) would show for it: recorded in the run's outcome record
// (platform/outcome.h) and presented as the front end chooses. present
// false records it without a word.
void AfxReportFailure(LPCSTR subject, LPCSTR text, UINT type = MB_OK, bool present = true);
void AfxReportFailure(HWND owner, LPCSTR subject, LPCSTR text, LPCSTR caption, UINT type);
void AfxReportNotice(LPCSTR subject, LPCSTR text, UINT type = MB_OK | MB_ICONINFORMATION);
// To be done at the next start of Windows, and told.
void AfxReportScheduled(LPCSTR subject, LPCSTR text, bool present = true);
// The application's main window, owner of the packet messages; null until a
// window exists.
HWND AfxGetMainWndHandle();
void AfxSetMainWndHandle(HWND wnd);
