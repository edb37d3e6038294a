// How each step of a run ended. A front end holds one OutcomeRecord for the
// whole of an install, uninstall or build and decides from it whether the
// run failed; the journal's events and the engine's reports both land
// there. The record's presenter turns a reported outcome into what the
// front end shows; without a record, or with no presenter, it is the box
// the step names, shown at once.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include "platform/journal.h"
#include "platform/msgbox.h"
#include "platform/sync.h"

namespace platform {

enum class OutcomeKind {
  kDone,       // written, made, removed, started
  kKept,       // an existing file left as it was, as the entry asks
  kSkipped,    // passed over; why says what for
  kFailed,     // not done; the run failed
  kScheduled,  // to be done when Windows next starts
  kNotice,     // told, and nothing failed for it
};

struct Outcome {
  OutcomeKind kind = OutcomeKind::kDone;
  std::string subject;  // ANSI: the path, key or command of the step
  std::string why;      // ANSI: a short reason, as the journal gives it
  MessageBoxCall message{nullptr, "", "", MB_OK};  // empty text: nothing to tell
  bool present = true;  // false: recorded without a word (told already, or once for many)
};

using OutcomePresenter = std::function<void(const Outcome&)>;

class OutcomeRecord {
 public:
  // Becomes the record of later outcomes until it goes, when the one before
  // it is back. An empty presenter shows the outcome's box.
  explicit OutcomeRecord(OutcomePresenter presenter = {});
  ~OutcomeRecord();
  OutcomeRecord(const OutcomeRecord&) = delete;
  OutcomeRecord& operator=(const OutcomeRecord&) = delete;

  bool Failed() const { return Count(OutcomeKind::kFailed) > 0; }
  bool Scheduled() const { return Count(OutcomeKind::kScheduled) > 0; }
  size_t Count(OutcomeKind kind) const;
  std::vector<Outcome> Of(OutcomeKind kind) const;

 private:
  friend void ReportOutcome(const Outcome& outcome);
  friend void RecordJournalEvent(const JournalEvent& event);
  void Add(const Outcome& outcome);

  mutable Mutex lock_;
  std::vector<Outcome> outcomes_;
  OutcomePresenter presenter_;
  OutcomeRecord* previous_;
};

// Records the outcome in the current record and presents it when it is to
// be presented and has a text. Any thread may report.
void ReportOutcome(const Outcome& outcome);

// What a journal event says of its step, for the current record; never
// presented. Journal() calls it.
void RecordJournalEvent(const JournalEvent& event);

// A presented outcome's box as the wizard shows it: its answer is ignored.
void ShowOutcomeBox(const Outcome& outcome);

}  // namespace platform
