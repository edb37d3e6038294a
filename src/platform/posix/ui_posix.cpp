// Sandbox: no windows. A box becomes a line on standard error and is
// answered as a user who does not agree (OK, or No for a question).
#include <cstdio>
#include "platform/codepage.h"
#include "platform/folder_browser.h"
#include "platform/msgbox.h"
#include "platform/notify.h"

namespace platform {


int NativeMessageBox(const MessageBoxCall& call) {
  std::fprintf(stderr, "[%s] %s\n", call.caption.c_str(), call.text.c_str());
  UINT buttons = call.type & 0x0F;
  if (buttons == MB_YESNO) return IDNO;
  if (buttons == MB_OKCANCEL) return IDCANCEL;
  return IDOK;
}

void NativePostNotify(HWND, UINT, WPARAM, LPARAM) {}

bool NativeBrowseForFolder(HWND, std::string*) { return false; }

}  // namespace platform
