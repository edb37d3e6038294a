// Message boxes. Every box the system shows goes through ShowMessageBox, so a
// test (or a command-line tool) can install a handler that answers and
// records instead of showing a window.
#pragma once
#include <functional>
#include <string>
#include "platform/types.h"

#ifndef MB_OK
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_DEFBUTTON2 0x00000100L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#endif

namespace platform {

struct MessageBoxCall {
  HWND owner;
  std::string text;     // ANSI bytes as shown
  std::string caption;  // ANSI bytes
  UINT type;            // MB_* flags
};

using MessageBoxHandler = std::function<int(const MessageBoxCall&)>;

// Installs a handler for all later boxes; an empty handler restores the
// platform's own. Returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// The program file's name without extension: the default caption.
std::string AppCaption();

// The real box of the back end (Windows: MessageBoxA; sandbox: a line on
// standard error, answered IDOK or IDNO).
int NativeMessageBox(const MessageBoxCall& call);

}  // namespace platform
