// JPEG files of 8-bit BGRX pictures (the frames' own 32-bit layout) through libjpeg-turbo.
// Thread-safe: each call uses its own codec handle.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kJpegQuality = 95;

// Whether path names a JPEG file by its extension (.jpg, .jpeg, .jpe; any case).
bool IsJpegName(const char* path);

// Writes width x height pixels of 4 bytes (B, G, R, unused), rowStride bytes apart, to path
// as a baseline 3-component JPEG. The file appears whole or not at all: the bytes go to a
// temporary file beside it, which is renamed over path only when everything was written, so
// a failed write (full disk, unwritable folder) leaves an older file of that name untouched;
// a link or anything but a regular file at path is never replaced or written through.
// Temporary files of earlier writes cut off there (a card pulled mid-write) are removed
// first (platform/part_file.h). False on bad arguments or any failure.
bool WriteJpegFile(const char* path, const uint8_t* bgrx, int width, int height, int rowStride,
                   int quality = kJpegQuality);

// A decoded JPEG file: width x height pixels of 4 bytes (B, G, R, 0xFF), rows packed.
struct JpegPicture {
  int width = 0;
  int height = 0;
  int components = 0;  // in the file: 1 grey, 3 colour
  std::vector<uint8_t> bgrx;
};

// Reads and decodes the JPEG file at path; false when it is missing or not a JPEG.
bool ReadJpegFile(const char* path, JpegPicture* picture);
