// The payload of an installer: the setup shell followed by two blobs and a
// trailer at the very end of the file. All integers are unsigned 32-bit
// little-endian; L is the file's length.
//
//   offset                          content
//   0                               setup shell executable (the leading part)
//   L - 26 - S1 - S2                blob 2: the setup package, S2 bytes
//   L - 26 - S1                     U2: uncompressed size of blob 2
//   L - 22 - S1                     S2: stored size of blob 2
//   L - 18 - S1                     blob 1: the setup UI script, S1 bytes
//   L - 18                          U1
//   L - 14                          S1
//   L - 10                          "TSPSEV1.0" (9 bytes, no terminator)
//   L - 1                           9, the length of the magic
//
// Signing the installer appends a certificate table, aligned to 8 bytes
// with up to 7 zeros; L is then where that padding begins (authenticode.h).
//
// A blob whose stored size equals its uncompressed size is raw; otherwise it
// is a zlib stream (RFC 1950) that inflates to exactly U bytes.
//
// Use:
//   writer  AppendPayload(installer, package, uiScript, compress, compress)
//           appends blob 2, U2, S2, blob 1, U1, S1 and the magic to a file
//           that already holds the shell;
//   reader  ReadTrailer(installer) checks the trailer without reading the
//           blobs; ExtractBlob(installer, info.package, out) then writes one
//           blob, inflated, to another file.
// Memory stays bounded by a few chunks whatever the blob sizes.
#pragma once
#include <cstdint>
#include <functional>
#include "afx/file.h"

namespace payload {

inline constexpr char kMagic[] = "TSPSEV1.0";
inline constexpr uint32_t kMagicLength = sizeof kMagic - 1;
const uint32_t kTrailerBytes = 26;

enum TrailerStatus {
  kTrailerOk,
  kTrailerMissing,      // last byte not 9 or magic differs: nothing appended
  kTrailerTruncated,    // the file ends inside the trailer's size fields
  kTrailerBadSizes,     // the blobs would begin before the start of the file
  kTrailerImplausible,  // a compressed blob no zlib stream can be
  kTrailerReadError,
};

struct BlobInfo {
  uint64_t offset = 0;  // of the first stored byte
  uint32_t stored = 0;
  uint32_t size = 0;    // uncompressed
  bool compressed() const { return stored != size; }
};

struct TrailerInfo {
  TrailerStatus status = kTrailerMissing;
  BlobInfo package;     // blob 2
  BlobInfo uiScript;    // blob 1
  uint64_t shellLength = 0;
  uint64_t end = 0;           // just past the trailer
  bool authenticode = false;  // a certificate table follows, from signing
  bool ok() const { return status == kTrailerOk; }
};

// Checks the trailer of an open file, before a signature's certificate
// table when there is one; reads only its fields and the PE headers.
TrailerInfo ReadTrailer(CFile& file);

// Writes the blob's uncompressed bytes to `out` at its position. FALSE when
// the blob cannot be read, is not a zlib stream, or does not inflate to
// exactly its uncompressed size (`out` may then hold part of it).
BOOL ExtractBlob(CFile& in, const BlobInfo& blob, CFile& out);

enum WriteStatus {
  kWriteOk,
  kWriteEmptyBlob,   // the shell cannot extract an empty blob
  kWriteTooLarge,    // a blob of 4 GiB or more does not fit the size fields
  kWriteReadError,
  kWriteWriteError,
};

// Called with the bytes of the current blob done and its size.
using Progress = std::function<void(uint64_t done, uint64_t total)>;

// Appends both blobs (each file read whole from its start) and the trailer
// at the end of `out`. With compress set a blob is stored as a zlib stream
// at the default level when that is strictly smaller, raw otherwise. On
// failure `out` is cut back to its length before the call where it allows.
WriteStatus AppendPayload(CFile& out, CFile& package, bool compressPackage, CFile& uiScript,
                          bool compressScript, TrailerInfo* written = nullptr,
                          const Progress& progress = Progress());

// English texts for tools and developers.
const char* TrailerStatusText(TrailerStatus status);
const char* WriteStatusText(WriteStatus status);

}  // namespace payload
