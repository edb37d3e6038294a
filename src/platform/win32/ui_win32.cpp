#include <windows.h>
#include "platform/codepage.h"
#include "platform/msgbox.h"
#include "platform/notify.h"

namespace platform {

bool IsLeadByte(BYTE b) { return IsDBCSLeadByte(b) != 0; }

int NativeMessageBox(const MessageBoxCall& call) {
  return MessageBoxA(call.owner, call.text.c_str(), call.caption.c_str(), call.type);
}

void NativePostNotify(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  PostMessageA(wnd, msg, wp, lp);
}

}  // namespace platform
