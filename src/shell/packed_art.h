// The wizard's bitmaps are stored packed: the BMP file's length (4 bytes,
// little-endian), then the file as one zlib stream (res/draw_art.py). They
// take a twentieth of the room of the BMP files in the shipped program.
#pragma once
#include <cstddef>
#include <vector>
#include "platform/types.h"

struct stuUnpackedBitmap {
  std::vector<BYTE> file;  // the whole BMP file
  size_t info = 0;         // where its BITMAPINFO starts
  size_t bits = 0;         // where its pixel rows start
};

// Unpacks `length` bytes of a packed bitmap. False, with *out unusable, when
// the stream is damaged, inflates to another length than it states, or is
// not an uncompressed bottom-up BMP whose palette and rows fit in the file.
bool UnpackBitmap(const BYTE* data, size_t length, stuUnpackedBitmap* out);
