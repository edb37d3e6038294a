// Arbitrary bytes as the index block of a setup package.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include "engine/setup_package.h"
#include "platform/fs.h"
#include "platform/msgbox.h"

namespace {

class FuzzPackage : public CSetupPackage {
 public:
  FuzzPackage() : CSetupPackage(nullptr, "C:\\Tarn", nullptr, reinterpret_cast<HWND>(1)) {}
  int Read(CFile& block) { return ReadIndexInfo(block); }
  int Write(CFile& block) { return WriteIndexInfo(block); }
};

FuzzPackage& Package() {
  static FuzzPackage* p = [] {
    platform::SetMessageBoxHandler([](const platform::MessageBoxCall&) { return IDOK; });
    return new FuzzPackage;
  }();
  return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzPackage& p = Package();
  CMemFile block(data, size);
  if (!p.Read(block)) {
    if (p.m_arrIndex.GetSize() != 0) std::abort();
    return 0;
  }
  // What was accepted writes back as a prefix of the input.
  CMemFile again;
  p.Write(again);
  std::vector<BYTE> out = again.Detach();
  if (out.size() > size || std::memcmp(out.data(), data, out.size()) != 0) std::abort();
  return 0;
}
