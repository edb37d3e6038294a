// A packet whose hooks write and read plain bytes, with the protected parts
// opened up for the tests.
#pragma once
#include <string>
#include <vector>
#include "packet/packet.h"

// Bytes that do not compress.
inline std::vector<BYTE> Noise(size_t n, uint32_t seed) {
  std::vector<BYTE> v(n);
  for (auto& b : v) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<BYTE>(seed >> 16);
  }
  return v;
}

inline std::string ReadWhole(CFile& f) {
  std::string out;
  char buf[1000];
  for (size_t n; (n = f.Read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

class TestPacket : public CPacket {
 public:
  explicit TestPacket(const std::string& path) { m_strPacketFile = path.c_str(); }

  // Written by the hooks: each item back to back, with its size in the table.
  std::vector<std::string> items;
  std::string indexBytes;

  // What the read hooks saw.
  std::string readIndex, readData, unpackData;
  int indexCalls = 0, dataCalls = 0, unpackCalls = 0;

  int MakePacket() override { return WritePacket(); }

  int WriteIndexInfo(CFile& f) override { return f.Write(indexBytes.data(), indexBytes.size()); }
  int WriteDataInfo(CFile& f) override {
    for (const auto& item : items) {
      f.Write(item.data(), item.size());
      m_dwaDataSize.Add(static_cast<DWORD>(item.size()));
    }
    return TRUE;
  }
  int ReadIndexInfo(CFile& f) override {
    ++indexCalls;
    readIndex = ReadWhole(f);
    return TRUE;
  }
  int ReadDataInfo(CFile& f) override {
    ++dataCalls;
    readData = ReadWhole(f);
    return TRUE;
  }
  int UnpackDataInfo(CFile& f) override {
    ++unpackCalls;
    unpackData = ReadWhole(f);
    return TRUE;
  }

  using CPacket::Decode;
  using CPacket::Encode;
  using CPacket::GetData;
  using CPacket::GetDataSizeTable;
  using CPacket::GetIndxInfo;
  using CPacket::WriteEncode;
  using CPacket::m_dwaDataSize;
  using CPacket::m_dwReserved;
  using CPacket::m_strPacketFile;
  using CPacket::m_strPassword;
  using CPacket::m_strVersion;
  using CPacket::m_wFileCount;
};
