// Arbitrary bytes as a packet file, through every reader.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include "packet/packet.h"
#include "packet/stream_codec.h"
#include "platform/msgbox.h"
#include "ram_dir.h"

namespace {

void Drain(CFile& f) {
  BYTE buf[4096];
  while (f.Read(buf, sizeof buf) > 0) {
  }
}

class FuzzPacket : public CPacket {
 public:
  explicit FuzzPacket(const std::string& path) { m_strPacketFile = path.c_str(); }
  int MakePacket() override { return FALSE; }
  using CPacket::GetIndxInfo;
  using CPacket::m_dwaDataSize;
  using CPacket::m_wFileCount;
  int ReadIndexInfo(CFile& f) override {
    Drain(f);
    return TRUE;
  }
  int ReadDataInfo(CFile& f) override {
    uint64_t sum = 0;
    for (DWORD s : m_dwaDataSize.vec()) sum += s;
    if (sum > f.GetLength()) std::abort();  // the readers promise this
    Drain(f);
    return TRUE;
  }
  // Every slot through the decoder, as an install would.
  int UnpackDataInfo(CFile& f) override {
    uint64_t at = 0;
    for (DWORD s : m_dwaDataSize.vec()) {
      f.Seek(static_cast<int64_t>(at), CFile::begin);
      packet::StreamDecode(f, s, s + 1, nullptr);
      at += s;
    }
    return TRUE;
  }
  int Check() {
    CMemFile out;
    DWORD slots = m_wFileCount < m_dwaDataSize.GetSize() ? m_wFileCount : m_dwaDataSize.GetSize();
    for (DWORD k = 0; k < slots && k < 32; ++k) {
      CMemFile one;
      if (GetData(k, one) && one.GetLength() != m_dwaDataSize[static_cast<int>(k)]) std::abort();
    }
    return !GetData(slots, out) && GetDataSizeTable() ? 0 : -1;
  }
};

const std::string& Path() {
  static const std::string path = [] {
    platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
    static const std::string dir = RamDir("fuzz_packet");
    std::atexit([] {
      unlink((dir + "/p.pk").c_str());
      rmdir(dir.c_str());
    });
    return dir + "/p.pk";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = Path();
  {
    CFile f;
    if (!f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite)) std::abort();
    f.Write(data, size);
  }
  FuzzPacket p(path);
  int index = p.GetIndxInfo();
  FuzzPacket q(path);
  if (q.ReadPacket() != index) std::abort();
  FuzzPacket u(path);
  if (u.Unpack() != index) std::abort();
  if (index) {
    if (p.Check() < 0) std::abort();
  } else if (p.m_wFileCount != 0 || !p.m_dwaDataSize.IsEmpty()) {
    std::abort();  // a failed read leaves the fields alone
  }
  return 0;
}
