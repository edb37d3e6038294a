// Format prints with msvcrt's vsnprintf, not MinGW's own (24 KiB of the
// shell): the formats the system uses (%s, %d, %08lx) print the same with
// both. The choice holds only when stdio.h comes before any C++ header,
// which asks for MinGW's; elsewhere the macro means nothing.
#undef __USE_MINGW_ANSI_STDIO
#define __USE_MINGW_ANSI_STDIO 0
#include <stdio.h>
#include "afx/cstring.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>
#include "platform/codepage.h"

namespace {
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
char FoldLatin(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c); }

// Walks s character by character; calls f(i, len) for each.
template <typename F>
void ForEachChar(const std::string& s, F f) {
  size_t i = 0;
  while (i < s.size()) {
    size_t len = (platform::IsLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    if (!f(i, len)) return;
    i += len;
  }
}
}  // namespace

bool IsCharStart(const std::string& s, size_t pos) {
  bool start = false;
  ForEachChar(s, [&](size_t i, size_t) {
    if (i == pos) start = true;
    return i < pos;
  });
  return start;
}

int CString::Compare(const char* s) const {
  int r = std::strcmp(s_.c_str(), s ? s : "");
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int CString::CompareNoCase(const char* other) const {
  std::string b = other ? other : "";
  const std::string& a = s_;
  size_t i = 0;
  while (i < a.size() && i < b.size()) {
    unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (platform::IsLeadByte(ca) || platform::IsLeadByte(cb)) {
      // A double-byte character compares byte for byte, both bytes.
      if (ca != cb) return ca < cb ? -1 : 1;
      if (i + 1 < a.size() && i + 1 < b.size()) {
        unsigned char ta = static_cast<unsigned char>(a[i + 1]), tb = static_cast<unsigned char>(b[i + 1]);
        if (ta != tb) return ta < tb ? -1 : 1;
        i += 2;
        continue;
      }
      ++i;
      continue;
    }
    char fa = FoldLatin(ca), fb = FoldLatin(cb);
    if (fa != fb) return static_cast<unsigned char>(fa) < static_cast<unsigned char>(fb) ? -1 : 1;
    ++i;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

CString CString::Left(int n) const {
  if (n <= 0) return CString();
  return CString(s_.substr(0, static_cast<size_t>(n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int n) const {
  if (first < 0) first = 0;
  if (first >= GetLength() || n <= 0) return CString();
  return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(n)));
}

CString CString::Right(int n) const {
  if (n <= 0) return CString();
  if (n >= GetLength()) return *this;
  return CString(s_.substr(s_.size() - static_cast<size_t>(n)));
}

int CString::Find(char c, int start) const {
  int found = -1;
  if (start < 0) start = 0;
  ForEachChar(s_, [&](size_t i, size_t len) {
    if (len == 1 && static_cast<int>(i) >= start && s_[i] == c) {
      found = static_cast<int>(i);
      return false;
    }
    return true;
  });
  return found;
}

int CString::ReverseFind(char c) const {
  int found = -1;
  ForEachChar(s_, [&](size_t i, size_t len) {
    if (len == 1 && s_[i] == c) found = static_cast<int>(i);
    return true;
  });
  return found;
}

int CString::Find(const char* sub, int start) const {
  if (!sub) return -1;
  size_t n = std::strlen(sub);
  int found = -1;
  if (start < 0) start = 0;
  ForEachChar(s_, [&](size_t i, size_t) {
    if (static_cast<int>(i) >= start && s_.compare(i, n, sub) == 0 && i + n <= s_.size()) {
      found = static_cast<int>(i);
      return false;
    }
    return true;
  });
  return found;
}

int CString::Replace(const char* from, const char* to) {
  if (!from || !*from) return 0;
  std::string rep = to ? to : "";
  size_t n = std::strlen(from);
  std::string out;
  int count = 0;
  size_t i = 0;
  while (i < s_.size()) {
    if (s_.compare(i, n, from) == 0 && i + n <= s_.size()) {
      out += rep;
      i += n;
      ++count;
      continue;
    }
    size_t len = (platform::IsLeadByte(static_cast<BYTE>(s_[i])) && i + 1 < s_.size()) ? 2 : 1;
    out.append(s_, i, len);
    i += len;
  }
  s_.swap(out);
  return count;
}

void CString::MakeUpper() {
  ForEachChar(s_, [&](size_t i, size_t len) {
    if (len == 1 && s_[i] >= 'a' && s_[i] <= 'z') s_[i] = static_cast<char>(s_[i] - 32);
    return true;
  });
}

void CString::MakeLower() {
  ForEachChar(s_, [&](size_t i, size_t len) {
    if (len == 1 && s_[i] >= 'A' && s_[i] <= 'Z') s_[i] = static_cast<char>(s_[i] + 32);
    return true;
  });
}

void CString::TrimLeft() {
  size_t i = 0;
  while (i < s_.size() && IsSpace(s_[i])) ++i;
  s_.erase(0, i);
}

void CString::TrimRight() {
  // A trail byte never counts as white space: GBK trail bytes start at 0x40.
  size_t n = s_.size();
  while (n > 0 && IsSpace(s_[n - 1])) --n;
  s_.resize(n);
}

void CString::Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::vector<char> buf(n > 0 ? static_cast<size_t>(n) + 1 : 1);
  if (n > 0) std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
  va_end(ap2);
  s_.assign(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
}
