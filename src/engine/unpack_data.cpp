// The install half: every entry of the index, in package order, from the
// data block to its target path. Items are streamed from the packet file as
// the install reaches them, so memory stays bounded by a chunk whatever the
// package holds.
#include <cstdlib>
#include <ctime>
#include <vector>
#include "afx/file.h"
#include "afx/msgbox.h"
#include "engine/index_check.h"
#include "engine/install_messages.h"
#include "engine/install_runner.h"
#include "engine/rollback_journal.h"
#include "engine/setup_package.h"
#include "engine/target_path.h"
#include "packet/stream_codec.h"
#include "platform/fs.h"
#include "platform/journal.h"
#include "platform/link_free.h"
#include "platform/notify.h"
#include "sysint/path_ops.h"

namespace {

const char kOpenFailed[] = "不能打开文件'%s'!\n文件可能正在被使用，请关闭文件再试!";
const char kDecodeFailed[] = " Decode 失败!";
const char kDamagedIndex[] = "安装包索引已损坏!";
const char kBadTarget[] = "非法安装路径'%s'!";
const char kNoFolder[] = "不能建立路径'%s'!";
const char kTooLong[] = "路径'%s'太长!";
const char kWriteFailed[] = "写文件'%s'失败!";
const char kListTooLong[] = "注册表列表'%s'超过%d行,其余的行被忽略!";
// A registry list is text for the log; more than this is no list.
const DWORD kMaxRegList = 64u << 20;
// Lines one list may add to the log: each is a registry entry the uninstall
// tries and may report, one message box at a time.
const int kMaxRegListLines = 10000;

void ShowPath(const char* format, const CString& path) {
  CString text;
  text.Format(format, static_cast<LPCSTR>(path));
  AfxReportFailure(path, text);
}

// 0 to 1000 bytes of (time + rand()) % 255, from a generator the program
// never seeds.
bool WritePadding(CFile& file) {
  BYTE pad[1001];
  for (BYTE& b : pad) b = static_cast<BYTE>((std::time(nullptr) + std::rand()) % 255);
  size_t count = static_cast<size_t>((std::time(nullptr) + std::rand()) % 1001);
  return count == 0 || file.Write(pad, count);
}

}  // namespace

bool CSetupPackage::IndexUsable() const {
  if (!m_bIndexRead) return false;
  std::vector<TSPIndexSizes> records;
  for (int i = 0; i < m_arrIndex.GetSize(); ++i)
    records.push_back({m_arrIndex[i]->m_byInstallFlag, m_arrIndex[i]->m_dwStoredSize});
  return CheckIndex(m_wFileCount, records, m_dwaDataSize.vec().data(), m_dwaDataSize.vec().size()) ==
         IndexFault::kNone;
}

BOOL CSetupPackage::CheckOSVersion(DWORD version) {
  if (version & 0x01) return IsWinNT();
  if (version & 0x02) return !IsWinNT();
  return TRUE;
}

int CSetupPackage::UnpackDataInfo(CFile& data) {
  // Never install from an index that could not be read (it has said so),
  // or whose records do not account for the header's count, the size table
  // and the data block: one entry's bytes would be written as another's.
  if (!m_bIndexRead) return FALSE;
  uint64_t total = 0;
  for (DWORD size : m_dwaDataSize.vec()) total += size;
  if (!IndexUsable() || total != data.GetLength()) {
    AfxReportFailure(m_strPacketFile, kDamagedIndex);
    return FALSE;
  }
  const int n = m_arrIndex.GetSize();
  platform::PostNotify(m_hNotifyWnd, WM_SETUP_DATA_BEGIN, static_cast<WPARAM>(n), 0);
  uint64_t next = 0;  // where the next entry's bytes start
  // The folder the last entry was checked in: products hold many files per
  // folder, and asking the file system again for each costs as much as
  // writing a small file.
  CString knownDir;
  const CString logPath = UninstallLogPath(m_strTargetDir);
  for (int i = 0; i < n; ++i) {
    const TSPIndex& e = *m_arrIndex[i];
    const uint64_t start = next;
    const bool hasData = (e.m_byInstallFlag & IF_NO_DATA) == 0;
    if (hasData) next += e.m_dwStoredSize;
    platform::PostNotify(m_hNotifyWnd, WM_SETUP_DATA_STEP, static_cast<WPARAM>(i),
                         static_cast<LPARAM>(n));
    // A confirmed quit: no entry more, and no finish page.
    if (InstallStopRequested()) return FALSE;

    CString path = e.m_strTargetPath;
    if (!ExpandDirMacro(path)) return FALSE;
    path = CanonicalSeparators(path.str()).c_str();
    const bool forSystem = CheckOSVersion(e.m_dwOSVersion) != FALSE;
    const bool write = hasData && forSystem;

    // Every way through leaves the block at the next entry, read or not.
    data.Seek(static_cast<int64_t>(start), CFile::begin);
    // What verify refuses is never installed: a climbing path, a device,
    // and the log's own name, which would be taken for an earlier log.
    std::vector<std::string> parts;
    if (!TargetPathProblem(e.m_strTargetPath.str(), &parts).empty() ||
        path.CompareNoCase(logPath) == 0) {
      Refuse(kBadTarget, path, "refused");
      continue;
    }
    CString name, dir;
    if (!SplitPath(path, name, dir)) {
      Refuse(path.GetLength() >= MAX_PATH ? kTooLong : kBadTarget, path, "refused");
      continue;
    }
    if (dir != knownDir) {
      if (platform::LinkInPath(dir.str())) {
        Refuse(kThroughLinkText, path, "link");
        continue;
      }
      if (write && !NoteFolders(dir)) continue;
      if (!CheckFileDir(path, write, FALSE)) {
        // Without data there is nothing to put there: the entry's actions
        // had nothing to act on, as designed. A file that cannot be put
        // where it belongs is a failure.
        if (write) ShowPath(kNoFolder, dir);
        platform::Journal(platform::JournalKind::kEntrySkipped, path.str(), "no folder");
        continue;
      }
      knownDir = dir;
    }
    // A file to be written is checked by its open, which cannot be raced;
    // one put to other use is checked by name.
    const bool reglist = (e.m_byInstallFlag & IF_REGLIST) != 0;
    if ((!write || reglist) && platform::IsLinkedName(path.str())) {
      Refuse(kThroughLinkText, path, "link");
      continue;
    }
    // Another name of the log (a short name on Windows) would overwrite it
    // and then be merged as an earlier install's.
    if (write && dir.CompareNoCase(m_strTargetDir) == 0 && platform::Access(path.str()) &&
        platform::SameFile(path.str(), logPath.str())) {
      Refuse(kBadTarget, path, "refused");
      continue;
    }
    if (e.m_byInstallFlag & IF_KEEP_EXISTING) {
      CFileFind find;
      if (find.FindFile(path)) {
        platform::Journal(platform::JournalKind::kEntrySkipped, path.str(), "exists");
        continue;
      }
    }
    if (reglist) {
      CMemFile list;
      bool ok = !hasData || (e.m_dwOrigSize <= kMaxRegList &&
                             packet::StreamDecode(data, e.m_dwStoredSize, e.m_dwOrigSize, &list));
      if (!ok) {
        AfxReportFailure(path, path + kDecodeFailed);
      } else {
        m_strRegListPath = path;
        const int before = m_saScriptRegKeys.GetSize();
        LoadScriptRegList(list.Data(), static_cast<DWORD>(list.GetLength()));
        // Written down now: the imports that make these keys come later.
        for (int k = before; m_pRollback && k < m_saScriptRegKeys.GetSize(); ++k)
          m_pRollback->NoteRegEntry(m_saScriptRegKeys[k]);
      }
      continue;
    }
    if (write && !NoteFile(path)) continue;
    if (write) {
      CFile out;
      if (!out.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::modeNoLinks)) {
        if (platform::LinkInPath(path.str())) {
          Refuse(kThroughLinkText, path, "link");
        } else {
          ShowPath(kOpenFailed, path);
        }
        continue;
      }
      if (platform::LastOpenMadeFile()) m_saMadeFiles.Add(path);
      bool decoded = packet::StreamDecode(data, e.m_dwStoredSize, e.m_dwOrigSize, &out);
      if (decoded && (e.m_dwProtected & 0x01)) WritePadding(out);
      if (out.IsFailed()) {
        // A full disk is not a damaged package: the cut file is no install
        // of the entry, to be run or recorded.
        out.Close();
        platform::RemoveFileLinkFree(path.str());
        Refuse(kWriteFailed, path, "write failed");
        continue;
      }
      if (!decoded) {
        // The file stays, empty, and its actions still follow.
        out.SetLength(0);
        AfxReportFailure(path, path + kDecodeFailed);
      }
      // The times go through the open file, as a status written back by
      // name would set them, without opening the file a second time: that
      // costs as much as the write itself for small files.
      out.SetTimes(e.m_tCreate, e.m_tModify, e.m_tAccess);
      out.Close();
      platform::Journal(platform::JournalKind::kFileWritten, path.str());
    }
    if (!forSystem) {
      // Nothing was written for it, so nothing of it is run or recorded:
      // the uninstall must not delete a file this package never wrote.
      platform::Journal(platform::JournalKind::kEntrySkipped, path.str(), "not for this system");
      continue;
    }
    PostProcessFile(path, e);
    if (!(e.m_byInstallFlag & IF_TEMPORARY) && write) CreateFileShortcut(path, e);
  }
  m_bDataDone = true;
  platform::PostNotify(m_hNotifyWnd, WM_SETUP_DATA_END, 0, 0);
  return TRUE;
}

void CSetupPackage::Refuse(const char* format, const CString& path, const char* why) {
  ShowPath(format, path);
  platform::Journal(platform::JournalKind::kEntrySkipped, path.str(), why);
}

BOOL CSetupPackage::LoadScriptRegList(const BYTE* content, DWORD length) {
  CMemFile file(content, length);
  CArchive ar(&file, CArchive::load);
  CString line;
  int added = 0;
  while (ar.ReadString(line)) {
    // An empty line names no entry; it would only fail at the uninstall.
    CString trimmed = line;
    trimmed.Trim();
    if (trimmed.IsEmpty()) continue;
    if (added == kMaxRegListLines) {
      CString text;
      text.Format(kListTooLong, static_cast<LPCSTR>(m_strRegListPath), kMaxRegListLines);
      AfxReportFailure(m_strRegListPath, text);
      break;
    }
    m_saScriptRegKeys.Add(line);
    ++added;
  }
  return TRUE;
}
