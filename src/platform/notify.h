// Progress notifications to a window: posted messages on Windows. Tests (and
// tools without windows) install a handler that records them.
#pragma once
#include <functional>
#include "platform/types.h"

namespace platform {

using NotifyHandler = std::function<void(HWND, UINT, WPARAM, LPARAM)>;
NotifyHandler SetNotifyHandler(NotifyHandler handler);

// Posts msg to wnd; never waits. A null window gets nothing.
void PostNotify(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

// Back end: PostMessageA on Windows, nothing in the sandbox.
void NativePostNotify(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace platform
