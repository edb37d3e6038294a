#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "afx/file.h"
#include "platform/file.h"
#include "support/support.h"

using ::testing::ElementsAre;
using tarntest::TempDir;

namespace {

TEST(MemFile, GrowsSeeksAndFillsGaps) {
  CMemFile f(16);
  std::string piece = "0123456789";
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(f.Write(piece.data(), piece.size()));
  EXPECT_EQ(f.GetLength(), 3000u);
  EXPECT_EQ(f.GetPosition(), 3000u);
  EXPECT_EQ(f.Seek(-5, CFile::end), 2995);
  char buf[16] = {};
  EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
  EXPECT_EQ(std::string(buf, 5), "56789");
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(f.Seek(-1, CFile::begin), -1);
  // Writing past the end leaves zeros in between.
  EXPECT_EQ(f.Seek(3004, CFile::begin), 3004);
  ASSERT_TRUE(f.Write("x", 1));
  EXPECT_EQ(f.GetLength(), 3005u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.Data()) + 3000, 5), std::string("\0\0\0\0x", 5));
  EXPECT_TRUE(f.SetLength(2));
  EXPECT_EQ(f.GetPosition(), 2u);
}

TEST(MemFile, AttachReadsInPlaceAndCopiesOnWrite) {
  const std::string data = "abcdef";
  CMemFile f(reinterpret_cast<const BYTE*>(data.data()), data.size());
  EXPECT_EQ(f.Data(), reinterpret_cast<const BYTE*>(data.data()));
  char buf[3];
  EXPECT_EQ(f.Read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "abc");
  ASSERT_TRUE(f.Write("XY", 2));
  EXPECT_EQ(data, "abcdef");
  EXPECT_NE(f.Data(), reinterpret_cast<const BYTE*>(data.data()));
  std::vector<BYTE> out = f.Detach();
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcXYf");
  EXPECT_EQ(f.GetLength(), 0u);
  EXPECT_EQ(f.GetPosition(), 0u);
  // Detach of an attached buffer hands over a copy.
  CMemFile g(reinterpret_cast<const BYTE*>(data.data()), data.size());
  out = g.Detach();
  EXPECT_EQ(std::string(out.begin(), out.end()), data);
}

TEST(StdioFile, TextModeStoresCrLfAndReadsItBack) {
  TempDir dir;
  std::string path = dir / "t.txt";
  {
    CStdioFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText));
    EXPECT_TRUE(f.WriteString("one\ntwo\n\nlone\rcr\n"));
    EXPECT_TRUE(f.WriteString(std::string(5000, 'L').c_str()));
    EXPECT_TRUE(f.WriteString("\nend"));
    f.Close();
    EXPECT_FALSE(f.IsFailed());
  }
  EXPECT_EQ(tarntest::ReadFileBytes(path),
            "one\r\ntwo\r\n\r\nlone\rcr\r\n" + std::string(5000, 'L') + "\r\nend");
  CStdioFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead | CFile::typeText));
  std::vector<std::string> lines;
  CString line;
  while (f.ReadString(line)) lines.push_back(line.str());
  EXPECT_THAT(lines, ElementsAre("one", "two", "", "lone\rcr", std::string(5000, 'L'), "end"));
}

TEST(StdioFile, BinaryModeKeepsLineFeeds) {
  TempDir dir;
  std::string path = dir / "b.txt";
  {
    CStdioFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
    f.WriteString("a\nb\r\n");
  }
  EXPECT_EQ(tarntest::ReadFileBytes(path), "a\nb\r\n");
  CStdioFile f;
  ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead | CFile::typeBinary));
  CString line;
  ASSERT_TRUE(f.ReadString(line));
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "b\r");
}

TEST(FileStatus, TimesAndReadOnlyRoundTrip) {
  TempDir dir;
  std::string path = dir / "s.bin";
  ASSERT_TRUE(tarntest::WriteFileBytes(path, "12345"));
  CFileStatus st;
  ASSERT_TRUE(CFile::GetStatus(path.c_str(), st));
  EXPECT_EQ(st.m_size, 5);
  st.m_mtime = 981173106;   // 2001-02-03 04:05:06 UTC
  st.m_atime = 2240611200;  // 2041: past what 32 signed bits hold
  st.m_attribute = platform::kAttrReadOnly;
  ASSERT_TRUE(CFile::SetStatus(path.c_str(), st));
  CFileStatus back;
  ASSERT_TRUE(CFile::GetStatus(path.c_str(), back));
  EXPECT_EQ(back.m_mtime, 981173106);
  EXPECT_EQ(back.m_atime, 2240611200);
  EXPECT_TRUE(back.m_attribute & platform::kAttrReadOnly);
  // A last-write time of 0 leaves the times alone; the attributes still go.
  back.m_mtime = 0;
  back.m_atime = 1;
  back.m_attribute = 0;
  ASSERT_TRUE(CFile::SetStatus(path.c_str(), back));
  CFileStatus again;
  ASSERT_TRUE(CFile::GetStatus(path.c_str(), again));
  EXPECT_EQ(again.m_mtime, 981173106);
  EXPECT_EQ(again.m_atime, 2240611200);
  EXPECT_FALSE(again.m_attribute & platform::kAttrReadOnly);
  EXPECT_FALSE(CFile::GetStatus((dir / "none").c_str(), again));
}

}  // namespace
