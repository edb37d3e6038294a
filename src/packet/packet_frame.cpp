#include "packet/packet_frame.h"
#include <algorithm>
#include <climits>
#include <new>
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

// Position of the next byte the archive hands out.
uint64_t Offset(const CArchive& ar) { return ar.GetFile()->GetLength() - ar.Remaining(); }

}  // namespace

void ShowPacketMessage(const CString& text, LPCSTR title) {
  AfxShowMessage(AfxGetMainWndHandle(), text, title, MB_OK);
}

CString DamagedText(const CString& path) { return "'" + path + "' is damaged or incomplete!"; }

CString NoMemoryText(const CString& path) { return "Not enough memory to read '" + path + "'!"; }

FrameStatus ReadHead(CFile& file, const CString* version, Frame* frame) {
  CArchive ar(&file, CArchive::load, 4096);
  DWORD n = ReadStringLength(ar);
  if (ar.IsBad() || n > ar.Remaining()) return FrameStatus::kDamaged;
  if (version) {
    if (n != static_cast<DWORD>(version->GetLength())) return FrameStatus::kVersion;
    CString stored;
    stored.str().resize(n);
    if (ar.Read(&stored.str()[0], n) != n) return FrameStatus::kDamaged;
    if (stored != *version) return FrameStatus::kVersion;
  } else if (!Skip(ar, n)) {
    return FrameStatus::kDamaged;
  }

  BYTE pwLen = 0;
  ar >> pwLen;
  if (ar.IsBad()) return FrameStatus::kDamaged;
  frame->password.str().resize(pwLen);
  if (pwLen && ar.Read(&frame->password.str()[0], pwLen) != pwLen) return FrameStatus::kDamaged;
  ar >> frame->reserved >> frame->fileCount >> frame->dataLength;
  if (ar.IsBad() || frame->dataLength > ar.Remaining()) return FrameStatus::kDamaged;
  frame->dataOffset = Offset(ar);
  ar.Close();  // gives back what it read ahead
  return file.GetPosition() == frame->dataOffset ? FrameStatus::kOk : FrameStatus::kDamaged;
}

FrameStatus ReadTail(CFile& file, bool keepIndex, Frame* frame) {
  if (file.Seek(static_cast<int64_t>(frame->dataOffset + frame->dataLength), CFile::begin) < 0)
    return FrameStatus::kDamaged;
  DWORD indexLength = 0;
  {
    CArchive ar(&file, CArchive::load, 4096);
    ar >> indexLength;
    if (ar.IsBad() || indexLength > ar.Remaining()) return FrameStatus::kDamaged;
    uint64_t indexOffset = Offset(ar);
    ar.Close();
    if (keepIndex) {
      try {
        frame->index.resize(indexLength);
      } catch (const std::bad_alloc&) {
        return FrameStatus::kNoMemory;
      }
      if (file.Seek(static_cast<int64_t>(indexOffset), CFile::begin) < 0 ||
          file.Read(frame->index.data(), indexLength) != indexLength)
        return FrameStatus::kDamaged;
    } else if (file.Seek(static_cast<int64_t>(indexOffset + indexLength), CFile::begin) < 0) {
      return FrameStatus::kDamaged;
    }
  }

  CArchive ar(&file, CArchive::load, 4096);
  DWORD count = ar.ReadCount();
  if (ar.IsBad() || count > INT_MAX / 4 || uint64_t{count} * 4 > ar.Remaining())
    return FrameStatus::kDamaged;
  try {
    frame->sizes.SetSize(static_cast<int>(count));
  } catch (const std::bad_alloc&) {
    return FrameStatus::kNoMemory;
  }
  uint64_t sum = 0;
  for (DWORD& size : frame->sizes.vec()) {
    ar >> size;
    sum += size;
  }
  if (ar.IsBad() || sum > frame->dataLength) return FrameStatus::kDamaged;
  return FrameStatus::kOk;
}

}  // namespace packet
