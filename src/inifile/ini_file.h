// CIniFile: the INI-style text files of the setup scripts. Three families of
// operations share one path: a line parser that hands back whole sections as
// raw lines, a section writer that rewrites the whole file, and single values
// through the platform's profile functions. No file stays open between calls
// (a section handle excepted).
#pragma once
#include <memory>
#include "afx/archive.h"
#include "afx/collections.h"
#include "afx/cstring.h"
#include "afx/file.h"

// Cursor of a sequential section read: created by OpenSectionHandle, freed
// only by CloseSectionHandle.
struct TARN_EXPORT stuSectionHandle {
  std::unique_ptr<CArchive> pArchive;  // line reader over iniFile
  CFile iniFile;

  stuSectionHandle() = default;
  // The reader gives back its read-ahead to the file, so it goes first.
  ~stuSectionHandle() { pArchive.reset(); }
  stuSectionHandle(const stuSectionHandle&) = delete;
  stuSectionHandle& operator=(const stuSectionHandle&) = delete;
};

class TARN_EXPORT CIniFile {
 public:
  explicit CIniFile(LPCSTR path);
  CIniFile(const CIniFile&) = default;
  CIniFile& operator=(const CIniFile&) = default;
  ~CIniFile() = default;

  void GetHeadInfo(CString& head) const;
  void SetHeadInfo(LPCSTR text);

  // Through the profile functions, so the platform's own INI rules apply.
  CString ReadString(LPCSTR section, LPCSTR key, LPCSTR def);
  int WriteString(LPCSTR section, LPCSTR key, LPCSTR value);
  BOOL ReadSections(CStringArray& names);

  stuSectionHandle* OpenSectionHandle();
  BOOL ReadSection(stuSectionHandle* handle, CString& name, CStringArray& lines);
  void CloseSectionHandle(stuSectionHandle* handle);
  BOOL FindSection(LPCSTR name, CStringArray& lines);
  BOOL ReadRawSection(LPCSTR name, CStringArray& lines);
  BOOL WriteSection(LPCSTR name, const CStringArray& lines);

  // The same lookups on text held in memory, read from its start.
  CString ReadString(CMemFile& file, LPCSTR section, LPCSTR key, LPCSTR def);

  static CString GetFirstParam(CString& str, LPCSTR def, char delimiter);
  static BOOL GetNameAndValue(LPCSTR line, CString& name, CString& value);

 protected:
  BOOL ReadSection(CMemFile& file, LPCSTR name, CStringArray& lines);
  BOOL WriteSection(CMemFile& file, LPCSTR name, const CStringArray& lines);

  CString m_strFileName;
  CString m_strHeadInfo;

 private:
  void ShowOpenFailure() const;
};
