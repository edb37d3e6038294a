#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "afx/file.h"
#include "payload/authenticode.h"
#include "payload/trailer.h"
#include "support/support.h"

using namespace payload;
using tarntest::GetLe32;
using tarntest::PeHeaders;
using tarntest::PutLe32;

namespace {

const std::string kPackage(5000, 'P');
const std::string kUI = "[PRODUCTNAME]\r\nDemo\r\n";

// A PE shell with the payload appended, then `pad` zeros and a certificate
// table of `table` bytes that the security directory names.
struct Signed {
  PeHeaders pe;
  std::string bytes;
  uint64_t shell = 0, end = 0;

  Signed(size_t pad, uint32_t table = 1200) {
    std::string head = pe.Bytes() + "shell code";
    shell = head.size();
    CMemFile file;
    file.Write(head.data(), head.size());
    CMemFile p(reinterpret_cast<const BYTE*>(kPackage.data()), kPackage.size());
    CMemFile u(reinterpret_cast<const BYTE*>(kUI.data()), kUI.size());
    EXPECT_EQ(kWriteOk, AppendPayload(file, p, true, u, false));
    bytes.assign(reinterpret_cast<const char*>(file.Data()), static_cast<size_t>(file.GetLength()));
    end = bytes.size();
    bytes.append(pad, '\0');
    SetTable(static_cast<uint32_t>(bytes.size()), table);
    // WIN_CERTIFICATE: its length, revision 2.0, PKCS#7 signed data.
    std::string cert(table, 'C');
    PutLe32(cert, 0, table);
    PutLe32(cert, 4, 0x00020200);
    bytes += cert;
  }
  void SetTable(uint32_t offset, uint32_t size) {
    PutLe32(bytes, pe.secEntry(), offset);
    PutLe32(bytes, pe.secEntry() + 4, size);
  }
  uint32_t TableOffset() const { return GetLe32(bytes, pe.secEntry()); }
};

TrailerInfo Read(const std::string& bytes) {
  CMemFile f(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  return ReadTrailer(f);
}

TEST(Authenticode, TrailerBeforeTheTableAfterAnyPadding) {
  for (size_t pad = 0; pad <= 7; ++pad) {
    SCOPED_TRACE(pad);
    Signed s(pad);
    CMemFile f(reinterpret_cast<const BYTE*>(s.bytes.data()), s.bytes.size());
    TrailerInfo info = ReadTrailer(f);
    ASSERT_TRUE(info.ok()) << TrailerStatusText(info.status);
    EXPECT_TRUE(info.authenticode);
    EXPECT_EQ(s.end, info.end);
    EXPECT_EQ(s.shell, info.shellLength);
    CMemFile out;
    ASSERT_TRUE(ExtractBlob(f, info.package, out));
    EXPECT_EQ(kPackage, std::string(reinterpret_cast<const char*>(out.Data()), kPackage.size()));
  }
}

// Anything short of a table that ends the file and is reached by sound
// headers leaves the file as unsigned: its last bytes are no trailer.
TEST(Authenticode, DirectoriesThatDoNotNameTheEndAreIgnored) {
  struct Case {
    const char* name;
    std::function<void(Signed&)> damage;
  } cases[] = {
      {"eight zeros are more than padding", [](Signed& s) {
         s.bytes.insert(s.TableOffset(), 5, '\0');
         s.SetTable(s.TableOffset() + 5, 1200);
       }},
      {"a byte after the table", [](Signed& s) { s.bytes += 'x'; }},
      {"table one byte short", [](Signed& s) { s.SetTable(s.TableOffset(), 1199); }},
      {"no directory", [](Signed& s) { s.SetTable(0, 0); }},
      {"offset and size wrap to the length in 32 bits",
       [](Signed& s) { s.SetTable(s.TableOffset() + 1200 + 0x100, 0u - 0x100); }},
      {"huge offset", [](Signed& s) { s.SetTable(0xFFFFFFF0u, 0x10); }},
      {"huge size", [](Signed& s) { s.SetTable(s.TableOffset(), 0xFFFFFFFFu); }},
      {"table within the headers", [](Signed& s) {
         uint32_t len = static_cast<uint32_t>(s.bytes.size());
         s.SetTable(100, len - 100);
         PutLe32(s.bytes, 100, 8);
       }},
      {"table smaller than a certificate header", [](Signed& s) {
         s.bytes.resize(s.bytes.size() - 1200 + 4);
         s.SetTable(s.TableOffset(), 4);
       }},
      {"certificate longer than the table", [](Signed& s) { PutLe32(s.bytes, s.TableOffset(), 1201); }},
      {"certificate of no length", [](Signed& s) { PutLe32(s.bytes, s.TableOffset(), 0); }},
      {"not MZ", [](Signed& s) { s.bytes[0] = 'Z'; }},
      {"not PE", [](Signed& s) { s.bytes[s.pe.nt + 1] = 'X'; }},
      {"header offset past the end", [](Signed& s) { PutLe32(s.bytes, 0x3C, 0xFFFFFFF0u); }},
      {"unknown optional header", [](Signed& s) { s.bytes[s.pe.nt + 24] = 0x07; }},
      {"optional header too short for the directory",
       [](Signed& s) { s.bytes[s.pe.nt + 20] = static_cast<char>(135); }},
      {"four directories", [](Signed& s) { PutLe32(s.bytes, s.pe.nt + 24 + 92, 4); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Signed s(3);
    c.damage(s);
    TrailerInfo info = Read(s.bytes);
    EXPECT_EQ(kTrailerMissing, info.status);
    EXPECT_FALSE(info.authenticode);
  }
}

TEST(Authenticode, ShellsAndImagesOfEveryShape) {
  // A shell signed before the build keeps the trailer at the very end.
  PeHeaders pe;
  pe.secOffset = 512;
  pe.secSize = 512;
  std::string shell = pe.Bytes();
  PutLe32(shell, 512, 512);
  CMemFile file;
  file.Write(shell.data(), shell.size());
  CMemFile p(reinterpret_cast<const BYTE*>(kPackage.data()), kPackage.size());
  CMemFile u(reinterpret_cast<const BYTE*>(kUI.data()), kUI.size());
  ASSERT_EQ(kWriteOk, AppendPayload(file, p, false, u, false));
  TrailerInfo info = ReadTrailer(file);
  ASSERT_TRUE(info.ok());
  EXPECT_FALSE(info.authenticode);
  EXPECT_EQ(shell.size(), info.shellLength);
  EXPECT_EQ(file.GetLength(), info.end);

  // PE32+ has its directories 16 bytes further on.
  Signed wide(5);
  const uint32_t offset = wide.TableOffset();
  wide.pe.magic = 0x20B;
  std::string head = wide.pe.Bytes();
  std::string bytes = wide.bytes;
  bytes.replace(0, head.size(), head);
  PutLe32(bytes, wide.pe.secEntry(), offset);
  PutLe32(bytes, wide.pe.secEntry() + 4, 1200);
  info = Read(bytes);
  EXPECT_TRUE(info.ok() && info.authenticode);

  // Every cut of the headers is read without a fault, as no signature.
  std::string full = Signed(0).bytes;
  for (size_t n = 0; n <= 400; ++n) {
    std::string cut = full.substr(0, n);
    CMemFile f(reinterpret_cast<const BYTE*>(cut.data()), cut.size());
    CertificateTable table;
    EXPECT_FALSE(FindCertificateTable(f, &table)) << n;
    EXPECT_FALSE(ReadTrailer(f).ok()) << n;
  }
}

TEST(Authenticode, CutImageDropsOnlyASignatureItCannotHold) {
  struct Case {
    const char* name;
    uint32_t offset, size;
    size_t head;       // bytes given of the header
    uint64_t image;    // length of the cut image
    bool dropped;
  } cases[] = {
      {"table after the cut", 9000, 800, 1024, 5000, true},
      {"table crossing the cut", 4800, 800, 1024, 5000, true},
      {"table ending at the cut", 4200, 800, 1024, 5000, false},
      {"no directory", 0, 0, 1024, 5000, false},
      {"header cut before the directory", 9000, 800, 0x80 + 24 + 128 + 4, 5000, false},
      {"header whole up to the directory", 9000, 800, 0x80 + 24 + 128 + 8, 5000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PeHeaders pe;
    pe.secOffset = c.offset;
    pe.secSize = c.size;
    std::string head = pe.Bytes();
    std::string before = head;
    EXPECT_EQ(c.dropped, DropCutSignature(reinterpret_cast<BYTE*>(&head[0]), c.head, c.image));
    if (c.dropped) {
      EXPECT_EQ(0u, GetLe32(head, pe.secEntry()));
      EXPECT_EQ(0u, GetLe32(head, pe.secEntry() + 4));
      EXPECT_EQ(0u, GetLe32(head, pe.checkSum()));
      PutLe32(head, pe.secEntry(), c.offset);
      PutLe32(head, pe.secEntry() + 4, c.size);
      PutLe32(head, pe.checkSum(), 0x5EC5EC5E);
    }
    EXPECT_EQ(before, head) << "nothing else changes";
  }
}

}  // namespace
