#include <zlib.h>
#include <cstring>
#include "afx/msgbox.h"
#include "packet/packet.h"
#include "packet/stream_codec.h"

const char kWriteEncodeFailedText[] = "WriteEncode failed! It can't be compressed to save the packet.";

DWORD CPacket::WriteEncode(CFile& file, const BYTE* buffer, DWORD length) {
  std::vector<BYTE> stored;
  if (packet::CompressItem(buffer, length, &stored)) {
    file.Write(stored.data(), stored.size());
    return static_cast<DWORD>(stored.size());
  }
  // Stored as it is: the packet is whole, so this is no failure.
  AfxReportNotice("", kWriteEncodeFailedText, MB_OK);
  if (length) file.Write(buffer, length);
  return length;
}

DWORD CPacket::Encode(std::unique_ptr<BYTE[]> buffer, DWORD length) {
  std::vector<BYTE> stored;
  if (packet::CompressItem(buffer.get(), length, &stored)) return static_cast<DWORD>(stored.size());
  AfxReportNotice("", "Encode failed!", MB_OK);
  return length;
}

int CPacket::Decode(const BYTE* src, BYTE* dst, DWORD srcLen, DWORD* dstLen) {
  if (!dstLen || (!src && srcLen) || (!dst && *dstLen)) return -1;
  if (srcLen == *dstLen) {
    if (srcLen) std::memcpy(dst, src, srcLen);
    return 0;
  }
  BYTE spare = 0;
  uLongf produced = *dstLen;
  // zlib wants somewhere to write even when nothing fits.
  if (uncompress(dst ? dst : &spare, &produced, src ? src : &spare, srcLen) != Z_OK) return -1;
  *dstLen = static_cast<DWORD>(produced);
  return 0;
}
