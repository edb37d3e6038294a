#include <gtest/gtest.h>
#include <zlib.h>
#include <random>
#include <string>
#include <vector>
#include "afx/file.h"
#include "payload/trailer.h"
#include "support/support.h"

using namespace payload;

namespace {
std::string Le32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

std::string Trailer(uint32_t u2, uint32_t s2, const std::string& blob1, uint32_t u1, uint32_t s1) {
  return Le32(u2) + Le32(s2) + blob1 + Le32(u1) + Le32(s1) + "TSPSEV1.0\x09";
}

std::string Bytes(CMemFile& f) {
  return std::string(reinterpret_cast<const char*>(f.Data()), static_cast<size_t>(f.GetLength()));
}

std::string Compressible(size_t n) {
  std::string s;
  while (s.size() < n) s += "[FILEINFO] SOURCE_PATH=bin\\app" + std::to_string(s.size() % 97) + ".dll\r\n";
  s.resize(n);
  return s;
}

std::string Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string Zlib(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()),
           static_cast<uLong>(data.size()));
  out.resize(n);
  return out;
}

struct Installer {
  CMemFile file;
  TrailerInfo written;
  WriteStatus status;
  Installer(const std::string& shell, const std::string& package, bool zp, const std::string& ui,
            bool zu) {
    file.Write(shell.data(), shell.size());
    CMemFile p(reinterpret_cast<const BYTE*>(package.data()), package.size());
    CMemFile u(reinterpret_cast<const BYTE*>(ui.data()), ui.size());
    status = AppendPayload(file, p, zp, u, zu, &written);
  }
};

std::string Extract(CFile& in, const BlobInfo& blob, bool* ok) {
  CMemFile out;
  *ok = ExtractBlob(in, blob, out) != 0;
  return Bytes(out);
}

TEST(Payload, RoundTripAcrossChunksCompressedAndRaw) {
  const std::string shell = "MZ" + Random(5000, 1);
  const std::string package = Compressible(3 * 64 * 1024 + 1);
  const std::string ui = Random(70000, 2);  // incompressible: stays raw
  std::vector<uint64_t> progress;
  CMemFile file;
  file.Write(shell.data(), shell.size());
  CMemFile p(reinterpret_cast<const BYTE*>(package.data()), package.size());
  CMemFile u(reinterpret_cast<const BYTE*>(ui.data()), ui.size());
  ASSERT_EQ(kWriteOk, AppendPayload(file, p, true, u, true, nullptr,
                                    [&](uint64_t done, uint64_t) { progress.push_back(done); }));
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(ui.size(), progress.back());

  TrailerInfo info = ReadTrailer(file);
  ASSERT_TRUE(info.ok()) << TrailerStatusText(info.status);
  EXPECT_EQ(shell.size(), info.shellLength);
  EXPECT_TRUE(info.package.compressed());
  EXPECT_LT(info.package.stored, package.size() / 10);
  EXPECT_FALSE(info.uiScript.compressed());
  // The discarded attempt at compressing left nothing behind.
  EXPECT_EQ(shell.size() + info.package.stored + ui.size() + kTrailerBytes, file.GetLength());

  bool ok = false;
  EXPECT_EQ(package, Extract(file, info.package, &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(ui, Extract(file, info.uiScript, &ok));
  EXPECT_TRUE(ok);

  // What the shell's one-shot inflation has to accept.
  std::string stored(reinterpret_cast<const char*>(file.Data()) + info.package.offset, info.package.stored);
  std::string inflated(package.size(), '\0');
  uLongf n = static_cast<uLongf>(inflated.size());
  EXPECT_EQ(Z_OK, uncompress(reinterpret_cast<Bytef*>(&inflated[0]), &n,
                             reinterpret_cast<const Bytef*>(stored.data()), static_cast<uLong>(stored.size())));
  EXPECT_EQ(package, inflated);
}

TEST(Payload, ZlibBytesWithEqualSizesStayRaw) {
  const std::string stream = Zlib(Compressible(5000));
  Installer inst("S", "P", false, stream, false);
  ASSERT_EQ(kWriteOk, inst.status);
  TrailerInfo info = ReadTrailer(inst.file);
  ASSERT_TRUE(info.ok());
  EXPECT_FALSE(info.uiScript.compressed());
  bool ok = false;
  EXPECT_EQ(stream, Extract(inst.file, info.uiScript, &ok));
  EXPECT_TRUE(ok);
}

TEST(Payload, WriterOnARealFileAndItsRefusals) {
  tarntest::TempDir tmp;
  std::string path = tmp / "setup.exe";
  ASSERT_TRUE(tarntest::WriteFileBytes(path, "SHELL"));
  const std::string incompressible = Random(100000, 3);
  {
    CFile out;
    ASSERT_TRUE(out.Open(path.c_str(), CFile::modeReadWrite | CFile::modeNoTruncate));
    CMemFile p(reinterpret_cast<const BYTE*>(incompressible.data()), incompressible.size());
    CMemFile empty;
    EXPECT_EQ(kWriteEmptyBlob, AppendPayload(out, p, true, empty, true));
    EXPECT_EQ(5u, out.GetLength());
    CMemFile u(reinterpret_cast<const BYTE*>("UI"), 2);
    ASSERT_EQ(kWriteOk, AppendPayload(out, p, true, u, true));
  }
  std::string bytes = tarntest::ReadFileBytes(path);
  EXPECT_EQ("SHELL" + incompressible + Trailer(100000, 100000, "UI", 2, 2), bytes);
}

TEST(Payload, EveryCutOfTheTrailerIsRefused) {
  Installer inst("SHELL", Compressible(3000), true, "UI-SCRIPT", false);
  ASSERT_EQ(kWriteOk, inst.status);
  std::string whole = Bytes(inst.file);
  for (size_t cut = 1; cut <= kTrailerBytes + 9 + 1; ++cut) {
    std::string part = whole.substr(0, whole.size() - cut);
    CMemFile f(reinterpret_cast<const BYTE*>(part.data()), part.size());
    EXPECT_NE(kTrailerOk, ReadTrailer(f).status) << cut;
  }
  for (size_t len = 0; len < kTrailerBytes; ++len) {
    std::string tail = whole.substr(whole.size() - len);
    CMemFile f(reinterpret_cast<const BYTE*>(tail.data()), tail.size());
    EXPECT_NE(kTrailerOk, ReadTrailer(f).status) << len;
  }
}

TEST(Payload, MagicMustMatchExactly) {
  struct Case {
    std::string bytes;
    TrailerStatus status;
  } cases[] = {
      {"", kTrailerMissing},
      {"\x09", kTrailerMissing},
      {"TSPSEV1.0\x09", kTrailerTruncated},
      {"P" + Trailer(1, 1, "U", 1, 1).substr(0, 27) + "tspseV1.0\x09", kTrailerMissing},
      {"P" + Trailer(1, 1, "U", 1, 1).substr(0, 27) + "TSPSEV1.0\x0a", kTrailerMissing},
      {"P" + Trailer(1, 1, "U", 1, 1), kTrailerOk},
  };
  for (const Case& c : cases) {
    CMemFile f(reinterpret_cast<const BYTE*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(c.status, ReadTrailer(f).status) << c.bytes.size();
  }
}

TEST(Payload, SizesReachingBeforeTheStart) {
  // Blob 1 of 2 bytes, 4 bytes before blob 2's fields, so 4 bytes for
  // blob 2 and the shell together.
  auto make = [](uint32_t s2, uint32_t s1) { return std::string("ABCD") + Trailer(s2, s2, "UI", s1, s1); };
  struct Case {
    uint32_t s2, s1;
    TrailerStatus status;
    uint64_t shell;
  } cases[] = {
      {4, 2, kTrailerOk, 0},
      {3, 2, kTrailerOk, 1},
      {5, 2, kTrailerBadSizes, 0},
      {0xFFFFFFFF, 2, kTrailerBadSizes, 0},
      {0xFFFFFFFF - 25, 2, kTrailerBadSizes, 0},  // would wrap to a small shell in 32 bits
      {2, 11, kTrailerBadSizes, 0},               // blob 1 swallows blob 2's fields
      {2, 0xFFFFFFFF, kTrailerBadSizes, 0},
  };
  for (const Case& c : cases) {
    std::string bytes = make(c.s2, c.s1);
    CMemFile f(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    TrailerInfo info = ReadTrailer(f);
    EXPECT_EQ(c.status, info.status) << c.s2 << " " << c.s1;
    if (info.ok()) {
      EXPECT_EQ(c.shell, info.shellLength);
    }
  }
}

TEST(Payload, DamagedCompressedBlobs) {
  const std::string data = Compressible(10000);
  const std::string z = Zlib(data);
  auto check = [](const std::string& blob, uint32_t u, TrailerStatus status, bool extracts) {
    std::string bytes = "SHELL" + Trailer(u, static_cast<uint32_t>(blob.size()), "", 0, 0);
    bytes.insert(5, blob);
    CMemFile f(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    TrailerInfo info = ReadTrailer(f);
    ASSERT_EQ(status, info.status) << u;
    if (!info.ok()) return;
    CMemFile out;
    EXPECT_EQ(extracts, ExtractBlob(f, info.package, out) != 0) << u;
    EXPECT_LE(out.GetLength(), u);
  };
  check(z, static_cast<uint32_t>(data.size()), kTrailerOk, true);
  check(z, static_cast<uint32_t>(data.size()) + 1, kTrailerOk, false);  // inflates short
  check(z, static_cast<uint32_t>(data.size()) - 1, kTrailerOk, false);  // inflates long
  check(z.substr(0, z.size() / 2), static_cast<uint32_t>(data.size()), kTrailerOk, false);
  check(std::string(z.size(), 'x'), static_cast<uint32_t>(data.size()), kTrailerOk, false);
  check("1234567", 100, kTrailerImplausible, false);
  check(z, static_cast<uint32_t>(z.size()) * 1032 + 1, kTrailerImplausible, false);
}

// Sizes that differ mean a zlib stream whichever is larger, and U and S
// of each blob keep their places in writer and reader.
TEST(Payload, BlobSizesInBothOrdersAndPlaces) {
  const std::string package = Compressible(10000);
  const std::string z2 = Zlib(package);
  const std::string ui = "a";  // its stream (9 bytes) is longer than it
  const std::string z1 = Zlib(ui);
  ASSERT_GT(z1.size(), ui.size());
  std::string bytes = "SHELL" + z2 + Trailer(10000, static_cast<uint32_t>(z2.size()), z1, 1,
                                             static_cast<uint32_t>(z1.size()));
  CMemFile f(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  TrailerInfo info = ReadTrailer(f);
  ASSERT_TRUE(info.ok()) << TrailerStatusText(info.status);
  EXPECT_EQ(1u, info.uiScript.size);
  EXPECT_EQ(z1.size(), info.uiScript.stored);
  EXPECT_EQ(10000u, info.package.size);
  EXPECT_EQ(z2.size(), info.package.stored);
  bool ok = false;
  EXPECT_EQ(ui, Extract(f, info.uiScript, &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(package, Extract(f, info.package, &ok));
  EXPECT_TRUE(ok);

  const std::string script = Compressible(2000);
  Installer inst("SHELL", package, true, script, true);
  ASSERT_EQ(kWriteOk, inst.status);
  const std::string written = Bytes(inst.file);
  const uint32_t s1 = inst.written.uiScript.stored, s2 = inst.written.package.stored;
  ASSERT_LT(s1, 2000u);
  ASSERT_LT(s2, 10000u);
  EXPECT_EQ(Le32(2000) + Le32(s1) + "TSPSEV1.0\x09", written.substr(written.size() - 18));
  EXPECT_EQ(Le32(10000) + Le32(s2), written.substr(written.size() - 26 - s1, 8));
}

}  // namespace
