// The video decoder as the player sees it: one decoding context per camera (0 front,
// 1 rear), pictures drawn into a VideoSurface, and per-camera picture settings.
#pragma once

#include <cstdint>

class VideoSurface;
namespace cv {
class Mat;
}

class VMediaDecoder {
 public:
  // Opens both cameras' codecs; true whatever they report (a failed open shows up as
  // failed decodes later).
  virtual bool OpenCodecs() = 0;
  virtual void CloseCodecs() = 0;
  // Decodes one access unit of camera index and, when show, draws the picture scaled to the
  // surface's size. False for a bad index, a hidden surface (nothing decoded) or no surface.
  virtual bool DecodeAndShow(int index, VideoSurface* surface, const uint8_t* data, int size,
                             bool show) = 0;
  // As DecodeAndShow with show, but the picture (at the surface's size, flipped) goes to
  // *frame for the caller to show later; it stays the decoder's until the surface has let it
  // go. The default shows it at once and leaves *frame empty.
  virtual bool DecodeToFrame(int index, VideoSurface* surface, const uint8_t* data, int size,
                             cv::Mat* /*frame*/) {
    return DecodeAndShow(index, surface, data, size, true);
  }
  // Pictures made by DecodeToFrame may be held this many at a time per camera.
  virtual void SetFramesAhead(int /*frames*/) {}
  // Draws the camera's last picture again at the surface's current size; does not decode.
  virtual bool RedrawFrame(int index, VideoSurface* surface) = 0;
  // Drops the camera's buffered pictures; 0, or -1 for an index other than 0 or 1.
  virtual int Flush(int index) = 0;
  // level -10..: factor level / 10 + 1, kept within 0.01..2.0.
  virtual void SetContrast(int index, int level) = 0;
  // factor level / 10, not limited.
  virtual void SetBrightness(int index, int level) = 0;
  // 0 none, 1 upside down, 2 both axes, 3 mirror; other values show unflipped. Returns mode.
  virtual int SetFlipMode(int index, int mode) = 0;
  // Writes the camera's last picture at its own size, with the current brightness and
  // contrast and no flip; the file type follows the name (.jpg: JPEG). False before any
  // picture or when the file cannot be written.
  virtual bool SaveFrame(int index, const char* path) = 0;
  // Pictures kept for steps back while paused (a few per camera): the camera's last picture
  // remembered under key; the one kept under key made the last picture again and drawn
  // (false, nothing drawn, when none is kept under it); all of them let go.
  virtual void KeepPicture(int /*index*/, int64_t /*key*/) {}
  virtual bool ShowKeptPicture(int /*index*/, int64_t /*key*/, VideoSurface* /*surface*/) { return false; }
  virtual void ForgetKeptPictures() {}
  virtual ~VMediaDecoder() = default;
};
