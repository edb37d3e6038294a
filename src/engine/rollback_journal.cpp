#include "engine/rollback_journal.h"
#include <cstdlib>
#include <ctime>
#include "platform/fs.h"
#include "sysint/path_ops.h"

namespace {
CString g_folder;
// New names are flushed in batches: at most this many, and none older than
// a second or two, wait for a power loss to leave them undone (orphans in
// the install's own folders). Each flush is a disk commit, dearer than the
// small file it records. (The clock is time(): the runtime's finer clocks
// would double the shell.)
const int kFlushBatch = 256;
const std::time_t kFlushAfterSeconds = 1;
}  // namespace

CString RollbackFolder() {
  if (!g_folder.IsEmpty()) return g_folder;
  return CString(platform::WindowsDirectory().c_str()) + "\\TarnRollback";
}

void SetRollbackFolder(LPCSTR folder) { g_folder = folder ? folder : ""; }

bool RollbackEnabled() {
  const char* off = std::getenv("TARN_NO_ROLLBACK");
  return !(off && off[0] == '1');
}

namespace rollback {

std::string BackupPath(const std::string& log, int k) { return log + "." + std::to_string(k); }

std::string SlotPath(const CString& folder, int n) {
  return folder.str() + "\\install" + std::to_string(n) + ".trj";
}

void RemoveBackups(const std::string& log) {
  int n = 0;
  while (platform::Access(BackupPath(log, n + 1))) ++n;
  for (int k = n; k >= 1; --k) platform::RemoveFile(BackupPath(log, k));
}

bool CopyPlainFile(const std::string& from, const std::string& to) {
  platform::FileHandle in, out;
  int error = 0;
  platform::FileInfo info;
  if (!platform::GetFileInfo(from, &info) ||
      !in.Open(from, platform::kAccessRead, platform::kShareDenyWrite, false, false, &error, true) ||
      !out.Open(to, platform::kAccessWrite, platform::kShareDenyWrite, true, true, &error, true))
    return false;
  // Not thread_local: one with a destructor brings the runtime's exception
  // support into the shell (twice its size); an allocation a copy is nothing
  // beside the copy.
  std::string buf(1 << 16, '\0');
  for (;;) {
    int64_t n = in.Read(&buf[0], buf.size());
    if (n < 0) return false;
    if (n == 0) break;
    if (!out.Write(buf.data(), static_cast<size_t>(n))) return false;
  }
  out.SetTimes(info.ctime, info.mtime, info.atime);
  return out.Flush();
}

}  // namespace rollback

CRollbackJournal::~CRollbackJournal() { m_file.Close(); }

bool CRollbackJournal::Begin(const CString& targetDir) {
  const CString folder = RollbackFolder();
  if (!CheckDir(folder, TRUE, FALSE) || platform::LinkInPath(folder.str())) return false;
  for (int n = 1; n <= rollback::kSlots; ++n) {
    const std::string path = rollback::SlotPath(folder, n);
    int error = 0;
    if (!m_file.Open(path, platform::kAccessReadWrite, platform::kShareDenyNone, true, false, &error, true))
      continue;
    uint64_t length = 0;
    // A held slot is a running install's; a full one waits for recovery.
    if (!m_file.TryLock() || !m_file.Length(&length) || length != 0) {
      m_file.Close();
      continue;
    }
    m_strPath = path;
    rollback::RemoveBackups(path);
    m_nBackups = 0;
    m_records.clear();
    if (m_file.Write(rollback::kMagic, rollback::kMagicSize) &&
        Append(rollback::Step::kBegin, targetDir.str()))
      return true;
    m_file.SetLength(0);
    m_file.Close();
    return false;
  }
  return false;
}

bool CRollbackJournal::Append(rollback::Step step, const std::string& a, const std::string& b) {
  if (!Active() || a.size() > rollback::kMaxField || b.size() > rollback::kMaxField) return false;
  rollback::Record r{step, a, b};
  const std::string bytes = rollback::EncodeRecord(r);
  if (!m_file.Write(bytes.data(), bytes.size())) return false;
  // Written, a record outlives a kill of this process. Against a power loss
  // it is flushed too, at once where an undo needs what the record says
  // (a backup, a registration), else once per batch of new names.
  const bool batched = step == rollback::Step::kNewFile || step == rollback::Step::kNewFolder;
  const std::time_t now = std::time(nullptr);
  if (batched && m_nUnflushed++ == 0) m_firstUnflushed = now;
  if (!batched || m_nUnflushed >= kFlushBatch || now - m_firstUnflushed >= kFlushAfterSeconds) {
    if (!m_file.Flush()) return false;
    m_nUnflushed = 0;
  }
  m_records.push_back(std::move(r));
  return true;
}

bool CRollbackJournal::NoteFile(const CString& path) {
  // In a folder this install made, every name is new: no look needed, and
  // on Windows each look is a directory search.
  CString name, dir;
  if (SplitPath(path, name, dir)) {
    SetTrailingBackslash(dir, FALSE);
    dir.MakeLower();
    if (m_madeFolders.count(dir.str())) return Append(rollback::Step::kNewFile, path.str());
  }
  bool isDir = false;
  // A link is replaced by what is written, never written through: what is
  // there afterwards is a new file.
  if (!platform::FindEntry(path.str(), &isDir) || platform::IsLinkedName(path.str()))
    return Append(rollback::Step::kNewFile, path.str());
  // A folder of that name is no file to keep: the write itself fails.
  if (isDir) return true;
  const int k = m_nBackups + 1;
  if (!rollback::CopyPlainFile(path.str(), rollback::BackupPath(m_strPath, k))) {
    platform::RemoveFile(rollback::BackupPath(m_strPath, k));
    return false;
  }
  m_nBackups = k;
  return Append(rollback::Step::kReplaced, path.str(), std::to_string(k));
}

bool CRollbackJournal::NoteNewFolders(const CString& dir) {
  std::vector<CString> missing;
  CString d = dir;
  SetTrailingBackslash(d, FALSE);
  while (!d.IsEmpty() && !IsDriveRoot(d) && !platform::Access(d.str())) {
    missing.push_back(d);
    CString name, parent;
    if (!SplitPath(d, name, parent)) break;
    SetTrailingBackslash(parent, FALSE);
    if (parent == d) break;
    d = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!Append(rollback::Step::kNewFolder, it->str())) return false;
    CString folded = *it;
    folded.MakeLower();
    m_madeFolders.insert(folded.str());
  }
  return true;
}

bool CRollbackJournal::NoteRegistered(const CString& library) {
  return Append(rollback::Step::kRegistered, library.str());
}

bool CRollbackJournal::NoteRegEntry(const CString& entry) {
  return Append(rollback::Step::kRegEntry, entry.str());
}

bool CRollbackJournal::NoteNewKey(const CString& keyName) {
  return Append(rollback::Step::kNewKey, keyName.str());
}

void rollback::RetireLog(platform::FileHandle& file, const std::string& path) {
  file.SetLength(0);
  file.Flush();
  RemoveBackups(path);
  const bool removed = platform::RemoveFile(path);
  file.Close();
  if (!removed) platform::RemoveFile(path);
}

void CRollbackJournal::Rollback() {
  if (!Active()) return;
  UndoRecords(m_records, m_strPath);
  rollback::RetireLog(m_file, m_strPath);
  m_records.clear();
}

void CRollbackJournal::Commit() {
  if (!Active()) return;
  rollback::RetireLog(m_file, m_strPath);
  m_records.clear();
}

void CRollbackJournal::Abandon() { m_file.Close(); }
