// The line parser and the section writer on the file itself.
#include <string>
#include "afx/msgbox.h"
#include "inifile/ini_file.h"
#include "inifile/ini_text.h"

namespace {
const int kReaderBuffer = 4096;

bool IsTrimmedHeader(const CString& line, CString& name) {
  CString t = line;
  t.Trim();
  int n = t.GetLength();
  if (n < 2 || t[0] != '[' || t[n - 1] != ']') return false;
  name = t.Mid(1, n - 2);
  return true;
}

// Text-mode writes stop at a zero byte; a line may hold one, and it is
// written as it is.
void WriteText(CStdioFile& file, const std::string& text) {
  size_t i = 0;
  for (;;) {
    size_t z = text.find('\0', i);
    if (z == std::string::npos) {
      file.WriteString(text.c_str() + i);
      return;
    }
    file.WriteString(text.substr(i, z - i).c_str());
    file.Write("", 1);
    i = z + 1;
  }
}
}  // namespace

stuSectionHandle* CIniFile::OpenSectionHandle() {
  auto handle = std::make_unique<stuSectionHandle>();
  if (!handle->iniFile.Open(m_strFileName, CFile::modeRead | CFile::shareExclusive)) {
    ShowOpenFailure();
    return nullptr;
  }
  handle->pArchive = std::make_unique<CArchive>(&handle->iniFile, CArchive::load, kReaderBuffer);
  return handle.release();
}

BOOL CIniFile::ReadSection(stuSectionHandle* handle, CString& name, CStringArray& lines) {
  if (!handle || !handle->pArchive) return FALSE;
  CArchive& reader = *handle->pArchive;
  CString line;
  for (;;) {
    if (!reader.ReadString(line)) return FALSE;
    if (IsTrimmedHeader(line, name)) break;
  }
  lines.RemoveAll();
  while (reader.ReadString(line)) {
    if (line.IsEmpty()) break;
    if (line[0] == '[') {
      // Taken as this section's end: the section it begins is lost.
      AfxReportFailure(m_strFileName, "ini 文件格式错误！", MB_OK);
      break;
    }
    if (line[0] == ';') continue;
    lines.Add(line);
  }
  return TRUE;
}

void CIniFile::CloseSectionHandle(stuSectionHandle* handle) {
  if (!handle) return;
  handle->pArchive.reset();
  handle->iniFile.Close();
  delete handle;
}

namespace {
// FindSection and ReadRawSection differ only in what the body keeps.
BOOL FindBody(const CString& path, LPCSTR name, CStringArray& lines, bool raw, bool* opened) {
  CFile file;
  *opened = file.Open(path, CFile::modeRead | CFile::shareExclusive) != FALSE;
  if (!*opened) return FALSE;
  CArchive reader(&file, CArchive::load, kReaderBuffer);
  if (!ini_text::SeekHeader(reader, ini_text::HeaderOf(name))) return FALSE;
  ini_text::ReadBody(reader, lines, raw);
  return lines.GetSize() > 0 ? TRUE : FALSE;
}
}  // namespace

BOOL CIniFile::FindSection(LPCSTR name, CStringArray& lines) {
  bool opened = false;
  BOOL found = FindBody(m_strFileName, name, lines, false, &opened);
  if (!opened) ShowOpenFailure();
  return found;
}

BOOL CIniFile::ReadRawSection(LPCSTR name, CStringArray& lines) {
  bool opened = false;
  BOOL found = FindBody(m_strFileName, name, lines, true, &opened);
  if (!opened) ShowOpenFailure();
  return found;
}

BOOL CIniFile::WriteSection(LPCSTR name, const CStringArray& lines) {
  CFileFind find;
  bool exists = find.FindFile(m_strFileName) != FALSE;
  ini_text::BlockList blocks(ini_text::HeaderOf(name));
  if (exists) {
    CStdioFile old;
    if (!old.Open(m_strFileName, CFile::modeRead | CFile::shareExclusive | CFile::typeText)) {
      ShowOpenFailure();
      return FALSE;
    }
    CString line;
    while (old.ReadString(line)) blocks.AddLine(line);
    // Rewriting from half a file would lose the rest of it.
    if (old.IsFailed()) {
      ShowOpenFailure();
      return FALSE;
    }
  }
  std::string text = blocks.Compose(m_strHeadInfo, lines);

  CStdioFile out;
  if (!out.Open(m_strFileName,
                CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeText)) {
    ShowOpenFailure();
    return FALSE;
  }
  WriteText(out, text);
  out.Close();
  if (out.IsFailed()) {
    ShowOpenFailure();
    return FALSE;
  }
  return TRUE;
}
