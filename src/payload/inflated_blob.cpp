#include "payload/inflated_blob.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace payload {
namespace {
const size_t kChunk = 64 * 1024;
}  // namespace

InflatedBlob::InflatedBlob(CFile& base, uint64_t offset, DWORD stored, DWORD size)
    : CReadOnlyView(size), base_(base), offset_(offset), stored_(stored) {
  in_.reset(new (std::nothrow) BYTE[kChunk]);
  scratch_.reset(new (std::nothrow) BYTE[kChunk]);
  recent_.reset(new (std::nothrow) BYTE[kChunk]);
  if (!in_ || !scratch_ || !recent_ || !Restart()) failed_ = true;
}

InflatedBlob::~InflatedBlob() {
  if (live_) inflateEnd(&zs_);
}

bool InflatedBlob::Restart() {
  if (live_) {
    if (inflateReset(&zs_) != Z_OK) return false;
  } else {
    if (inflateInit(&zs_) != Z_OK) return false;
    live_ = true;
  }
  zs_.next_in = nullptr;
  zs_.avail_in = 0;
  produced_ = consumed_ = 0;
  recentLength_ = 0;
  ended_ = false;
  return true;
}

void InflatedBlob::Remember(const BYTE* p, size_t n) {
  if (n >= kChunk) {
    std::memcpy(recent_.get(), p + n - kChunk, kChunk);
    recentLength_ = kChunk;
    return;
  }
  size_t keep = std::min(recentLength_, kChunk - n);
  std::memmove(recent_.get(), recent_.get() + recentLength_ - keep, keep);
  std::memcpy(recent_.get() + keep, p, n);
  recentLength_ = keep + n;
}

size_t InflatedBlob::Pump(BYTE* dst, size_t n) {
  size_t done = 0;
  while (done < n && !ended_ && !failed_) {
    if (zs_.avail_in == 0 && consumed_ < stored_) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(stored_ - consumed_, kChunk));
      int64_t at = static_cast<int64_t>(offset_ + consumed_);
      if (base_.Seek(at, CFile::begin) != at || base_.Read(in_.get(), want) != want) {
        failed_ = true;
        break;
      }
      zs_.next_in = in_.get();
      zs_.avail_in = static_cast<uInt>(want);
      consumed_ += want;
    }
    BYTE* out = dst ? dst + done : scratch_.get();
    size_t room = std::min(n - done, kChunk);
    zs_.next_out = out;
    zs_.avail_out = static_cast<uInt>(room);
    int ret = inflate(&zs_, Z_NO_FLUSH);
    size_t have = room - zs_.avail_out;
    Remember(out, have);
    done += have;
    produced_ += have;
    if (ret == Z_STREAM_END) {
      ended_ = true;
    } else if (ret != Z_OK && !(ret == Z_BUF_ERROR && zs_.avail_in == 0 && consumed_ < stored_)) {
      failed_ = true;  // damaged, or out of input before its end
    }
  }
  return done;
}

size_t InflatedBlob::Read(void* buf, size_t count) {
  if (pos_ >= length_ || failed_) return 0;
  count = static_cast<size_t>(std::min<uint64_t>(count, length_ - pos_));
  BYTE* dst = static_cast<BYTE*>(buf);
  size_t done = 0;
  if (pos_ < produced_) {
    uint64_t back = produced_ - pos_;
    if (back <= recentLength_) {
      done = static_cast<size_t>(std::min<uint64_t>(count, back));
      std::memcpy(dst, recent_.get() + recentLength_ - back, done);
      pos_ += done;
      if (done == count) return done;
    } else if (!Restart()) {
      failed_ = true;
      return 0;
    }
  }
  while (produced_ < pos_ && !ended_ && !failed_)
    Pump(nullptr, static_cast<size_t>(std::min<uint64_t>(pos_ - produced_, kChunk)));
  if (produced_ != pos_) {
    failed_ = true;
    return done;
  }
  size_t got = Pump(dst + done, count - done);
  pos_ += got;
  done += got;
  if (done < count) failed_ = true;  // the stream gives less than it claims
  return done;
}

}  // namespace payload
