// Messages the uninstall worker posts to its dialog.
#pragma once
#include "platform/types.h"

enum : UINT {
  WM_UNINST_FAILED = WM_USER + 888,   // the log cannot be processed
  WM_UNINST_START = WM_USER + 1007,   // wParam: files in the log
  WM_UNINST_STEP = WM_USER + 1008,    // wParam: index of the file, lParam: files
  WM_UNINST_DONE = WM_USER + 1009,    // wParam: files
};
