#include "platform/video_surface.h"

CHeadlessSurface::CHeadlessSurface(int width, int height) : m_width(width), m_height(height) {}

void CHeadlessSurface::GetSize(int* width, int* height) const {
  std::lock_guard<std::mutex> guard(m_lock);
  if (width) *width = m_width;
  if (height) *height = m_height;
}

void CHeadlessSurface::ShowFrame(const cv::Mat& frame) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_last = frame;
  ++m_frames;
}

void CHeadlessSurface::SetSize(int width, int height) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_width = width > 0 ? width : 0;
  m_height = height > 0 ? height : 0;
}

cv::Mat CHeadlessSurface::LastFrame() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_last;
}

int64_t CHeadlessSurface::FrameCount() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_frames;
}
