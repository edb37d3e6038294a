// A script's text as the engine will read it, and the guess that an
// unmarked one was meant as UTF-8.
#include "lint_read.h"
#include "afx/file.h"
#include "text.h"

namespace tarnmake {
namespace lint {

bool ReadScript(const std::string& path, Findings& f, std::string* ansi) {
  CFile in;
  if (!in.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) {
    f.Error(0, "cannot be opened");
    return false;
  }
  std::string bytes(static_cast<size_t>(in.GetLength()), '\0');
  if (!bytes.empty() && (in.Read(&bytes[0], bytes.size()) != bytes.size() || in.IsFailed())) {
    f.Error(0, "cannot be read");
    return false;
  }
  int bad = 0;
  if (!ScriptToAnsi(bytes, ansi, &bad)) {
    f.Error(bad, "the file begins with a UTF-8 mark, but this line is not UTF-8");
    return false;
  }
  if (HasUtf8Mark(bytes)) return true;
  // Unmarked text is GBK. Chinese GBK is rarely valid UTF-8 as well; text
  // that is, and has letters beyond ASCII, was almost surely saved as UTF-8
  // and would install garbled names.
  bool wide = false;
  for (char c : bytes) wide |= static_cast<unsigned char>(c) >= 0x80;
  if (wide && ValidUtf8(bytes)) {
    int line = 1;
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) >= 0x80) break;
      if (c == '\n') ++line;
    }
    f.Unknown(line, "the file is UTF-8 without a byte order mark, so it would be read as GBK; "
                    "save it as UTF-8 with a BOM (or as GBK)");
  }
  return true;
}

}  // namespace lint
}  // namespace tarnmake
