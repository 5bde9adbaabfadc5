// CVideoPane: the window where one camera's frames are shown. The player's worker hands it
// finished frames (already at the pane's size, 32-bit RGB) through VideoSurface; the pane
// keeps the newest one under its lock and paints it on the GUI thread. The worker never
// draws into the widget.
//
// Threads: GetSize and ShowFrame from any thread; everything else on the GUI thread. The
// size the worker sees changes only under m_lock, in the same GUI-thread step that moves,
// resizes, shows or hides the widget, so a frame is always made for a size the pane had.
#pragma once

#include <QWidget>
#include <atomic>
#include <mutex>
#include <opencv2/core.hpp>

#include "platform/video_surface.h"

class CVideoPane : public QWidget, public VideoSurface {
 public:
  CVideoPane(int id, QWidget* parent);
  CVideoPane(const CVideoPane&) = delete;
  CVideoPane& operator=(const CVideoPane&) = delete;

  // The size frames are made for: the widget's size while it is shown, else 0 x 0.
  void GetSize(int* width, int* height) const override;
  // Keeps frame (shared, not copied) and schedules a repaint on the GUI thread.
  void ShowFrame(const cv::Mat& frame) override;

  // Forgets the last frame: the pane paints black until the next one.
  void Clear();
  // While note is not empty the pane says it on black instead of its frames (a camera the
  // recording on screen does not have). GUI thread.
  void SetNote(const QString& note);
  QString Note() const { return m_note; }
  // A short text drawn over the picture's top right corner (the playback speed when it is not
  // 1x); empty for none. GUI thread.
  void SetBadge(const QString& badge);
  QString Badge() const { return m_badge; }
  // The newest frame (empty before the first); shares its pixels.
  cv::Mat LastFrame() const;
  int64_t FramesShown() const { return m_shown.load(); }
  int64_t FramesPainted() const { return m_painted; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void UpdateSurfaceSize(bool visible);

  // Guarded by m_lock.
  mutable std::mutex m_lock;
  cv::Mat m_frame;
  int m_surfaceWidth = 0, m_surfaceHeight = 0;

  std::atomic<bool> m_repaintPosted{false};  // one queued repaint at a time
  std::atomic<int64_t> m_shown{0};
  int64_t m_painted = 0;  // GUI thread only
  QString m_note;         // GUI thread only
  QString m_badge;        // GUI thread only
};
