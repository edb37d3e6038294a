// Reading the trailer and extracting the blobs. Nothing here trusts a size
// before the file's length has shown that it can back it.
#include "payload/trailer.h"
#include <cstring>
#include "packet/stream_codec.h"
#include "payload/authenticode.h"

namespace payload {

namespace {
bool ReadAt(CFile& file, uint64_t pos, void* buf, size_t n) {
  if (file.Seek(static_cast<int64_t>(pos), CFile::begin) != static_cast<int64_t>(pos)) return false;
  return file.Read(buf, n) == n;
}

uint32_t Le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The smallest zlib stream (header, an empty block, check value) has 8
// bytes, and deflate cannot pack more than 258 bytes into 2 bits.
bool Plausible(const BlobInfo& blob) {
  if (!blob.compressed()) return true;
  return blob.stored >= 8 && blob.size <= static_cast<uint64_t>(blob.stored) * 1032;
}

TrailerInfo Fail(TrailerStatus status) {
  TrailerInfo info;
  info.status = status;
  return info;
}

// Signing tools align the certificate table to 8 bytes with zeros; the
// trailer's last byte, 9, tells where they begin.
const int kMaxPadding = 7;

// Where the trailer would end: the file's end, or before the padding of a
// certificate table appended by signing. Unsigned when no padding fits.
uint64_t PayloadEnd(CFile& file, bool* authenticode, bool* readError) {
  const uint64_t len = file.GetLength();
  CertificateTable table;
  if (!FindCertificateTable(file, &table)) return len;
  BYTE tail[kMaxPadding + 1];
  uint64_t n = table.offset < sizeof tail ? table.offset : sizeof tail;
  if (!ReadAt(file, table.offset - n, tail, static_cast<size_t>(n))) {
    *readError = true;
    return len;
  }
  size_t kept = static_cast<size_t>(n);
  while (kept > 0 && tail[kept - 1] == 0) --kept;
  if (kept == 0) return len;  // more zeros than any padding
  *authenticode = true;
  return table.offset - n + kept;
}

}  // namespace

TrailerInfo ReadTrailer(CFile& file) {
  bool authenticode = false, readError = false;
  const uint64_t len = PayloadEnd(file, &authenticode, &readError);
  if (readError) return Fail(kTrailerReadError);
  if (len < 1 + kMagicLength) return Fail(kTrailerMissing);
  BYTE tail[1 + kMagicLength];
  if (!ReadAt(file, len - sizeof tail, tail, sizeof tail)) return Fail(kTrailerReadError);
  if (tail[kMagicLength] != kMagicLength || std::memcmp(tail, kMagic, kMagicLength) != 0)
    return Fail(kTrailerMissing);
  if (len < kTrailerBytes) return Fail(kTrailerTruncated);

  BYTE sizes[8];
  if (!ReadAt(file, len - 18, sizes, sizeof sizes)) return Fail(kTrailerReadError);
  TrailerInfo info;
  info.uiScript.size = Le32(sizes);
  info.uiScript.stored = Le32(sizes + 4);
  // 64-bit arithmetic: L - 26 - S1 - S2 must not wrap round in any build.
  uint64_t room = len - kTrailerBytes;
  if (info.uiScript.stored > room) return Fail(kTrailerBadSizes);
  room -= info.uiScript.stored;
  info.uiScript.offset = len - 18 - info.uiScript.stored;
  if (!ReadAt(file, room, sizes, sizeof sizes)) return Fail(kTrailerReadError);
  info.package.size = Le32(sizes);
  info.package.stored = Le32(sizes + 4);
  if (info.package.stored > room) return Fail(kTrailerBadSizes);
  info.package.offset = room - info.package.stored;
  info.shellLength = info.package.offset;
  if (!Plausible(info.uiScript) || !Plausible(info.package)) return Fail(kTrailerImplausible);
  info.end = len;
  info.authenticode = authenticode;
  info.status = kTrailerOk;
  return info;
}

BOOL ExtractBlob(CFile& in, const BlobInfo& blob, CFile& out) {
  if (in.Seek(static_cast<int64_t>(blob.offset), CFile::begin) != static_cast<int64_t>(blob.offset))
    return FALSE;
  // A blob is stored as a packet item is: raw when its sizes are equal.
  return packet::StreamDecode(in, blob.stored, blob.size, &out) ? TRUE : FALSE;
}

const char* TrailerStatusText(TrailerStatus status) {
  switch (status) {
    case kTrailerOk: return "ok";
    case kTrailerMissing: return "no payload trailer: not an installer, or the file is incomplete";
    case kTrailerTruncated: return "the file ends inside the payload trailer";
    case kTrailerBadSizes: return "the payload sizes exceed the file: the file is damaged or incomplete";
    case kTrailerImplausible: return "a compressed blob has impossible sizes: the file is damaged";
    case kTrailerReadError: return "the file cannot be read";
  }
  return "unknown trailer status";
}

}  // namespace payload
