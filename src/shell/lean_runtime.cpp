// Only in the setup shell program, where they keep parts of the static C++
// runtime out that double its size for nothing it needs: a GUI program has
// no standard error to print an uncaught exception's demangled name to, and
// nothing catches the library's error exceptions by their type. Each is
// still thrown, as an std::exception; only std::bad_alloc keeps its type,
// as it is caught by type.
#include <cstdlib>
#include <exception>
#include <new>

namespace {

class LibraryError : public std::exception {
 public:
  explicit LibraryError(const char* what) : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the library's messages are literals
};

}  // namespace

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

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_function_call() { throw LibraryError("bad_function_call"); }
void __throw_length_error(const char* what) { throw LibraryError(what); }
void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }
void __throw_system_error(int) { throw LibraryError("system_error"); }
}  // namespace std
