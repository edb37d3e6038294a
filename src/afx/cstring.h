// An 8-bit byte string in the ANSI code page. Searches for a single byte step
// over double-byte characters, and case folding touches Latin letters only,
// so a GBK character whose second byte is "\" or "|" stays whole.
#pragma once
#include <string>
#include "platform/types.h"

class TARN_EXPORT CString {
 public:
  CString() = default;
  CString(const char* s) : s_(s ? s : "") {}
  CString(const char* s, int n) : s_(s, n > 0 ? static_cast<size_t>(n) : 0) {}
  CString(char c, int n) : s_(n > 0 ? static_cast<size_t>(n) : 0, c) {}
  CString(const std::string& s) : s_(s) {}

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  char GetAt(int i) const { return s_[static_cast<size_t>(i)]; }
  char operator[](int i) const { return GetAt(i); }
  void SetAt(int i, char c) { s_[static_cast<size_t>(i)] = c; }
  operator LPCSTR() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  std::string& str() { return s_; }

  CString& operator=(const char* s) { s_ = s ? s : ""; return *this; }
  CString& operator+=(const CString& o) { s_ += o.s_; return *this; }
  CString& operator+=(const char* s) { if (s) s_ += s; return *this; }
  CString& operator+=(char c) { s_ += c; return *this; }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
  friend CString operator+(const CString& a, const char* b) { return CString(a.s_ + (b ? b : "")); }
  friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.s_); }
  friend CString operator+(const CString& a, char c) { return CString(a.s_ + c); }
  friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator!=(const CString& a, const CString& b) { return a.s_ != b.s_; }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }

  // Byte-exact comparison, and one that folds Latin letters only.
  int Compare(const char* s) const;
  int CompareNoCase(const char* s) const;

  CString Left(int n) const;
  CString Mid(int first) const;
  CString Mid(int first, int n) const;
  CString Right(int n) const;

  // Position of the first (last) byte c that is not the second byte of a
  // double-byte character, from `start`; -1 when none.
  int Find(char c, int start = 0) const;
  int ReverseFind(char c) const;
  int Find(const char* sub, int start = 0) const;
  int Replace(const char* from, const char* to);

  void MakeUpper();
  void MakeLower();
  // White space: space, tab, CR, LF, vertical tab, form feed.
  void TrimLeft();
  void TrimRight();
  void Trim() { TrimRight(); TrimLeft(); }

  void Format(const char* fmt, ...)
#ifdef __GNUC__
      __attribute__((format(printf, 2, 3)))
#endif
      ;

 private:
  std::string s_;
};

// True when byte i of s starts a character (is not a trail byte).
bool IsCharStart(const std::string& s, size_t i);
