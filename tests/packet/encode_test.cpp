#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "packet/stream_codec.h"
#include "support/support.h"
#include "test_packet.h"

using tarntest::BoxRecorder;
using tarntest::TempDir;

namespace {

const char kNoShrink[] = "WriteEncode failed! It can't be compressed to save the packet.";

// Text-like bytes that compress well but not to nothing.
std::vector<BYTE> Words(size_t n) {
  static const char* words[] = {"setup ", "packet ", "install ", "file ", "\r\n", "zlib "};
  std::vector<BYTE> v;
  uint32_t seed = 7;
  while (v.size() < n) {
    seed = seed * 1103515245u + 12345u;
    const char* w = words[(seed >> 16) % 6];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(n);
  return v;
}

std::vector<BYTE> Contents(CMemFile& f) {
  return std::vector<BYTE>(f.Data(), f.Data() + f.GetLength());
}

TEST(PacketEncode, StoresShrunkOrRawAndDecodeRestores) {
  BoxRecorder boxes;
  TestPacket p("unused");
  std::vector<BYTE> same(1000, 'q');
  CMemFile z;
  DWORD stored = p.WriteEncode(z, same.data(), 1000);
  EXPECT_LT(stored, 100u);
  EXPECT_EQ(z.GetLength(), stored);
  EXPECT_EQ(z.Data()[0], 0x78);  // zlib header
  std::vector<BYTE> back(1000);
  DWORD len = 1000;
  EXPECT_EQ(p.Decode(z.Data(), back.data(), stored, &len), 0);
  EXPECT_EQ(len, 1000u);
  EXPECT_EQ(back, same);
  EXPECT_TRUE(boxes.calls().empty());

  std::vector<BYTE> noise = Noise(50, 1);
  CMemFile raw;
  EXPECT_EQ(p.WriteEncode(raw, noise.data(), 50), 50u);
  EXPECT_EQ(Contents(raw), noise);
  back.assign(50, 0);
  len = 50;
  EXPECT_EQ(p.Decode(raw.Data(), back.data(), 50, &len), 0);
  EXPECT_EQ(back, noise);

  CMemFile empty;
  EXPECT_EQ(p.WriteEncode(empty, nullptr, 0), 0u);
  EXPECT_EQ(empty.GetLength(), 0u);
  len = 0;
  EXPECT_EQ(p.Decode(nullptr, nullptr, 0, &len), 0);

  auto copy = std::unique_ptr<BYTE[]>(new BYTE[50]);
  std::memcpy(copy.get(), noise.data(), 50);
  EXPECT_EQ(p.Encode(std::move(copy), 50), 50u);
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{kNoShrink, kNoShrink, "Encode failed!"}));
  EXPECT_EQ(packet::EncodeCapacity(1), 13u);
  EXPECT_EQ(packet::EncodeCapacity(3), 16u);
}

TEST(PacketEncode, DecodeRefusesDamagedOrOversizedStreams) {
  TestPacket p("unused");
  std::vector<BYTE> item = Words(5000), z;
  ASSERT_TRUE(packet::CompressItem(item.data(), item.size(), &z));
  std::vector<BYTE> back(5000);

  std::vector<BYTE> bad = z;
  bad[bad.size() / 2] ^= 0x55;
  bad[bad.size() - 1] ^= 0x01;  // the checksum too, so no flip slips through
  DWORD len = 5000;
  EXPECT_EQ(p.Decode(bad.data(), back.data(), static_cast<DWORD>(bad.size()), &len), -1);
  EXPECT_EQ(len, 5000u);
  len = 4999;  // one byte short of room
  EXPECT_EQ(p.Decode(z.data(), back.data(), static_cast<DWORD>(z.size()), &len), -1);
  len = 5000;
  EXPECT_EQ(p.Decode(z.data(), back.data(), static_cast<DWORD>(z.size() - 3), &len), -1);
}

// StreamEncode must write exactly what WriteEncode writes, whatever the size.
TEST(StreamCodec, EncodesLikeWriteEncodeAndDecodesBack) {
  BoxRecorder boxes;
  TestPacket p("unused");
  const size_t k = 64 * 1024;
  std::vector<std::vector<BYTE>> inputs = {
      {}, {'a'}, Words(k - 1), Words(k), Words(k + 1), Noise(k + 1, 3), Words(3 * 1024 * 1024 + 7),
  };
  // Barely compressible: the stream ends up just short of the input.
  std::vector<BYTE> mixed = Noise(200000, 9);
  std::memset(mixed.data(), 0, 3000);
  inputs.push_back(mixed);
  inputs.push_back(std::vector<BYTE>(2 * k, 0));

  for (const auto& in : inputs) {
    SCOPED_TRACE(in.size());
    CMemFile expect;
    DWORD stored = p.WriteEncode(expect, in.data(), static_cast<DWORD>(in.size()));

    CMemFile src(in.data(), in.size()), got;
    got.Write("pre", 3);
    packet::StreamEncodeResult r = packet::StreamEncode(src, in.size(), got);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.stored, stored);
    EXPECT_EQ(r.shrank, stored < in.size());
    EXPECT_EQ(got.GetPosition(), 3 + r.stored);
    std::vector<BYTE> all = Contents(got);
    ASSERT_EQ(all.size(), 3 + r.stored);
    EXPECT_TRUE(std::equal(all.begin() + 3, all.end(), expect.Data()));

    std::vector<BYTE> z;
    EXPECT_EQ(packet::CompressItem(in.data(), in.size(), &z), r.shrank);
    if (r.shrank) {
      EXPECT_EQ(z, std::vector<BYTE>(expect.Data(), expect.Data() + stored));
    }

    CMemFile storedFile(expect.Data(), stored), back;
    ASSERT_TRUE(packet::StreamDecode(storedFile, stored, static_cast<DWORD>(in.size()), &back));
    EXPECT_EQ(Contents(back), in);
  }
}

TEST(StreamCodec, DecodeRefusesDamage) {
  std::vector<BYTE> item = Words(100000), z;
  ASSERT_TRUE(packet::CompressItem(item.data(), item.size(), &z));
  const DWORD n = static_cast<DWORD>(item.size());
  auto decode = [&](std::vector<BYTE> bytes, DWORD stored, DWORD orig) {
    CMemFile in(bytes.data(), bytes.size());
    return packet::StreamDecode(in, stored, orig, nullptr);
  };
  EXPECT_TRUE(decode(z, static_cast<DWORD>(z.size()), n));
  EXPECT_FALSE(decode(z, static_cast<DWORD>(z.size()), n - 1));  // inflates to more
  EXPECT_FALSE(decode(z, static_cast<DWORD>(z.size()), n + 1));  // inflates to less
  EXPECT_FALSE(decode(z, static_cast<DWORD>(z.size() - 1), n));  // cut short
  std::vector<BYTE> extra = z;
  extra.push_back(0);
  EXPECT_FALSE(decode(extra, static_cast<DWORD>(extra.size()), n));  // stray byte
  std::vector<BYTE> bad = z;
  bad[10] ^= 0xFF;
  EXPECT_FALSE(decode(bad, static_cast<DWORD>(bad.size()), n));
  EXPECT_FALSE(decode(z, static_cast<DWORD>(z.size() + 10), n));  // source too short
  EXPECT_FALSE(decode({}, 0, 5));
  EXPECT_TRUE(decode({}, 0, 0));
}

}  // namespace

namespace {

// Items streamed into the packet file itself and back out of the data block.
class StreamingPacket : public TestPacket {
 public:
  using TestPacket::TestPacket;
  std::vector<std::vector<BYTE>> sources, restored;
  std::vector<DWORD> origSizes;

  int WriteDataInfo(CFile& f) override {
    for (const auto& s : sources) {
      CMemFile in(s.data(), s.size());
      packet::StreamEncodeResult r = packet::StreamEncode(in, s.size(), f);
      if (!r.ok) return FALSE;
      m_dwaDataSize.Add(static_cast<DWORD>(r.stored));
    }
    return TRUE;
  }
  int UnpackDataInfo(CFile& f) override {
    for (int i = 0; i < m_dwaDataSize.GetSize(); ++i) {
      CMemFile out;
      if (!packet::StreamDecode(f, m_dwaDataSize[i], origSizes[static_cast<size_t>(i)], &out)) return FALSE;
      restored.push_back(Contents(out));
    }
    return TRUE;
  }
};

TEST(StreamCodec, ItemsStreamThroughThePacketFile) {
  TempDir dir;
  StreamingPacket w(dir / "s.pk");
  w.sources = {Noise(70000, 2), Words(150000), {}, Noise(5, 4)};
  w.m_wFileCount = 4;
  ASSERT_TRUE(w.WritePacket());

  StreamingPacket r(dir / "s.pk");
  for (const auto& s : w.sources) r.origSizes.push_back(static_cast<DWORD>(s.size()));
  ASSERT_TRUE(r.Unpack());
  EXPECT_EQ(r.restored, w.sources);
  EXPECT_EQ(r.m_dwaDataSize[0], 70000u);
  EXPECT_LT(r.m_dwaDataSize[1], 150000u);

  // An input shorter than announced is a failure, not a short item.
  std::vector<BYTE> ten = Noise(10, 1);
  CMemFile shortSrc(ten.data(), ten.size()), out;
  EXPECT_FALSE(packet::StreamEncode(shortSrc, 20, out).ok);
}

}  // namespace
