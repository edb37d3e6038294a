#include "afx/msgbox.h"
#include <atomic>
#include "platform/outcome.h"

namespace {
std::atomic<HWND> g_mainWnd{nullptr};

void Report(platform::OutcomeKind kind, HWND owner, LPCSTR subject, LPCSTR text, LPCSTR caption,
            UINT type, bool present) {
  platform::Outcome o;
  o.kind = kind;
  o.subject = subject ? subject : "";
  o.message = {owner, text ? text : "", caption ? caption : "", type};
  o.present = present;
  platform::ReportOutcome(o);
}
}  // namespace

int AfxMessageBox(LPCSTR text, UINT type) {
  return platform::ShowMessageBox(g_mainWnd.load(), text ? text : "", platform::AppCaption(), type);
}

int AfxShowMessage(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return platform::ShowMessageBox(owner, text ? text : "", caption ? caption : "", type);
}

void AfxReportFailure(LPCSTR subject, LPCSTR text, UINT type, bool present) {
  Report(platform::OutcomeKind::kFailed, g_mainWnd.load(), subject, text,
         platform::AppCaption().c_str(), type, present);
}

void AfxReportFailure(HWND owner, LPCSTR subject, LPCSTR text, LPCSTR caption, UINT type) {
  Report(platform::OutcomeKind::kFailed, owner, subject, text, caption, type, true);
}

void AfxReportNotice(LPCSTR subject, LPCSTR text, UINT type) {
  Report(platform::OutcomeKind::kNotice, g_mainWnd.load(), subject, text,
         platform::AppCaption().c_str(), type, true);
}

void AfxReportScheduled(LPCSTR subject, LPCSTR text, bool present) {
  Report(platform::OutcomeKind::kScheduled, g_mainWnd.load(), subject, text,
         platform::AppCaption().c_str(), MB_OK, present);
}

HWND AfxGetMainWndHandle() { return g_mainWnd.load(); }
void AfxSetMainWndHandle(HWND wnd) { g_mainWnd.store(wnd); }
