// The two deflaters against the one storage rule: a stream only when it is
// strictly shorter than the item, and every stream inflates back.
#include <gtest/gtest.h>
#include <zlib.h>
#include <cstring>
#include <thread>
#include <vector>
#include "packet/stream_codec.h"
#include "support/support.h"
#include "test_packet.h"
#if __has_include(<libdeflate.h>) && !defined(_WIN32)
#include <libdeflate.h>
#define TEST_LIBDEFLATE 1
#endif

namespace {

using packet::Deflater;
using packet::EncodeOptions;

std::vector<BYTE> Text(size_t n, uint32_t seed) {
  static const char* words[] = {"setup ", "packet ", "install ", "file ", "\r\n", "zlib ", "tarn "};
  std::vector<BYTE> v;
  while (v.size() < n) {
    seed = seed * 1103515245u + 12345u;
    const char* w = words[(seed >> 16) % 7];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(n);
  return v;
}

// The length of the deflater's whole stream, shorter than the item or not.
size_t StreamLength(const std::vector<BYTE>& in, const EncodeOptions& o) {
#ifdef TEST_LIBDEFLATE
  if (o.deflater == Deflater::kLibdeflate) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(o.level);
    std::vector<BYTE> out(libdeflate_zlib_compress_bound(c, in.size()));
    size_t n = libdeflate_zlib_compress(c, in.data(), in.size(), out.data(), out.size());
    libdeflate_free_compressor(c);
    return n;
  }
#endif
  std::vector<BYTE> out(compressBound(static_cast<uLong>(in.size())));
  uLongf n = static_cast<uLongf>(out.size());
  EXPECT_EQ(compress2(out.data(), &n, in.data(), static_cast<uLong>(in.size()),
                      packet::ZlibLevel(o.level)),
            Z_OK);
  return n;
}

// An item whose stream is `margin` bytes shorter than the item: noise (which
// deflate can only grow) then a run (which it shrinks), the run lengthened a
// byte at a time until the two lengths meet.
std::vector<BYTE> ItemWithMargin(const EncodeOptions& o, size_t margin) {
  for (size_t noise : {300u, 301u, 302u, 303u, 700u}) {
    for (size_t run = 0; run < 600; ++run) {
      std::vector<BYTE> v = Noise(noise, 11);
      v.insert(v.end(), run, 'a');
      if (StreamLength(v, o) + margin == v.size()) return v;
    }
  }
  return {};
}

std::vector<EncodeOptions> AllOptions() {
  std::vector<EncodeOptions> all = {{Deflater::kZlib, 6}, {Deflater::kZlib, 1}, {Deflater::kZlib, 9}};
  if (packet::HaveLibdeflate())
    for (int level : {1, 4, 6, 9, 12}) all.push_back({Deflater::kLibdeflate, level});
  return all;
}

std::string Name(const EncodeOptions& o) {
  return std::string(o.deflater == Deflater::kZlib ? "zlib " : "libdeflate ") + std::to_string(o.level);
}

std::vector<BYTE> Bytes(CMemFile& f) { return std::vector<BYTE>(f.Data(), f.Data() + f.GetLength()); }

TEST(StoreRule, AStreamAsLongAsTheItemIsStoredRaw) {
  EXPECT_TRUE(packet::StoredAsStream(99, 100));
  EXPECT_FALSE(packet::StoredAsStream(100, 100));
  EXPECT_FALSE(packet::StoredAsStream(0, 0));

  tarntest::BoxRecorder boxes;
  TestPacket p("unused");
  for (const EncodeOptions& o : AllOptions()) {
    SCOPED_TRACE(Name(o));
    std::vector<BYTE> even = ItemWithMargin(o, 0);
    ASSERT_FALSE(even.empty()) << "no item found whose stream is as long as itself";
    std::vector<BYTE> z = {1};
    EXPECT_FALSE(packet::CompressItem(even.data(), even.size(), &z, o));
    EXPECT_TRUE(z.empty());

    // The stream would read back as raw bytes: only the raw item restores.
    CMemFile src(even.data(), even.size()), stored;
    packet::StreamEncodeResult r = packet::StreamEncode(src, even.size(), stored, {}, o);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.shrank);
    EXPECT_EQ(Bytes(stored), even);
    CMemFile back, in(stored.Data(), stored.GetLength());
    ASSERT_TRUE(packet::StreamDecode(in, static_cast<DWORD>(r.stored), static_cast<DWORD>(even.size()), &back));
    EXPECT_EQ(Bytes(back), even);
    if (o.deflater == Deflater::kZlib && o.level == 6) {
      CMemFile w;
      EXPECT_EQ(p.WriteEncode(w, even.data(), static_cast<DWORD>(even.size())), even.size());
      EXPECT_EQ(Bytes(w), even);
    }

    // One byte shorter is a stream.
    std::vector<BYTE> shorter = ItemWithMargin(o, 1);
    ASSERT_FALSE(shorter.empty());
    ASSERT_TRUE(packet::CompressItem(shorter.data(), shorter.size(), &z, o));
    EXPECT_EQ(z.size(), shorter.size() - 1);
  }
}

TEST(Deflaters, EveryStreamInflatesBackAndTheRuleHolds) {
  std::vector<std::vector<BYTE>> inputs = {{}, {'a'}, Text(60, 1), Noise(5000, 2), Text(70000, 3),
                                          std::vector<BYTE>(300000, 0)};
  std::vector<BYTE> mixed = Noise(150000, 4);
  std::memset(mixed.data(), 'x', 2000);
  inputs.push_back(mixed);
  for (const EncodeOptions& o : AllOptions()) {
    for (const auto& in : inputs) {
      SCOPED_TRACE(Name(o) + ", " + std::to_string(in.size()) + " bytes");
      std::vector<BYTE> z;
      bool shrank = packet::CompressItem(in.data(), in.size(), &z, o);
      EXPECT_EQ(shrank, !in.empty() && packet::StoredAsStream(StreamLength(in, o), in.size()));
      if (!shrank) continue;
      EXPECT_EQ(z[0], 0x78);
      CMemFile stored(z.data(), z.size()), back;
      ASSERT_TRUE(packet::StreamDecode(stored, static_cast<DWORD>(z.size()), static_cast<DWORD>(in.size()), &back));
      EXPECT_EQ(Bytes(back), in);
    }
  }
}

TEST(Deflaters, ZlibLevelsClipAndTheDefaultKeepsWriteEncodesBytes) {
  std::vector<BYTE> in = Text(200000, 5), def, six, nine, twelve;
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &def));
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &six, {Deflater::kZlib, 6}));
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &nine, {Deflater::kZlib, 9}));
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &twelve, {Deflater::kZlib, 12}));
  EXPECT_EQ(def, six);
  EXPECT_EQ(twelve, nine);
  EXPECT_EQ(packet::ZlibLevel(0), 1);
  EXPECT_EQ(packet::ZlibLevel(10), 9);

  // The writer's stream is the same zlib stream at the same level.
  CMemFile src(in.data(), in.size()), streamed;
  ASSERT_TRUE(packet::StreamEncode(src, in.size(), streamed, {}, {Deflater::kLibdeflate, 12}).shrank);
  EXPECT_EQ(Bytes(streamed), nine);
}

TEST(Deflaters, LibdeflateBytesDoNotDependOnTheThread) {
  if (!packet::HaveLibdeflate()) GTEST_SKIP() << "built without libdeflate";
  std::vector<BYTE> in = Text(300000, 6), here, there, other;
  // A level change on the same thread must not keep the old compressor.
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &other, {Deflater::kLibdeflate, 1}));
  ASSERT_TRUE(packet::CompressItem(in.data(), in.size(), &here, {Deflater::kLibdeflate, 9}));
  std::thread t([&] { packet::CompressItem(in.data(), in.size(), &there, {Deflater::kLibdeflate, 9}); });
  t.join();
  EXPECT_EQ(here, there);
  EXPECT_NE(here, other);
  EXPECT_EQ(here.size(), StreamLength(in, {Deflater::kLibdeflate, 9}));
}

}  // namespace
