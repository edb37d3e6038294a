// A buffered reader or writer over a CFile, in the framework's byte forms.
//
// Counted string: length < 255: one byte; < 65534: 0xFF then 16 bits;
// otherwise 0xFF, 0xFFFF, then 32 bits; the bytes follow, no terminator.
// Count: < 65535: 16 bits; otherwise 0xFFFF then 32 bits.
// Integers are little-endian.
//
// Reading past the end does not throw: the archive turns bad (IsBad()), and
// every later read yields zeros and empty strings. Callers check IsBad()
// once, after a group of reads.
#pragma once
#include <vector>
#include "afx/file.h"

class TARN_EXPORT CArchive {
 public:
  enum Mode { store = 0, load = 1 };
  CArchive(CFile* file, UINT mode, int bufSize = 4096);
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const { return loading_; }
  bool IsStoring() const { return !loading_; }
  bool IsBad() const { return bad_; }
  CFile* GetFile() const { return file_; }
  void Flush();
  void Close();

  size_t Read(void* buf, size_t count);
  void Write(const void* buf, size_t count);

  CArchive& operator<<(BYTE v);
  CArchive& operator<<(WORD v);
  CArchive& operator<<(DWORD v);
  CArchive& operator<<(const CString& s);
  CArchive& operator>>(BYTE& v);
  CArchive& operator>>(WORD& v);
  CArchive& operator>>(DWORD& v);
  CArchive& operator>>(CString& s);

  void WriteCount(DWORD count);
  DWORD ReadCount();

  // Next line without its LF or CR LF (a CR not before LF stays in the
  // line); FALSE at the end. Lines have no length limit.
  BOOL ReadString(CString& line);
  void WriteString(LPCSTR text);

  // Bytes that the underlying file still holds past the read position, or
  // UINT64_MAX when it cannot tell. Lets readers bound a length before they
  // allocate for it.
  uint64_t Remaining() const;

 private:
  bool Fill();
  void ReadExact(void* buf, size_t count);
  CFile* file_;
  bool loading_;
  bool bad_ = false;
  std::vector<char> buf_;
  size_t pos_ = 0, end_ = 0;
};
