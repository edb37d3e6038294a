#include <windows.h>
#include <shlobj.h>
#include "platform/folder_browser.h"
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

bool NativeBrowseForFolder(HWND owner, std::string* path) {
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  LPITEMIDLIST items = SHBrowseForFolderA(&info);
  if (!items) return false;
  char buf[MAX_PATH] = {0};
  bool ok = SHGetPathFromIDListA(items, buf) != 0;
  CoTaskMemFree(items);
  if (ok) *path = buf;
  return ok;
}

}  // namespace platform
