#include <gtest/gtest.h>
#include <zlib.h>
#include <cstdint>
#include <functional>
#include <vector>
#include "shell/packed_art.h"

namespace {

void Put32(std::vector<BYTE>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<BYTE>(x >> (8 * i));
}

// A 3x2 bitmap of 16 colours, as res/draw_art.py writes one.
std::vector<BYTE> Bmp() {
  const size_t bitsAt = 14 + 40 + 64, stride = 4;
  std::vector<BYTE> f(bitsAt + 2 * stride, 0x21);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  Put32(f, 6, 0);
  Put32(f, 10, bitsAt);
  Put32(f, 14, 40);
  Put32(f, 18, 3);
  Put32(f, 22, 2);
  f[26] = 1, f[27] = 0, f[28] = 4, f[29] = 0;  // planes, bits per pixel
  Put32(f, 30, 0);
  Put32(f, 34, static_cast<uint32_t>(2 * stride));
  Put32(f, 46, 16);
  Put32(f, 50, 0);
  return f;
}

std::vector<BYTE> Pack(const std::vector<BYTE>& file, uint32_t stated) {
  uLongf n = compressBound(static_cast<uLong>(file.size()));
  std::vector<BYTE> out(4 + n);
  Put32(out, 0, stated);
  EXPECT_EQ(compress2(out.data() + 4, &n, file.data(), static_cast<uLong>(file.size()), 9), Z_OK);
  out.resize(4 + n);
  return out;
}

TEST(PackedArt, UnpacksOnlyWhatFits) {
  const std::vector<BYTE> good = Bmp();
  const uint32_t size = static_cast<uint32_t>(good.size());
  struct Case {
    const char* what;
    std::function<void(std::vector<BYTE>& file)> bmp;  // changes the BMP file
    std::function<void(std::vector<BYTE>& packed)> packed;  // then its packed form
    bool ok;
  };
  const Case cases[] = {
      {"as drawn", nullptr, nullptr, true},
      {"cut short", nullptr, [](std::vector<BYTE>& p) { p.resize(p.size() - 3); }, false},
      {"no stream", nullptr, [](std::vector<BYTE>& p) { p.resize(4); }, false},
      {"no length", nullptr, [](std::vector<BYTE>& p) { p.resize(3); }, false},
      {"states more", nullptr, [size](std::vector<BYTE>& p) { Put32(p, 0, size + 1); }, false},
      {"states less", nullptr, [size](std::vector<BYTE>& p) { Put32(p, 0, size - 1); }, false},
      {"states gigabytes", nullptr, [](std::vector<BYTE>& p) { Put32(p, 0, 0xfffffff0u); }, false},
      {"damaged stream", nullptr, [](std::vector<BYTE>& p) { p[p.size() / 2] ^= 0x55; }, false},
      {"not BM", [](std::vector<BYTE>& f) { f[1] = 'A'; }, nullptr, false},
      {"rows past the end", [](std::vector<BYTE>& f) { Put32(f, 22, 3); }, nullptr, false},
      {"top-down", [](std::vector<BYTE>& f) { Put32(f, 22, static_cast<uint32_t>(-2)); }, nullptr, false},
      {"no width", [](std::vector<BYTE>& f) { Put32(f, 18, 0); }, nullptr, false},
      {"pixels over the palette", [](std::vector<BYTE>& f) { Put32(f, 10, 14 + 40 + 60); }, nullptr, false},
      {"pixels past the end", [](std::vector<BYTE>& f) { Put32(f, 10, 0x7fffffff); }, nullptr, false},
      {"palette too big", [](std::vector<BYTE>& f) { Put32(f, 46, 17); }, nullptr, false},
      {"compressed rows", [](std::vector<BYTE>& f) { Put32(f, 30, 2); }, nullptr, false},
      {"odd depth", [](std::vector<BYTE>& f) { f[28] = 5; }, nullptr, false},
      {"other header", [](std::vector<BYTE>& f) { Put32(f, 14, 108); }, nullptr, false},
      {"default palette", [](std::vector<BYTE>& f) { Put32(f, 46, 0); }, nullptr, true},
  };
  for (const Case& c : cases) {
    std::vector<BYTE> file = good;
    if (c.bmp) c.bmp(file);
    std::vector<BYTE> packed = Pack(file, static_cast<uint32_t>(file.size()));
    if (c.packed) c.packed(packed);
    stuUnpackedBitmap out;
    EXPECT_EQ(UnpackBitmap(packed.data(), packed.size(), &out), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(out.file, file) << c.what;
      EXPECT_EQ(out.info, 14u) << c.what;
      EXPECT_EQ(out.bits, 14u + 40 + 64) << c.what;
    }
  }
  stuUnpackedBitmap out;
  EXPECT_FALSE(UnpackBitmap(nullptr, 0, &out));
}

}  // namespace
