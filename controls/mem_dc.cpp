#include "controls/mem_dc.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {

QRect ClipBox(const QPainter& target) {
  if (target.hasClipping()) return target.clipBoundingRect().toAlignedRect();
  const QPaintDevice* device = target.device();
  QRect all(0, 0, device->width(), device->height());
  return target.transform().inverted().mapRect(all);
}

}  // namespace

CMemDC::CMemDC(QPainter& target, const QRect* rect, bool copyBackground)
    : m_target(target), m_rect(rect != nullptr ? *rect : ClipBox(target)) {
  if (target.device() != nullptr && target.device()->devType() == QInternal::Printer) {
    m_offScreen = false;
    return;
  }
  if (copyBackground) m_image = TargetPixels();
  if (m_image.size() != m_rect.size()) {
    m_image = QImage(m_rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_image.fill(target.background().color());
  }
  m_painter = std::make_unique<QPainter>(&m_image);
  m_painter->setWindow(QRect(m_rect.topLeft(), m_image.size()));
  m_painter->setViewport(0, 0, m_image.width(), m_image.height());
  m_painter->setFont(target.font());
  m_painter->setBackground(target.background());
}

CMemDC::~CMemDC() {
  if (!m_offScreen) return;
  m_painter->end();
  if (!m_rect.isEmpty()) m_target.drawImage(m_rect.topLeft(), m_image);
}

QPainter& CMemDC::Painter() { return m_offScreen ? *m_painter : m_target; }

// The pixels of the target under m_rect, or a null image when they cannot be read.
QImage CMemDC::TargetPixels() const {
  QPaintDevice* device = m_target.device();
  if (device == nullptr) return QImage();
  const QRect deviceRect = m_target.transform().mapRect(m_rect);
  switch (device->devType()) {
    case QInternal::Image:
      return static_cast<QImage*>(device)->copy(deviceRect).convertToFormat(QImage::Format_RGB32);
    case QInternal::Pixmap:
      return static_cast<QPixmap*>(device)->toImage().copy(deviceRect).convertToFormat(
          QImage::Format_RGB32);
    case QInternal::Widget: {
      // A widget's own earlier picture is not readable; what shows through it is its
      // parent's picture, which the parent paints again without its children.
      QWidget* widget = static_cast<QWidget*>(device);
      QWidget* parent = widget->parentWidget();
      if (parent == nullptr) return QImage();
      QImage pixels(m_rect.size(), QImage::Format_RGB32);
      pixels.fill(m_target.background().color());
      parent->render(&pixels, QPoint(), QRegion(m_rect.translated(widget->pos())),
                     QWidget::DrawWindowBackground);
      return pixels;
    }
    default:
      return QImage();
  }
}
