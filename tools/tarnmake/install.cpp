// tarnmake install / uninstall: the engine's whole install or uninstall run
// without the wizard, with a report of what it did. On Windows the install
// is real; natively it happens inside the sandbox.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "engine/setup_app.h"
#include "commands.h"
#include "engine/setup_package.h"
#include "engine/installed_entry.h"
#include "host.h"
#include "payload/trailer.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/msgbox.h"
#include "platform/notify.h"
#include "platform/outcome.h"
#include "platform/shell_link.h"
#include "report.h"
#include "engine/install_runner.h"
#include "engine/rollback_journal.h"
#include "sysint/path_ops.h"
#include "engine/uninstall_messages.h"
#include "messages.h"

namespace tarnmake {
namespace {

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + items[i];
  return out + "]";
}

// Everything the run did, gathered from the journal, and how each step
// ended, from the run's outcome record. What the engine tells, as an
// outcome or in a box, is a line and one of the messages.
class Recorder {
 public:
  Recorder() : record_([this](const platform::Outcome& o) { Tell(o.message.text); }) {
    prevJournal_ = platform::SetJournalHandler([this](const platform::JournalEvent& e) {
      events_.push_back(e);
    });
    prevBox_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxCall& c) {
      Tell(c.text);
      return (c.type & MB_YESNO) ? IDNO : IDOK;
    });
  }
  ~Recorder() {
    platform::SetJournalHandler(prevJournal_);
    platform::SetMessageBoxHandler(prevBox_);
  }
  std::vector<const platform::JournalEvent*> Of(platform::JournalKind kind) const {
    std::vector<const platform::JournalEvent*> out;
    for (const auto& e : events_)
      if (e.kind == kind) out.push_back(&e);
    return out;
  }
  const std::vector<std::string>& messages() const { return messages_; }
  const platform::OutcomeRecord& record() const { return record_; }

 private:
  void Tell(const std::string& text) {
    messages_.push_back(text);
    Note("message: " + InEnglish(text));
  }

  std::vector<platform::JournalEvent> events_;
  std::vector<std::string> messages_;
  platform::JournalHandler prevJournal_;
  platform::MessageBoxHandler prevBox_;
  platform::OutcomeRecord record_;
};

// Progress of the engine's entry messages on a terminal.
class EntryProgress {
 public:
  EntryProgress(const char* label, UINT begin, UINT step) {
    prev_ = platform::SetNotifyHandler([this, label, begin, step](HWND, UINT msg, WPARAM wp, LPARAM) {
      if (msg == begin) {
        bar_.reset(new Progress(label, wp));
      } else if (msg == step && bar_) {
        bar_->Advance(1);
      }
    });
  }
  ~EntryProgress() {
    bar_.reset();
    platform::SetNotifyHandler(prev_);
  }
  // PostNotify sends nothing to a null window; any other value reaches the
  // handler above and never a real window.
  static HWND Window() { return reinterpret_cast<HWND>(static_cast<intptr_t>(1)); }

 private:
  std::unique_ptr<Progress> bar_;
  platform::NotifyHandler prev_;
};

// The package itself, or the package blob of an installer inflated into a
// temporary file that is removed again.
class PackageFile {
 public:
  ~PackageFile() {
    if (temp_.empty()) return;
    platform::RemoveFile(temp_);
    host::ForgetOnStop(temp_);
  }
  bool Open(const std::string& path, std::string* error) {
    std::string problem = host::InputProblem(path);
    if (!problem.empty()) {
      *error = "'" + path + "': " + problem;
      return false;
    }
    CFile in;
    if (!in.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) {
      *error = "cannot open " + path;
      return false;
    }
    payload::TrailerInfo t = payload::ReadTrailer(in);
    if (t.status == payload::kTrailerMissing) {
      path_ = path;
      return true;
    }
    if (!t.ok()) {
      *error = path + ": " + payload::TrailerStatusText(t.status);
      return false;
    }
    temp_ = host::NewTempFile(std::string());
    if (!temp_.empty()) host::RemoveOnStop(temp_);
    CFile out;
    if (temp_.empty() || !out.Open(temp_.c_str(), CFile::modeCreate | CFile::modeWrite)) {
      *error = "cannot create a temporary file";
      return false;
    }
    if (!payload::ExtractBlob(in, t.package, out)) {
      *error = path + ": the package blob is damaged";
      return false;
    }
    out.Close();
    path_ = temp_;
    ReadDetails(in, t.uiScript);
    return true;
  }
  const std::string& path() const { return path_; }
  // An installer's [VERSION], [PUBLISHER] and [URL]; empty for a package.
  const EntryDetails& details() const { return details_; }

 private:
  // First lines, as the shell's UI script reader takes them. A UI script
  // that cannot be read names none: the install goes on without them.
  void ReadDetails(CFile& in, const payload::BlobInfo& blob) {
    const std::string ui = host::NewTempFile(std::string());
    if (ui.empty()) return;
    host::RemoveOnStop(ui);
    CFile out;
    bool ok = out.Open(ui.c_str(), CFile::modeCreate | CFile::modeWrite) &&
              payload::ExtractBlob(in, blob, out);
    out.Close();
    if (ok) {
      CString version, publisher, url;
      ReadEntryDetails(ui.c_str(), version, publisher, url);
      details_ = {version.str(), publisher.str(), url.str()};
    }
    platform::RemoveFile(ui);
    host::ForgetOnStop(ui);
  }

  std::string path_, temp_;
  EntryDetails details_;
};

void PrintList(const char* title, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  Say(std::string(title) + ":");
  for (const auto& l : lines) Say("  " + l);
}

std::vector<std::string> Paths(const Recorder& r, platform::JournalKind kind, bool json) {
  std::vector<std::string> out;
  for (const auto* e : r.Of(kind)) out.push_back(json ? Json(e->path) : e->path);
  return out;
}

// The failed steps: what each was about and why, as the engine told it.
std::vector<std::string> JsonFailures(const Recorder& r) {
  std::vector<std::string> out;
  for (const platform::Outcome& o : r.record().Of(platform::OutcomeKind::kFailed))
    out.push_back("{\"subject\": " + Json(o.subject) +
                  ", \"why\": " + Json(o.message.text.empty() ? o.why : o.message.text) + "}");
  return out;
}

bool IsFullWindowsPath(const std::string& path) {
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

}  // namespace

int CmdInstall(const std::string& package, const std::string& target, const std::string& name,
               const std::string& uninstaller, const EntryDetails& details,
               const std::string& sandbox, bool json) {
  if (!sandbox.empty()) platform::SetSandboxRoot(host::AbsolutePath(sandbox));
  if (!IsFullWindowsPath(target)) {
    Error("--target must be a full Windows path such as C:\\Program Files\\Product");
    return 1;
  }
  PackageFile file;
  std::string error;
  if (!file.Open(package, &error)) {
    Error(error);
    return 1;
  }

  CTarnSetupShellApp app;
  app.m_strTargetDir = target;
  if (!name.empty()) {
    app.m_strProductName = name;
  } else {
    // The package's file name without folder and extension.
    std::string stem = package.substr(package.find_last_of("\\/") + 1);
    app.m_strProductName = stem.substr(0, stem.rfind('.'));
  }
  app.m_strUninstaller =
      uninstaller.empty() ? platform::WindowsDirectory() + "\\tsu11.exe" : uninstaller;
  const EntryDetails& fromFile = file.details();
  app.m_strVersion = details.version.empty() ? fromFile.version : details.version;
  app.m_strPublisher = details.publisher.empty() ? fromFile.publisher : details.publisher;
  app.m_strURL = details.url.empty() ? fromFile.url : details.url;
  if (!CheckInstallDir(target.c_str(), TRUE, FALSE)) {
    Error("cannot create " + target);
    return 1;
  }

  // What an install killed here before left behind is undone first.
  if (int undone = RecoverRollbacks())
    std::fprintf(stderr, "tarnmake: undid %d install(s) that did not finish\n", undone);
  Recorder rec;
  {
    EntryProgress progress("installing", WM_SETUP_DATA_BEGIN, WM_SETUP_DATA_STEP);
    platform::ComScope com;
    CInstallRunner::Install(file.path().c_str(), EntryProgress::Window());
  }
  using K = platform::JournalKind;
  // The log the install wrote: another name when a file not this product's
  // held Unistall.tsu.
  std::string log = UninstallLogPath(target.c_str()).str();
  const stuInstalledEntry entry = ReadInstalledEntry(app.m_strProductName);
  if (!entry.strLogPath.IsEmpty()) log = entry.strLogPath.str();
  const size_t failures = rec.record().Count(platform::OutcomeKind::kFailed);
  const bool ok = failures == 0;

  if (json) {
    std::vector<std::string> skipped, links, values, programs, libraries, messages;
    for (const auto* e : rec.Of(K::kEntrySkipped))
      skipped.push_back("{\"path\": " + Json(e->path) + ", \"why\": " + Json(e->detail) + "}");
    for (const auto* e : rec.Of(K::kShortcut))
      links.push_back("{\"link\": " + Json(e->path) + ", \"target\": " + Json(e->detail) + "}");
    for (const auto* e : rec.Of(K::kRegValueSet))
      values.push_back("{\"key\": " + Json(e->path) + ", \"name\": " + Json(e->detail) +
                       ", \"value\": " + Json(e->value) + "}");
    for (const auto* e : rec.Of(K::kProgramStarted))
      programs.push_back("{\"command\": " + Json(e->path) +
                         ", \"wait\": " + (e->detail == "wait" ? "true" : "false") + "}");
    for (const auto* e : rec.Of(K::kLibraryCalled))
      libraries.push_back("{\"path\": " + Json(e->path) + ", \"result\": " + Json(e->detail) + "}");
    for (const auto& m : rec.messages()) messages.push_back(Json(m));
    std::printf(
        "{\"ok\": %s, \"target\": %s, \"product\": %s, \"uninstaller\": %s, \"log\": %s,\n"
        " \"version\": %s, \"publisher\": %s, \"url\": %s,\n"
        " \"files\": %s,\n \"skipped\": %s,\n \"temporary_removed\": %s,\n \"shortcuts\": %s,\n"
        " \"registry_keys\": %s,\n \"registry_values\": %s,\n \"programs\": %s,\n"
        " \"libraries\": %s,\n \"messages\": %s,\n \"failures\": %s}\n",
        ok ? "true" : "false", Json(target).c_str(), Json(app.m_strProductName.str()).c_str(),
        Json(app.m_strUninstaller.str()).c_str(), Json(log).c_str(),
        Json(app.m_strVersion.str()).c_str(), Json(app.m_strPublisher.str()).c_str(),
        Json(app.m_strURL.str()).c_str(),
        JsonList(Paths(rec, K::kFileWritten, true)).c_str(), JsonList(skipped).c_str(),
        JsonList(Paths(rec, K::kFileRemoved, true)).c_str(), JsonList(links).c_str(),
        JsonList(Paths(rec, K::kRegKeyCreated, true)).c_str(), JsonList(values).c_str(),
        JsonList(programs).c_str(), JsonList(libraries).c_str(), JsonList(messages).c_str(),
        JsonList(JsonFailures(rec)).c_str());
  } else {
    PrintList("files written", Paths(rec, K::kFileWritten, false));
    std::vector<std::string> lines;
    for (const auto* e : rec.Of(K::kEntrySkipped)) lines.push_back(e->path + " (" + e->detail + ")");
    PrintList("entries passed over", lines);
    PrintList("temporary files removed", Paths(rec, K::kFileRemoved, false));
    lines.clear();
    for (const auto* e : rec.Of(K::kShortcut)) lines.push_back(e->path + " -> " + e->detail);
    PrintList("shortcuts", lines);
    PrintList("registry keys created", Paths(rec, K::kRegKeyCreated, false));
    lines.clear();
    for (const auto* e : rec.Of(K::kRegValueSet))
      lines.push_back(e->path + "\\" + (e->detail.empty() ? "@" : e->detail) + " = " + e->value);
    PrintList("registry values set", lines);
    lines.clear();
    for (const auto* e : rec.Of(K::kProgramStarted))
      lines.push_back(e->path + (e->detail == "wait" ? " (waited for)" : ""));
    PrintList("programs started", lines);
    lines.clear();
    for (const auto* e : rec.Of(K::kLibraryCalled)) lines.push_back(e->path + " " + e->detail);
    PrintList("libraries", lines);
    Say("uninstall log: " + log);
  }
  if (!ok) Error(std::to_string(failures) + " problem(s) during the install");
  return ok ? 0 : 1;
}

int CmdUninstall(const std::string& log, const std::string& key, const std::string& sandbox,
                 bool json) {
  if (!sandbox.empty()) platform::SetSandboxRoot(host::AbsolutePath(sandbox));
  // In the sandbox a path without a drive is the host's: the uninstall would
  // delete the host's files.
  if (!IsFullWindowsPath(log)) {
    Error("LOG must be a full Windows path such as C:\\Program Files\\Product\\Unistall.tsu");
    return 1;
  }
  CTarnSetupShellApp app;
  Recorder rec;
  BOOL processed;
  {
    EntryProgress progress("removing", WM_UNINST_START, WM_UNINST_STEP);
    platform::ComScope com;
    processed = CInstallRunner::Uninstall(log.c_str(), EntryProgress::Window());
    // As the uninstaller does: without a usable log the product still
    // leaves the list of installed programs.
    if (!processed && !key.empty()) RemoveUninstallKey(key.c_str());
  }
  using K = platform::JournalKind;
  // A file that goes only at the next start of Windows is not removed yet.
  const bool scheduled = rec.record().Scheduled();
  const bool ok = processed && !rec.record().Failed() && !scheduled;
  if (json) {
    std::vector<std::string> messages;
    for (const auto& m : rec.messages()) messages.push_back(Json(m));
    std::printf(
        "{\"ok\": %s, \"processed\": %s, \"log\": %s,\n \"files_removed\": %s,\n"
        " \"files_not_removed\": %s,\n \"folders_removed\": %s,\n \"registry_removed\": %s,\n"
        " \"registry_not_removed\": %s,\n \"absent\": %s,\n \"messages\": %s,\n"
        " \"scheduled\": %s,\n \"failures\": %s}\n",
        ok ? "true" : "false", processed ? "true" : "false", Json(log).c_str(),
        JsonList(Paths(rec, K::kFileRemoved, true)).c_str(),
        JsonList(Paths(rec, K::kFileNotRemoved, true)).c_str(),
        JsonList(Paths(rec, K::kFolderRemoved, true)).c_str(),
        JsonList(Paths(rec, K::kRegDeleted, true)).c_str(),
        JsonList(Paths(rec, K::kRegNotDeleted, true)).c_str(),
        JsonList(Paths(rec, K::kAlreadyGone, true)).c_str(), JsonList(messages).c_str(),
        JsonList(Paths(rec, K::kFileScheduled, true)).c_str(), JsonList(JsonFailures(rec)).c_str());
  } else {
    PrintList("registry entries removed", Paths(rec, K::kRegDeleted, false));
    PrintList("registry entries not removed", Paths(rec, K::kRegNotDeleted, false));
    PrintList("files removed", Paths(rec, K::kFileRemoved, false));
    PrintList("files not removed", Paths(rec, K::kFileNotRemoved, false));
    PrintList("folders removed", Paths(rec, K::kFolderRemoved, false));
    PrintList("already gone", Paths(rec, K::kAlreadyGone, false));
    PrintList("removed when Windows restarts", Paths(rec, K::kFileScheduled, false));
  }
  if (!ok)
    Error(!processed                 ? "the log could not be processed"
          : rec.record().Failed()    ? "some entries could not be removed"
                                     : "some files are removed only when Windows restarts");
  return ok ? 0 : 1;
}

}  // namespace tarnmake
