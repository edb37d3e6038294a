#include "inifile/ini_text.h"

namespace ini_text {

CString HeaderOf(LPCSTR name) { return CString("[") + (name ? name : "") + "]"; }

bool SeekHeader(CArchive& reader, const CString& target) {
  CString line;
  while (reader.ReadString(line))
    if (line.CompareNoCase(target) == 0) return true;
  return false;
}

void ReadBody(CArchive& reader, CStringArray& lines, bool raw) {
  lines.RemoveAll();
  CString line;
  while (reader.ReadString(line)) {
    if (line.IsEmpty()) {
      if (raw) lines.Add(line);
      continue;
    }
    if (line[0] == '[') break;
    if (line[0] == ';' && !raw) continue;
    lines.Add(line);
  }
}

void BlockList::AddLine(const CString& line) {
  if (line.IsEmpty() || line[0] == ';') return;
  if (line[0] == '[') {
    if (!acc_.empty()) {
      blocks_.push_back(std::move(acc_));
      acc_.clear();
    }
    if (line.CompareNoCase(target_) == 0) index_ = static_cast<int>(blocks_.size());
  }
  acc_ += line.str();
  acc_ += '\n';
}

std::string BlockList::Compose(const CString& head, const CStringArray& lines) {
  if (!acc_.empty()) {
    blocks_.push_back(std::move(acc_));
    acc_.clear();
  }
  std::string block = target_.str() + '\n';
  for (int i = 0; i < lines.GetSize(); ++i) {
    block += lines[i].str();
    block += '\n';
  }
  if (index_ < 0) {
    blocks_.push_back(std::move(block));
  } else {
    blocks_[static_cast<size_t>(index_)] = std::move(block);
  }
  std::string out = head.str() + '\n';
  for (const std::string& b : blocks_) {
    out += b;
    out += '\n';
  }
  return out;
}

}  // namespace ini_text
