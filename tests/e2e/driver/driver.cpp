// Drives the setup shell's windows for the end-to-end tests: finds windows
// by title, reads control texts and states, presses buttons, answers
// message boxes and types into edit fields. One command per run; texts in
// and out are UTF-8.
//
//   wait TITLE [MS]          a visible top-level window with that title
//   gone TITLE [MS]          no such window any more
//   windows                  the titles of the visible top-level windows
//   text TITLE ID            the text of control ID (any depth)
//   state TITLE ID           enabled=0|1 visible=0|1 checked=0|1
//   click TITLE ID           presses a button; refuses a disabled one
//   settext TITLE ID TEXT    replaces an edit control's text
//   box CAPTION [MS]         waits for a message box, prints its text
//   boxbuttons CAPTION       the box's buttons: ids and whether default
//   answer CAPTION yes|no|ok presses that button of the message box
//   focus TITLE              id and text of the control with the focus
//   close TITLE              waits for the window, then its close box
//   run CMDLINE [MS]         starts a command line as it stands, waits
//   exitcode CMDLINE [MS]    the same, then prints its exit code, or
//                            "timeout" (and ends it) when it outlived MS
//   clickwait TITLE ID NEXT [MS]  presses, waits for NEXT, prints the ms
//   outside TITLE ID         how many pixels of the control lie outside its
//                            page, or of the page outside the window: 0
//                            when nothing is cut off
//   acp                      the ANSI code page the programs run under
//   reg KEY [VALUE]          fails unless the key (and value) is there;
//                            prints a string value, or a DWORD in decimal
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

void Out(const std::string& s) {
  DWORD written;
  std::string line = s + "\n";
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int Fail(const std::string& s) {
  DWORD written;
  std::string line = "driver: " + s + "\n";
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return 1;
}

std::wstring Text(HWND w) {
  wchar_t buf[8192] = {0};
  // WM_GETTEXT reaches controls of other processes too.
  SendMessageTimeoutW(w, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

struct Find {
  std::wstring title;
  bool dialogOnly;
  HWND found;
};

BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
  Find* f = reinterpret_cast<Find*>(lp);
  if (!IsWindowVisible(w)) return TRUE;
  if (f->dialogOnly) {
    wchar_t cls[64];
    GetClassNameW(w, cls, 64);
    if (wcscmp(cls, L"#32770") != 0) return TRUE;
  }
  if (Text(w) == f->title) {
    f->found = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ListTop(HWND w, LPARAM) {
  if (IsWindowVisible(w)) Out(Utf8(Text(w)));
  return TRUE;
}

HWND TopWindow(const std::wstring& title, bool dialogOnly = false) {
  Find f{title, dialogOnly, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

HWND WaitTop(const std::wstring& title, DWORD ms, bool dialogOnly = false) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = TopWindow(title, dialogOnly)) return w;
    if (GetTickCount() - start > ms) return nullptr;
    Sleep(50);
  }
}

struct FindId {
  int id;
  HWND visible;
  HWND any;
};

BOOL CALLBACK FindChild(HWND w, LPARAM lp) {
  FindId* f = reinterpret_cast<FindId*>(lp);
  if (GetDlgCtrlID(w) != f->id) return TRUE;
  if (!f->any) f->any = w;
  if (IsWindowVisible(w) && !f->visible) f->visible = w;
  return TRUE;
}

// Pages stay created when hidden: the visible control of that id wins.
HWND Control(HWND top, int id) {
  FindId f{id, nullptr, nullptr};
  EnumChildWindows(top, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.visible ? f.visible : f.any;
}

void Press(HWND button) {
  HWND parent = GetParent(button);
  PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

DWORD Ms(int argc, wchar_t** argv, int i, DWORD def) {
  return argc > i ? static_cast<DWORD>(_wtoi(argv[i])) : def;
}

// Read through the W functions: reg.exe prints in the console's code page,
// which lacks the Chinese names on most systems.
int Reg(const std::wstring& path, const wchar_t* value) {
  size_t slash = path.find(L'\\');
  std::wstring root = path.substr(0, slash);
  HKEY base = root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
              : root == L"HKCU" || root == L"HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
              : root == L"HKCR" || root == L"HKEY_CLASSES_ROOT" ? HKEY_CLASSES_ROOT
                                                                 : nullptr;
  if (!base) return Fail("unknown root " + Utf8(root));
  std::wstring sub = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
  HKEY key;
  if (RegOpenKeyExW(base, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
  int rc = 0;
  if (value) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      rc = 1;
    } else {
      std::vector<BYTE> data(size + sizeof(wchar_t));
      RegQueryValueExW(key, value, nullptr, &type, data.data(), &size);
      if (type == REG_DWORD) {
        DWORD d;
        memcpy(&d, data.data(), sizeof d);
        Out(std::to_string(d));
      } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring s(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!s.empty() && s.back() == L'\0') s.pop_back();
        Out(Utf8(s));
      } else {
        rc = Fail("value of another type");
      }
    }
  }
  RegCloseKey(key);
  return rc;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) return Fail("no command");
  std::wstring cmd = argv[1];
  std::wstring title = argc > 2 ? argv[2] : L"";

  if (cmd == L"acp") {
    Out(std::to_string(GetACP()));
    return 0;
  }
  if (cmd == L"windows") {
    EnumWindows(ListTop, 0);
    return 0;
  }
  if (cmd == L"run" || cmd == L"exitcode") {
    // The command line exactly as given, as the system starts a registered
    // uninstall command.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::wstring line = title;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return Fail("cannot start " + Utf8(title));
    DWORD waited = WaitForSingleObject(pi.hProcess, Ms(argc, argv, 3, 0) ? Ms(argc, argv, 3, 0) : INFINITE);
    if (cmd == L"exitcode") {
      DWORD code = 0;
      if (waited != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 255);
        Out("timeout");
      } else {
        GetExitCodeProcess(pi.hProcess, &code);
        Out(std::to_string(code));
      }
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
  }
  if (cmd == L"reg") return Reg(title, argc > 3 ? argv[3] : nullptr);
  if (cmd == L"wait") return WaitTop(title, Ms(argc, argv, 3, 20000)) ? 0 : Fail("no window " + Utf8(title));
  if (cmd == L"gone") {
    DWORD start = GetTickCount(), ms = Ms(argc, argv, 3, 20000);
    while (TopWindow(title)) {
      if (GetTickCount() - start > ms) return Fail("still there: " + Utf8(title));
      Sleep(50);
    }
    return 0;
  }
  if (cmd == L"box" || cmd == L"boxbuttons" || cmd == L"answer") {
    HWND box = WaitTop(title, cmd == L"box" ? Ms(argc, argv, 3, 20000) : 20000, true);
    if (!box) return Fail("no message box " + Utf8(title));
    if (cmd == L"box") {
      HWND text = GetDlgItem(box, 0xFFFF);
      Out(Utf8(text ? Text(text) : L""));
      return 0;
    }
    if (cmd == L"boxbuttons") {
      int ids[] = {IDOK, IDCANCEL, IDYES, IDNO};
      for (int id : ids) {
        HWND b = GetDlgItem(box, id);
        if (!b || !IsWindowVisible(b)) continue;
        bool def = (GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
        Out(std::to_string(id) + (def ? " default" : ""));
      }
      return 0;
    }
    std::wstring which = argc > 3 ? argv[3] : L"ok";
    int id = which == L"yes" ? IDYES : which == L"no" ? IDNO : IDOK;
    HWND b = GetDlgItem(box, id);
    if (!b) return Fail("the box has no such button");
    Press(b);
    return 0;
  }

  HWND top = WaitTop(title, 20000);
  if (!top) return Fail("no window " + Utf8(title));
  if (cmd == L"close") {
    PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (cmd == L"focus") {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) || !info.hwndFocus)
      return Fail("no focus");
    Out(std::to_string(GetDlgCtrlID(info.hwndFocus)) + " " + Utf8(Text(info.hwndFocus)));
    return 0;
  }
  if (argc < 4) return Fail("no control id");
  int id = _wtoi(argv[3]);
  HWND ctl = Control(top, id);
  if (!ctl) return Fail("no control " + std::to_string(id));
  if (cmd == L"text") {
    Out(Utf8(Text(ctl)));
    return 0;
  }
  if (cmd == L"state") {
    LRESULT checked = 0;
    SendMessageTimeoutW(ctl, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, reinterpret_cast<PDWORD_PTR>(&checked));
    Out(std::string("enabled=") + (IsWindowEnabled(ctl) ? "1" : "0") + " visible=" +
        (IsWindowVisible(ctl) ? "1" : "0") + " checked=" + (checked == BST_CHECKED ? "1" : "0"));
    return 0;
  }
  if (cmd == L"clickwait") {
    // Presses, then waits for a window of another title: the time between
    // in milliseconds (the benchmark's install page time).
    if (argc < 5) return Fail("clickwait TITLE ID NEXT-TITLE [MS]");
    if (!IsWindowEnabled(ctl)) return Fail("button is disabled");
    DWORD start = GetTickCount();
    Press(ctl);
    if (!WaitTop(argv[4], Ms(argc, argv, 5, 600000))) return Fail("no window " + Utf8(argv[4]));
    Out(std::to_string(GetTickCount() - start));
    return 0;
  }
  if (cmd == L"outside") {
    // Each window against the client area of the one it sits in.
    long cut = 0;
    for (HWND w = ctl; w && w != top; w = GetParent(w)) {
      HWND parent = GetParent(w);
      RECT r, c;
      GetWindowRect(w, &r);
      GetClientRect(parent, &c);
      MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&c), 2);
      cut += std::max(0L, c.left - r.left) + std::max(0L, r.right - c.right) +
             std::max(0L, c.top - r.top) + std::max(0L, r.bottom - c.bottom);
    }
    Out(std::to_string(cut));
    return 0;
  }
  if (cmd == L"click") {
    if (!IsWindowEnabled(ctl) || !IsWindowVisible(ctl)) return Fail("button is disabled or hidden");
    // A radio button checks itself on a click; a push button only tells
    // its parent.
    LONG kind = GetWindowLongW(ctl, GWL_STYLE) & 0x0F;
    if (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON)
      PostMessageW(ctl, BM_CLICK, 0, 0);
    else
      Press(ctl);
    return 0;
  }
  if (cmd == L"settext") {
    std::wstring value = argc > 4 ? argv[4] : L"";
    SendMessageTimeoutW(ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), SMTO_ABORTIFHUNG, 2000, nullptr);
    return 0;
  }
  return Fail("unknown command");
}
