#include "app/video_pane.h"

#include <algorithm>

#include <QImage>
#include <QPainter>
#include <QShowEvent>

#include "controls/control_message.h"

CVideoPane::CVideoPane(int id, QWidget* parent) : QWidget(parent) {
  SetControlId(this, id);
  // Every pixel is painted here, so nothing under the pane is drawn first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

void CVideoPane::GetSize(int* width, int* height) const {
  std::lock_guard<std::mutex> guard(m_lock);
  if (width) *width = m_surfaceWidth;
  if (height) *height = m_surfaceHeight;
}

void CVideoPane::ShowFrame(const cv::Mat& frame) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_frame = frame;
  }
  ++m_shown;
  if (!m_repaintPosted.exchange(true)) {
    // Queued to the pane's thread; dropped by Qt if the pane is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_repaintPosted = false;
          update();
        },
        Qt::QueuedConnection);
  }
}

void CVideoPane::Clear() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_frame.release();
  }
  update();
}

void CVideoPane::SetNote(const QString& note) {
  if (note == m_note) return;
  m_note = note;
  update();
}

void CVideoPane::SetBadge(const QString& badge) {
  if (badge == m_badge) return;
  m_badge = badge;
  update();
}

cv::Mat CVideoPane::LastFrame() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_frame;
}

void CVideoPane::paintEvent(QPaintEvent*) {
  cv::Mat frame = LastFrame();  // keeps the pixels alive while they are painted
  QPainter painter(this);
  if (!m_note.isEmpty() || frame.empty() || frame.type() != CV_8UC4) {
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(160, 160, 160));
    if (!m_note.isEmpty()) painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_note);
    return;
  }
  const QImage image(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step[0]),
                     QImage::Format_RGB32);
  if (image.size() == size()) {
    painter.drawImage(0, 0, image);  // the usual case: a straight copy
  } else {
    // Only a frame made before the pane's last resize; the next one fits.
    painter.drawImage(rect(), image);
  }
  if (!m_badge.isEmpty()) {
    QFont font = painter.font();
    font.setPixelSize(std::clamp(height() / 14, 12, 28));
    font.setBold(true);
    painter.setFont(font);
    const QRect text = painter.fontMetrics().boundingRect(m_badge).adjusted(-8, -3, 8, 3);
    const QRect badge(width() - text.width() - 10, 10, text.width(), text.height());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(22, 24, 28, 200));
    painter.drawRoundedRect(badge, 4, 4);
    painter.setPen(QColor(247, 88, 46));
    painter.drawText(badge, Qt::AlignCenter, m_badge);
  }
  ++m_painted;
}

void CVideoPane::UpdateSurfaceSize(bool visible) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_surfaceWidth = visible ? width() : 0;
  m_surfaceHeight = visible ? height() : 0;
}

void CVideoPane::resizeEvent(QResizeEvent*) { UpdateSurfaceSize(isVisible()); }
void CVideoPane::showEvent(QShowEvent*) { UpdateSurfaceSize(true); }

void CVideoPane::hideEvent(QHideEvent* event) {
  // A minimised window hides its children spontaneously; they keep decoding so the picture
  // is whole when the window comes back.
  if (!event->spontaneous()) UpdateSurfaceSize(false);
}
