// Files in the framework's shape: a CFile opens by path with the framework's
// mode and share flags; CMemFile and CFileWindow are files too, so any reader
// works on a file, a memory block or a part of a file alike.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "afx/cstring.h"
#include "platform/file.h"

struct CFileStatus {
  int64_t m_ctime = 0;  // calendar times, seconds since 1970 UTC
  int64_t m_mtime = 0;
  int64_t m_atime = 0;
  int64_t m_size = 0;
  BYTE m_attribute = 0;
  char m_szFullName[MAX_PATH] = {0};
};

class TARN_EXPORT CFileException {
 public:
  enum { none = 0, generic = 1, fileNotFound = 2, accessDenied = 5 };
  int m_cause = none;
  int m_lOsError = 0;
  CString m_strFileName;
  // The platform's wording of the failure, cut to max-1 bytes.
  BOOL GetErrorMessage(char* buf, UINT max) const;
};

class TARN_EXPORT CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000, modeWrite = 0x0001, modeReadWrite = 0x0002,
    shareCompat = 0x0000, shareExclusive = 0x0010, shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030, shareDenyNone = 0x0040,
    modeCreate = 0x1000, modeNoTruncate = 0x2000, typeText = 0x4000, typeBinary = 0x8000,
    // Ours: no link on the way below the trusted folders, nor as the name
    // itself, checked by the open (an existing linked file is not cut).
    modeNoLinks = 0x100000
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile() = default;
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  virtual BOOL Open(LPCSTR path, UINT flags, CFileException* error = nullptr);
  virtual void Close();
  virtual bool IsOpen() const { return handle_.IsOpen(); }

  // Bytes read; short only at the end or on an error (then IsFailed()).
  virtual size_t Read(void* buf, size_t count);
  virtual BOOL Write(const void* buf, size_t count);
  // New position, or -1 when the seek is refused (before the start).
  virtual int64_t Seek(int64_t offset, UINT from);
  virtual uint64_t GetLength() const;
  virtual uint64_t GetPosition() const;
  virtual BOOL SetLength(uint64_t length);
  // As SetStatus sets the times, through the open file: a time of 0 leaves
  // that time, a last-write time of 0 all three.
  BOOL SetTimes(int64_t ctime, int64_t mtime, int64_t atime);
  // Written bytes on the disk; a failure counts as a failed write.
  BOOL Flush();
  void SeekToBegin() { Seek(0, begin); }
  uint64_t SeekToEnd() { return static_cast<uint64_t>(Seek(0, end)); }

  // A read or write of this file has failed since it was opened.
  bool IsFailed() const { return failed_; }
  const CString& GetFilePath() const { return path_; }

  static BOOL GetStatus(LPCSTR path, CFileStatus& status);
  // As the framework does: times of 0 are left as they are, and a last-write
  // time of 0 leaves all three; the attributes are written back too.
  static BOOL SetStatus(LPCSTR path, const CFileStatus& status);

 protected:
  bool failed_ = false;

 private:
  mutable platform::FileHandle handle_;
  CString path_;
};

// A growable file in memory, in steps of 1024 bytes, or a view of a caller's
// buffer after Attach.
class TARN_EXPORT CMemFile : public CFile {
 public:
  explicit CMemFile(UINT growBytes = 1024) : grow_(growBytes ? growBytes : 1024) {}
  CMemFile(const BYTE* data, size_t size) { Attach(data, size); }

  // Reads from the buffer without copying it; the first write copies it.
  void Attach(const BYTE* data, size_t size);
  // Hands over the contents and leaves the file empty.
  std::vector<BYTE> Detach();
  const BYTE* Data() const;

  BOOL Open(LPCSTR, UINT, CFileException* = nullptr) override { return FALSE; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  size_t Read(void* buf, size_t count) override;
  BOOL Write(const void* buf, size_t count) override;
  int64_t Seek(int64_t offset, UINT from) override;
  uint64_t GetLength() const override;
  uint64_t GetPosition() const override { return pos_; }
  BOOL SetLength(uint64_t length) override;

 private:
  void Own();
  std::vector<BYTE> buf_;
  const BYTE* ext_ = nullptr;
  size_t extSize_ = 0;
  size_t pos_ = 0;
  size_t grow_ = 1024;
};

// A read-only file of a known length made from something else; derived
// classes read from their position, which seeks may move past the end.
class TARN_EXPORT CReadOnlyView : public CFile {
 public:
  explicit CReadOnlyView(uint64_t length) : length_(length) {}
  BOOL Open(LPCSTR, UINT, CFileException* = nullptr) override { return FALSE; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  BOOL Write(const void*, size_t) override { return FALSE; }
  int64_t Seek(int64_t offset, UINT from) override;
  uint64_t GetLength() const override { return length_; }
  uint64_t GetPosition() const override { return pos_; }
  BOOL SetLength(uint64_t) override { return FALSE; }

 protected:
  const uint64_t length_;
  uint64_t pos_ = 0;
};

// A read-only view of bytes [offset, offset + length) of another open file,
// positioned at its own start. Reads never pass its end.
class TARN_EXPORT CFileWindow : public CReadOnlyView {
 public:
  CFileWindow(CFile& base, uint64_t offset, uint64_t length)
      : CReadOnlyView(length), base_(base), offset_(offset) {}
  size_t Read(void* buf, size_t count) override;

 private:
  CFile& base_;
  uint64_t offset_;
};

// A file read and written as text. In text mode (the default) a written LF
// is stored as CR LF, on Windows and in the sandbox alike.
class TARN_EXPORT CStdioFile : public CFile {
 public:
  CStdioFile() = default;
  ~CStdioFile() override;
  BOOL Open(LPCSTR path, UINT flags, CFileException* error = nullptr) override;
  void Close() override;
  // Next line without its LF or CR LF; FALSE at the end of the file.
  BOOL ReadString(CString& line);
  BOOL WriteString(LPCSTR text);
  size_t Read(void* buf, size_t count) override;
  BOOL Write(const void* buf, size_t count) override;
  int64_t Seek(int64_t offset, UINT from) override;
  uint64_t GetPosition() const override;

 private:
  bool FillBuffer();
  bool FlushWrites();
  bool text_ = true;
  std::vector<char> in_;
  size_t inPos_ = 0;
  std::string out_;
};

// FindFile tells whether a directory entry of exactly that name exists.
class TARN_EXPORT CFileFind {
 public:
  BOOL FindFile(LPCSTR path);
  bool IsDirectory() const { return dir_; }

 private:
  bool dir_ = false;
};
