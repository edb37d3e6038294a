#include <windows.h>
#include <shlobj.h>
#include "platform/folder_browser.h"
#include "platform/codepage.h"
#include "platform/msgbox.h"
#include "platform/notify.h"
#include "platform/wide.h"

namespace platform {


int NativeMessageBox(const MessageBoxCall& call) {
  return MessageBoxW(call.owner, Wide(call.text).c_str(), Wide(call.caption).c_str(), call.type);
}

void NativePostNotify(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  PostMessageA(wnd, msg, wp, lp);
}

bool NativeBrowseForFolder(HWND owner, std::string* path) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  LPITEMIDLIST items = SHBrowseForFolderW(&info);
  if (!items) return false;
  wchar_t buf[MAX_PATH] = {0};
  bool ok = SHGetPathFromIDListW(items, buf) != 0;
  CoTaskMemFree(items);
  if (ok) *path = Narrow(buf);
  return ok;
}

}  // namespace platform
