// The ordered arrays the system keeps its lists in.
#pragma once
#include <memory>
#include <new>
#include <utility>
#include <vector>
#include "afx/cstring.h"

// Room for n elements in v, or false. Built without exceptions (the
// shipped shell), the block is first asked for without throwing and given
// back, and the vector's own request just after gets it; should another
// thread take the memory between the two, the program ends, as on any
// shortage there. With exceptions the shortage is caught instead.
template <typename T>
bool TryReserve(std::vector<T>* v, size_t n) {
  if (n <= v->capacity()) return true;
  if (n > v->max_size()) return false;
#if defined(__cpp_exceptions)
  try {
    v->reserve(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
#else
  void* probe = ::operator new(n * sizeof(T), std::nothrow);
  if (!probe) return false;
  ::operator delete(probe);
  v->reserve(n);
#endif
  return true;
}

template <typename T>
class CValueArray {
 public:
  int GetSize() const { return static_cast<int>(v_.size()); }
  int GetCount() const { return GetSize(); }
  int GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return v_.empty(); }
  const T& GetAt(int i) const { return v_[static_cast<size_t>(i)]; }
  T& ElementAt(int i) { return v_[static_cast<size_t>(i)]; }
  const T& operator[](int i) const { return GetAt(i); }
  T& operator[](int i) { return ElementAt(i); }
  void SetAt(int i, const T& x) { v_[static_cast<size_t>(i)] = x; }
  int Add(const T& x) { v_.push_back(x); return GetSize() - 1; }
  void InsertAt(int i, const T& x) { v_.insert(v_.begin() + i, x); }
  void RemoveAt(int i, int n = 1) { v_.erase(v_.begin() + i, v_.begin() + i + n); }
  void RemoveAll() { v_.clear(); }
  void SetSize(int n) { v_.resize(static_cast<size_t>(n)); }
  void Append(const CValueArray& o) { v_.insert(v_.end(), o.v_.begin(), o.v_.end()); }
  std::vector<T>& vec() { return v_; }
  const std::vector<T>& vec() const { return v_; }

 private:
  std::vector<T> v_;
};

class TARN_EXPORT CStringArray : public CValueArray<CString> {};
class TARN_EXPORT CDWordArray : public CValueArray<DWORD> {};

// An array that owns its objects: removing one deletes it.
template <typename T>
class CObjArray {
 public:
  int GetSize() const { return static_cast<int>(v_.size()); }
  T* GetAt(int i) const { return v_[static_cast<size_t>(i)].get(); }
  T* operator[](int i) const { return GetAt(i); }
  int Add(std::unique_ptr<T> x) { v_.push_back(std::move(x)); return GetSize() - 1; }
  void RemoveAll() { v_.clear(); }

 private:
  std::vector<std::unique_ptr<T>> v_;
};
