// The rollback log: before an install changes the machine it writes down
// what it is about to do, written before the change, and keeps a copy of
// each file it overwrites. A confirmed quit, a stop at a fatal fault, or
// the next start after a kill or a power loss undoes the install from it;
// a finished install deletes it after its uninstall log and key exist.
//
// The logs live in one folder of the Windows folder, which only
// administrators can write and every later run can find: slots
// "install<N>.trj" (N from 1), their backups "install<N>.trj.<k>" (k from 1).
// A slot's owner holds a lock on its log for as long as it runs, so a
// recovery never touches a running install's log.
//
// File layout (every number little-endian):
//   8 bytes  "TRBJV1.0"
//   records: BYTE step, WORD n + n bytes, WORD m + m bytes, DWORD crc32 of
//            all bytes of the record before it
// A record cut off or failing its sum ends the log there: it was being
// written when the install stopped, and its change had not begun.
// Programs the install started are not undone.
#pragma once
#include <ctime>
#include <string>
#include <unordered_set>
#include <vector>
#include "afx/cstring.h"
#include "platform/file.h"

namespace rollback {

enum class Step : unsigned char {
  kBegin = 1,     // a: the install folder
  kNewFile = 2,   // a: a file or shortcut about to be made
  kReplaced = 3,  // a: a file about to be overwritten, b: its backup's number
  kNewFolder = 4, // a: a folder about to be made
  kRegistered = 5,  // a: a library about to be self-registered
  kRegEntry = 6,  // a: a registry entry the package lists for removal
  kNewKey = 7,    // a: the product's Uninstall key name, about to be made
};

struct Record {
  Step step;
  std::string a, b;
};

constexpr char kMagic[] = "TRBJV1.0";
constexpr size_t kMagicSize = 8;
// No path, entry or name the install writes down is longer.
constexpr size_t kMaxField = 4096;

std::string EncodeRecord(const Record& r);
// The intact records of a log, in order. False when the file is no rollback
// log (no magic); *damaged tells that bytes after the last intact record
// were left unread.
bool ParseLog(const unsigned char* data, size_t size, std::vector<Record>* out, bool* damaged);

// Copies a file's bytes and times; neither name may be a link. The copy is
// made durable before it counts.
bool CopyPlainFile(const std::string& from, const std::string& to);
// "<log>.<k>": backup k of a log.
std::string BackupPath(const std::string& log, int k);
// Deletes a log's backups, the last first, so that a stop half-way leaves
// ones a later look still finds from 1.
void RemoveBackups(const std::string& log);
// "<folder>\install<n>.trj".
std::string SlotPath(const CString& folder, int n);
constexpr int kSlots = 64;
// Ends a held log: emptied (the commit point: nothing left to undo), its
// backups deleted, then its name, while the lock is held where the system
// allows it, so that no other run can take the slot between.
void RetireLog(platform::FileHandle& file, const std::string& path);

}  // namespace rollback

class TARN_EXPORT CRollbackJournal {
 public:
  CRollbackJournal() = default;
  // A log still open is left as a killed install would leave it.
  ~CRollbackJournal();
  CRollbackJournal(const CRollbackJournal&) = delete;
  CRollbackJournal& operator=(const CRollbackJournal&) = delete;

  // Takes a free slot and writes the log's head. False (and no log) when
  // the folder cannot be used: the install then goes on without one.
  bool Begin(const CString& targetDir);
  bool Active() const { return m_file.IsOpen(); }
  // Something beyond the head was written down.
  bool Changed() const { return m_records.size() > 1; }

  // Each writes its record before returning (flushed at once for backups,
  // registrations and keys, per batch for new names); false when that
  // failed, and the change must then not be made.
  // A file about to be written: new, or copied to a backup first.
  bool NoteFile(const CString& path);
  // The folders of dir that are missing, outermost first.
  bool NoteNewFolders(const CString& dir);
  bool NoteRegistered(const CString& library);
  bool NoteRegEntry(const CString& entry);
  bool NoteNewKey(const CString& keyName);

  // Undoes what the log lists, newest first, then deletes it.
  void Rollback();
  // The install is done: the log goes first, so that a stop from here on
  // leaves nothing to undo, then the backups.
  void Commit();
  // Closes the log as a killed process would (for tests of the recovery).
  void Abandon();

  const std::string& Path() const { return m_strPath; }

 private:
  bool Append(rollback::Step step, const std::string& a, const std::string& b = "");

  platform::FileHandle m_file;
  std::string m_strPath;
  int m_nBackups = 0;
  int m_nUnflushed = 0;
  std::time_t m_firstUnflushed = 0;  // when the oldest unflushed new name was written
  // Folders written down as new, folded to lower case.
  std::unordered_set<std::string> m_madeFolders;
  std::vector<rollback::Record> m_records;
};

// The folder of the logs: <Windows folder>\TarnRollback, unless a test
// named another.
CString RollbackFolder();
TARN_EXPORT void SetRollbackFolder(LPCSTR folder);
// Off for a benchmark's baseline only (TARN_NO_ROLLBACK=1).
bool RollbackEnabled();

// Finishes every log left by an install that no longer runs: undoes it and
// deletes it with its backups. Returns how many installs were undone.
TARN_EXPORT int RecoverRollbacks();
// Undoes one log's records, newest first, with backups beside logPath;
// what a record names that is no full path, or lies through a link, is
// passed over.
void UndoRecords(const std::vector<rollback::Record>& records, const std::string& logPath);
