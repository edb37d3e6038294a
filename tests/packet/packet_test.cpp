#include <gtest/gtest.h>
#include <string>
#include "support/support.h"
#include "test_packet.h"

using tarntest::BoxRecorder;
using tarntest::ReadFileBytes;
using tarntest::TempDir;

namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

TEST(PacketFrame, EmptyPacketIsTwentyEightBytesAndReadsBack) {
  TempDir dir;
  TestPacket p(dir / "empty.pk");
  BoxRecorder boxes;
  ASSERT_TRUE(p.WritePacket());
  std::string expect = "\x0ATarnPKV2.0" + std::string(17, '\0');
  EXPECT_EQ(ReadFileBytes(dir / "empty.pk"), expect);

  TestPacket q(dir / "empty.pk");
  q.m_wFileCount = 9;
  q.m_dwaDataSize.Add(5);
  ASSERT_TRUE(q.GetIndxInfo());
  EXPECT_EQ(q.m_wFileCount, 0);
  EXPECT_EQ(q.m_dwaDataSize.GetSize(), 0);
  EXPECT_EQ(q.indexCalls, 1);
  EXPECT_TRUE(boxes.calls().empty());
}

TEST(PacketFrame, FieldsBlocksAndTableRoundTrip) {
  TempDir dir;
  const std::string path = dir / "p.pk";
  TestPacket w(path);
  w.m_strVersion = "TARN_TSPV1.0";
  w.m_wFileCount = 36;
  w.m_dwReserved = 0x01020304;
  w.SetPassword("abc");
  w.items = {"first", "", "third item"};
  w.indexBytes = "INDEX";
  ASSERT_TRUE(w.WritePacket());

  std::string file = ReadFileBytes(path);
  std::string head = "\x0CTARN_TSPV1.0" + Bytes({3, 'a', 'b', 'c', 4, 3, 2, 1, 0x24, 0, 15, 0, 0, 0});
  ASSERT_GE(file.size(), head.size());
  EXPECT_EQ(file.substr(0, head.size()), head);
  std::string tail = "firstthird item" + Bytes({5, 0, 0, 0}) + "INDEX" +
                     Bytes({3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0});
  EXPECT_EQ(file.substr(head.size()), tail);

  // Every reader loads the header fields and the table; only the data
  // readers reach the data block, each through its own hook.
  for (int mode = 0; mode < 3; ++mode) {
    TestPacket r(path);
    r.m_strVersion = "TARN_TSPV1.0";
    int ok = mode == 0 ? r.GetIndxInfo() : mode == 1 ? r.ReadPacket() : r.Unpack();
    ASSERT_TRUE(ok) << mode;
    CString pw;
    r.GetPassword(pw);
    EXPECT_EQ(pw, CString("abc"));
    EXPECT_EQ(r.m_dwReserved, 0x01020304u);
    EXPECT_EQ(r.m_wFileCount, 36);
    EXPECT_EQ(r.m_dwaDataSize.vec(), (std::vector<DWORD>{5, 0, 10}));
    EXPECT_EQ(r.readIndex, "INDEX");
    EXPECT_EQ(r.dataCalls, mode == 1 ? 1 : 0);
    EXPECT_EQ(r.unpackCalls, mode == 2 ? 1 : 0);
    EXPECT_EQ(mode == 1 ? r.readData : r.unpackData, mode == 0 ? "" : "firstthird item");
  }
}

TEST(PacketFrame, GetDataCopiesOneSlotAndKeepsToTheBounds) {
  TempDir dir;
  TestPacket w(dir / "p.pk");
  w.m_wFileCount = 3;
  w.items = {"abc", "", "defgh"};
  ASSERT_TRUE(w.WritePacket());

  TestPacket r(dir / "p.pk");
  ASSERT_TRUE(r.GetIndxInfo());
  for (DWORD k = 0; k < 3; ++k) {
    CMemFile out;
    out.Write("x", 1);
    ASSERT_TRUE(r.GetData(k, out));
    EXPECT_EQ(out.GetPosition(), 0u);
    EXPECT_EQ(ReadWhole(out), "x" + w.items[k]);
  }
  CMemFile out;
  EXPECT_FALSE(r.GetData(3, out));  // k == file count == table size
  r.m_wFileCount = 2;
  EXPECT_FALSE(r.GetData(2, out));  // k == file count
  r.m_wFileCount = 10;
  EXPECT_FALSE(r.GetData(3, out));  // k == table size
  EXPECT_EQ(out.GetLength(), 0u);

  // The size table alone, read over a stale one.
  r.m_dwaDataSize.RemoveAll();
  r.m_dwaDataSize.Add(77);
  ASSERT_TRUE(r.GetDataSizeTable());
  EXPECT_EQ(r.m_dwaDataSize.vec(), (std::vector<DWORD>{3, 0, 5}));
}

TEST(PacketFrame, LargeSizeTableUsesTheLongCount) {
  TempDir dir;
  TestPacket w(dir / "p.pk");
  w.items.assign(65535, std::string());
  ASSERT_TRUE(w.WritePacket());
  std::string file = ReadFileBytes(dir / "p.pk");
  ASSERT_EQ(file.size(), 26u + 6 + 65535u * 4);
  EXPECT_EQ(file.substr(26, 6), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));

  TestPacket r(dir / "p.pk");
  ASSERT_TRUE(r.GetIndxInfo());
  EXPECT_EQ(r.m_dwaDataSize.GetSize(), 65535);
}

TEST(PacketFrame, VersionMismatchIsCaseSensitiveAndKeepsFields) {
  TempDir dir;
  TestPacket w(dir / "p.pk");
  w.SetPassword("pw");
  w.m_wFileCount = 4;
  ASSERT_TRUE(w.WritePacket());

  BoxRecorder boxes;
  TestPacket r(dir / "p.pk");
  r.m_strVersion = "TarnPKv2.0";
  r.m_wFileCount = 7;
  EXPECT_FALSE(r.GetIndxInfo());
  EXPECT_FALSE(r.ReadPacket());
  EXPECT_FALSE(r.Unpack());
  ASSERT_EQ(boxes.calls().size(), 3u);
  EXPECT_EQ(boxes.calls()[0].text, "invalid version!'");
  EXPECT_EQ(boxes.calls()[1].text, "Invaild version!'");
  EXPECT_EQ(boxes.calls()[2].text, "Invaild version!'");
  for (const auto& c : boxes.calls()) EXPECT_EQ(c.caption, "ReadPacket error");
  EXPECT_EQ(r.m_wFileCount, 7);
  EXPECT_TRUE(r.m_strPassword.IsEmpty());
  EXPECT_EQ(r.indexCalls, 0);

  // The other version of the same length fails too.
  r.m_strVersion = "TarnPKV2.1";
  EXPECT_FALSE(r.GetIndxInfo());
}

TEST(PacketFrame, MissingFilesAreReportedPerOperation) {
  TempDir dir;
  const std::string path = dir / "none.pk";
  BoxRecorder boxes;
  TestPacket r(path);
  r.m_wFileCount = 1;
  r.m_dwaDataSize.Add(1);
  CMemFile out;
  EXPECT_FALSE(r.GetIndxInfo());
  EXPECT_FALSE(r.Unpack());
  EXPECT_FALSE(r.GetData(0, out));
  EXPECT_FALSE(r.GetDataSizeTable());
  TestPacket w(dir / "no such dir\\p.pk");
  EXPECT_FALSE(w.WritePacket());
  ASSERT_EQ(boxes.calls().size(), 5u);
  EXPECT_EQ(boxes.calls()[0].text, "Can't open'" + path + "'file!!");
  EXPECT_EQ(boxes.calls()[0].caption, "ReadPacket error");
  EXPECT_EQ(boxes.calls()[1].caption, "ReadPacket error");
  EXPECT_EQ(boxes.calls()[2].text, "Can't open'" + path + "'file!!");
  EXPECT_EQ(boxes.calls()[2].caption, "WritePacket error");
  EXPECT_EQ(boxes.calls()[3].text, "Can't open '" + path + "'file!!");
  EXPECT_EQ(boxes.calls()[3].caption, "WritePacket error");
  EXPECT_EQ(boxes.calls()[4].text, "Can't open'" + (dir / "no such dir\\p.pk") + "'file!!");
  EXPECT_EQ(boxes.calls()[4].caption, "WritePacket error");
}

TEST(PacketPassword, ShorterThanEightBytesOnly) {
  TempDir dir;
  BoxRecorder boxes;
  TestPacket p(dir / "p.pk");
  p.SetPassword("1234567");
  EXPECT_TRUE(boxes.calls().empty());
  p.SetPassword("12345678");
  CString pw;
  p.GetPassword(pw);
  EXPECT_EQ(pw, CString("1234567"));
  ASSERT_EQ(boxes.calls().size(), 1u);
  EXPECT_EQ(boxes.calls()[0].text, "The length of password must be smaller than 8 !");
  EXPECT_EQ(boxes.calls()[0].caption, "Error");
  EXPECT_EQ(boxes.calls()[0].type, static_cast<UINT>(MB_OK));
}

}  // namespace

namespace {

class ClosingPacket : public TestPacket {
 public:
  using TestPacket::TestPacket;
  int WriteDataInfo(CFile& f) override {
    f.Close();  // every later write fails, as on a full disk
    return TRUE;
  }
};

TEST(PacketFrame, FailedWriteIsReportedAndLeavesNoPacket) {
  TempDir dir;
  const std::string path = dir / "p.pk";
  BoxRecorder boxes;
  ClosingPacket w(path);
  EXPECT_FALSE(w.WritePacket());
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Can't write'" + path + "'file!!"});
  EXPECT_FALSE(CFileFind().FindFile(path.c_str()));
}

}  // namespace
