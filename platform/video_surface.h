// Where a camera's frames are shown. The player's thread hands finished frames to a surface;
// a GUI pane paints them on its own thread, never the worker.
#pragma once

#include <cstdint>
#include <mutex>
#include <opencv2/core.hpp>

// A target for finished frames. Both operations are safe from any thread.
class VideoSurface {
 public:
  virtual ~VideoSurface() = default;

  // The current size in pixels; 0 x 0 while the surface is hidden.
  virtual void GetSize(int* width, int* height) const = 0;

  // Takes a finished 8-bit 4-channel BGRA frame in the layout of QImage::Format_RGB32
  // (bytes B, G, R, 0xFF per pixel; rows may be padded, frame.step[0] apart), already at the
  // surface's size, so a pane paints it without converting. The surface keeps a reference
  // to the pixels; the caller does not write to them while anyone else holds a reference
  // (it reuses a frame only once its reference count is back to its own).
  virtual void ShowFrame(const cv::Mat& frame) = 0;
};

// A surface without a window: keeps the last frame (as given: CV_8UC4, BGRA) and counts
// frames. For tests, benchmarks and command-line playback.
class CHeadlessSurface : public VideoSurface {
 public:
  explicit CHeadlessSurface(int width = 0, int height = 0);
  CHeadlessSurface(const CHeadlessSurface&) = delete;
  CHeadlessSurface& operator=(const CHeadlessSurface&) = delete;

  void GetSize(int* width, int* height) const override;
  void ShowFrame(const cv::Mat& frame) override;

  void SetSize(int width, int height);
  // The last frame shown (empty before the first); shares its pixels with the surface.
  cv::Mat LastFrame() const;
  int64_t FrameCount() const;

 private:
  // Guarded by m_lock.
  mutable std::mutex m_lock;
  int m_width;
  int m_height;
  cv::Mat m_last;
  int64_t m_frames = 0;
};
