// The object itself and its single values through the profile functions.
#include "inifile/ini_file.h"
#include <vector>
#include "afx/msgbox.h"
#include "platform/profile.h"

namespace {
const char kDefaultHead[] =
    ";******************************\n"
    ";TarnSetup 配置文件 V1.0\n"
    ";Tarn Studio\n"
    ";http://www.tarnstudio.net/\n"
    ";mailto:support@tarnstudio.net\n"
    ";******************************\n";

const DWORD kValueBuffer = 2048;
const DWORD kSectionListBuffer = 16384;
}  // namespace

CIniFile::CIniFile(LPCSTR path) : m_strFileName(path), m_strHeadInfo(kDefaultHead) {}

void CIniFile::GetHeadInfo(CString& head) const { head = m_strHeadInfo; }

void CIniFile::SetHeadInfo(LPCSTR text) { m_strHeadInfo = text; }

void CIniFile::ShowOpenFailure() const {
  AfxReportFailure(m_strFileName, CString("不能打开文件'") + m_strFileName + "'", MB_OK);
}

CString CIniFile::ReadString(LPCSTR section, LPCSTR key, LPCSTR def) {
  std::vector<char> buf(kValueBuffer, '\0');
  DWORD n = platform::ProfileGetString(section, key, def ? def : "", buf.data(), kValueBuffer,
                                       m_strFileName);
  if (n >= kValueBuffer) n = kValueBuffer - 1;
  return CString(buf.data(), static_cast<int>(n));
}

int CIniFile::WriteString(LPCSTR section, LPCSTR key, LPCSTR value) {
  return platform::ProfileWriteString(section, key, value, m_strFileName);
}

BOOL CIniFile::ReadSections(CStringArray& names) {
  names.RemoveAll();
  std::vector<char> buf(kSectionListBuffer, '\0');
  DWORD n = platform::ProfileGetString(nullptr, nullptr, nullptr, buf.data(), kSectionListBuffer,
                                       m_strFileName);
  if (n > kSectionListBuffer - 1) n = kSectionListBuffer - 1;
  // Names each end with a zero byte, the list with an empty name; never read
  // past what the call reported.
  size_t i = 0;
  while (i < n && buf[i] != '\0') {
    size_t start = i;
    while (i < n && buf[i] != '\0') ++i;
    names.Add(CString(buf.data() + start, static_cast<int>(i - start)));
    ++i;
  }
  return names.GetSize() > 0 ? TRUE : FALSE;
}
