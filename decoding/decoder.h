// CDecoder: the two cameras' H.264 contexts, scaling into a surface, flips and snapshots.
// Frames reach a surface as 8-bit BGRA (QImage::Format_RGB32 layout), converted once by
// swscale straight to the surface's size.
#pragma once

#include <atomic>
#include <opencv2/core.hpp>
#include <vector>

#include "decoding/h264_decoder.h"
#include "decoding/media_decoder.h"
#include "concurrency/sync.h"

// Thread use: the player's thread decodes and draws; the user-interface thread redraws,
// saves and changes settings (through the player, under its lock). Each operation takes the
// decode lock itself, so the class is also safe without the player's lock. Lock order:
// player lock -> decode lock; the surface is called after the decode lock is released.
class CDecoder : public VMediaDecoder {
 public:
  static constexpr int kCameras = 2;
  // Where a picture goes when the player passes no surface.
  static constexpr int kNoSurfaceWidth = 1280;
  static constexpr int kNoSurfaceHeight = 720;
  // Larger surface sizes are refused rather than allocated.
  static constexpr int kMaxSurfaceSide = 16384;

  CDecoder() = default;
  CDecoder(const CDecoder&) = delete;
  CDecoder& operator=(const CDecoder&) = delete;

  bool OpenCodecs() override;
  void CloseCodecs() override;
  bool DecodeAndShow(int index, VideoSurface* surface, const uint8_t* data, int size,
                     bool show) override;
  bool DecodeToFrame(int index, VideoSurface* surface, const uint8_t* data, int size,
                     cv::Mat* frame) override;
  void SetFramesAhead(int frames) override;
  bool RedrawFrame(int index, VideoSurface* surface) override;
  int Flush(int index) override;
  void SetContrast(int index, int level) override;
  void SetBrightness(int index, int level) override;
  int SetFlipMode(int index, int mode) override;
  bool SaveFrame(int index, const char* path) override;
  void KeepPicture(int index, int64_t key) override;
  bool ShowKeptPicture(int index, int64_t key, VideoSurface* surface) override;
  void ForgetKeptPictures() override;
  ~CDecoder() override = default;

  // Settings as they stand (index clamped): the factors, and the 16.16 values the camera's
  // conversion context holds (false before its first conversion).
  float ContrastFactor(int index);
  float BrightnessFactor(int index);
  bool GetColourDetails(int index, int* brightness, int* contrast, int* saturation);
  int FlipMode(int index) const { return m_flipMode[Clamp(index)].load(); }

 private:
  static int Clamp(int index) { return index < 1 ? 0 : 1; }
  // Decodes for a pane of width x height. REQUIRES: m_lock held.
  bool DecodeLocked(int index, const uint8_t* data, int size);
  // A width x height BGRA image (CV_8UC4, alpha 0xFF) with the camera's last picture;
  // opaque black without one. REQUIRES: m_lock held.
  cv::Mat RenderLocked(int index, bool convert, int width, int height);
  // A width x height CV_8UC4 buffer that nobody but the pool refers to any more (the surface
  // has let it go), or a new one. REQUIRES: m_lock held.
  cv::Mat FrameBuffer(int index, int width, int height);
  void Flip(int index, cv::Mat& image) const;
  void FlipAndShow(int index, cv::Mat& image, VideoSurface* surface) const;

  // Guarded by m_lock.
  CFFMH264_Decoder m_codec[kCameras];
  int m_width[kCameras] = {0, 0};  // the last surface size per camera
  // A picture was skipped while its pane was hidden: the stream resumes at a key frame, so
  // the codec is never fed slices whose parameter sets it has not seen.
  bool m_awaitKey[kCameras] = {false, false};
  int m_height[kCameras] = {0, 0};
  // Frames handed to the surfaces, reused once they come back: a surface keeps the last
  // one, a pane may still be painting the one before.
  static constexpr size_t kPooledFrames = 3;
  size_t m_pooledFrames = kPooledFrames;  // and as many as are decoded ahead
  std::vector<cv::Mat> m_frames[kCameras];
  CSync m_lock{"none"};

  // Any thread.
  std::atomic<int> m_flipMode[kCameras] = {0, 0};
};
