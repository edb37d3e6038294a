#include "afx/file.h"
#include <algorithm>
#include <cstring>
#include "platform/fs.h"

BOOL CFileException::GetErrorMessage(char* buf, UINT max) const {
  if (!buf || max == 0) return FALSE;
  std::string text = platform::ErrorText(m_lOsError);
  if (!m_strFileName.IsEmpty()) text = std::string(m_strFileName) + ": " + text;
  size_t n = std::min<size_t>(text.size(), max - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return TRUE;
}

CFile::~CFile() { handle_.Close(); }

BOOL CFile::Open(LPCSTR path, UINT flags, CFileException* error) {
  Close();
  failed_ = false;
  path_ = path;
  UINT mode = flags & 0x3;
  platform::FileAccess access = mode == modeWrite       ? platform::kAccessWrite
                                : mode == modeReadWrite ? platform::kAccessReadWrite
                                                        : platform::kAccessRead;
  UINT share = flags & 0x70;
  // shareCompat has no 32-bit meaning and is taken as exclusive.
  platform::FileShare sh = share == shareDenyWrite  ? platform::kShareDenyWrite
                           : share == shareDenyRead ? platform::kShareDenyRead
                           : share == shareDenyNone ? platform::kShareDenyNone
                                                    : platform::kShareExclusive;
  bool create = (flags & modeCreate) != 0;
  bool truncate = create && !(flags & modeNoTruncate);
  int err = 0;
  const std::string name = path ? path : "";
  const bool opened = (flags & modeNoLinks) ? handle_.OpenLinkFree(name, access, sh, create, truncate, &err)
                                            : handle_.Open(name, access, sh, create, truncate, &err);
  if (!opened) {
    if (error) {
      error->m_lOsError = err;
      error->m_cause = CFileException::generic;
      error->m_strFileName = path;
    }
    return FALSE;
  }
  return TRUE;
}

void CFile::Close() { handle_.Close(); }

BOOL CFile::Flush() {
  if (!handle_.IsOpen() || !handle_.Flush()) failed_ = true;
  return failed_ ? FALSE : TRUE;
}

size_t CFile::Read(void* buf, size_t count) {
  if (!handle_.IsOpen()) {
    failed_ = true;
    return 0;
  }
  int64_t r = handle_.Read(buf, count);
  if (r < 0) {
    failed_ = true;
    return 0;
  }
  return static_cast<size_t>(r);
}

BOOL CFile::Write(const void* buf, size_t count) {
  if (!handle_.IsOpen() || !handle_.Write(buf, count)) {
    failed_ = true;
    return FALSE;
  }
  return TRUE;
}

int64_t CFile::Seek(int64_t offset, UINT from) {
  uint64_t pos = 0;
  if (!handle_.IsOpen() ||
      !handle_.Seek(offset, static_cast<platform::SeekFrom>(from), &pos))
    return -1;
  return static_cast<int64_t>(pos);
}

uint64_t CFile::GetLength() const {
  uint64_t n = 0;
  return handle_.IsOpen() && handle_.Length(&n) ? n : 0;
}

uint64_t CFile::GetPosition() const {
  uint64_t pos = 0;
  return handle_.IsOpen() && handle_.Seek(0, platform::kSeekCurrent, &pos) ? pos : 0;
}

BOOL CFile::SetLength(uint64_t length) { return handle_.IsOpen() && handle_.SetLength(length); }

BOOL CFile::SetTimes(int64_t ctime, int64_t mtime, int64_t atime) {
  if (mtime == 0) return TRUE;
  return handle_.IsOpen() && handle_.SetTimes(ctime, mtime, atime);
}

BOOL CFile::GetStatus(LPCSTR path, CFileStatus& status) {
  platform::FileInfo info;
  if (!path || !platform::GetFileInfo(path, &info)) return FALSE;
  status.m_ctime = info.ctime;
  status.m_mtime = info.mtime;
  status.m_atime = info.atime;
  status.m_size = info.size;
  status.m_attribute = static_cast<BYTE>(info.attributes);
  std::string full;
  if (!platform::FullPathName(path, &full)) full = path;
  size_t n = std::min(full.size(), sizeof status.m_szFullName - 1);
  std::memcpy(status.m_szFullName, full.data(), n);
  status.m_szFullName[n] = '\0';
  return TRUE;
}

BOOL CFile::SetStatus(LPCSTR path, const CFileStatus& status) {
  if (!path) return FALSE;
  if (status.m_mtime != 0 &&
      !platform::SetFileTimes(path, status.m_ctime, status.m_mtime, status.m_atime))
    return FALSE;
  return platform::SetAttributes(path, status.m_attribute ? static_cast<uint32_t>(status.m_attribute)
                                                              : static_cast<uint32_t>(platform::kAttrNormal));
}

// --- CMemFile

void CMemFile::Attach(const BYTE* data, size_t size) {
  buf_.clear();
  ext_ = data;
  extSize_ = size;
  pos_ = 0;
}

void CMemFile::Own() {
  if (!ext_) return;
  buf_.assign(ext_, ext_ + extSize_);
  ext_ = nullptr;
  extSize_ = 0;
}

std::vector<BYTE> CMemFile::Detach() {
  Own();
  std::vector<BYTE> out;
  out.swap(buf_);
  pos_ = 0;
  return out;
}

const BYTE* CMemFile::Data() const { return ext_ ? ext_ : buf_.data(); }

uint64_t CMemFile::GetLength() const { return ext_ ? extSize_ : buf_.size(); }

size_t CMemFile::Read(void* buf, size_t count) {
  size_t len = static_cast<size_t>(GetLength());
  if (pos_ >= len) return 0;
  size_t n = std::min(count, len - pos_);
  std::memcpy(buf, Data() + pos_, n);
  pos_ += n;
  return n;
}

BOOL CMemFile::Write(const void* buf, size_t count) {
  Own();
  if (count == 0) return TRUE;
  size_t end = pos_ + count;
  if (end > buf_.size()) {
    if (end > buf_.capacity()) buf_.reserve((end + grow_ - 1) / grow_ * grow_);
    buf_.resize(end);
  }
  std::memcpy(buf_.data() + pos_, buf, count);
  pos_ = end;
  return TRUE;
}

int64_t CMemFile::Seek(int64_t offset, UINT from) {
  int64_t base = from == begin ? 0 : from == current ? static_cast<int64_t>(pos_)
                                                     : static_cast<int64_t>(GetLength());
  int64_t target = base + offset;
  if (target < 0) return -1;
  pos_ = static_cast<size_t>(target);  // past the end is allowed, as for a file
  return target;
}

BOOL CMemFile::SetLength(uint64_t length) {
  Own();
  buf_.resize(static_cast<size_t>(length));
  if (pos_ > buf_.size()) pos_ = buf_.size();
  return TRUE;
}

// --- CFileWindow

size_t CFileWindow::Read(void* buf, size_t count) {
  if (pos_ >= length_) return 0;
  uint64_t n64 = std::min<uint64_t>(count, length_ - pos_);
  size_t n = static_cast<size_t>(n64);
  if (base_.Seek(static_cast<int64_t>(offset_ + pos_), begin) < 0) {
    failed_ = true;
    return 0;
  }
  size_t got = base_.Read(buf, n);
  pos_ += got;
  if (got < n) failed_ = true;
  return got;
}

int64_t CReadOnlyView::Seek(int64_t offset, UINT from) {
  int64_t base = from == begin ? 0 : from == current ? static_cast<int64_t>(pos_)
                                                     : static_cast<int64_t>(length_);
  int64_t target = base + offset;
  if (target < 0) return -1;
  pos_ = static_cast<uint64_t>(target);
  return target;
}

// --- CStdioFile

namespace {
const size_t kStdioBuffer = 4096;
}

CStdioFile::~CStdioFile() { FlushWrites(); }

BOOL CStdioFile::Open(LPCSTR path, UINT flags, CFileException* error) {
  in_.clear();
  inPos_ = 0;
  out_.clear();
  text_ = !(flags & typeBinary);
  return CFile::Open(path, flags & ~(typeText | typeBinary), error);
}

void CStdioFile::Close() {
  FlushWrites();
  in_.clear();
  inPos_ = 0;
  CFile::Close();
}

bool CStdioFile::FillBuffer() {
  in_.resize(kStdioBuffer);
  size_t n = CFile::Read(in_.data(), in_.size());
  in_.resize(n);
  inPos_ = 0;
  return n > 0;
}

bool CStdioFile::FlushWrites() {
  if (out_.empty()) return true;
  bool ok = CFile::Write(out_.data(), out_.size());
  out_.clear();
  return ok;
}

BOOL CStdioFile::ReadString(CString& line) {
  std::string& s = line.str();
  s.clear();
  bool any = false;
  for (;;) {
    if (inPos_ >= in_.size() && !FillBuffer()) return any ? TRUE : FALSE;
    any = true;
    const char* start = in_.data() + inPos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', in_.size() - inPos_));
    if (!nl) {
      s.append(start, in_.size() - inPos_);
      inPos_ = in_.size();
      continue;
    }
    s.append(start, static_cast<size_t>(nl - start));
    inPos_ += static_cast<size_t>(nl - start) + 1;
    if (text_ && !s.empty() && s.back() == '\r') s.pop_back();
    return TRUE;
  }
}

BOOL CStdioFile::WriteString(LPCSTR text) {
  if (!text) return TRUE;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n' && text_) out_ += '\r';
    out_ += *p;
  }
  if (out_.size() >= kStdioBuffer) return FlushWrites();
  return TRUE;
}

size_t CStdioFile::Read(void* buf, size_t count) {
  char* dst = static_cast<char*>(buf);
  size_t done = 0;
  while (done < count) {
    if (inPos_ >= in_.size() && !FillBuffer()) break;
    size_t n = std::min(count - done, in_.size() - inPos_);
    std::memcpy(dst + done, in_.data() + inPos_, n);
    inPos_ += n;
    done += n;
  }
  return done;
}

BOOL CStdioFile::Write(const void* buf, size_t count) {
  out_.append(static_cast<const char*>(buf), count);
  if (out_.size() >= kStdioBuffer) return FlushWrites();
  return TRUE;
}

int64_t CStdioFile::Seek(int64_t offset, UINT from) {
  if (!FlushWrites()) return -1;
  if (from == current) offset -= static_cast<int64_t>(in_.size() - inPos_);
  in_.clear();
  inPos_ = 0;
  return CFile::Seek(offset, from);
}

uint64_t CStdioFile::GetPosition() const {
  return CFile::GetPosition() - (in_.size() - inPos_) + out_.size();
}

BOOL CFileFind::FindFile(LPCSTR path) {
  dir_ = false;
  return path && platform::FindEntry(path, &dir_);
}
