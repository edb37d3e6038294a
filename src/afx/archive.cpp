#include "afx/archive.h"
#include <algorithm>
#include <cstring>

CArchive::CArchive(CFile* file, UINT mode, int bufSize)
    : file_(file), loading_((mode & load) != 0),
      buf_(static_cast<size_t>(bufSize > 0 ? bufSize : 4096)) {}

CArchive::~CArchive() { Close(); }

void CArchive::Close() {
  if (!loading_) Flush();
  // A loading archive gives back what it read ahead, so the file's position
  // is where the reader stopped.
  if (loading_ && file_ && end_ > pos_) file_->Seek(-static_cast<int64_t>(end_ - pos_), CFile::current);
  pos_ = end_ = 0;
}

void CArchive::Flush() {
  if (loading_ || !file_) return;
  if (pos_ > 0 && !file_->Write(buf_.data(), pos_)) bad_ = true;
  pos_ = 0;
}

bool CArchive::Fill() {
  if (!file_) return false;
  end_ = file_->Read(buf_.data(), buf_.size());
  pos_ = 0;
  return end_ > 0;
}

size_t CArchive::Read(void* buf, size_t count) {
  char* dst = static_cast<char*>(buf);
  size_t done = 0;
  while (done < count) {
    if (pos_ >= end_) {
      // Large reads bypass the buffer.
      if (count - done >= buf_.size()) {
        size_t got = file_ ? file_->Read(dst + done, count - done) : 0;
        done += got;
        break;
      }
      if (!Fill()) break;
    }
    size_t n = std::min(count - done, end_ - pos_);
    std::memcpy(dst + done, buf_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return done;
}

void CArchive::ReadExact(void* buf, size_t count) {
  if (bad_ || Read(buf, count) != count) {
    bad_ = true;
    std::memset(buf, 0, count);
  }
}

void CArchive::Write(const void* buf, size_t count) {
  const char* src = static_cast<const char*>(buf);
  while (count > 0) {
    if (pos_ == buf_.size()) Flush();
    size_t n = std::min(count, buf_.size() - pos_);
    std::memcpy(buf_.data() + pos_, src, n);
    pos_ += n;
    src += n;
    count -= n;
  }
}

CArchive& CArchive::operator<<(BYTE v) {
  Write(&v, 1);
  return *this;
}
CArchive& CArchive::operator<<(WORD v) {
  BYTE b[2] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8)};
  Write(b, 2);
  return *this;
}
CArchive& CArchive::operator<<(DWORD v) {
  BYTE b[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
               static_cast<BYTE>(v >> 24)};
  Write(b, 4);
  return *this;
}
CArchive& CArchive::operator>>(BYTE& v) {
  ReadExact(&v, 1);
  return *this;
}
CArchive& CArchive::operator>>(WORD& v) {
  BYTE b[2];
  ReadExact(b, 2);
  v = static_cast<WORD>(b[0] | (b[1] << 8));
  return *this;
}
CArchive& CArchive::operator>>(DWORD& v) {
  BYTE b[4];
  ReadExact(b, 4);
  v = static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) |
      (static_cast<DWORD>(b[2]) << 16) | (static_cast<DWORD>(b[3]) << 24);
  return *this;
}

CArchive& CArchive::operator<<(const CString& s) {
  DWORD n = static_cast<DWORD>(s.GetLength());
  if (n < 255) {
    *this << static_cast<BYTE>(n);
  } else if (n < 0xFFFE) {
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(n);
  } else {
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << n;
  }
  Write(s.str().data(), n);
  return *this;
}

CArchive& CArchive::operator>>(CString& s) {
  s.Empty();
  BYTE b = 0;
  *this >> b;
  DWORD n = b;
  if (b == 0xFF) {
    WORD w = 0;
    *this >> w;
    n = w;
    if (w == 0xFFFF) *this >> n;
  }
  if (bad_) return *this;
  // Grow with what is really read, never by the stored length alone.
  std::string& out = s.str();
  char chunk[65536];
  while (n > 0) {
    size_t want = std::min<size_t>(n, sizeof chunk);
    size_t got = Read(chunk, want);
    out.append(chunk, got);
    if (got < want) {
      bad_ = true;
      break;
    }
    n -= static_cast<DWORD>(got);
  }
  return *this;
}

void CArchive::WriteCount(DWORD count) {
  if (count < 0xFFFF) {
    *this << static_cast<WORD>(count);
  } else {
    *this << static_cast<WORD>(0xFFFF) << count;
  }
}

DWORD CArchive::ReadCount() {
  WORD w = 0;
  *this >> w;
  if (w != 0xFFFF) return w;
  DWORD n = 0;
  *this >> n;
  return n;
}

BOOL CArchive::ReadString(CString& line) {
  std::string& s = line.str();
  s.clear();
  bool any = false;
  for (;;) {
    if (pos_ >= end_ && !Fill()) return any ? TRUE : FALSE;
    any = true;
    const char* start = buf_.data() + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (!nl) {
      s.append(start, end_ - pos_);
      pos_ = end_;
      continue;
    }
    s.append(start, static_cast<size_t>(nl - start));
    pos_ += static_cast<size_t>(nl - start) + 1;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return TRUE;
  }
}

void CArchive::WriteString(LPCSTR text) {
  if (text) Write(text, std::strlen(text));
}

uint64_t CArchive::Remaining() const {
  if (!file_) return 0;
  uint64_t len = file_->GetLength(), pos = file_->GetPosition();
  return (len >= pos ? len - pos : 0) + (end_ - pos_);
}
