// The handler seams shared by both back ends.
#include <mutex>
#include "platform/sync.h"
#include "platform/folder_browser.h"
#include "platform/msgbox.h"
#include "platform/shell_link.h"
#include "platform/notify.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/outcome.h"

namespace platform {
namespace {
Mutex g_lock;  // handlers may be installed while a worker thread runs
MessageBoxHandler g_box;
NotifyHandler g_notify;
JournalHandler g_journal;
FolderDialog g_folderDialog;
}  // namespace

FolderDialog SetFolderDialog(FolderDialog dialog) {
  std::lock_guard<Mutex> l(g_lock);
  std::swap(g_folderDialog, dialog);
  return dialog;
}

bool BrowseForFolder(HWND owner, std::string* path) {
  FolderDialog d;
  {
    std::lock_guard<Mutex> l(g_lock);
    d = g_folderDialog;
  }
  ComScope com;
  return d ? d(owner, path) : NativeBrowseForFolder(owner, path);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<Mutex> l(g_lock);
  std::swap(g_box, handler);
  return handler;
}

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  MessageBoxHandler h;
  {
    std::lock_guard<Mutex> l(g_lock);
    h = g_box;
  }
  MessageBoxCall call{owner, text, caption, type};
  return h ? h(call) : NativeMessageBox(call);
}

std::string AppCaption() {
  std::string path = ModuleFileName();
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

NotifyHandler SetNotifyHandler(NotifyHandler handler) {
  std::lock_guard<Mutex> l(g_lock);
  std::swap(g_notify, handler);
  return handler;
}

void PostNotify(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!wnd) return;
  NotifyHandler h;
  {
    std::lock_guard<Mutex> l(g_lock);
    h = g_notify;
  }
  if (h)
    h(wnd, msg, wp, lp);
  else
    NativePostNotify(wnd, msg, wp, lp);
}

JournalHandler SetJournalHandler(JournalHandler handler) {
  std::lock_guard<Mutex> l(g_lock);
  std::swap(g_journal, handler);
  return handler;
}

void Journal(JournalKind kind, const std::string& path, const std::string& detail,
             const std::string& value) {
  JournalHandler h;
  {
    std::lock_guard<Mutex> l(g_lock);
    h = g_journal;
  }
  const JournalEvent event{kind, path, detail, value};
  if (h) h(event);
  RecordJournalEvent(event);
}

}  // namespace platform
