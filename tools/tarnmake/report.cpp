#include "report.h"
#include <chrono>
#include <cstdio>
#include "host.h"
#include "messages.h"
#include "packet/packet.h"
#include "platform/codepage.h"

namespace tarnmake {
namespace {

// The engine's notice for an item that zlib cannot make smaller.

platform::Mutex g_lineLock;  // one writer of standard error at a time
bool g_barShown = false;
size_t g_barWidth = 0;

// Blanks over the bar: plain enough for any console, old Windows ones too.
void EraseBar() {
  std::fprintf(stderr, "\r%s\r", std::string(g_barWidth, ' ').c_str());
  g_barShown = false;
}
int g_problems = 0;

void WriteLine(const std::string& utf8, bool problem) {
  std::lock_guard<platform::Mutex> l(g_lineLock);
  if (problem) ++g_problems;
  // Standard output may hold a part line: it goes first, as it was written first.
  std::fflush(stdout);
  if (g_barShown) EraseBar();
  std::fprintf(stderr, "tarnmake: %s\n", utf8.c_str());
  std::fflush(stderr);
}

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c == '\n' ? ' ' : c;
  }
  return out;
}

// Names come from the file looked at: a control byte in one must not move
// the cursor, clear the screen or end the line. No GBK trail byte is below
// 0x40, so the bytes can be escaped one by one.
std::string Printable(const std::string& ansi) {
  std::string out;
  for (char ch : ansi) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7F) {
      out += ch;
      continue;
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
  }
  return out;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

void Error(const std::string& ansiText) { WriteLine("error: " + Utf8(Printable(ansiText)), true); }
void Note(const std::string& ansiText) { WriteLine(Utf8(Printable(ansiText)), false); }

int ProblemLines() {
  std::lock_guard<platform::Mutex> l(g_lineLock);
  return g_problems;
}

void Say(const std::string& ansiText) {
  ClearProgressLine();
  std::printf("%s\n", Utf8(Printable(ansiText)).c_str());
  // A person reads each line as it comes; a file takes them in blocks, and
  // a line to standard error flushes what stands before it.
  static const bool terminal = host::IsTerminal(stdout);
  if (terminal) std::fflush(stdout);
}

void ClearProgressLine() {
  std::lock_guard<platform::Mutex> l(g_lineLock);
  if (g_barShown) {
    EraseBar();
    std::fflush(stderr);
  }
}

static std::string BoxLine(const platform::MessageBoxCall& call) {
  std::string line = Utf8(Printable(OneLine(InEnglish(call.text))));
  if (!call.caption.empty() && call.caption != platform::AppCaption())
    line = "[" + Utf8(Printable(OneLine(InEnglish(call.caption)))) + "] " + line;
  return line;
}

BoxToStderr::BoxToStderr()
    : record_([this](const platform::Outcome& outcome) { Present(outcome); }) {
  prev_ = platform::SetMessageBoxHandler(
      [this](const platform::MessageBoxCall& call) { return Show(call); });
}

BoxToStderr::~BoxToStderr() { platform::SetMessageBoxHandler(prev_); }

void BoxToStderr::Present(const platform::Outcome& outcome) {
  if (outcome.kind != platform::OutcomeKind::kFailed) {
    if (outcome.message.text == kWriteEncodeFailedText) {
      std::lock_guard<platform::Mutex> l(lock_);
      ++rawItems_;
    } else {
      WriteLine(BoxLine(outcome.message), false);
    }
    return;
  }
  WriteLine("error: " + BoxLine(outcome.message), true);
}

int BoxToStderr::Show(const platform::MessageBoxCall& call) {
  WriteLine("error: " + BoxLine(call), true);
  UINT buttons = call.type & 0x0F;
  if (buttons == MB_YESNO) return IDNO;
  if (buttons == MB_OKCANCEL) return IDCANCEL;
  return IDOK;
}

void BoxToStderr::Summary() const {
  if (rawItems_ > 0)
    WriteLine(std::to_string(rawItems_) +
              (rawItems_ == 1 ? " item does" : " items do") +
               " not shrink under zlib and " + (rawItems_ == 1 ? "is" : "are") + " stored raw",
              false);
}

Progress::Progress(const std::string& label, uint64_t total)
    : label_(label), total_(total), active_(host::IsTerminal(stderr)) {}

Progress::~Progress() { Finish(); }

void Progress::Advance(uint64_t amount) {
  if (!active_) return;
  std::lock_guard<platform::Mutex> l(lock_);
  done_ += amount;
  Draw(false);
}

void Progress::Finish() {
  if (!active_) return;
  std::lock_guard<platform::Mutex> l(lock_);
  active_ = false;
  ClearProgressLine();
}

void Progress::Draw(bool force) {
  int percent = total_ ? static_cast<int>(std::min<uint64_t>(done_, total_) * 100 / total_) : 0;
  int64_t now = NowMs();
  if (!force && (percent == lastPercent_ || now - lastDraw_ < 100)) return;
  lastPercent_ = percent;
  lastDraw_ = now;
  int width = host::TerminalWidth(stderr);
  int barWidth = std::max(10, std::min(40, width - static_cast<int>(label_.size()) - 12));
  int filled = barWidth * percent / 100;
  std::string bar = label_ + " [" + std::string(filled, '#') + std::string(barWidth - filled, '-') +
                    "] " + std::to_string(percent) + "%";
  std::lock_guard<platform::Mutex> l(g_lineLock);
  std::fprintf(stderr, "\r%s", bar.c_str());
  std::fflush(stderr);
  g_barShown = true;
  g_barWidth = bar.size();
}

// A JSON string of ANSI text.
std::string Json(const std::string& ansi) {
  std::string u = Utf8(ansi), out = "\"";
  for (unsigned char c : u) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace tarnmake
