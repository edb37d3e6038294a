// The data block of a package being built: each entry's source file, stored
// by the rule WriteEncode keeps (with the deflate of the encode options),
// strictly in index order. Worker threads read and
// compress the coming small and medium items into memory while the writer
// thread writes; large items are streamed by the writer itself, so memory
// stays bounded by the in-flight budget rather than by the package.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>
#include "afx/collections.h"
#include "afx/msgbox.h"
#include "engine/setup_package.h"
#include "packet/stream_codec.h"
#include "platform/sync.h"

namespace {

// Larger items are streamed by the writer; smaller ones are compressed ahead
// while the bytes they hold (content and output buffer) fit in the budget.
// libdeflate has no stream, so it takes larger items whole: one that does not
// fit in the budget waits until nothing else is held, which keeps the peak
// near twice the largest such item.
constexpr uint64_t kStreamAbove = 16u << 20;
constexpr uint64_t kLibdeflateStreamAbove = 64u << 20;
constexpr uint64_t kInFlightBudget = 64u << 20;
constexpr unsigned kMaxThreads = 64;

const char kCannotOpen[] = "不能打开文件'%s'!\n文件可能正在被使用，请关闭文件再试!";
const char kCannotRead[] = "读文件'%s'失败!";
const char kTooLarge[] = "文件'%s'超过4GB，不能存入安装包!";
// CPacket::WriteEncode's text: items compressed ahead must say the same.

// Calendar times outside the 32-bit range are stored as 0: "not known".
DWORD ToDwordTime(int64_t t) { return t >= 0 && t <= 0xFFFFFFFFLL ? static_cast<DWORD>(t) : 0; }

bool ReadAll(CFile& f, BYTE* buf, uint64_t len) {
  while (len > 0) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(len, 1u << 24));
    if (f.Read(buf, want) != want) return false;
    buf += want;
    len -= want;
  }
  return true;
}

void ShowPathMessage(const char* format, const CString& path) {
  CString msg;
  msg.Format(format, static_cast<LPCSTR>(path));
  AfxReportFailure(path, msg);
}

unsigned g_packThreads = 0;
packet::EncodeOptions g_encode;

uint64_t StreamAbove(const packet::EncodeOptions& o) {
  return o.deflater == packet::Deflater::kLibdeflate && packet::HaveLibdeflate()
             ? kLibdeflateStreamAbove
             : kStreamAbove;
}

}  // namespace

struct CSetupPackage::PreparedItem {
  enum class Outcome { kPending, kLoaded, kStream, kCannotOpen, kCannotRead, kTooLarge };

  TSPIndex* record = nullptr;
  packet::EncodeOptions options;
  bool stream = false;  // left to the writer from the start
  uint64_t charge = 0;  // budget held while in flight
  Outcome outcome = Outcome::kPending;
  CFileStatus status;
  DWORD length = 0;
  std::unique_ptr<BYTE[]> content;
  std::vector<BYTE> packed;  // the zlib stream, when it is shorter
  bool shrank = false;

  // Reads and compresses the source, shows nothing, and leaves `outcome`
  // to the caller, which may publish it to another thread.
  Outcome Load() {
    CFile file;
    if (!file.Open(record->m_strSourcePath, CFile::modeRead | CFile::shareDenyWrite))
      return Outcome::kCannotOpen;
    CFile::GetStatus(record->m_strSourcePath, status);
    uint64_t size = file.GetLength();
    if (size > 0xFFFFFFFFu) return Outcome::kTooLarge;
    // Grown past the threshold since it was looked at, or no memory: stream.
    if (size > StreamAbove(options)) return Outcome::kStream;
    content.reset(new (std::nothrow) BYTE[size ? size : 1]);
    if (!content) return Outcome::kStream;
    if (!ReadAll(file, content.get(), size)) return Outcome::kCannotRead;
    length = static_cast<DWORD>(size);
    shrank = packet::CompressItem(content.get(), length, &packed, options);
    return Outcome::kLoaded;
  }

  void Free() {
    content.reset();
    std::vector<BYTE>().swap(packed);
  }
};

// Worker threads that load items in index order, as far ahead of the writer
// as the budget allows. Without workers the writer loads each item itself.
class CSetupPackage::Loader {
  using Item = PreparedItem;
  using Outcome = Item::Outcome;

 public:
  Loader(std::vector<Item>& items, unsigned workers) : items_(items) {
    // A helper that cannot start leaves fewer, and without room for the
    // list there are none; the writer loads what nobody took.
    if (!TryReserve(&threads_, workers)) return;
    for (unsigned i = 0; i < workers; ++i) {
      std::unique_ptr<platform::Thread> t(new (std::nothrow) platform::Thread);
      if (!t || !t->Start([this] { Work(); })) break;
      threads_.push_back(std::move(t));
    }
  }
  ~Loader() {
    for (auto& t : threads_) Stop(*t);
  }

  // Item k (not a streamed one), loaded.
  Item& Get(size_t k) {
    std::unique_lock<platform::Mutex> l(mu_);
    if (next_ <= k && !threads_.empty()) SkipStreamed();
    if (next_ == k || threads_.empty()) {
      // Nobody has taken it: load it here rather than wait.
      if (next_ <= k) next_ = k + 1;
      inFlight_ += items_[k].charge;
      l.unlock();
      items_[k].outcome = items_[k].Load();
      return items_[k];
    }
    cv_.Wait(mu_, [&] { return items_[k].outcome != Outcome::kPending; });
    return items_[k];
  }

  void Release(size_t k) {
    items_[k].Free();
    {
      std::lock_guard<platform::Mutex> l(mu_);
      inFlight_ -= items_[k].charge;
    }
    cv_.NotifyAll();
  }

 private:
  // Ends the helpers' work and waits for `t`.
  void Stop(platform::Thread& t) {
    {
      std::lock_guard<platform::Mutex> l(mu_);
      stop_ = true;
    }
    cv_.NotifyAll();
    t.Join();
  }

  void SkipStreamed() {
    while (next_ < items_.size() && items_[next_].stream) ++next_;
  }

  void Work() {
    for (;;) {
      Item* item = nullptr;
      {
        std::unique_lock<platform::Mutex> l(mu_);
        // Items are taken in order, each once the budget has room for it;
        // the writer's next item always gets in, as nothing else is held.
        for (;;) {
          SkipStreamed();
          if (stop_ || next_ >= items_.size()) return;
          if (inFlight_ == 0 || inFlight_ + items_[next_].charge <= kInFlightBudget) break;
          cv_.Wait(mu_);
        }
        item = &items_[next_++];
        inFlight_ += item->charge;
      }
      // The writer reads the item only once its outcome is published.
      Outcome outcome = item->Load();
      {
        std::lock_guard<platform::Mutex> l(mu_);
        item->outcome = outcome;
      }
      cv_.NotifyAll();
    }
  }

  std::vector<Item>& items_;
  std::vector<std::unique_ptr<platform::Thread>> threads_;
  platform::Mutex mu_;
  platform::CondVar cv_;
  size_t next_ = 0;
  uint64_t inFlight_ = 0;
  bool stop_ = false;
};

void CSetupPackage::SetPackThreads(unsigned count) { g_packThreads = std::min(count, kMaxThreads); }

void CSetupPackage::SetEncodeOptions(const packet::EncodeOptions& options) { g_encode = options; }

packet::EncodeOptions CSetupPackage::EncodeOptions() { return g_encode; }

unsigned CSetupPackage::PackThreads() {
  if (g_packThreads) return g_packThreads;
  if (const char* env = std::getenv("TARN_THREADS")) {
    long n = std::strtol(env, nullptr, 10);
    if (n > 0) return static_cast<unsigned>(std::min<long>(n, kMaxThreads));
  }
  return std::min(platform::ProcessorCount(), kMaxThreads);
}

DWORD CSetupPackage::WriteEncode(CFile& file, const BYTE* buffer, DWORD length) {
  const PreparedItem* item = m_pPrepared;
  if (!item || item->content.get() != buffer || item->length != length)
    return CPacket::WriteEncode(file, buffer, length);
  if (item->shrank) {
    file.Write(item->packed.data(), item->packed.size());
    return static_cast<DWORD>(item->packed.size());
  }
  AfxReportNotice(item->record->m_strSourcePath, kWriteEncodeFailedText, MB_OK);
  if (length) file.Write(buffer, length);
  return length;
}

int CSetupPackage::WriteDataInfo(CFile& data) {
  m_dwaDataSize.RemoveAll();
  const packet::EncodeOptions options = g_encode;
  const uint64_t streamAbove = StreamAbove(options);
  std::vector<PreparedItem> items;
  items.reserve(static_cast<size_t>(m_arrIndex.GetSize()));
  size_t inMemory = 0;
  for (int i = 0; i < m_arrIndex.GetSize(); ++i) {
    TSPIndex* r = m_arrIndex[i];
    if (r->m_byInstallFlag & IF_NO_DATA) continue;
    items.emplace_back();
    PreparedItem& item = items.back();
    item.record = r;
    item.options = options;
    platform::FileInfo info;
    uint64_t size = platform::GetFileInfo(r->m_strSourcePath.str(), &info) && info.size > 0
                        ? static_cast<uint64_t>(info.size)
                        : 0;
    item.stream = size > streamAbove;
    item.charge = item.stream ? 0 : size + packet::CompressMemory(size, options);
    if (!item.stream) ++inMemory;
  }

  // The writer waits most of the time, so every core gets a worker.
  unsigned threads = PackThreads();
  Loader loader(items, threads > 1 && inMemory > 1 ? threads : 0);

  auto fail = [&](const char* format, const CString& path) {
    if (format) ShowPathMessage(format, path);
    m_pPrepared = nullptr;
    m_bDataFailed = true;
    return FALSE;
  };
  uint64_t total = 0;
  for (size_t k = 0; k < items.size(); ++k) {
    PreparedItem& item = items[k];
    TSPIndex& r = *item.record;
    const CString& src = r.m_strSourcePath;
    DWORD stored = 0;
    CFileStatus status;
    DWORD length = 0;
    using Outcome = PreparedItem::Outcome;
    Outcome outcome = item.stream ? Outcome::kStream : loader.Get(k).outcome;
    if (outcome == Outcome::kLoaded) {
      status = item.status;
      length = item.length;
      m_pPrepared = &item;
      stored = WriteEncode(data, item.content.get(), length);
      m_pPrepared = nullptr;
      loader.Release(k);
    } else if (outcome == Outcome::kStream) {
      if (!item.stream) loader.Release(k);
      CFile file;
      if (!file.Open(src, CFile::modeRead | CFile::shareDenyWrite)) return fail(kCannotOpen, src);
      CFile::GetStatus(src, status);
      uint64_t size = file.GetLength();
      if (size > 0xFFFFFFFFu) return fail(kTooLarge, src);
      packet::StreamEncodeResult sr = packet::StreamEncode(file, size, data, {}, options);
      if (!sr.ok) return data.IsFailed() ? fail(nullptr, src) : fail(kCannotRead, src);
      if (!sr.shrank) AfxReportNotice(src, kWriteEncodeFailedText, MB_OK);
      length = static_cast<DWORD>(size);
      stored = static_cast<DWORD>(sr.stored);
    } else {
      return fail(outcome == Outcome::kCannotOpen ? kCannotOpen
                  : outcome == Outcome::kTooLarge ? kTooLarge
                                                  : kCannotRead,
                  src);
    }
    total += stored;
    // WritePacket reports both once this hook returns; going on is waste.
    if (data.IsFailed() || total > 0xFFFFFFFFu) return fail(nullptr, src);
    r.m_tCreate = ToDwordTime(status.m_ctime);
    r.m_tModify = ToDwordTime(status.m_mtime);
    r.m_tAccess = ToDwordTime(status.m_atime);
    r.m_dwOrigSize = length;
    r.m_dwStoredSize = stored;
    m_dwaDataSize.Add(stored);
  }
  return TRUE;
}
