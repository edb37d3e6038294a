#include "shell/silent.h"
#include <ctime>
#include "engine/install_runner.h"
#include "engine/installed_entry.h"
#include "shell/installed_product.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/shell_link.h"
#include "shell/ui_script.h"
#include "sysint/path_ops.h"

CString SilentLogPath() {
  CString dir = platform::TempPath().c_str();
  // TempPath ends in its separator; a folder from elsewhere may not.
  if (!dir.IsEmpty() && dir[dir.GetLength() - 1] != '\\' && dir[dir.GetLength() - 1] != '/')
    dir += "\\";
  return dir + kSilentLogName;
}

CSilentLog::CSilentLog(const CString& path)
    : m_strPath(path),
      m_record([this](const platform::Outcome& o) { Line("message: " + CString(o.message.text.c_str())); }) {
  m_prevHandler = platform::SetMessageBoxHandler(
      [this](const platform::MessageBoxCall& call) { return OnBox(call); });
}

CSilentLog::~CSilentLog() { platform::SetMessageBoxHandler(m_prevHandler); }

void CSilentLog::Line(const CString& text) {
  std::string line = text.str();
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  line += "\r\n";
  std::lock_guard<platform::Mutex> l(m_lock);
  // Opened for each line: what was logged is there even if the run dies.
  platform::FileHandle f;
  int error = 0;
  uint64_t end = 0;
  // Never through a link: the folder is the user's, and this runs elevated.
  if (f.Open(m_strPath.str(), platform::kAccessWrite, platform::kShareDenyWrite, true, false,
             &error, true) &&
      f.Seek(0, platform::kSeekEnd, &end))
    f.Write(line.data(), line.size());
}

void CSilentLog::Problem(const CString& text) {
  platform::Outcome o;
  o.kind = platform::OutcomeKind::kFailed;
  o.message.text = text.str();
  platform::ReportOutcome(o);
}

int CSilentLog::OnBox(const platform::MessageBoxCall& call) {
  Line("message: " + CString(call.text.c_str()));
  return (call.type & 0x0F) == MB_YESNO ? IDNO : IDOK;
}

namespace {

int SilentInstall(const stuCommandLine& cmd, CTarnSetupShellApp& app, const stuExtractEnv& env,
                  CSilentLog& log) {
  // Checked first: a wrong argument leaves no temporary file behind.
  if (cmd.bTargetDir) {
    if (const char* problem = SilentTargetProblem(cmd.strTargetDir)) {
      log.Problem(problem);
      return kExitUsage;
    }
  }
  if (!ExtractPayloadTo(app, env)) {
    // The wizard ends without a word when there is no payload; here the
    // log says why nothing was installed.
    if (!log.Failed()) log.Problem("安装数据错误,无法正常安装!");
    return kExitNoPayload;
  }
  LoadUIScriptInto(app);
  const stuInstalledEntry installed = ReadInstalledEntry(app.m_strProductName);
  if (IsOtherPublisher(installed, app.m_strPublisher)) {
    log.Problem(OtherPublisherText(app.m_strProductName, installed.strPublisher));
    return kExitUsage;
  }
  // An upgrade goes where the installed version is, unless told otherwise.
  ProposeInstalledFolder(app, installed);
  if (cmd.bTargetDir) app.m_strTargetDir = cmd.strTargetDir;
  if (const char* problem = SilentTargetProblem(app.m_strTargetDir)) {
    log.Problem(problem);
    return kExitUsage;
  }
  log.Line("target: " + app.m_strTargetDir);
  if (!CheckInstallDir(app.m_strTargetDir, TRUE, FALSE)) {
    log.Problem("不能建立路径'" + app.m_strTargetDir + "'!");
    return kExitUsage;
  }
  CInstallRunner::Install(app.GetPackageFile(), nullptr);
  return log.Failed() ? kExitFailed : kExitOk;
}

int SilentUninstall(const stuCommandLine& cmd, CSilentLog& log) {
  // As the uninstall dialog's worker does, without the question before it.
  const BOOL ok = CInstallRunner::Uninstall(cmd.strLogPath, nullptr);
  if (!ok) {
    RemoveUninstallKey(cmd.strKeyName);
    return kExitFailed;
  }
  if (log.Failed()) return kExitFailed;
  // Files held by running programs go at the next start of Windows.
  return log.Scheduled() ? kExitRestart : kExitOk;
}

CString Now() {
  char text[32] = "";
  std::time_t t = std::time(nullptr);
  if (const std::tm* tm = std::localtime(&t)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", tm);
  return text;
}

}  // namespace

int RunSilent(const stuCommandLine& cmd, LPCSTR cmdLine, CTarnSetupShellApp& app,
              const stuExtractEnv& env, const CString& logPath) {
  // As on the wizard's threads: shortcuts and shell look-ups use COM.
  platform::ComScope com;
  CSilentLog log(logPath);
  log.Line("== " + Now() + " " + (cmd.bUninstall ? "uninstall" : "install") + ": " +
           CString(cmdLine));
  int code;
  if (!cmd.strUnknown.IsEmpty()) {
    log.Problem("不能识别的参数: " + cmd.strUnknown);
    code = kExitUsage;
  } else if (cmd.bUninstall) {
    code = SilentUninstall(cmd, log);
  } else {
    code = SilentInstall(cmd, app, env, log);
  }
  CString end;
  end.Format("exit code %d", code);
  log.Line(end);
  return code;
}
