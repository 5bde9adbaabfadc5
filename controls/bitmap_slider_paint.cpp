// Painting of CBitmapSlider. Each paint starts from what shows through the control (a
// see-through channel) or from the background colour, so no earlier thumb needs wiping.
#include <QPainter>

#include "controls/bitmap_slider.h"
#include "controls/mem_dc.h"
#include "controls/transparent_bitmap.h"

void CBitmapSlider::DrawPart(QPainter& p, const Part& part, const QRect& where, QPoint source,
                             bool seeThrough) const {
  if (where.isEmpty()) return;
  if (seeThrough) {
    DrawTransparent(p, where.x(), where.y(), where.width(), where.height(), part.image,
                    source.x(), source.y(), part.mask);
  } else {
    p.drawImage(where.topLeft(), part.image, QRect(source, where.size()));
  }
}

void CBitmapSlider::DrawChannel(QPainter& p) const {
  const QRect all(0, 0, m_width, m_height);
  if (!(m_channelActive && isEnabled())) {
    DrawPart(p, m_channel, all, QPoint(0, 0), m_channelSeeThrough);
    return;
  }
  const int split = PosToPixel(m_pos);
  QRect before = m_vertical ? QRect(0, 0, m_width, split) : QRect(0, 0, split, m_height);
  QRect after = m_vertical ? QRect(0, split, m_width, m_height - split)
                           : QRect(split, 0, m_width - split, m_height);
  before &= all;
  after &= all;
  DrawPart(p, m_activeChannel, before, before.topLeft(), m_channelSeeThrough);
  DrawPart(p, m_channel, after, after.topLeft(), m_channelSeeThrough);
}

void CBitmapSlider::DrawThumb(QPainter& p) const {
  const Part& thumb = m_dragging && m_thumbActive ? m_activeThumb : m_thumb;
  const int centre = PosToPixel(m_pos);
  QPoint at = m_vertical ? QPoint(m_marginLeft, centre - m_thumbHeight / 2)
                         : QPoint(centre - m_thumbWidth / 2, m_marginTop);
  DrawPart(p, thumb, QRect(at, QSize(m_thumbWidth, m_thumbHeight)), QPoint(0, 0),
           m_thumbSeeThrough);
}

void CBitmapSlider::SetMarks(std::vector<int> positions, QColor color) {
  m_marks = std::move(positions);
  m_markColor = color;
  update();
}

void CBitmapSlider::DrawMarks(QPainter& p) const {
  p.setPen(QPen(m_markColor, 2));
  for (const int pos : m_marks) {
    if (pos < m_min || pos > m_max) continue;
    const int at = PosToPixel(pos);
    if (m_vertical) {
      p.drawLine(1, at, width() - 2, at);
    } else {
      p.drawLine(at, 1, at, height() - 2);
    }
  }
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter target(this);
  const QRect client = rect();
  CMemDC memDC(target, &client, m_hasChannel && m_channelSeeThrough);
  QPainter& p = memDC.Painter();
  if (m_hasChannel) DrawChannel(p);
  if (!m_marks.empty()) DrawMarks(p);
  if (m_hasThumb && isEnabled()) DrawThumb(p);
  if (m_drawFocusRect && hasFocus() && isEnabled()) {
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(client.adjusted(0, 0, -1, -1));
  }
}
