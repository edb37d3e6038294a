// The four-byte sequences of GB18030, by which the system's text holds a
// character that code page 936 lacks. Code page 936 and GB18030 agree on
// every one- and two-byte character the system writes, so GBK text is its
// own GB18030 form, byte for byte. Both back ends convert through here.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {
namespace gb18030 {

const uint32_t kInvalid = 0xFFFFFFFFu;

// Four bytes at p form a GB18030 four-byte sequence: a lead byte
// (0x81-0xFE), a digit, a lead byte, a digit. Their second and fourth bytes
// are digits, so code that steps over double-byte characters by lead byte
// steps over them whole and never reads a "\" or "|" inside one.
bool IsFourByte(const unsigned char* p, size_t left);
// The code point of such a sequence, or kInvalid for one the system never
// writes.
uint32_t DecodeFourByte(const unsigned char* p);
// The four bytes for a code point above 0x7F that code page 936 cannot
// hold: GB18030's own sequence, or for the few characters GB18030 gives a
// two-byte code that code page 936 lacks (and for unpaired surrogates) one
// from the pointers GB18030 leaves unassigned, 39420 + the code point.
void EncodeFourByte(uint32_t cp, unsigned char out[4]);

}  // namespace gb18030
}  // namespace platform
