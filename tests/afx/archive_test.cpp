#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "afx/archive.h"
#include "afx/file.h"

using ::testing::ElementsAre;

namespace {

std::string Bytes(const CMemFile& f) {
  return std::string(reinterpret_cast<const char*>(f.Data()), static_cast<size_t>(f.GetLength()));
}

std::string Stored(const CString& s) {
  CMemFile f;
  {
    CArchive ar(&f, CArchive::store);
    ar << s;
  }
  return Bytes(f);
}

std::string StoredCount(DWORD n) {
  CMemFile f;
  {
    CArchive ar(&f, CArchive::store);
    ar.WriteCount(n);
  }
  return Bytes(f);
}

TEST(ArchiveCountedString, LengthFormsAtTheirBoundaries) {
  struct Case {
    size_t length;
    std::string prefix;
  } cases[] = {
      {0, std::string("\x00", 1)},
      {254, "\xFE"},
      {255, std::string("\xFF\xFF\x00", 3)},
      {65533, "\xFF\xFD\xFF"},
      {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
      {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'a');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    std::string bytes = Stored(CString(text));
    ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
    EXPECT_EQ(bytes.substr(0, c.prefix.size()), c.prefix);
    EXPECT_EQ(bytes.substr(c.prefix.size()), text);

    CMemFile in(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    CArchive ar(&in, CArchive::load);
    CString back("junk");
    ar >> back;
    EXPECT_FALSE(ar.IsBad());
    EXPECT_EQ(back.str(), text);
    EXPECT_EQ(ar.Remaining(), 0u);
  }
}

TEST(ArchiveCountedString, ShortDataTurnsTheArchiveBad) {
  // Claims 0x7FFFFFFF bytes, holds five: no read past them, no giant buffer.
  std::string bytes("\xFF\xFF\xFF\xFF\xFF\xFF\x7F" "abcde", 12);
  CMemFile in(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  CArchive ar(&in, CArchive::load);
  CString s;
  ar >> s;
  EXPECT_TRUE(ar.IsBad());
  EXPECT_LE(s.GetLength(), 5);
  DWORD later = 7;
  ar >> later;
  EXPECT_EQ(later, 0u);
  // A prefix cut inside its own length field.
  std::string cut("\xFF\x10", 2);
  CMemFile in2(reinterpret_cast<const BYTE*>(cut.data()), cut.size());
  CArchive ar2(&in2, CArchive::load);
  ar2 >> s;
  EXPECT_TRUE(ar2.IsBad());
  EXPECT_TRUE(s.IsEmpty());
}

TEST(ArchiveCount, TwoFormsAroundTheEscape) {
  EXPECT_EQ(StoredCount(0), std::string("\x00\x00", 2));
  EXPECT_EQ(StoredCount(65534), std::string("\xFE\xFF", 2));
  EXPECT_EQ(StoredCount(65535), std::string("\xFF\xFF\xFF\xFF\x00\x00", 6));
  EXPECT_EQ(StoredCount(0x12345678), std::string("\xFF\xFF\x78\x56\x34\x12", 6));
  for (DWORD n : {0u, 65534u, 65535u, 0x12345678u}) {
    std::string bytes = StoredCount(n);
    CMemFile in(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    CArchive ar(&in, CArchive::load);
    EXPECT_EQ(ar.ReadCount(), n);
    EXPECT_FALSE(ar.IsBad());
  }
}

std::vector<std::string> ReadLines(const std::string& text, int bufSize = 4096) {
  CMemFile in(reinterpret_cast<const BYTE*>(text.data()), text.size());
  CArchive ar(&in, CArchive::load, bufSize);
  std::vector<std::string> out;
  CString line;
  while (ar.ReadString(line)) out.push_back(line.str());
  return out;
}

TEST(ArchiveReadString, LineEnds) {
  const std::string text = "a\nb\r\nc\rd\n\n\r\nlast";
  EXPECT_THAT(ReadLines(text), ElementsAre("a", "b", "c\rd", "", "", "last"));
  // The same with a buffer so small that every line end straddles a refill.
  EXPECT_THAT(ReadLines(text, 1), ElementsAre("a", "b", "c\rd", "", "", "last"));
  EXPECT_THAT(ReadLines(text, 2), ElementsAre("a", "b", "c\rd", "", "", "last"));
  EXPECT_THAT(ReadLines("x\r"), ElementsAre("x\r"));
  EXPECT_THAT(ReadLines("x\n"), ElementsAre("x"));
  EXPECT_TRUE(ReadLines("").empty());
}

TEST(ArchiveReadString, LinesLongerThanTheBuffer) {
  std::string a(4095, 'a'), b(1 << 20, 'b');
  // a's CR is the last byte of the first buffer, its LF the first of the next.
  std::string text = a + "\r\n" + b + "\n" + std::string("z\0z", 3);
  auto lines = ReadLines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], a);
  EXPECT_EQ(lines[1], b);
  EXPECT_EQ(lines[2], std::string("z\0z", 3));
}

TEST(ArchiveStore, WritesLargeAndSmallPiecesInOrder) {
  CMemFile f;
  std::string big(10000, 'q');
  {
    CArchive ar(&f, CArchive::store, 16);
    ar << static_cast<BYTE>(1) << static_cast<WORD>(0x0302) << static_cast<DWORD>(0x07060504);
    ar.Write(big.data(), big.size());
    ar.WriteString("end");
  }
  std::string bytes = Bytes(f);
  EXPECT_EQ(bytes.substr(0, 7), "\x01\x02\x03\x04\x05\x06\x07");
  EXPECT_EQ(bytes.substr(7, big.size()), big);
  EXPECT_EQ(bytes.substr(7 + big.size()), "end");
}

}  // namespace
