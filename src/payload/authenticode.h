// An installer signed after it was built: Authenticode appends a PE
// certificate table after the trailer and points the image's security
// directory at it (a file offset, unlike every other directory). The
// signature itself is never checked here; only where the table lies.
#pragma once
#include <cstddef>
#include <cstdint>
#include "afx/file.h"

namespace payload {

struct CertificateTable {
  uint64_t offset = 0;  // in the file
  uint32_t size = 0;
};

// True when `file` is a PE image whose security directory names a table
// that ends exactly where the file does and begins after the headers.
bool FindCertificateTable(CFile& file, CertificateTable* table);

// The first `n` bytes of a PE image cut to `imageLength` bytes: when they
// hold a security directory reaching past that length, it and the image's
// CheckSum are cleared, so the cut image claims no signature it lacks.
// True when something was cleared.
bool DropCutSignature(BYTE* head, size_t n, uint64_t imageLength);

}  // namespace payload
