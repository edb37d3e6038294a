// Building a package: the setup script's FILEINFO sections become the index,
// then the packet is written with the sources' contents.
#include <algorithm>
#include <cstdint>
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "inifile/ini_file.h"
#include "platform/codepage.h"

namespace {

// atol of the 32-bit product (blanks, sign, digits), the same on every
// host; an overflow saturates instead of being undefined.
int32_t ParseLong(const CString& text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const int64_t limit = static_cast<int64_t>(INT32_MAX) + 1;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) v = std::min<int64_t>(v * 10 + (*p - '0'), limit);
  if (negative) return static_cast<int32_t>(-v);
  return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
}

// Strings of the index carry a one-byte length.
bool FitsIndex(const CString& s) { return s.GetLength() <= 255; }

}  // namespace

BOOL CSetupPackage::ParseFileInfo(const CStringArray& lines) {
  if (lines.IsEmpty()) return FALSE;
  auto r = std::make_unique<TSPIndex>();
  for (const CString& line : lines.vec()) {
    CString key, value;
    if (!CIniFile::GetNameAndValue(line, key, value)) continue;
    key.Trim();
    if (key.CompareNoCase("SOURCE_PATH") == 0)
      r->m_strSourcePath = value;
    else if (key.CompareNoCase("TARGET_PATH") == 0)
      r->m_strTargetPath = value;
    else if (key.CompareNoCase("INSTALL_FLAG") == 0)
      r->m_byInstallFlag = static_cast<BYTE>(ParseLong(value));
    else if (key.CompareNoCase("SHORTCUT_PATH") == 0)
      r->m_strShortcutPath = value;
    else if (key.CompareNoCase("SHORTCUT_ICON_ID") == 0)
      r->m_byIconId = static_cast<BYTE>(ParseLong(value));
    else if (key.CompareNoCase("COMMAND_LINE") == 0)
      r->m_strCommandLine = value;
    else if (key.CompareNoCase("OS_VERSION") == 0)
      r->m_dwOSVersion = static_cast<DWORD>(ParseLong(value));
    else if (key.CompareNoCase("FILE_PROTECTED") == 0)
      r->m_dwProtected = static_cast<DWORD>(ParseLong(value));
  }
  r->m_dwOrigSize = 0;
  r->m_dwStoredSize = 0;
  m_arrIndex.Add(std::move(r));
  return TRUE;
}

BOOL CSetupPackage::PrepareFromScript() {
  if (m_strScriptFile.IsEmpty()) {
    AfxReportFailure("", "没有指定Setup Script File!");
    return FALSE;
  }
  m_arrIndex.RemoveAll();
  CIniFile ini(m_strScriptFile);
  stuSectionHandle* handle = ini.OpenSectionHandle();
  CString name;
  CStringArray lines;
  bool tooMany = false;
  while (handle && ini.ReadSection(handle, name, lines)) {
    if (name.CompareNoCase("FILEINFO") != 0) continue;
    ParseFileInfo(lines);
    if (m_arrIndex.GetSize() > 0xFFFF) {
      tooMany = true;
      break;
    }
  }
  ini.CloseSectionHandle(handle);
  // The count is 16 bits: a wrapped one would lose entries without a word.
  if (tooMany) {
    AfxReportFailure(m_strScriptFile, "安装包最多容纳65535个文件项!");
    m_arrIndex.RemoveAll();
    return FALSE;
  }
  m_wFileCount = static_cast<WORD>(m_arrIndex.GetSize());
  return TRUE;
}

int CSetupPackage::MakePacket() {
  if (!PrepareFromScript()) return FALSE;
  // A cut path would install to the wrong place; refuse before writing.
  for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
    const TSPIndex& r = *m_arrIndex[i];
    const CString* longOne = !FitsIndex(r.m_strTargetPath)     ? &r.m_strTargetPath
                             : !FitsIndex(r.m_strShortcutPath) ? &r.m_strShortcutPath
                             : !FitsIndex(r.m_strCommandLine)  ? &r.m_strCommandLine
                                                               : nullptr;
    if (longOne) {
      CString msg;
      msg.Format("'%s'\n超过255字节，不能存入安装包!", static_cast<LPCSTR>(*longOne));
      AfxReportFailure(*longOne, msg);
      return FALSE;
    }
  }
  // Only a package that needs it is marked: GBK names keep the old bytes.
  bool fourByte = false;
  for (int i = 0; i < m_arrIndex.GetSize() && !fourByte; ++i) {
    const TSPIndex& r = *m_arrIndex[i];
    fourByte = platform::HasFourByte(r.m_strTargetPath.str()) ||
               platform::HasFourByte(r.m_strShortcutPath.str()) ||
               platform::HasFourByte(r.m_strCommandLine.str());
  }
  m_strVersion = fourByte ? tsp::kVersionFourByte : tsp::kVersion;
  m_bDataFailed = false;
  int written = WritePacket();
  return written && !m_bDataFailed ? TRUE : FALSE;
}
