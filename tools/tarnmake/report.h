// How tarnmake talks to people: errors and the engine's message boxes as
// lines on standard error, and a progress bar when standard error is a
// terminal.
#pragma once
#include <cstdint>
#include <mutex>
#include "platform/sync.h"
#include <string>
#include "platform/msgbox.h"
#include "platform/outcome.h"

namespace tarnmake {

// One line on standard error, "tarnmake: " + text; ANSI text is converted
// to UTF-8 and its control bytes are written as \xNN.
void Error(const std::string& ansiText);
void Note(const std::string& ansiText);
// A line on standard output, for results.
void Say(const std::string& ansiText);
// Problem lines (errors and message boxes) written so far.
int ProblemLines();
// ANSI text as UTF-8.
std::string Utf8(const std::string& ansi);
// A JSON string (quoted, escaped, UTF-8) of ANSI text.
std::string Json(const std::string& ansi);

// Holds the run's outcome record and routes what the engine tells, its
// outcomes and any message box, to standard error for its lifetime,
// answering boxes as an unattended user would (OK, No, Cancel). The
// engine's per-item "does not shrink" notice is only counted: Summary()
// tells it once.
class BoxToStderr {
 public:
  BoxToStderr();
  ~BoxToStderr();
  BoxToStderr(const BoxToStderr&) = delete;
  BoxToStderr& operator=(const BoxToStderr&) = delete;
  int raw_items() const { return rawItems_; }
  // Steps of the run that failed so far.
  size_t failures() const { return record_.Count(platform::OutcomeKind::kFailed); }
  void Summary() const;

 private:
  int Show(const platform::MessageBoxCall& call);
  void Present(const platform::Outcome& outcome);
  platform::Mutex lock_;
  int rawItems_ = 0;
  platform::MessageBoxHandler prev_;
  platform::OutcomeRecord record_;
};

// A one-line bar on a terminal; silent elsewhere. Safe to advance from
// several threads.
class Progress {
 public:
  Progress(const std::string& label, uint64_t total);
  ~Progress();
  void Advance(uint64_t amount);
  void Finish();

 private:
  void Draw(bool force);
  platform::Mutex lock_;
  std::string label_;
  uint64_t total_, done_ = 0;
  bool active_;
  int64_t lastDraw_ = 0;
  int lastPercent_ = -1;
};

// The bar being shown, if any, so that a message line can clear it first.
void ClearProgressLine();

}  // namespace tarnmake
