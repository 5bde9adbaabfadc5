// Off-screen drawing for one paint: everything drawn through Painter() lands in an image of
// the chosen rectangle and reaches the target in one copy when the CMemDC is destroyed.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>

class QPainter;

class CMemDC {
 public:
  // target: the painter of the paint in progress; it must outlive this object. rect: the
  // area in target coordinates, or null for the target's clip box (the whole device without
  // clipping). copyBackground: start from the target's pixels under rect (for a widget: its
  // parent's picture there); otherwise fill rect with the target's background colour.
  // A printer target is drawn on directly.
  CMemDC(QPainter& target, const QRect* rect, bool copyBackground);
  ~CMemDC();
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  // The painter to draw with; its coordinates are the target's.
  QPainter& Painter();
  const QRect& Rect() const { return m_rect; }
  bool IsOffScreen() const { return m_offScreen; }

 private:
  QImage TargetPixels() const;

  QPainter& m_target;
  QRect m_rect;  // target coordinates
  bool m_offScreen = true;
  QImage m_image;
  std::unique_ptr<QPainter> m_painter;
};
