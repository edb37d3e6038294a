#include <gtest/gtest.h>
#include <string>
#include "support/support.h"
#include "test_packet.h"

using tarntest::BoxRecorder;
using tarntest::ReadFileBytes;
using tarntest::TempDir;
using tarntest::WriteFileBytes;

namespace {

std::string Le32(DWORD v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

const std::string kHead = std::string("\x0ATarnPKV2.0", 11) + std::string(1, '\0') + Le32(0) +
                          std::string("\x02\x00", 2);

void Seed(TestPacket& p) {
  p.m_strPassword = "keep";
  p.m_wFileCount = 99;
  p.m_dwReserved = 5;
  p.m_dwaDataSize.RemoveAll();
  p.m_dwaDataSize.Add(1);
  p.m_dwaDataSize.Add(2);
}

void ExpectUntouched(const TestPacket& p) {
  EXPECT_EQ(p.m_strPassword, CString("keep"));
  EXPECT_EQ(p.m_wFileCount, 99);
  EXPECT_EQ(p.m_dwReserved, 5u);
  EXPECT_EQ(p.m_dwaDataSize.vec(), (std::vector<DWORD>{1, 2}));
  EXPECT_EQ(p.indexCalls + p.dataCalls + p.unpackCalls, 0);
}

// Runs the four readers of the whole frame; each must fail with the damaged
// message and change nothing.
void ExpectDamaged(const std::string& path, const std::string& what) {
  const std::string text = "'" + path + "' is damaged or incomplete!";
  for (int mode = 0; mode < 4; ++mode) {
    BoxRecorder boxes;
    TestPacket r(path);
    Seed(r);
    int ok = mode == 0   ? r.GetIndxInfo()
             : mode == 1 ? r.ReadPacket()
             : mode == 2 ? r.Unpack()
                         : r.GetDataSizeTable();
    EXPECT_FALSE(ok) << what << " mode " << mode;
    ASSERT_EQ(boxes.calls().size(), 1u) << what << " mode " << mode;
    EXPECT_EQ(boxes.calls()[0].text, text);
    EXPECT_EQ(boxes.calls()[0].caption, mode == 3 ? "WritePacket error" : "ReadPacket error");
    ExpectUntouched(r);
  }
}

TEST(PacketDamage, EveryTruncationFailsCleanly) {
  TempDir dir;
  const std::string full = dir / "full.pk";
  TestPacket w(full);
  w.SetPassword("pw");
  w.m_wFileCount = 2;
  w.items = {"alpha", "beta"};
  w.indexBytes = "ix";
  ASSERT_TRUE(w.WritePacket());
  const std::string bytes = ReadFileBytes(full);
  const size_t dataEnd = 11 + 3 + 4 + 2 + 4 + 9;

  TestPacket loaded(full);
  ASSERT_TRUE(loaded.GetIndxInfo());
  const std::string cut = dir / "cut.pk";
  for (size_t n = 0; n < bytes.size(); ++n) {
    ASSERT_TRUE(WriteFileBytes(cut, bytes.substr(0, n)));
    ExpectDamaged(cut, "cut at " + std::to_string(n));

    // GetData needs only the header and the data block.
    BoxRecorder boxes;
    loaded.m_strPacketFile = cut.c_str();
    CMemFile out;
    EXPECT_EQ(loaded.GetData(1, out), n >= dataEnd ? TRUE : FALSE) << n;
    EXPECT_EQ(boxes.calls().size(), n >= dataEnd ? 0u : 1u) << n;
  }
}

TEST(PacketDamage, LengthsPastTheEndAreRefused) {
  TempDir dir;
  const std::string path = dir / "bad.pk";
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"data block", kHead + Le32(0xFFFFFFF0u) + Le32(0) + std::string(2, '\0')},
      {"index block", kHead + Le32(0) + Le32(0x7FFFFFFFu) + std::string(2, '\0')},
      {"table count", kHead + Le32(0) + Le32(0) + std::string("\xFF\xFF", 2) + Le32(0x40000000u)},
      {"short table", kHead + Le32(0) + Le32(0) + std::string("\x02\x00", 2) + Le32(0)},
      {"sizes over data", kHead + Le32(4) + "abcd" + Le32(0) + std::string("\x02\x00", 2) + Le32(3) + Le32(2)},
      {"version length", std::string("\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 7) + "TarnPKV2.0"},
      {"password", std::string("\x0ATarnPKV2.0\x07pw", 14)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    ExpectDamaged(path, c.what);
  }
}

TEST(PacketDamage, GetDataSlotPastTheDataBlock) {
  TempDir dir;
  TestPacket big(dir / "big.pk");
  big.m_wFileCount = 2;
  big.items = {"0123456789", "abcdefghij"};
  ASSERT_TRUE(big.WritePacket());
  TestPacket small(dir / "small.pk");
  small.m_wFileCount = 2;
  small.items = {"0123456789", "abc"};
  ASSERT_TRUE(small.WritePacket());

  TestPacket r(dir / "big.pk");
  ASSERT_TRUE(r.GetIndxInfo());
  r.m_strPacketFile = (dir / "small.pk").c_str();
  BoxRecorder boxes;
  CMemFile out;
  EXPECT_TRUE(r.GetData(0, out));
  EXPECT_FALSE(r.GetData(1, out));
  ASSERT_EQ(boxes.calls().size(), 1u);
  EXPECT_EQ(boxes.calls()[0].text, "'" + (dir / "small.pk") + "' is damaged or incomplete!");
  EXPECT_EQ(boxes.calls()[0].caption, "WritePacket error");
}

// The index block and size table follow the data block, so a slot that
// overruns it by one byte would still read: only the bound check stops it.
TEST(PacketDamage, GetDataSlotEndsAtTheDataBlockExactly) {
  TempDir dir;
  TestPacket w(dir / "p.pk");
  w.m_wFileCount = 2;
  w.items = {"0123456789", "abc"};
  w.indexBytes = "index bytes";
  ASSERT_TRUE(w.WritePacket());

  TestPacket r(dir / "p.pk");
  ASSERT_TRUE(r.GetIndxInfo());
  BoxRecorder boxes;
  for (DWORD last : {3u, 2u}) {  // the slot ends at the block's end, or before
    r.m_dwaDataSize.SetAt(1, last);
    CMemFile out;
    EXPECT_TRUE(r.GetData(1, out)) << last;
    EXPECT_EQ(ReadWhole(out), std::string("abc", last));
  }
  r.m_dwaDataSize.SetAt(1, 4);
  CMemFile out;
  EXPECT_FALSE(r.GetData(1, out));
  EXPECT_EQ(out.GetLength(), 0u);
  r.m_dwaDataSize.SetAt(0, 11);  // an earlier slot that overruns moves the last one out
  r.m_dwaDataSize.SetAt(1, 3);
  EXPECT_FALSE(r.GetData(1, out));
  EXPECT_EQ(boxes.texts(), std::vector<std::string>(2, "'" + (dir / "p.pk") + "' is damaged or incomplete!"));
}

}  // namespace
