// The install's side of the rollback log: each change written down before
// it is made, and not made when that cannot be done.
#include "engine/rollback_journal.h"
#include "engine/setup_package.h"
#include "platform/fs.h"

namespace {
const char kNotNoted[] = "不能保存'%s'的撤销信息,此项没有安装!";
}

bool CSetupPackage::NoteFile(const CString& path) {
  // A link is refused by the write itself, and nothing of it is copied.
  if (!m_pRollback || platform::IsLinkedName(path.str())) return true;
  if (m_pRollback->NoteFile(path)) return true;
  Refuse(kNotNoted, path, "rollback log");
  return false;
}

bool CSetupPackage::NoteFolders(const CString& dir) {
  if (!m_pRollback || m_pRollback->NoteNewFolders(dir)) return true;
  Refuse(kNotNoted, dir, "rollback log");
  return false;
}
