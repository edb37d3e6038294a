#include "shell/temp_sweep.h"
#include <cctype>
#include "platform/held_file.h"
#include "shell/payload_extract.h"

bool IsBlobName(const std::string& name) {
  const std::string prefix = kTempPrefix;
  const size_t digits = name.size() - prefix.size() - 4;
  if (name.size() < prefix.size() + 5 || digits > 4) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
  for (size_t i = prefix.size(); i < prefix.size() + digits; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
  return CString(name.substr(name.size() - 4).c_str()).CompareNoCase(".tmp") == 0;
}

int RemoveLeftoverBlobs(const CString& tempDir) {
  CString dir = tempDir;
  if (!dir.IsEmpty() && dir[dir.GetLength() - 1] != '\\' && dir[dir.GetLength() - 1] != '/') dir += "\\";
  int removed = 0;
  for (const std::string& name : platform::FileNamesIn(dir.str()))
    // A running installer's blobs are held: the delete's own open fails.
    if (IsBlobName(name) && platform::RemoveUnheldFile((dir + name.c_str()).str())) ++removed;
  return removed;
}
