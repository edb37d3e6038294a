#include "packet/stream_codec.h"
#include <zlib.h>
#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <new>
#include "afx/collections.h"
#ifdef TARN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace packet {
namespace {

const size_t kChunk = 64 * 1024;

// An input and an output chunk for one stream, kept for the next: an item
// is often a small file, and allocating them anew makes Wine commit and
// decommit the memory for each.
std::atomic<BYTE*> g_spareChunks{nullptr};

class Chunks {
 public:
  Chunks() : p_(g_spareChunks.exchange(nullptr)) {
    if (!p_) p_ = new (std::nothrow) BYTE[2 * kChunk];
  }
  ~Chunks() {
    BYTE* none = nullptr;
    if (p_ && !g_spareChunks.compare_exchange_strong(none, p_)) delete[] p_;
  }
  Chunks(const Chunks&) = delete;
  Chunks& operator=(const Chunks&) = delete;
  explicit operator bool() const { return p_ != nullptr; }
  BYTE* in() const { return p_; }
  BYTE* out() const { return p_ + kChunk; }

 private:
  BYTE* p_;
};

// Closes the zlib stream on every path out.
struct ZlibDeflate {
  z_stream zs{};
  bool live = false;
  ~ZlibDeflate() {
    if (live) deflateEnd(&zs);
  }
};
struct Inflater {
  z_stream zs{};
  bool live = false;
  ~Inflater() {
    if (live) inflateEnd(&zs);
  }
};

bool CopyRaw(CFile& in, uint64_t length, CFile* out, BYTE* buf,
             const StreamProgress& progress = StreamProgress()) {
  for (uint64_t done = 0; done < length;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(length - done, kChunk));
    if (in.Read(buf, n) != n) return false;
    if (out && !out->Write(buf, n)) return false;
    done += n;
    if (progress) progress(done, length);
  }
  return true;
}

bool ZlibCompressItem(const BYTE* data, size_t length, std::vector<BYTE>* out, int level) {
  uint64_t cap = EncodeCapacity(length);
  if (cap > std::numeric_limits<uLong>::max() || cap > std::numeric_limits<size_t>::max()) return false;
  // Left uninitialised: zeroing 1.5 times every item costs more than it buys.
  std::unique_ptr<BYTE[]> buf(new (std::nothrow) BYTE[static_cast<size_t>(cap)]);
  if (!buf) return false;
  uLongf got = static_cast<uLongf>(cap);
  if (compress2(buf.get(), &got, data, static_cast<uLong>(length), level) != Z_OK ||
      !StoredAsStream(got, length))
    return false;
  if (!TryReserve(out, got)) return false;
  out->assign(buf.get(), buf.get() + got);
  return true;
}

#ifdef TARN_HAVE_LIBDEFLATE
// One compressor per thread and level: making one costs more than a small
// item's compression.
struct LibdeflateCompressor {
  libdeflate_compressor* c = nullptr;
  int level = 0;
  ~LibdeflateCompressor() { libdeflate_free_compressor(c); }
  libdeflate_compressor* For(int want) {
    if (c && level == want) return c;
    libdeflate_free_compressor(c);
    c = libdeflate_alloc_compressor(want);
    level = want;
    return c;
  }
};

bool LibdeflateCompressItem(const BYTE* data, size_t length, std::vector<BYTE>* out, int level) {
  if (length == 0) return false;
  thread_local LibdeflateCompressor tl;
  libdeflate_compressor* c = tl.For(level);
  if (!c) return false;
  // Room for the worst case: with less, libdeflate may give up on a stream
  // that would just have fit, and the rule would be broken by a byte.
  // Writing into *out directly spares a copy of the stream.
  const size_t room = libdeflate_zlib_compress_bound(c, length);
  if (!TryReserve(out, room)) return false;
  out->resize(room);
  size_t got = libdeflate_zlib_compress(c, data, length, out->data(), room);
  if (got == 0 || !StoredAsStream(got, length)) {
    std::vector<BYTE>().swap(*out);
    return false;
  }
  out->resize(got);
  return true;
}
#endif

}  // namespace

bool HaveLibdeflate() {
#ifdef TARN_HAVE_LIBDEFLATE
  return true;
#else
  return false;
#endif
}

int ZlibLevel(int level) { return std::max(1, std::min(level, 9)); }

uint64_t EncodeCapacity(uint64_t length) { return length + length / 2 + 12; }

uint64_t CompressMemory(uint64_t length, const EncodeOptions& options) {
  // libdeflate's bound: five bytes a block of at least 5000, and a little.
  if (options.deflater == Deflater::kLibdeflate && HaveLibdeflate()) return length + length / 1000 + 64;
  return EncodeCapacity(length);
}

bool CompressItem(const BYTE* data, size_t length, std::vector<BYTE>* out,
                  const EncodeOptions& options) {
  out->clear();
#ifdef TARN_HAVE_LIBDEFLATE
  if (options.deflater == Deflater::kLibdeflate)
    return LibdeflateCompressItem(data, length, out, std::max(1, std::min(options.level, 12)));
#endif
  return ZlibCompressItem(data, length, out, ZlibLevel(options.level));
}

StreamEncodeResult StreamEncode(CFile& in, uint64_t length, CFile& out,
                                const StreamProgress& progress, const EncodeOptions& options) {
  StreamEncodeResult r;
  int64_t inStart = static_cast<int64_t>(in.GetPosition());
  int64_t outStart = static_cast<int64_t>(out.GetPosition());
  Chunks chunks;
  if (!chunks) return r;

  ZlibDeflate d;
  bool shrinks = deflateInit(&d.zs, ZlibLevel(options.level)) == Z_OK;
  d.live = shrinks;
  uint64_t fed = 0, produced = 0;
  while (shrinks) {
    if (d.zs.avail_in == 0 && fed < length) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(length - fed, kChunk));
      if (in.Read(chunks.in(), n) != n) return r;
      d.zs.next_in = chunks.in();
      d.zs.avail_in = static_cast<uInt>(n);
      fed += n;
      if (progress) progress(fed, length);
    }
    d.zs.next_out = chunks.out();
    d.zs.avail_out = static_cast<uInt>(kChunk);
    int ret = deflate(&d.zs, fed == length ? Z_FINISH : Z_NO_FLUSH);
    if (ret == Z_STREAM_ERROR) {
      shrinks = false;
      break;
    }
    size_t have = kChunk - d.zs.avail_out;
    // Only output that stays shorter than the item is written, so the raw
    // copy below always covers it.
    if (!StoredAsStream(produced + have, length)) {
      shrinks = false;
      break;
    }
    if (have > 0 && !out.Write(chunks.out(), have)) return r;
    produced += have;
    if (ret == Z_STREAM_END) break;
  }
  if (shrinks) {
    r.ok = true;
    r.shrank = true;
    r.stored = produced;
    return r;
  }
  if (out.Seek(outStart, CFile::begin) < 0 || in.Seek(inStart, CFile::begin) < 0) return r;
  if (!CopyRaw(in, length, &out, chunks.in(), progress)) return r;
  r.ok = true;
  r.stored = length;
  return r;
}

bool StreamDecode(CFile& in, DWORD stored, DWORD orig, CFile* out, const char** why) {
  const char* unused = nullptr;
  const char*& reason = why ? *why : unused;
  auto fail = [&](const char* text) {
    reason = text;
    return false;
  };
  Chunks chunks;
  if (!chunks) return fail("there is not enough memory");
  if (stored == orig) {
    if (CopyRaw(in, stored, out, chunks.in())) return true;
    return fail(out && out->IsFailed() ? "its content cannot be written" : "its data is cut short");
  }
  // Sizes that differ mean a zlib stream, whichever is larger: another
  // producer may store a tiny item as a stream longer than the item.

  Inflater f;
  if (inflateInit(&f.zs) != Z_OK) return fail("zlib cannot start");
  f.live = true;
  uint64_t left = stored, produced = 0;
  for (;;) {
    if (f.zs.avail_in == 0 && left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
      if (in.Read(chunks.in(), n) != n) return fail("its data is cut short");
      f.zs.next_in = chunks.in();
      f.zs.avail_in = static_cast<uInt>(n);
      left -= n;
    }
    f.zs.next_out = chunks.out();
    f.zs.avail_out = static_cast<uInt>(kChunk);
    int ret = inflate(&f.zs, Z_NO_FLUSH);
    if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR)
      return fail("its zlib stream is damaged");
    size_t have = kChunk - f.zs.avail_out;
    if (produced + have > orig) return fail("it inflates to more than its size");
    if (have > 0 && out && !out->Write(chunks.out(), have))
      return fail("its content cannot be written");
    produced += have;
    if (ret == Z_STREAM_END) break;
    // No progress with no input left: the stream is cut short.
    if (ret == Z_BUF_ERROR && f.zs.avail_in == 0 && left == 0)
      return fail("its zlib stream ends early");
  }
  if (f.zs.avail_in != 0 || left != 0) return fail("its zlib stream ends before its stored bytes");
  if (produced != orig) return fail("it inflates to less than its size");
  return true;
}

}  // namespace packet
