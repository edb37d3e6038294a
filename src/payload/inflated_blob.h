// The inflated bytes of a zlib blob inside another file, read as a file of
// its stated size. Nothing is inflated ahead and only the last chunk is
// kept: reading forward inflates, a seek back within the last chunk (a
// reader giving back what it read ahead) is served from it, a seek further
// back starts over. So a package blob is looked into with memory of a few
// chunks and no temporary file, however large it claims to be. A stream
// that ends early or is damaged reads short and leaves the file failed;
// the check value at its end is not read (StreamDecode checks a blob whole).
#pragma once
#include <zlib.h>
#include <cstdint>
#include <memory>
#include "afx/file.h"

namespace payload {

class TARN_EXPORT InflatedBlob : public CReadOnlyView {
 public:
  InflatedBlob(CFile& base, uint64_t offset, DWORD stored, DWORD size);
  ~InflatedBlob() override;

  size_t Read(void* buf, size_t count) override;

 private:
  bool Restart();
  // Inflates up to n bytes into dst (null: discards them); short at the
  // stream's end or on damage.
  size_t Pump(BYTE* dst, size_t n);
  void Remember(const BYTE* p, size_t n);

  CFile& base_;
  uint64_t offset_;
  DWORD stored_;
  uint64_t produced_ = 0;  // bytes the stream has given so far
  uint64_t consumed_ = 0;  // stored bytes handed to zlib so far
  z_stream zs_{};
  bool live_ = false, ended_ = false;
  std::unique_ptr<BYTE[]> in_, scratch_, recent_;
  size_t recentLength_ = 0;  // the bytes just before produced_
};

}  // namespace payload
