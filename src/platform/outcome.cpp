#include "platform/outcome.h"
#include <mutex>

namespace platform {
namespace {
Mutex g_lock;  // the current record; reports come from worker threads too
OutcomeRecord* g_current = nullptr;

Outcome FromJournal(const JournalEvent& e) {
  Outcome o;
  o.subject = e.path;
  o.why = e.detail;
  o.present = false;
  switch (e.kind) {
    case JournalKind::kEntrySkipped:
      o.kind = e.detail == "exists" ? OutcomeKind::kKept : OutcomeKind::kSkipped;
      break;
    case JournalKind::kAlreadyGone:
      o.kind = OutcomeKind::kSkipped;
      o.why = "absent";
      break;
    case JournalKind::kFileNotRemoved:
    case JournalKind::kRegNotDeleted:
      o.kind = OutcomeKind::kFailed;
      break;
    case JournalKind::kFileScheduled:
      o.kind = OutcomeKind::kScheduled;
      break;
    default:
      o.kind = OutcomeKind::kDone;
      break;
  }
  return o;
}
}  // namespace

OutcomeRecord::OutcomeRecord(OutcomePresenter presenter) : presenter_(std::move(presenter)) {
  std::lock_guard<Mutex> l(g_lock);
  previous_ = g_current;
  g_current = this;
}

OutcomeRecord::~OutcomeRecord() {
  std::lock_guard<Mutex> l(g_lock);
  // Records end in the order they began; one that did not is left alone.
  if (g_current == this) g_current = previous_;
}

size_t OutcomeRecord::Count(OutcomeKind kind) const {
  std::lock_guard<Mutex> l(lock_);
  size_t n = 0;
  for (const Outcome& o : outcomes_) n += o.kind == kind;
  return n;
}

std::vector<Outcome> OutcomeRecord::Of(OutcomeKind kind) const {
  std::lock_guard<Mutex> l(lock_);
  std::vector<Outcome> out;
  for (const Outcome& o : outcomes_)
    if (o.kind == kind) out.push_back(o);
  return out;
}

void OutcomeRecord::Add(const Outcome& outcome) {
  std::lock_guard<Mutex> l(lock_);
  // A step journals what became of it and then tells it: one outcome.
  if (!outcome.message.text.empty() && !outcomes_.empty()) {
    Outcome& last = outcomes_.back();
    if (last.kind == outcome.kind && last.subject == outcome.subject && last.message.text.empty()) {
      last.message = outcome.message;
      return;
    }
  }
  outcomes_.push_back(outcome);
}

void ReportOutcome(const Outcome& outcome) {
  OutcomePresenter presenter;
  {
    std::lock_guard<Mutex> l(g_lock);
    if (g_current) {
      g_current->Add(outcome);
      presenter = g_current->presenter_;
    }
  }
  if (!outcome.present || outcome.message.text.empty()) return;
  if (presenter)
    presenter(outcome);
  else
    ShowOutcomeBox(outcome);
}

void RecordJournalEvent(const JournalEvent& event) {
  std::lock_guard<Mutex> l(g_lock);
  if (g_current) g_current->Add(FromJournal(event));
}

void ShowOutcomeBox(const Outcome& outcome) {
  const MessageBoxCall& m = outcome.message;
  ShowMessageBox(m.owner, m.text, m.caption, m.type);
}

}  // namespace platform
