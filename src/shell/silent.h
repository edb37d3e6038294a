// The silent modes ("/S"): the install and the uninstall with no window and
// no message box. Every message goes to a log file instead, and the exit
// code tells whether everything went well.
#pragma once
#include <mutex>
#include "platform/sync.h"
#include "afx/cstring.h"
#include "engine/setup_app.h"
#include "platform/msgbox.h"
#include "platform/outcome.h"
#include "shell/command_line.h"
#include "shell/payload_extract.h"

enum : int {
  kExitOk = 0,
  kExitFailed = 1,     // the engine told of a problem: something was not done
  kExitUsage = 2,      // an argument or the install folder cannot be used
  kExitNoPayload = 3,  // no payload, or it could not be written out
  kExitRestart = 3010, // removed, but files in use go when Windows next starts
};

inline constexpr char kSilentLogName[] = "TarnSetup.log";

// <temporary folder>\TarnSetup.log.
CString SilentLogPath();

// Appends to the log, in the system's ANSI bytes (GBK), a CR LF after each
// line. While it lives it holds the run's outcome record, whose told
// outcomes it logs, and takes every message box there: logged as shown,
// answered OK, or No to a question. Whether the run failed is the record's
// to say, never the boxes'.
class CSilentLog {
 public:
  explicit CSilentLog(const CString& path);
  ~CSilentLog();
  CSilentLog(const CSilentLog&) = delete;
  CSilentLog& operator=(const CSilentLog&) = delete;

  // One line; line breaks inside it become blanks.
  void Line(const CString& text);
  // A problem of the silent run itself: logged, and a failure of the run.
  void Problem(const CString& text);
  // A step failed / a removal waits for the next start of Windows.
  bool Failed() const { return m_record.Failed(); }
  bool Scheduled() const { return m_record.Scheduled(); }

 private:
  int OnBox(const platform::MessageBoxCall& call);

  CString m_strPath;
  platform::Mutex m_lock;
  platform::MessageBoxHandler m_prevHandler;
  platform::OutcomeRecord m_record;
};

// Runs the silent mode the command line asks for and returns the exit
// code. cmdLine is logged as given; logPath names the log.
int RunSilent(const stuCommandLine& cmd, LPCSTR cmdLine, CTarnSetupShellApp& app,
              const stuExtractEnv& env, const CString& logPath);
