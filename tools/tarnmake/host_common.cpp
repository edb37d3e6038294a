// The parts of the host seam that are the same on every system.
#include "afx/file.h"
#include "host.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace host {

std::string ArgToAnsi(const std::string& arg) { return platform::Utf8ToAnsi(arg); }

bool ArgFitsAnsi(const std::string& arg) {
  return platform::AnsiToUtf8(platform::Utf8ToAnsi(arg)) == arg;
}

std::string InputProblem(const std::string& path) {
  switch (Classify(path, true)) {
    case PathKind::kMissing: return "it does not exist";
    case PathKind::kFolder: return "it is a folder, not a file";
    // A device or a pipe would be read forever or block: only files are inputs.
    case PathKind::kOther: return "it is not a regular file";
    default: break;
  }
  CFile f;
  CFileException ex;
  if (f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &ex)) return std::string();
  return "it cannot be opened: " + platform::ErrorText(ex.m_lOsError);
}

}  // namespace host
