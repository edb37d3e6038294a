// Only in the setup shell program, where they keep parts of the static C++
// runtime out that double its size for nothing it needs. The shell is
// built without exceptions (see src/CMakeLists.txt): whatever the library
// would throw, and a failed allocation, ends the program here, as the
// uncaught exception did before.
#include <cstdlib>
#include <new>
#include "platform/process.h"

// zlib's CRC-32 serves gzip streams only, which the shell neither reads nor
// writes (its streams carry Adler-32), yet deflate and inflate name it and
// bring 8 KiB of tables. This one is bitwise: the same values, slowly.
extern "C" unsigned long crc32(unsigned long crc, const unsigned char* buf, unsigned len) {
  if (!buf) return 0;
  crc = ~crc & 0xffffffffUL;
  while (len--) {
    crc ^= *buf++;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320UL & (0 - (crc & 1)));
  }
  return ~crc & 0xffffffffUL;
}

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_system_error(int) { std::abort(); }
}  // namespace std

// The runtime's own allocators throw std::bad_alloc, which would bring the
// exception support back. Out of memory ends the shell (abort) as the
// uncaught std::bad_alloc did; the few places that can go on without the
// memory ask with std::nothrow and get null.
void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// Static locals are made once even when two threads reach them together.
// The runtime's guard throws on a recursive start, which none of ours can
// make. Byte 0 of the guard: made; byte 1: being made.
extern "C" int __cxa_guard_acquire(long long* guard) {
  char* g = reinterpret_cast<char*>(guard);
  for (;;) {
    if (__atomic_load_n(g, __ATOMIC_ACQUIRE)) return 0;
    char idle = 0;
    if (__atomic_compare_exchange_n(g + 1, &idle, 1, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
      if (!__atomic_load_n(g, __ATOMIC_ACQUIRE)) return 1;
      __atomic_store_n(g + 1, 0, __ATOMIC_RELEASE);
      return 0;
    }
    platform::SleepMs(0);
  }
}
extern "C" void __cxa_guard_release(long long* guard) {
  char* g = reinterpret_cast<char*>(guard);
  __atomic_store_n(g, 1, __ATOMIC_RELEASE);
  __atomic_store_n(g + 1, 0, __ATOMIC_RELEASE);
}
extern "C" void __cxa_guard_abort(long long* guard) {
  __atomic_store_n(reinterpret_cast<char*>(guard) + 1, 0, __ATOMIC_RELEASE);
}
