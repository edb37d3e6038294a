// Arbitrary bytes read as an installer: the trailer, then both blobs.
#include <cstddef>
#include <cstdint>
#include "afx/file.h"
#include "payload/trailer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMemFile file(data, size);
  payload::TrailerInfo info = payload::ReadTrailer(file);
  if (!info.ok()) return 0;
  if (info.shellLength + info.package.stored + info.uiScript.stored + payload::kTrailerBytes !=
          info.end ||
      info.end > size || (!info.authenticode && info.end != size))
    __builtin_trap();
  for (const payload::BlobInfo* blob : {&info.package, &info.uiScript}) {
    CMemFile out;
    BOOL ok = payload::ExtractBlob(file, *blob, out);
    if (out.GetLength() > blob->size || (ok && out.GetLength() != blob->size)) __builtin_trap();
  }
  return 0;
}
