// Appending the payload. Blobs are streamed in chunks: a package may be
// larger than a 32-bit process can hold.
#include <vector>
#include "packet/stream_codec.h"
#include "payload/trailer.h"

namespace payload {
namespace {
const size_t kChunk = 64 * 1024;

bool PutLe32(CFile& out, uint32_t v) {
  BYTE b[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
               static_cast<BYTE>(v >> 24)};
  return out.Write(b, sizeof b) != 0;
}

bool ReadChunk(CFile& data, std::vector<BYTE>& buf, uint64_t left, size_t* n) {
  *n = left < kChunk ? static_cast<size_t>(left) : kChunk;
  return data.Read(buf.data(), *n) == *n;
}

WriteStatus CopyRaw(CFile& out, CFile& data, uint64_t size, const Progress& progress) {
  if (data.Seek(0, CFile::begin) != 0) return kWriteReadError;
  std::vector<BYTE> buf(kChunk);
  for (uint64_t done = 0; done < size;) {
    size_t n = 0;
    if (!ReadChunk(data, buf, size - done, &n)) return kWriteReadError;
    if (!out.Write(buf.data(), n)) return kWriteWriteError;
    done += n;
    if (progress) progress(done, size);
  }
  return kWriteOk;
}

// One blob followed by its uncompressed and stored sizes.
WriteStatus AppendBlob(CFile& out, CFile& data, bool compress, const Progress& progress,
                       BlobInfo* info) {
  uint64_t size = data.GetLength();
  if (size == 0) return kWriteEmptyBlob;
  if (size > 0xFFFFFFFFu) return kWriteTooLarge;
  int64_t start = out.Seek(0, CFile::end);
  if (start < 0) return kWriteWriteError;
  info->offset = static_cast<uint64_t>(start);
  info->size = static_cast<uint32_t>(size);
  info->stored = info->size;
  if (compress) {
    // The same rule as a packet item: a zlib stream only when strictly shorter.
    if (data.Seek(0, CFile::begin) != 0) return kWriteReadError;
    packet::StreamEncodeResult r = packet::StreamEncode(data, size, out, progress);
    if (!r.ok) return out.IsFailed() ? kWriteWriteError : kWriteReadError;
    info->stored = static_cast<uint32_t>(r.stored);
  } else {
    WriteStatus s = CopyRaw(out, data, size, progress);
    if (s != kWriteOk) return s;
  }
  if (!PutLe32(out, info->size) || !PutLe32(out, info->stored)) return kWriteWriteError;
  return kWriteOk;
}
}  // namespace

WriteStatus AppendPayload(CFile& out, CFile& package, bool compressPackage, CFile& uiScript,
                          bool compressScript, TrailerInfo* written, const Progress& progress) {
  int64_t origin = out.Seek(0, CFile::end);
  if (origin < 0) return kWriteWriteError;
  TrailerInfo info;
  info.shellLength = static_cast<uint64_t>(origin);
  WriteStatus s = AppendBlob(out, package, compressPackage, progress, &info.package);
  if (s == kWriteOk) s = AppendBlob(out, uiScript, compressScript, progress, &info.uiScript);
  if (s == kWriteOk) {
    BYTE length = static_cast<BYTE>(kMagicLength);
    if (!out.Write(kMagic, kMagicLength) || !out.Write(&length, 1)) s = kWriteWriteError;
  }
  if (s != kWriteOk) {
    // Leave the shell as it was rather than half an installer.
    out.SetLength(static_cast<uint64_t>(origin));
    return s;
  }
  info.end = info.uiScript.offset + info.uiScript.stored + 18;
  info.status = kTrailerOk;
  if (written) *written = info;
  return kWriteOk;
}

const char* WriteStatusText(WriteStatus status) {
  switch (status) {
    case kWriteOk: return "ok";
    case kWriteEmptyBlob: return "a blob is empty: the setup shell cannot extract an empty blob";
    case kWriteTooLarge: return "a blob is 4 GiB or larger: the payload sizes are 32-bit";
    case kWriteReadError: return "a blob cannot be read whole";
    case kWriteWriteError: return "the installer cannot be written";
  }
  return "unknown write status";
}

}  // namespace payload
