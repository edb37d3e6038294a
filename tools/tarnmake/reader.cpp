#include "reader.h"
#include <algorithm>
#include "engine/index_check.h"
#include "engine/setup_package.h"
#include "engine/tsp_index.h"
#include "host.h"
#include "payload/inflated_blob.h"
#include "packet/packet_frame.h"
#include "packet/stream_codec.h"
#include "payload/trailer.h"
#include "platform/file.h"
#include "platform/fs.h"

namespace tarnmake {
namespace {

const char kPacketVersion[] = "TarnPKV2.0";
const char kMagic[] = "TSPSEV1.0";

bool ReadAt(CFile& f, uint64_t offset, void* buf, size_t n) {
  if (f.Seek(static_cast<int64_t>(offset), CFile::begin) != static_cast<int64_t>(offset)) return false;
  return f.Read(buf, n) == n;
}

// A file whose writes go to a sink, so the item codec can feed any consumer.
class SinkFile : public CFile {
 public:
  explicit SinkFile(const Container::Sink& sink) : sink_(sink) {}
  bool IsOpen() const override { return true; }
  BOOL Write(const void* buf, size_t count) override {
    if (sink_(static_cast<const BYTE*>(buf), count)) return TRUE;
    failed_ = true;
    return FALSE;
  }

 private:
  const Container::Sink& sink_;
};

// Streams one stored item at `offset` of `file` into sink.
bool DecodeStream(CFile& file, uint64_t offset, DWORD stored, DWORD orig,
                  const Container::Sink& sink, std::string* error) {
  if (file.Seek(static_cast<int64_t>(offset), CFile::begin) != static_cast<int64_t>(offset)) {
    *error = "cannot seek to its data";
    return false;
  }
  SinkFile out(sink);
  const char* why = "";
  if (packet::StreamDecode(file, stored, orig, &out, &why)) return true;
  *error = why;
  return false;
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
Container::~Container() = default;

bool Container::Open(const std::string& path, std::string* error) {
  std::string problem = host::InputProblem(path);
  if (!problem.empty()) {
    *error = problem;
    return false;
  }
  CFileException ex;
  if (!file_.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &ex)) {
    *error = "it cannot be opened: " + platform::ErrorText(ex.m_lOsError);
    return false;
  }
  uint64_t length = file_.GetLength();

  // An installer is exactly a file whose last bytes are the trailer's magic
  // and its length, or a signed one with them before its certificate table;
  // anything else is read as a packet.
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
    installer_.authenticode = t.authenticode;
    packageOffset_ = t.package.offset;
    if (!t.package.compressed()) {
      packet_ = &file_;
      base_ = t.package.offset;
      return OpenPacket(file_, base_, t.package.stored, error);
    }
    inflated_ = std::make_unique<payload::InflatedBlob>(file_, t.package.offset, t.package.stored,
                                              t.package.size);
    packet_ = inflated_.get();
    base_ = 0;
    if (OpenPacket(*inflated_, 0, t.package.size, error)) return true;
    if (inflated_->IsFailed())
      *error = "installer is damaged: its package blob does not inflate to its size";
    return false;
  }
  packet_ = &file_;
  base_ = 0;
  if (OpenPacket(file_, 0, length, error)) return true;
  if (!version_.empty() || kind_ != Kind::kPacket) return false;
  // Not a packet at all. A download cut short loses the end of its trailer
  // first, so the magic close to the end hints at a cut installer.
  BYTE tail[64];
  size_t n = static_cast<size_t>(std::min<uint64_t>(length, sizeof tail));
  if (n >= 9 && ReadAt(file_, length - n, tail, n) &&
      std::search(tail, tail + n, kMagic, kMagic + 9) != tail + n)
    *error = "installer is incomplete: its end is missing";
  return false;
}

bool Container::OpenPacket(CFile& f, uint64_t base, uint64_t length, std::string* error) {
  const std::string damaged = "packet is damaged or incomplete: ";
  CFileWindow view(f, base, length);
  packet::Frame frame;
  packet::FrameStatus status = packet::ReadHead(view, nullptr, &frame);
  // The version is known even when a later field of the header is cut.
  std::string version = frame.version.str();
  if (version == tsp::kVersion || version == tsp::kVersionFourByte) {
    if (kind_ != Kind::kInstaller) kind_ = Kind::kPackage;
    // The largest index 65535 records can make, and one slot per entry.
    frame.indexLimit = 2 + 65535ull * (3 * 256 + TSPIndex::kMinIndexRecordBytes - 3);
    frame.sizesLimit = frame.fileCount;
  } else if (version == kPacketVersion) {
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
  version_ = version;
  if (status == packet::FrameStatus::kOk)
    status = packet::ReadTail(view, false, &frame);
  if (status == packet::FrameStatus::kNoMemory) {
    *error = "not enough memory to read the packet";
    return false;
  }
  if (status != packet::FrameStatus::kOk) {
    *error = damaged + frame.damage;
    return false;
  }
  password_ = frame.password.str();
  fileCount_ = frame.fileCount;
  dataOffset_ = frame.dataOffset;
  dataLength_ = frame.dataLength;
  trailing_ = length - frame.end;
  sizeTable_.assign(frame.sizes.vec().begin(), frame.sizes.vec().end());
  uint64_t sum = 0;
  for (DWORD n : sizeTable_) sum += n;
  if (sum != dataLength_) {
    *error = damaged + "the size table does not add up to the data block";
    return false;
  }
  if (kind_ == Kind::kPacket) return true;
  // Read in place: the records are held once, not also as a block.
  CFileWindow index(view, frame.indexOffset, frame.indexLength);
  return ParseIndex(index, error);
}

bool Container::ParseIndex(CFile& block, std::string* error) {
  CArchive ar(&block, CArchive::load, 4096);
  WORD count = 0;
  ar >> count;
  bool ok = !ar.IsBad() && count * TSPIndex::kMinIndexRecordBytes <= ar.Remaining();
  std::vector<TSPIndexSizes> sizes;
  for (WORD i = 0; ok && i < count; ++i) {
    TSPIndex r;
    ok = r.ReadIndexRecord(ar);
    if (!ok) break;
    Entry e;
    e.target_path = r.m_strTargetPath.str();
    e.shortcut_path = r.m_strShortcutPath.str();
    e.command_line = r.m_strCommandLine.str();
    e.orig_size = r.m_dwOrigSize;
    e.stored_size = r.m_dwStoredSize;
    e.install_flag = r.m_byInstallFlag;
    e.icon_id = r.m_byIconId;
    e.create_time = r.m_tCreate;
    e.modify_time = r.m_tModify;
    e.access_time = r.m_tAccess;
    e.os_version = r.m_dwOSVersion;
    e.protected_flags = r.m_dwProtected;
    entries_.push_back(std::move(e));
    sizes.push_back({r.m_byInstallFlag, r.m_dwStoredSize});
  }
  if (!ok || ar.Remaining() != 0) {
    *error = "package is damaged: the index block does not hold its " + std::to_string(count) +
             " records";
    return false;
  }
  size_t bad = 0;
  switch (CheckIndex(fileCount_, sizes, sizeTable_.data(), sizeTable_.size(), &bad)) {
    case IndexFault::kNone: break;
    case IndexFault::kCount:
      *error = "package is damaged: the header counts " + std::to_string(fileCount_) +
               " entries, the index " + std::to_string(count);
      return false;
    case IndexFault::kSlot:
      *error = "package is damaged: the sizes of '" + entries_[bad].target_path +
               "' do not match the size table";
      return false;
    case IndexFault::kExtraSlots:
      *error = "package is damaged: the size table has more items than the index";
      return false;
  }
  // Data slots follow index order, skipping entries without data.
  size_t slot = 0;
  uint64_t offset = 0;
  for (Entry& e : entries_) {
    if (e.install_flag & IF_NO_DATA) continue;
    e.slot = static_cast<int>(slot++);
    e.offset = offset;
    offset += e.stored_size;
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

bool Container::CheckBlob(Blob blob, std::string* error, std::string* head, size_t headLimit) {
  if (kind_ != Kind::kInstaller) return true;
  bool ui = blob == Blob::kUIScript;
  uint64_t offset = ui ? installer_.ui_offset : packageOffset_;
  if (file_.Seek(static_cast<int64_t>(offset), CFile::begin) != static_cast<int64_t>(offset)) {
    *error = "cannot seek to its data";
    return false;
  }
  const char* why = "";
  Sink keep = [head, headLimit](const BYTE* p, size_t n) {
    if (head->size() < headLimit)
      head->append(reinterpret_cast<const char*>(p),
                   std::min<size_t>(n, headLimit - head->size()));
    return true;
  };
  SinkFile out(keep);
  if (head) head->clear();
  if (packet::StreamDecode(file_, ui ? installer_.ui_stored : installer_.package_stored,
                           ui ? installer_.ui_orig : installer_.package_orig, head ? &out : nullptr,
                           &why))
    return true;
  *error = why;
  return false;
}

}  // namespace tarnmake
