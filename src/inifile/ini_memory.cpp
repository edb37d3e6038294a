// The section operations on text held in a memory file, read and written
// from its start. No messages: results only.
#include "inifile/ini_file.h"
#include "inifile/ini_text.h"

namespace {
const int kReaderBuffer = 4096;
}

BOOL CIniFile::ReadSection(CMemFile& file, LPCSTR name, CStringArray& lines) {
  file.SeekToBegin();
  CArchive reader(&file, CArchive::load, kReaderBuffer);
  if (!ini_text::SeekHeader(reader, ini_text::HeaderOf(name))) return FALSE;
  ini_text::ReadBody(reader, lines, false);
  return lines.GetSize() > 0 ? TRUE : FALSE;
}

CString CIniFile::ReadString(CMemFile& file, LPCSTR section, LPCSTR key, LPCSTR def) {
  CString result(def);
  file.SeekToBegin();
  CArchive reader(&file, CArchive::load, kReaderBuffer);
  if (!ini_text::SeekHeader(reader, ini_text::HeaderOf(section))) return result;
  const CString k(key);
  const int n = k.GetLength();
  CString line;
  while (reader.ReadString(line)) {
    if (line.IsEmpty() || line[0] == ';') continue;
    if (line[0] == '[') break;
    // The key starts the line and "=" follows it at once.
    if (line.GetLength() > n && line[n] == '=' && line.Left(n).CompareNoCase(k) == 0) {
      result = line.Mid(n + 1);
      break;
    }
  }
  return result;
}

BOOL CIniFile::WriteSection(CMemFile& file, LPCSTR name, const CStringArray& lines) {
  ini_text::BlockList blocks(ini_text::HeaderOf(name));
  {
    file.SeekToBegin();
    CArchive reader(&file, CArchive::load, kReaderBuffer);
    CString line;
    while (reader.ReadString(line)) blocks.AddLine(line);
  }
  std::string text = blocks.Compose(m_strHeadInfo, lines);
  file.SeekToBegin();
  {
    CArchive writer(&file, CArchive::store, kReaderBuffer);
    writer.Write(text.data(), text.size());
  }
  file.SetLength(text.size());
  return TRUE;
}
