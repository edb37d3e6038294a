// Reading the packet frame with every stored length checked against what the
// file really holds. CPacket reads through it, and so do tools that look
// into packets of any version.
#pragma once
#include <cstdint>
#include <vector>
#include "afx/archive.h"
#include "afx/collections.h"
#include "afx/file.h"

namespace packet {

// A reader's failure, told in its own box and recorded as the run's failure
// of subject (platform/outcome.h).
void ShowPacketMessage(const CString& text, LPCSTR title, const CString& subject = CString());
CString DamagedText(const CString& path);
CString NoMemoryText(const CString& path);

inline void PutDword(BYTE* p, DWORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
  p[2] = static_cast<BYTE>(v >> 16);
  p[3] = static_cast<BYTE>(v >> 24);
}

enum class FrameStatus { kOk, kDamaged, kVersion, kNoMemory };

// Everything a reader loads, held apart from the object until it is whole.
struct Frame {
  CString version;
  const char* damage = "";  // what is wrong, when a read says kDamaged
  CString password;
  DWORD reserved = 0;
  WORD fileCount = 0;
  uint64_t dataOffset = 0;
  DWORD dataLength = 0;
  std::vector<BYTE> index;
  uint64_t indexOffset = 0;  // where the index block lies in the file
  DWORD indexLength = 0;
  CDWordArray sizes;
  uint64_t end = 0;  // just past the size table
  // Set by a reader that knows better than the file's length: a stream that
  // inflates may claim any length.
  uint64_t indexLimit = UINT64_MAX;
  DWORD sizesLimit = UINT32_MAX;
};

// Fields 1 to 6; the version is compared with `version` when that is not
// null. Leaves the file at the start of the data block.
FrameStatus ReadHead(CFile& file, const CString* version, Frame* frame);

// Index block (kept when `keepIndex`) and size table, from the end of the
// data block. The sizes must fit in the data block.
FrameStatus ReadTail(CFile& file, bool keepIndex, Frame* frame);

}  // namespace packet
