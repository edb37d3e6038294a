// The parts of the INI line format that the file and the memory operations
// share. Internal to CIniFile.
#pragma once
#include <string>
#include <vector>
#include "afx/archive.h"
#include "afx/collections.h"
#include "afx/cstring.h"

namespace ini_text {

// "[" + name + "]"; a null name is an empty one.
CString HeaderOf(LPCSTR name);

// Reads lines until one equals target, untrimmed, Latin letters folded.
bool SeekHeader(CArchive& reader, const CString& target);

// The body after a header found by SeekHeader. Plain: empty and comment lines
// skipped, ends at a line starting with "[". Raw: every line kept, ends at a
// non-empty line starting with "[". lines is emptied first.
void ReadBody(CArchive& reader, CStringArray& lines, bool raw);

// The section writer's view of an old file: its lines regrouped into blocks
// (a leading block without header, then one block per section), comments and
// empty lines dropped, and the last block headed by target marked.
class BlockList {
 public:
  explicit BlockList(const CString& target) : target_(target) {}
  void AddLine(const CString& line);
  // The new text, LF line ends: head, LF, then every block followed by LF,
  // with the new section replacing the marked block or appended.
  std::string Compose(const CString& head, const CStringArray& lines);

 private:
  CString target_;
  std::vector<std::string> blocks_;
  std::string acc_;
  int index_ = -1;
};

}  // namespace ini_text
