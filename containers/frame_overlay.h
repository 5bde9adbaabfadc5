// What the MP4 export's re-encode hands each picture to before it is encoded: a drawer of
// burned-in facts. Qt-free, so the engine can call it; the Qt band is tools/overlay_band.
#pragma once

#include <cstdint>

class VFrameOverlay {
 public:
  // The camera argument of a picture that holds the front and the rear side by side.
  static constexpr int kSideBySide = 2;

  virtual ~VFrameOverlay() = default;
  // Draws onto a picture of 8-bit B, G, R, 0xFF pixels (QImage::Format_RGB32 on a
  // little-endian machine), rows stride bytes apart; the pixels stay the caller's. camera: 0
  // front, 1 rear, kSideBySide; frameMs: the frame's time in the recording. Called on the
  // exporting thread, frames of a camera in order.
  virtual void Draw(uint8_t* pixels, int width, int height, int stride, int camera,
                    int64_t frameMs) = 0;
};
