// The setup package: a packet whose version is "TARN_TSPV1.0", whose index
// block lists TSPIndex records and whose data block holds the entries' files.
// A package whose target paths, shortcut paths or command lines hold a GB18030
// four-byte sequence (a character GBK lacks) is "TARN_TSPV1.1" and otherwise
// the same bytes: a shell that knows only 1.0 refuses it ("Invaild
// version!") instead of installing names it would garble.
//
// Index block: WORD count, then per record, no padding:
//   BYTE n + n bytes  target path      (strings hold at most 255 bytes)
//   BYTE n + n bytes  shortcut path
//   DWORD orig size, DWORD stored size, BYTE install flag, BYTE icon id
//   BYTE n + n bytes  command line
//   DWORD create, modify, access time, DWORD OS version, DWORD protected
// Entries with IF_NO_DATA have no bytes in the data block and no size-table
// slot.
#pragma once
#include <string>
#include <unordered_set>
#include "afx/collections.h"
#include "engine/tsp_index.h"
#include "packet/packet.h"
#include "packet/stream_codec.h"

// Progress messages, posted to the notification window.
enum : UINT {
  WM_SETUP_INFO_BEGIN = WM_USER + 1001,
  WM_SETUP_INFO_STEP = WM_USER + 1002,
  WM_SETUP_INFO_END = WM_USER + 1003,
  WM_SETUP_DATA_BEGIN = WM_USER + 1004,
  WM_SETUP_DATA_STEP = WM_USER + 1005,
  WM_SETUP_DATA_END = WM_USER + 1006,
};

namespace tsp {
constexpr char kVersion[] = "TARN_TSPV1.0";
constexpr char kVersionFourByte[] = "TARN_TSPV1.1";
}  // namespace tsp

class TARN_EXPORT CSetupPackage : public CPacket {
 public:
  // packageFile may be null or empty (an uninstall); scriptFile is set only
  // to build a package; notifyWnd may be null.
  CSetupPackage(LPCSTR packageFile, LPCSTR targetDir, LPCSTR scriptFile, HWND notifyWnd);
  ~CSetupPackage() override;

 protected:
  int WriteIndexInfo(CFile& index) override;
  int WriteDataInfo(CFile& data) override;
  int ReadIndexInfo(CFile& index) override;
  int UnpackDataInfo(CFile& data) override;
  // Writes an item that WriteDataInfo compressed ahead, else as CPacket does.
  DWORD WriteEncode(CFile& file, const BYTE* buffer, DWORD length) override;

 public:
  int MakePacket() override;

  // New virtual operations, in their slot order after CPacket's.
  virtual BOOL WriteUninstallInfo(LPCSTR targetDir, LPCSTR keyName, LPCSTR displayName,
                                  LPCSTR uninstaller);
  virtual BOOL ProcessUninstallLog(LPCSTR logPath);
  virtual BOOL ExpandDirMacro(CString& path);
  virtual BOOL PostProcessFile(LPCSTR path, const TSPIndex& entry);
  virtual void AddUninstallFile(LPCSTR path);
  virtual void AddUninstallRegKey(LPCSTR entry);

  BOOL PrepareFromScript();
  BOOL ParseFileInfo(const CStringArray& lines);

  BOOL ExpandFolderMacro(CString& path);
  BOOL CreateFileShortcut(CString targetPath, const TSPIndex& entry);
  BOOL LoadScriptRegList(const BYTE* content, DWORD length);
  BOOL CheckOSVersion(DWORD version);
  // The index block could be read, and its records match the header's
  // file count and take the size table's slots exactly; an install walks
  // m_arrIndex only when this holds.
  bool IndexUsable() const;
  // An entry not installed: its message, and a line in the journal.
  void Refuse(const char* format, const CString& path, const char* why);

  // Threads that read and compress sources while a package is built; 0 (the
  // default) means TARN_THREADS from the environment, else every core.
  static void SetPackThreads(unsigned count);
  static unsigned PackThreads();
  // How WriteDataInfo compresses items; the default is zlib at its default
  // level, the bytes CPacket::WriteEncode writes.
  static void SetEncodeOptions(const packet::EncodeOptions& options);
  static packet::EncodeOptions EncodeOptions();

  CStringArray m_saRegKeys;
  CStringArray m_saUninstallFiles;
  CStringArray m_saScriptRegKeys;
  // The log WriteUninstallInfo wrote: Unistall.tsu, or the next free name
  // when a file not this product's holds that one.
  CString m_strLogPath;
  CObjArray<TSPIndex> m_arrIndex;
  CString m_strScriptFile;
  CString m_strTargetDir;
  CString m_strWinSysDir;
  CString m_strWinDir;
  CString m_strProgramsFolder;
  CString m_strStartupFolder;
  CString m_strDesktopFolder;
  CString m_strSystemFolder;
  CString m_strWindowsFolder;
  CString m_strSetupDir;
  HWND m_hNotifyWnd = nullptr;
  // The registry list being loaded, for its messages.
  CString m_strRegListPath;
  // What this install made that was not there before, and the libraries it
  // registered: what undoing it removes.
  CStringArray m_saMadeFiles;
  CStringArray m_saRegistered;
  // Where each change is written down before it is made; none when the
  // install runs without a rollback log.
  class CRollbackJournal* m_pRollback = nullptr;
  // The entries were all handled (the end message was posted).
  bool m_bDataDone = false;
  // An uninstall left a file it should have removed: the log and the
  // Uninstall key stay, so that the uninstall can be run again.
  bool m_bFilesLeft = false;

  // Undoes this install after a stop: unregisters its libraries, removes
  // the files and shortcuts it made (each folder as it empties) and the
  // registry entries its package lists; writes no log and no key. Files it
  // replaced keep their new content; programs it started are not undone.
  void Undo();
  // Writes a change down before it is made: true when there is no log or
  // the record is durable. A refusal is told for path.
  bool NoteFile(const CString& path);
  bool NoteFolders(const CString& dir);

 private:
  // WritePacket ignores its hooks' results; MakePacket must not.
  bool m_bDataFailed = false;
  bool m_bIndexRead = false;
  // m_saUninstallFiles folded to lower case, so that adding stays fast for
  // products of many thousand files.
  std::unordered_set<std::string> m_uninstallKeys;
  // m_saScriptRegKeys folded, as far as AddUninstallRegKey has looked.
  std::unordered_set<std::string> m_scriptRegKeys;
  int m_nScriptRegKeysFolded = 0;
  // Items of WriteDataInfo read and compressed ahead on worker threads.
  struct PreparedItem;
  class Loader;
  const PreparedItem* m_pPrepared = nullptr;
};
