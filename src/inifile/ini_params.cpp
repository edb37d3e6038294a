// The two splitters for delimited lists and "name=value" lines.
#include "inifile/ini_file.h"

CString CIniFile::GetFirstParam(CString& str, LPCSTR def, char delimiter) {
  // The whole text is handled, however long: a cut would drop fields.
  int p = str.Find(delimiter);
  if (p < 0) p = str.GetLength();
  CString field = str.Left(p);
  CString rest = str.Mid(p + 1);
  rest.Trim();
  str = rest;
  if (!field.IsEmpty()) return field;
  return CString(def);
}

BOOL CIniFile::GetNameAndValue(LPCSTR line, CString& name, CString& value) {
  if (!line || !*line) return FALSE;
  CString s(line);
  name = GetFirstParam(s, "", '=');
  value = s;
  return TRUE;
}
