#include "packet/packet_frame.h"
#include <algorithm>
#include <climits>
#include "afx/msgbox.h"

namespace packet {
namespace {

// The length prefix of a counted string.
DWORD ReadStringLength(CArchive& ar) {
  BYTE b = 0;
  ar >> b;
  if (b != 0xFF) return b;
  WORD w = 0;
  ar >> w;
  if (w != 0xFFFF) return w;
  DWORD n = 0;
  ar >> n;
  return n;
}

bool Skip(CArchive& ar, uint64_t n) {
  char scratch[4096];
  while (n > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(n, sizeof scratch));
    if (ar.Read(scratch, want) != want) return false;
    n -= want;
  }
  return true;
}

// Version strings are short; a longer one is passed over, not held.
const DWORD kKeptVersion = 1024;

// Position of the next byte the archive hands out.
uint64_t Offset(const CArchive& ar) { return ar.GetFile()->GetLength() - ar.Remaining(); }

}  // namespace

void ShowPacketMessage(const CString& text, LPCSTR title, const CString& subject) {
  AfxReportFailure(AfxGetMainWndHandle(), subject, text, title, MB_OK);
}

CString DamagedText(const CString& path) { return "'" + path + "' is damaged or incomplete!"; }

CString NoMemoryText(const CString& path) { return "Not enough memory to read '" + path + "'!"; }

namespace {
FrameStatus Damaged(Frame* frame, const char* why) {
  frame->damage = why;
  return FrameStatus::kDamaged;
}
}  // namespace

FrameStatus ReadHead(CFile& file, const CString* version, Frame* frame) {
  CArchive ar(&file, CArchive::load, 4096);
  DWORD n = ReadStringLength(ar);
  if (ar.IsBad() || n > ar.Remaining()) return Damaged(frame, "the version string is cut short");
  if (version && n != static_cast<DWORD>(version->GetLength())) return FrameStatus::kVersion;
  if (n > kKeptVersion) {
    if (!Skip(ar, n)) return Damaged(frame, "the version string is cut short");
  } else {
    frame->version.str().resize(n);
    if (n && ar.Read(&frame->version.str()[0], n) != n)
      return Damaged(frame, "the version string is cut short");
  }
  if (version && frame->version != *version) return FrameStatus::kVersion;

  BYTE pwLen = 0;
  ar >> pwLen;
  if (ar.IsBad()) return Damaged(frame, "the header is cut short");
  frame->password.str().resize(pwLen);
  if (pwLen && ar.Read(&frame->password.str()[0], pwLen) != pwLen)
    return Damaged(frame, "the header is cut short");
  ar >> frame->reserved >> frame->fileCount >> frame->dataLength;
  if (ar.IsBad()) return Damaged(frame, "the header is cut short");
  if (frame->dataLength > ar.Remaining()) return Damaged(frame, "the data block is cut short");
  frame->dataOffset = Offset(ar);
  ar.Close();  // gives back what it read ahead
  if (file.GetPosition() != frame->dataOffset) return Damaged(frame, "the file cannot be read");
  return FrameStatus::kOk;
}

FrameStatus ReadTail(CFile& file, bool keepIndex, Frame* frame) {
  if (file.Seek(static_cast<int64_t>(frame->dataOffset + frame->dataLength), CFile::begin) < 0)
    return Damaged(frame, "the data block is cut short");
  DWORD indexLength = 0;
  {
    CArchive ar(&file, CArchive::load, 4096);
    ar >> indexLength;
    if (ar.IsBad() || indexLength > ar.Remaining())
      return Damaged(frame, "the index block is cut short");
    if (indexLength > frame->indexLimit) return Damaged(frame, "the index block is too large");
    uint64_t indexOffset = Offset(ar);
    frame->indexOffset = indexOffset;
    frame->indexLength = indexLength;
    ar.Close();
    if (keepIndex) {
      if (!TryReserve(&frame->index, indexLength)) return FrameStatus::kNoMemory;
      frame->index.resize(indexLength);
      if (file.Seek(static_cast<int64_t>(indexOffset), CFile::begin) < 0 ||
          file.Read(frame->index.data(), indexLength) != indexLength)
        return Damaged(frame, "the index block cannot be read");
    } else if (file.Seek(static_cast<int64_t>(indexOffset + indexLength), CFile::begin) < 0) {
      return Damaged(frame, "the index block is cut short");
    }
  }

  CArchive ar(&file, CArchive::load, 4096);
  DWORD count = ar.ReadCount();
  if (ar.IsBad() || count > INT_MAX / 4 || uint64_t{count} * 4 > ar.Remaining())
    return Damaged(frame, "the size table is cut short");
  if (count > frame->sizesLimit) return Damaged(frame, "the size table has too many entries");
  if (!TryReserve(&frame->sizes.vec(), count)) return FrameStatus::kNoMemory;
  frame->sizes.SetSize(static_cast<int>(count));
  uint64_t sum = 0;
  for (DWORD& size : frame->sizes.vec()) {
    ar >> size;
    sum += size;
  }
  if (ar.IsBad()) return Damaged(frame, "the size table is cut short");
  frame->end = Offset(ar);
  if (sum > frame->dataLength) return Damaged(frame, "the size table runs past the data block");
  return FrameStatus::kOk;
}

}  // namespace packet
