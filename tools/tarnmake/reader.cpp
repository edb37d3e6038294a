#include "reader.h"
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include "engine/tsp_index.h"
#include "host.h"
#include "payload/trailer.h"
#include "platform/file.h"
#include "platform/fs.h"

namespace tarnmake {
namespace {

const char kPackageVersion[] = "TARN_TSPV1.0";
const char kPacketVersion[] = "TarnPKV2.0";
const char kMagic[] = "TSPSEV1.0";
const size_t kChunk = 1 << 16;

// A cursor over bytes in memory that refuses to read past their end.
class Bytes {
 public:
  Bytes(const BYTE* p, size_t n) : p_(p), n_(n) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t left() const { return n_ - pos_; }
  const BYTE* Take(size_t k) {
    if (!ok_ || k > n_ - pos_) {
      ok_ = false;
      return nullptr;
    }
    const BYTE* r = p_ + pos_;
    pos_ += k;
    return r;
  }
  BYTE U8() {
    const BYTE* b = Take(1);
    return b ? b[0] : 0;
  }
  WORD U16() {
    const BYTE* b = Take(2);
    return b ? static_cast<WORD>(b[0] | b[1] << 8) : 0;
  }
  DWORD U32() {
    const BYTE* b = Take(4);
    return b ? static_cast<DWORD>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<DWORD>(b[3]) << 24)
             : 0;
  }
  // A string with a one-byte length.
  std::string Str8() {
    size_t k = U8();
    const BYTE* b = Take(k);
    return b ? std::string(reinterpret_cast<const char*>(b), k) : std::string();
  }

 private:
  const BYTE* p_;
  size_t n_, pos_ = 0;
  bool ok_ = true;
};

bool ReadAt(CFile& f, uint64_t offset, void* buf, size_t n) {
  if (f.Seek(static_cast<int64_t>(offset), CFile::begin) != static_cast<int64_t>(offset)) return false;
  return f.Read(buf, n) == n;
}

DWORD Le32(const BYTE* b) {
  return static_cast<DWORD>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<DWORD>(b[3]) << 24);
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kPacket: return "packet";
    case Kind::kPackage: return "package";
    case Kind::kInstaller: return "installer";
  }
  return "?";
}

Container::Container() = default;

Container::~Container() {
  packetFile_.Close();
  file_.Close();
  if (!tempPath_.empty()) platform::RemoveFile(tempPath_);
}

bool Container::Open(const std::string& path, std::string* error) {
  CFileException ex;
  if (!file_.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &ex)) {
    *error = "cannot open it: " + platform::ErrorText(ex.m_lOsError);
    return false;
  }
  uint64_t length = file_.GetLength();

  // An installer ends in its trailer; anything else must be a packet.
  payload::TrailerInfo t = payload::ReadTrailer(file_);
  if (t.status != payload::kTrailerMissing) {
    kind_ = Kind::kInstaller;
    if (!t.ok()) {
      *error = std::string("installer is damaged or incomplete: ") +
               payload::TrailerStatusText(t.status);
      return false;
    }
    installer_.shell_size = t.shellLength;
    installer_.package_orig = t.package.size;
    installer_.package_stored = t.package.stored;
    installer_.ui_orig = t.uiScript.size;
    installer_.ui_stored = t.uiScript.stored;
    installer_.ui_offset = t.uiScript.offset;
    if (!t.package.compressed()) {
      packet_ = &file_;
      base_ = t.package.offset;
      return OpenPacket(file_, base_, t.package.stored, error);
    }
    // A compressed package: inflated once into a temp file.
    tempPath_ = host::NewTempFile(std::string());
    if (tempPath_.empty() ||
        !packetFile_.Open(tempPath_.c_str(), CFile::modeReadWrite | CFile::modeCreate)) {
      *error = "cannot create a temporary file for the package";
      return false;
    }
    if (!payload::ExtractBlob(file_, t.package, packetFile_)) {
      *error = "installer is damaged: its package blob does not inflate to its size";
      return false;
    }
    packet_ = &packetFile_;
    base_ = 0;
    return OpenPacket(packetFile_, 0, t.package.size, error);
  }
  // A download cut short loses the end of its trailer first.
  BYTE tail[64];
  size_t n = static_cast<size_t>(std::min<uint64_t>(length, sizeof tail));
  if (n >= 9 && ReadAt(file_, length - n, tail, n) &&
      std::search(tail, tail + n, kMagic, kMagic + 9) != tail + n) {
    *error = "installer is incomplete: its end is missing";
    return false;
  }
  packet_ = &file_;
  base_ = 0;
  return OpenPacket(file_, 0, length, error);
}

bool Container::OpenPacket(CFile& f, uint64_t base, uint64_t length, std::string* error) {
  const std::string damaged = "packet is damaged or incomplete: ";
  // The header is small: version, password, reserved word, count, L1.
  std::vector<BYTE> head(static_cast<size_t>(std::min<uint64_t>(length, 600)));
  if (!ReadAt(f, base, head.data(), head.size())) {
    *error = "cannot read the packet";
    return false;
  }
  Bytes h(head.data(), head.size());
  BYTE n = h.U8();
  const BYTE* v = n == 0xFF ? nullptr : h.Take(n);
  version_ = v ? std::string(reinterpret_cast<const char*>(v), n) : std::string();
  if (version_ == kPackageVersion) {
    if (kind_ != Kind::kInstaller) kind_ = Kind::kPackage;
  } else if (version_ == kPacketVersion) {
    if (kind_ == Kind::kInstaller) {
      *error = "installer is damaged: its package blob is a plain packet, not a setup package";
      return false;
    }
    kind_ = Kind::kPacket;
  } else {
    *error = kind_ == Kind::kInstaller
                 ? "installer is damaged: its package blob has no setup package version"
                 : "not a packet, setup package or installer";
    return false;
  }
  password_ = h.Str8();
  h.U32();  // reserved
  fileCount_ = h.U16();
  DWORD l1 = h.U32();
  if (!h.ok()) {
    *error = damaged + "the header is cut short";
    return false;
  }
  dataOffset_ = h.pos();
  dataLength_ = l1;
  uint64_t pos = dataOffset_ + l1;
  BYTE b4[4];
  if (pos + 4 > length || !ReadAt(f, base + pos, b4, 4)) {
    *error = damaged + "the data block is cut short";
    return false;
  }
  DWORD l2 = Le32(b4);
  pos += 4;
  if (l2 > length - pos) {
    *error = damaged + "the index block is cut short";
    return false;
  }
  std::vector<BYTE> index(l2);
  if (l2 && !ReadAt(f, base + pos, index.data(), l2)) {
    *error = "cannot read the index block";
    return false;
  }
  pos += l2;
  // Size table count: 16 bits, or 0xFFFF and 32 bits.
  BYTE c[6];
  if (pos + 2 > length || !ReadAt(f, base + pos, c, 2)) {
    *error = damaged + "the size table is missing";
    return false;
  }
  uint64_t count = static_cast<WORD>(c[0] | c[1] << 8);
  pos += 2;
  if (count == 0xFFFF) {
    if (pos + 4 > length || !ReadAt(f, base + pos, c + 2, 4)) {
      *error = damaged + "the size table is cut short";
      return false;
    }
    count = Le32(c + 2);
    pos += 4;
  }
  if (count > (length - pos) / 4) {
    *error = damaged + "the size table is cut short";
    return false;
  }
  std::vector<BYTE> table(static_cast<size_t>(count * 4));
  if (count && !ReadAt(f, base + pos, table.data(), table.size())) {
    *error = "cannot read the size table";
    return false;
  }
  uint64_t sum = 0;
  sizeTable_.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < sizeTable_.size(); ++i) sum += sizeTable_[i] = Le32(&table[i * 4]);
  if (sum != l1) {
    *error = damaged + "the size table does not add up to the data block";
    return false;
  }
  if (kind_ == Kind::kPacket) return true;
  return ParseIndex(index, error);
}

bool Container::ParseIndex(const std::vector<BYTE>& block, std::string* error) {
  Bytes b(block.data(), block.size());
  WORD count = b.U16();
  for (WORD i = 0; i < count && b.ok(); ++i) {
    Entry e;
    e.target_path = b.Str8();
    e.shortcut_path = b.Str8();
    e.orig_size = b.U32();
    e.stored_size = b.U32();
    e.install_flag = b.U8();
    e.icon_id = b.U8();
    e.command_line = b.Str8();
    e.create_time = b.U32();
    e.modify_time = b.U32();
    e.access_time = b.U32();
    e.os_version = b.U32();
    e.protected_flags = b.U32();
    if (b.ok()) entries_.push_back(std::move(e));
  }
  if (!b.ok() || b.left() != 0) {
    *error = "package is damaged: the index block does not hold its " + std::to_string(count) +
             " records";
    return false;
  }
  if (count != fileCount_) {
    *error = "package is damaged: the header counts " + std::to_string(fileCount_) +
             " entries, the index " + std::to_string(count);
    return false;
  }
  // Data slots follow index order, skipping entries without data.
  size_t slot = 0;
  uint64_t offset = 0;
  for (Entry& e : entries_) {
    if (e.install_flag & IF_NO_DATA) continue;
    if (slot >= sizeTable_.size() || sizeTable_[slot] != e.stored_size ||
        e.stored_size > e.orig_size) {
      *error = "package is damaged: the sizes of '" + e.target_path +
               "' do not match the size table";
      return false;
    }
    e.slot = static_cast<int>(slot++);
    e.offset = offset;
    offset += e.stored_size;
  }
  if (slot != sizeTable_.size()) {
    *error = "package is damaged: the size table has more items than the index";
    return false;
  }
  return true;
}

bool Container::DecodeEntry(const Entry& e, const Sink& sink, std::string* error) {
  if (e.slot < 0) return true;
  return DecodeStream(*packet_, base_ + dataOffset_ + e.offset, e.stored_size, e.orig_size, sink,
                      error);
}

bool Container::CopyStored(int slot, const Sink& sink, std::string* error) {
  if (slot < 0 || static_cast<size_t>(slot) >= sizeTable_.size()) {
    *error = "no such item";
    return false;
  }
  uint64_t offset = 0;
  for (int i = 0; i < slot; ++i) offset += sizeTable_[static_cast<size_t>(i)];
  DWORD n = sizeTable_[static_cast<size_t>(slot)];
  return DecodeStream(*packet_, base_ + dataOffset_ + offset, n, n, sink, error);
}

bool Container::ReadUIScript(std::string* text, std::string* error) {
  text->clear();
  if (kind_ != Kind::kInstaller) return true;
  return DecodeStream(
      file_, installer_.ui_offset, installer_.ui_stored, installer_.ui_orig,
      [text](const BYTE* p, size_t n) {
        text->append(reinterpret_cast<const char*>(p), n);
        return true;
      },
      error);
}

bool DecodeStream(CFile& file, uint64_t offset, uint64_t stored, uint64_t orig,
                  const Container::Sink& sink, std::string* error) {
  if (file.Seek(static_cast<int64_t>(offset), CFile::begin) != static_cast<int64_t>(offset)) {
    *error = "cannot seek to its data";
    return false;
  }
  std::vector<BYTE> in(kChunk), out(kChunk);
  if (stored == orig) {
    for (uint64_t left = stored; left > 0;) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
      if (file.Read(in.data(), want) != want) {
        *error = "its data is cut short";
        return false;
      }
      if (!sink(in.data(), want)) {
        *error = "cannot write its content";
        return false;
      }
      left -= want;
    }
    return true;
  }
  if (stored > orig) {
    *error = "its stored size is larger than its size";
    return false;
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    *error = "zlib cannot start";
    return false;
  }
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&z};
  uint64_t left = stored, produced = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0) {
      if (left == 0) {
        *error = "its zlib stream ends early";
        return false;
      }
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
      if (file.Read(in.data(), want) != want) {
        *error = "its data is cut short";
        return false;
      }
      left -= want;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(want);
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
      *error = "its zlib stream is damaged";
      return false;
    }
    size_t got = out.size() - z.avail_out;
    produced += got;
    if (produced > orig) {
      *error = "it inflates to more than its size of " + std::to_string(orig) + " bytes";
      return false;
    }
    if (got && !sink(out.data(), got)) {
      *error = "cannot write its content";
      return false;
    }
  }
  if (left != 0 || z.avail_in != 0) {
    *error = "its zlib stream ends before its stored bytes";
    return false;
  }
  if (produced != orig) {
    *error = "it inflates to " + std::to_string(produced) + " bytes instead of " +
             std::to_string(orig);
    return false;
  }
  return true;
}

}  // namespace tarnmake
