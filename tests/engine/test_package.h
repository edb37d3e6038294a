// A setup package whose protected hooks the tests may call.
#pragma once
#include <string>
#include "engine/setup_package.h"

class TestPackage : public CSetupPackage {
 public:
  explicit TestPackage(LPCSTR packageFile = nullptr, LPCSTR scriptFile = nullptr,
                       HWND wnd = nullptr, LPCSTR targetDir = "C:\\Program Files\\Tarn")
      : CSetupPackage(packageFile, targetDir, scriptFile, wnd) {}

  using CSetupPackage::ReadIndexInfo;
  using CSetupPackage::WriteIndexInfo;
  using CPacket::Decode;
  using CPacket::GetData;
  using CPacket::GetIndxInfo;
  using CPacket::m_dwaDataSize;
  using CPacket::m_strVersion;
  using CPacket::m_wFileCount;

  TSPIndex& Add(const char* target, BYTE flags = 0) {
    auto r = std::make_unique<TSPIndex>();
    r->m_strTargetPath = target;
    r->m_byInstallFlag = flags;
    TSPIndex& ref = *r;
    m_arrIndex.Add(std::move(r));
    return ref;
  }

  // The stored item k, decoded to its entry's original size.
  std::string Content(DWORD slot, const TSPIndex& r) {
    CMemFile raw;
    if (!GetData(slot, raw)) return "<no data>";
    std::vector<BYTE> stored = raw.Detach();
    std::string out(r.m_dwOrigSize, '\0');
    DWORD len = r.m_dwOrigSize;
    if (Decode(stored.data(), reinterpret_cast<BYTE*>(&out[0]), static_cast<DWORD>(stored.size()),
               &len) != 0)
      return "<decode failed>";
    out.resize(len);
    return out;
  }
};

// Bytes that do not compress.
inline std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

// CPacket::WriteEncode's message for an item stored raw.
constexpr char kNoShrink[] = "WriteEncode failed! It can't be compressed to save the packet.";

inline HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5150)); }
