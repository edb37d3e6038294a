// One install entry of a setup package.
#pragma once
#include "afx/archive.h"
#include "afx/cstring.h"

// INSTALL_FLAG bits.
enum : BYTE {
  IF_REGISTER = 0x01,
  IF_REGEDIT = 0x02,
  IF_TEMPORARY = 0x04,
  IF_KEEP_EXISTING = 0x08,
  IF_REGLIST = 0x10,
  IF_RUN = 0x20,
  IF_NO_DATA = 0x40,
};

class TARN_EXPORT TSPIndex {
 public:
  CString m_strCommandLine;
  CString m_strTargetPath;
  CString m_strShortcutPath;
  CString m_strSourcePath;  // authoring side only; never stored
  BYTE m_byIconId = 0;
  DWORD m_dwOrigSize = 0;
  DWORD m_dwStoredSize = 0;
  BYTE m_byInstallFlag = 0;
  DWORD m_tCreate = 0;  // 32-bit calendar times
  DWORD m_tModify = 0;
  DWORD m_tAccess = 0;
  DWORD m_dwOSVersion = 0;
  DWORD m_dwProtected = 0;

  // The framework's archive form (target, shortcut, icon, sizes); the
  // package's index block has its own layout, below.
  void Serialize(CArchive& ar);

  // One record of the index block (layout in setup_package.h). Reading
  // fails when the record is cut short; strings keep at most 255 bytes.
  void WriteIndexRecord(CArchive& ar) const;
  bool ReadIndexRecord(CArchive& ar);
  // Three empty strings, two sizes, two bytes, five words.
  static constexpr uint64_t kMinIndexRecordBytes = 3 + 4 + 4 + 1 + 1 + 4 * 5;
};
