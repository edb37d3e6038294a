#include <gtest/gtest.h>
#include <array>
#include "support/support.h"
#include "test_package.h"

namespace {

std::vector<BYTE> WriteBlock(TestPackage& p) {
  CMemFile f;
  EXPECT_TRUE(p.WriteIndexInfo(f));
  return f.Detach();
}

// Two records: one with every field set, one with a 255-byte target path.
void AddSample(TestPackage& p) {
  TSPIndex& a = p.Add("<TARGETDIR>\\bin\\\xC4\xE3.exe", IF_RUN | IF_REGISTER);
  a.m_strShortcutPath = "<DESKTOP_FOLDER>\\App.lnk";
  a.m_strCommandLine = "/s";
  a.m_byIconId = 7;
  a.m_dwOrigSize = 0x01020304;
  a.m_dwStoredSize = 0x0A0B0C0D;
  a.m_tCreate = 1000000000;
  a.m_tModify = 1100000000;
  a.m_tAccess = 0xFFFFFFFF;
  a.m_dwOSVersion = 3;
  a.m_dwProtected = 1;
  p.Add(("<WINDIR>\\" + std::string(246, 'x')).c_str(), IF_NO_DATA);
}

}  // namespace

TEST(IndexBlock, RecordLayoutIsExact) {
  TestPackage p;
  TSPIndex& r = p.Add("<WINDIR>\\a", IF_TEMPORARY);
  r.m_dwOrigSize = 5;
  r.m_dwStoredSize = 4;
  r.m_byIconId = 2;
  r.m_tModify = 0x11223344;
  r.m_dwProtected = 0x01;
  std::vector<BYTE> expected = {1, 0,                                    // count
                                10, '<', 'W', 'I', 'N', 'D', 'I', 'R', '>', '\\', 'a',
                                0,                                       // shortcut
                                5, 0, 0, 0, 4, 0, 0, 0,                  // sizes
                                IF_TEMPORARY, 2,                         // flag, icon
                                0,                                       // command line
                                0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0,
                                0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(WriteBlock(p), expected);
  EXPECT_EQ(expected.size(), 2u + 33u + 10u);
}

TEST(IndexBlock, RoundTripKeepsEveryFieldAndPostsProgress) {
  TestPackage writer;
  AddSample(writer);
  ASSERT_EQ(writer.m_arrIndex[1]->m_strTargetPath.GetLength(), 255);
  std::vector<BYTE> block = WriteBlock(writer);

  tarntest::NotifyRecorder notes;
  TestPackage reader(nullptr, nullptr, FakeWindow());
  reader.Add("stale");
  CMemFile f(block.data(), block.size());
  ASSERT_TRUE(reader.ReadIndexInfo(f));
  ASSERT_EQ(reader.m_arrIndex.GetSize(), 2);
  for (int i = 0; i < 2; ++i) {
    const TSPIndex& w = *writer.m_arrIndex[i];
    const TSPIndex& r = *reader.m_arrIndex[i];
    EXPECT_EQ(r.m_strTargetPath, w.m_strTargetPath);
    EXPECT_EQ(r.m_strShortcutPath, w.m_strShortcutPath);
    EXPECT_EQ(r.m_strCommandLine, w.m_strCommandLine);
    EXPECT_EQ(r.m_byIconId, w.m_byIconId);
    EXPECT_EQ(r.m_byInstallFlag, w.m_byInstallFlag);
    EXPECT_EQ(r.m_dwOrigSize, w.m_dwOrigSize);
    EXPECT_EQ(r.m_dwStoredSize, w.m_dwStoredSize);
    EXPECT_EQ(r.m_tCreate, w.m_tCreate);
    EXPECT_EQ(r.m_tModify, w.m_tModify);
    EXPECT_EQ(r.m_tAccess, w.m_tAccess);
    EXPECT_EQ(r.m_dwOSVersion, w.m_dwOSVersion);
    EXPECT_EQ(r.m_dwProtected, w.m_dwProtected);
  }
  const std::vector<std::array<uint64_t, 3>> expected = {
      {WM_SETUP_INFO_BEGIN, 2, 0}, {WM_SETUP_INFO_STEP, 0, 2},
      {WM_SETUP_INFO_STEP, 1, 2},  {WM_SETUP_INFO_END, 2, 0}};
  ASSERT_EQ(notes.calls().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(notes.calls()[i].wnd, FakeWindow());
    EXPECT_EQ(notes.calls()[i].msg, expected[i][0]);
    EXPECT_EQ(static_cast<uint64_t>(notes.calls()[i].wp), expected[i][1]);
    EXPECT_EQ(static_cast<uint64_t>(notes.calls()[i].lp), expected[i][2]);
  }
}

TEST(IndexBlock, EmptyIndexPostsBeginAndEndOnly) {
  TestPackage writer;
  std::vector<BYTE> block = WriteBlock(writer);
  EXPECT_EQ(block, std::vector<BYTE>({0, 0}));

  tarntest::NotifyRecorder notes;
  TestPackage reader(nullptr, nullptr, FakeWindow());
  CMemFile f(block.data(), block.size());
  EXPECT_TRUE(reader.ReadIndexInfo(f));
  EXPECT_EQ(reader.m_arrIndex.GetSize(), 0);
  ASSERT_EQ(notes.calls().size(), 2u);
  EXPECT_EQ(notes.calls()[0].msg, static_cast<UINT>(WM_SETUP_INFO_BEGIN));
  EXPECT_EQ(notes.calls()[0].wp, 0u);
  EXPECT_EQ(notes.calls()[1].msg, static_cast<UINT>(WM_SETUP_INFO_END));
  EXPECT_EQ(notes.calls()[1].wp, 0u);
}

TEST(IndexBlock, EveryCutOfABlockIsRefused) {
  TestPackage writer;
  AddSample(writer);
  std::vector<BYTE> block = WriteBlock(writer);
  for (size_t cut = 0; cut < block.size(); ++cut) {
    tarntest::BoxRecorder boxes;
    TestPackage reader;
    reader.Add("stale");
    CMemFile f(block.data(), cut);
    EXPECT_FALSE(reader.ReadIndexInfo(f)) << "cut at " << cut;
    EXPECT_EQ(reader.m_arrIndex.GetSize(), 0) << "cut at " << cut;
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"安装包索引已损坏!"}) << "cut at " << cut;
  }
}

TEST(IndexBlock, CountsAndLengthsTheBlockCannotBackAreRefused) {
  TestPackage writer;
  AddSample(writer);
  std::vector<BYTE> good = WriteBlock(writer);

  std::vector<std::vector<BYTE>> bad;
  // A count one larger than the records present.
  bad.push_back(good);
  bad.back()[0] = 3;
  // The largest count over a tiny block: refused before anything is read.
  bad.push_back({0xFF, 0xFF, 0, 0, 0});
  // The last string's length runs past the end.
  bad.push_back(good);
  bad.back()[good.size() - 21] = 0xFF;
  size_t i = 0;
  for (const auto& block : bad) {
    tarntest::BoxRecorder boxes;
    tarntest::NotifyRecorder notes;
    TestPackage reader(nullptr, nullptr, FakeWindow());
    CMemFile f(block.data(), block.size());
    EXPECT_FALSE(reader.ReadIndexInfo(f)) << i;
    EXPECT_EQ(reader.m_arrIndex.GetSize(), 0) << i;
    EXPECT_EQ(boxes.calls().size(), 1u) << i;
    for (const auto& n : notes.calls()) EXPECT_NE(n.msg, static_cast<UINT>(WM_SETUP_INFO_END)) << i;
    ++i;
  }
}

// The install walks the records one data slot after another: it may only
// when the header's count and the size table agree with the index.
TEST(IndexBlock, UsableOnlyWhenHeaderAndSizeTableAgree) {
  TestPackage writer;
  AddSample(writer);  // one entry with data (0x0A0B0C0D bytes), one without
  std::vector<BYTE> block = WriteBlock(writer);
  struct Case {
    WORD count;
    std::vector<DWORD> sizes;
    bool usable;
  } cases[] = {
      {2, {0x0A0B0C0D}, true},
      {100, {0x0A0B0C0D}, false},
      {1, {0x0A0B0C0D}, false},
      {2, {}, false},
      {2, {0x0A0B0C0C}, false},
      {2, {0x0A0B0C0D, 5}, false},
  };
  for (const Case& c : cases) {
    TestPackage reader;
    reader.m_wFileCount = c.count;
    reader.m_dwaDataSize.vec() = c.sizes;
    CMemFile f(block.data(), block.size());
    EXPECT_TRUE(reader.ReadIndexInfo(f));
    EXPECT_EQ(reader.m_arrIndex.GetSize(), 2);
    EXPECT_EQ(reader.IndexUsable(), c.usable) << c.count << " " << c.sizes.size();
  }
}
