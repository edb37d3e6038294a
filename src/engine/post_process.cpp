// What an installed entry asks for after its file step, in a fixed order:
// register, import, run, then delete a temporary file or record the path.
#include "afx/msgbox.h"
#include "engine/rollback_journal.h"
#include "engine/setup_package.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/process.h"
#include "platform/regedit_script.h"
#include "sysint/path_ops.h"
#include "sysint/programs.h"

namespace {
// A file still held open by a program that runs on must not hold the
// install for ever: after this many tries it stays where it is.
const int kDeleteTries = 500;
const DWORD kDeleteRetryMs = 10;
}  // namespace

BOOL CSetupPackage::PostProcessFile(LPCSTR path, const TSPIndex& entry) {
  const BYTE flags = entry.m_byInstallFlag;
  const bool temporary = (flags & IF_TEMPORARY) != 0;
  if (flags & IF_REGISTER) {
    // A library that cannot be written down is not registered: nothing
    // could unregister it after a stop.
    if (m_pRollback && !m_pRollback->NoteRegistered(path)) {
      Refuse("注册'%s'失败!", path, "rollback log");
    } else if (!RegisterServer(path, TRUE)) {
      CString text;
      text.Format("注册'%s'失败!", path);
      AfxReportFailure(path, text);
    } else if (!temporary) {
      m_saRegistered.Add(path);
    }
  }
  if (flags & IF_REGEDIT) {
    // Off code page 936 the editor gets a Unicode copy, and is waited for
    // so that the copy can go.
    bool copy = false;
    const CString script = platform::RegistryScriptForEditor(path, &copy).c_str();
    CString command;
    command.Format("regedit /s \"%s\"", static_cast<LPCSTR>(script));
    if (!RunProgram(command, temporary || copy)) AfxReportFailure(path, "导入注册表失败!");
    if (copy) platform::RemoveFile(static_cast<LPCSTR>(script));
  }
  if (flags & IF_RUN) {
    // Quoted: "C:\Program Files\App\a.exe" unquoted would start
    // C:\Program.exe when one is there.
    CString command = CString("\"") + path + "\"";
    if (!entry.m_strCommandLine.IsEmpty()) command += " " + entry.m_strCommandLine;
    // A program the product needs that does not start is a failure, said.
    // Started in its own folder, where it finds what came with it; the
    // installer's own folder is nothing to it.
    CString name, folder;
    SplitPath(path, name, folder);
    if (!RunProgramIn(command, temporary, folder)) {
      CString text;
      text.Format("运行程序'%s'失败!", static_cast<LPCSTR>(command));
      AfxReportFailure(command, text);
    }
  }
  if (temporary) {
    platform::SleepMs(kDeleteRetryMs);
    int tries = 0;
    while (!platform::RemoveFile(path) && platform::Access(path) && ++tries < kDeleteTries)
      platform::SleepMs(kDeleteRetryMs);
    platform::Journal(platform::Access(path) ? platform::JournalKind::kFileNotRemoved
                                             : platform::JournalKind::kFileRemoved,
                      path, "temporary");
  } else {
    AddUninstallFile(path);
  }
  return TRUE;
}
