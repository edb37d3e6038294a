// Appending the payload. Blobs are streamed in chunks: a package may be
// larger than a 32-bit process can hold.
#include <zlib.h>
#include <vector>
#include "payload/trailer.h"

namespace payload {
namespace {
const size_t kChunk = 64 * 1024;

struct Deflater {
  z_stream zs{};
  bool ready = false;
  Deflater() { ready = deflateInit(&zs, Z_DEFAULT_COMPRESSION) == Z_OK; }
  ~Deflater() {
    if (ready) deflateEnd(&zs);
  }
};

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

// Deflates the whole blob into `out`; gives up with *smaller false as soon
// as the stream is no shorter than the raw bytes.
WriteStatus CopyDeflated(CFile& out, CFile& data, uint64_t size, const Progress& progress,
                         bool* smaller, uint32_t* stored) {
  *smaller = false;
  if (data.Seek(0, CFile::begin) != 0) return kWriteReadError;
  Deflater z;
  if (!z.ready) return kWriteZlibError;
  std::vector<BYTE> inBuf(kChunk), outBuf(kChunk);
  uint64_t done = 0, written = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.zs.avail_in == 0 && done < size) {
      size_t n = 0;
      if (!ReadChunk(data, inBuf, size - done, &n)) return kWriteReadError;
      done += n;
      z.zs.next_in = inBuf.data();
      z.zs.avail_in = static_cast<uInt>(n);
      if (progress) progress(done, size);
    }
    z.zs.next_out = outBuf.data();
    z.zs.avail_out = static_cast<uInt>(kChunk);
    rc = deflate(&z.zs, done == size ? Z_FINISH : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return kWriteZlibError;
    size_t got = kChunk - z.zs.avail_out;
    written += got;
    if (written >= size) return kWriteOk;
    if (got > 0 && !out.Write(outBuf.data(), got)) return kWriteWriteError;
  }
  *smaller = true;
  *stored = static_cast<uint32_t>(written);
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
  bool smaller = false;
  if (compress) {
    WriteStatus s = CopyDeflated(out, data, size, progress, &smaller, &info->stored);
    if (s != kWriteOk) return s;
    if (!smaller && (!out.SetLength(info->offset) || out.Seek(start, CFile::begin) != start))
      return kWriteWriteError;
  }
  if (!smaller) {
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
    case kWriteZlibError: return "zlib failed to compress a blob";
  }
  return "unknown write status";
}

}  // namespace payload
