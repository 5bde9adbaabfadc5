// The first picture of each camera of a recording that is not playing, for a snapshot taken
// from the list: the recording's chunks are read from its start, through a reader of its
// own, until each camera's first key frame has decoded. Any thread; no Qt.
#pragma once

#include <cstdint>
#include <vector>

class CRecordingReader;

struct FirstPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgrx;  // width * height pixels of B, G, R, 0xFF, rows packed

  bool Empty() const { return bgrx.empty(); }
};

// Reads at most this many chunks: a camera without a picture by then has none to give.
inline constexpr int kFirstPictureChunkLimit = 2000;
// A chunk the card says is larger than this is damage, not a picture.
inline constexpr int kFirstPictureChunkBytes = 16 << 20;

// One picture per camera (front first); a camera whose picture could not be decoded (the
// recording is damaged, cut short, or the card went) gives an empty one.
std::vector<FirstPicture> DecodeFirstPictures(CRecordingReader& reader, int cameraCount);
