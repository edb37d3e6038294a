// Undoing from a rollback log, for a stop of the running install and for
// the logs of installs that were killed.
#include <cstdlib>
#include "engine/install_runner.h"
#include "engine/removal.h"
#include "engine/rollback_journal.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "sysint/path_ops.h"
#include "sysint/programs.h"

namespace {

// A log holding more than this is no log an install wrote.
const uint64_t kMaxLogBytes = 256u << 20;

bool FolderOfPathIsPlain(const CString& path) {
  CString name, dir;
  return SplitPath(path, name, dir) && !platform::LinkInPath(dir.str());
}

void UndoNewFile(const CString& path) {
  if (!platform::Access(path.str())) return;
  bool linked = false;
  if (FolderOfPathIsPlain(path) && platform::RemovePlainFile(path.str(), &linked))
    platform::Journal(platform::JournalKind::kFileRemoved, path.str(), "rollback");
  else
    platform::Journal(platform::JournalKind::kFileNotRemoved, path.str(), linked ? "link" : "rollback");
}

// Only numbers name a backup: a damaged log cannot point the copy at
// another file.
void UndoReplaced(const CString& path, const std::string& number, const std::string& log) {
  if (number.empty() || number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos)
    return;
  const std::string backup = rollback::BackupPath(log, std::atoi(number.c_str()));
  if (!platform::Access(backup) || platform::LinkInPath(path.str())) return;
  if (rollback::CopyPlainFile(backup, path.str()))
    platform::Journal(platform::JournalKind::kFileWritten, path.str(), "restored");
  else
    platform::Journal(platform::JournalKind::kFileNotRemoved, path.str(), "not restored");
}

}  // namespace

void UndoRecords(const std::vector<rollback::Record>& records, const std::string& logPath) {
  using rollback::Step;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const CString a = it->a.c_str();
    const bool fullPath = IsRemovablePath(a);
    switch (it->step) {
      case Step::kNewFile:
        if (fullPath) UndoNewFile(a);
        break;
      case Step::kReplaced:
        if (fullPath) UndoReplaced(a, it->b, logPath);
        break;
      case Step::kNewFolder:
        if (fullPath && platform::Access(a.str()) && RemoveOwnedFolder(a))
          platform::Journal(platform::JournalKind::kFolderRemoved, a.str());
        break;
      case Step::kRegistered:
        if (fullPath && platform::Access(a.str()) && !platform::LinkInPath(a.str())) RegisterServer(a, FALSE);
        break;
      case Step::kRegEntry:
        if (RemoveRegEntry(a) == RegRemoval::kRemoved)
          platform::Journal(platform::JournalKind::kRegDeleted, a.str());
        break;
      case Step::kNewKey:
        RemoveUninstallKey(a);
        break;
      case Step::kBegin:
        break;
    }
  }
}

int RecoverRollbacks() {
  const CString folder = RollbackFolder();
  if (!platform::Access(folder.str()) || platform::LinkInPath(folder.str())) return 0;
  // What it undoes may lie below a profile folder that is a link (a
  // shortcut on Wine's Desktop), trusted as the install trusted it.
  platform::TrustMachineFolders();
  int undone = 0;
  for (int n = 1; n <= rollback::kSlots; ++n) {
    const std::string path = rollback::SlotPath(folder, n);
    if (!platform::Access(path)) {
      // Backups of a log that was committed just before a stop.
      if (platform::Access(rollback::BackupPath(path, 1))) rollback::RemoveBackups(path);
      continue;
    }
    platform::FileHandle f;
    int error = 0;
    uint64_t length = 0;
    if (!f.Open(path, platform::kAccessReadWrite, platform::kShareDenyNone, false, false, &error, true) ||
        !f.TryLock() || !f.Length(&length))
      continue;  // its install still runs
    std::vector<rollback::Record> records;
    bool damaged = false;
    if (length > 0 && length <= kMaxLogBytes) {
      std::string bytes(static_cast<size_t>(length), '\0');
      uint64_t pos = 0;
      size_t got = 0;
      if (f.Seek(0, platform::kSeekBegin, &pos)) {
        while (got < bytes.size()) {
          int64_t r = f.Read(&bytes[got], bytes.size() - got);
          if (r <= 0) break;
          got += static_cast<size_t>(r);
        }
      }
      rollback::ParseLog(reinterpret_cast<const unsigned char*>(bytes.data()), got, &records, &damaged);
    }
    if (records.size() > 1) {
      UndoRecords(records, path);
      ++undone;
    }
    rollback::RetireLog(f, path);
  }
  return undone;
}
