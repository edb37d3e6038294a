// Undoing an install that was stopped: what it made goes the way an
// uninstall removes it, through a log of just that, which is then deleted.
#include "afx/file.h"
#include "engine/removal.h"
#include "engine/setup_package.h"
#include "engine/install_runner.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "sysint/programs.h"

void CSetupPackage::Undo() {
  for (int i = m_saRegistered.GetSize() - 1; i >= 0; --i) RegisterServer(m_saRegistered[i], FALSE);
  std::string text;
  for (int i = m_saMadeFiles.GetSize() - 1; i >= 0; --i) text += m_saMadeFiles[i].str() + "\r\n";
  text += "[DeleteRegistry]\r\n";
  for (const CString& entry : m_saScriptRegKeys.vec()) text += entry.str() + "\r\n";
  text.insert(0, UninstallLogHead(text));

  // Beside the files, so that the folders it empties are taken as an
  // uninstall takes them; a name of its own, never the product's log.
  const std::string log = platform::TempFileName(m_strTargetDir.str(), "tsu");
  platform::FileHandle f;
  int error = 0;
  const bool written = !log.empty() &&
                       f.Open(log, platform::kAccessWrite, platform::kShareDenyWrite, false, true, &error, true) &&
                       f.Write(text.data(), text.size());
  f.Close();
  if (written) {
    ProcessUninstallLog(log.c_str());
    DeleteFileAndDir(log.c_str(), TRUE);
    return;
  }
  if (!log.empty()) platform::RemoveFile(log);
  // No room for the list: the files one by one.
  for (int i = m_saMadeFiles.GetSize() - 1; i >= 0; --i) DeleteFileAndDir(m_saMadeFiles[i], TRUE);
}
