#include <gtest/gtest.h>
#include "platform/file.h"
#include "support/support.h"
#include "test_package.h"

namespace {

std::string Text(size_t n, int salt) {
  std::string unit;
  for (int i = 0; i < 2000; ++i) unit += "line " + std::to_string(i * 7 + salt) + " of a setup\r\n";
  std::string s;
  s.reserve(n + unit.size());
  while (s.size() < n) s += unit;
  s.resize(n);
  return s;
}

class PackThreads : public ::testing::Test {
 protected:
  ~PackThreads() override {
    CSetupPackage::SetPackThreads(0);
    CSetupPackage::SetEncodeOptions(packet::EncodeOptions());
  }

  void Add(const std::string& bytes, int flag = 0) {
    std::string name = "s" + std::to_string(count_++) + ".bin";
    if (!(flag & IF_NO_DATA)) {
      ASSERT_TRUE(tarntest::WriteFileBytes(dir_ / name, bytes));
      sources_.push_back(dir_ / name);
    }
    script_ += "[FILEINFO]\r\nSOURCE_PATH=" + (dir_ / name) + "\r\nTARGET_PATH=<TARGETDIR>\\" +
               name + "\r\nINSTALL_FLAG=" + std::to_string(flag) + "\r\n\r\n";
  }
  void AddMissing() {
    script_ += "[FILEINFO]\r\nSOURCE_PATH=" + (dir_ / "missing") +
               "\r\nTARGET_PATH=<TARGETDIR>\\m\r\n\r\n";
  }

  // Builds with the given thread count: the package's bytes, the messages.
  std::pair<std::string, std::vector<std::string>> Build(unsigned threads, bool expect) {
    std::string script = dir_ / "setup.ini", package = dir_ / "out.tsp";
    EXPECT_TRUE(tarntest::WriteFileBytes(script, script_));
    // Reading a source moves its access time, which the index records.
    for (const auto& s : sources_) EXPECT_TRUE(platform::SetFileTimes(s, 0, 1600000000, 1600000001));
    CSetupPackage::SetPackThreads(threads);
    tarntest::BoxRecorder boxes;
    TestPackage p(package.c_str(), script.c_str());
    EXPECT_EQ(p.MakePacket(), expect ? TRUE : FALSE) << threads << " threads";
    return {tarntest::ReadFileBytes(package), boxes.texts()};
  }

  tarntest::TempDir dir_;
  std::string script_;
  std::vector<std::string> sources_;
  int count_ = 0;
};

}  // namespace

TEST_F(PackThreads, OutputDoesNotDependOnTheThreadCount) {
  Add(Text(17u << 20, 1));                 // streamed by the writer
  for (int i = 0; i < 4; ++i) Add(Text((7u << 20) + i, i));  // more than the budget holds
  Add(Noise((16u << 20) + 1, 3));           // streamed, stored raw
  for (int i = 0; i < 30; ++i) {
    Add(i % 3 == 0 ? Noise(100 + i, i) : Text(1000 * i + 1, i), i % 7 == 0 ? IF_NO_DATA : 0);
    if (i == 20) Add("");
  }
  auto one = Build(1, true);
  auto many = Build(4, true);
  EXPECT_EQ(one.first.size(), many.first.size());
  EXPECT_TRUE(one.first == many.first);
  EXPECT_EQ(one.second, many.second);
  // The raw items: the large noise, eight small noises with data, the empty one.
  EXPECT_EQ(one.second, std::vector<std::string>(1 + 8 + 1, kNoShrink));

  TestPackage back((dir_ / "out.tsp").c_str());
  ASSERT_TRUE(back.GetIndxInfo());
  EXPECT_EQ(back.Content(0, *back.m_arrIndex[0]), Text(17u << 20, 1));
  EXPECT_EQ(back.Content(5, *back.m_arrIndex[5]), Noise((16u << 20) + 1, 3));
}

// libdeflate takes items whole up to 64 MB; beyond, the writer streams them
// with zlib. Either way the package reads back.
TEST_F(PackThreads, LibdeflatePackagesReadBack) {
  if (!packet::HaveLibdeflate()) GTEST_SKIP() << "built without libdeflate";
  const packet::EncodeOptions options{packet::Deflater::kLibdeflate, 7};
  CSetupPackage::SetEncodeOptions(options);
  std::vector<std::string> items = {Text(17u << 20, 1), Text((64u << 20) + 1, 2),
                                    Noise(3u << 20, 3), Text(3000, 4), Noise(90, 5), ""};
  for (int i = 0; i < 12; ++i) items.push_back(Text(40000 + i, i));
  for (const auto& item : items) Add(item);
  EXPECT_EQ(Build(3, true).second, std::vector<std::string>(3, kNoShrink));

  TestPackage back((dir_ / "out.tsp").c_str());
  ASSERT_TRUE(back.GetIndxInfo());
  for (size_t k = 0; k < items.size(); ++k) {
    const TSPIndex& r = *back.m_arrIndex[static_cast<int>(k)];
    EXPECT_TRUE(back.Content(static_cast<DWORD>(k), r) == items[k]) << k;
    EXPECT_EQ(r.m_dwStoredSize < r.m_dwOrigSize, r.m_dwStoredSize != r.m_dwOrigSize) << k;
  }
  // Whole items are libdeflate's streams; the streamed one is zlib's at 7.
  for (size_t k : {0u, 1u, 3u}) {
    std::vector<BYTE> z;
    packet::EncodeOptions o = options;
    if (k == 1) o.deflater = packet::Deflater::kZlib;
    const std::string& in = items[k];
    ASSERT_TRUE(packet::CompressItem(reinterpret_cast<const BYTE*>(in.data()), in.size(), &z, o));
    CMemFile stored;
    ASSERT_TRUE(back.GetData(static_cast<DWORD>(k), stored));
    EXPECT_TRUE(stored.Detach() == z) << k;
  }
}

TEST_F(PackThreads, AFailedSourceStopsTheBuildInOrder) {
  for (int i = 0; i < 6; ++i) Add(i % 2 ? Noise(64, i) : Text(5000, i));
  AddMissing();
  for (int i = 0; i < 20; ++i) Add(i % 2 ? Noise(64, i) : Text(5000, i));
  for (unsigned threads : {1u, 4u}) {
    auto built = Build(threads, false);
    std::vector<std::string> expected(3, kNoShrink);
    expected.push_back("不能打开文件'" + (dir_ / "missing") +
                       "'!\n文件可能正在被使用，请关闭文件再试!");
    EXPECT_EQ(built.second, expected) << threads;
    TestPackage back((dir_ / "out.tsp").c_str());
    ASSERT_TRUE(back.GetIndxInfo());
    EXPECT_EQ(back.m_dwaDataSize.GetSize(), 6);
    EXPECT_EQ(back.m_arrIndex[7]->m_dwOrigSize, 0u);
  }
}

TEST(PackThreadsMessage, MatchesWriteEncode) {
  // Items compressed ahead must say what WriteEncode says for a raw item.
  struct Plain : CPacket {
    int MakePacket() override { return FALSE; }
    using CPacket::WriteEncode;
  } plain;
  tarntest::BoxRecorder boxes;
  CMemFile f;
  BYTE one = 7;
  EXPECT_EQ(plain.WriteEncode(f, &one, 1), 1u);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{kNoShrink});
}
