// Links against the setup shell's import library, not the core: CIniFile
// and CPacket, with CPacket's virtual table, come from the executable.
#include <cstdio>
#include <string>
#include "inifile/ini_file.h"
#include "packet/packet.h"

namespace {

int failures = 0;
void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

class BytesPacket : public CPacket {
 public:
  explicit BytesPacket(LPCSTR path) { m_strPacketFile = path; }
  std::string item = "exported packet item exported packet item exported packet item";
  std::string read;
  int MakePacket() override { return WritePacket(); }
  int WriteIndexInfo(CFile& f) override { return f.Write("idx", 3); }
  int WriteDataInfo(CFile& f) override {
    DWORD stored = WriteEncode(f, reinterpret_cast<const BYTE*>(item.data()), static_cast<DWORD>(item.size()));
    m_dwaDataSize.Add(stored);
    return stored != 0;
  }
  int ReadIndexInfo(CFile&) override { return TRUE; }
  int ReadDataInfo(CFile& f) override {
    char buf[4096];
    size_t n = f.Read(buf, sizeof buf);
    read.assign(buf, n);
    return TRUE;
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  std::string ini = dir + "\\exports.ini", pkt = dir + "\\exports.pkt";

  CIniFile file(ini.c_str());
  CStringArray lines;
  lines.Add("first line");
  lines.Add("名称=值");
  Check(file.WriteSection("EXPORTED", lines) != FALSE, "CIniFile::WriteSection");
  CStringArray back;
  Check(file.FindSection("exported", back) && back.GetSize() == 2 && back[1] == "名称=值",
        "CIniFile::FindSection reads back the section");
  CString params("-U|Tarn 演示|C:\\x\\Unistall.tsu");
  Check(CIniFile::GetFirstParam(params, nullptr, '|') == "-U" && params == "Tarn 演示|C:\\x\\Unistall.tsu",
        "CIniFile::GetFirstParam");

  {
    BytesPacket out(pkt.c_str());
    out.SetPassword("secret");
    Check(out.MakePacket() != FALSE, "CPacket::WritePacket");
  }
  BytesPacket in(pkt.c_str());
  Check(in.ReadPacket() != FALSE, "CPacket::ReadPacket");
  CString password;
  in.GetPassword(password);
  Check(password == "secret", "CPacket password round trip");
  Check(!in.read.empty(), "CPacket data block read");

  std::printf("%s\n", failures ? "exports: failed" : "exports: ok");
  return failures ? 1 : 0;
}
