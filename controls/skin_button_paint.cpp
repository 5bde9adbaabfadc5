// Painting of CxSkinButton.
#include <QPainter>
#include <qdrawutil.h>

#include "controls/skin_button.h"
#include "controls/transparent_bitmap.h"

void CxSkinButton::DrawBitmap(QPainter& p, const QImage& bitmap, const QRect& r) const {
  if (m_drawMode == kTile) {
    for (int y = r.top(); y <= r.bottom(); y += bitmap.height()) {
      for (int x = r.left(); x <= r.right(); x += bitmap.width()) {
        QRect cell = QRect(x, y, bitmap.width(), bitmap.height()) & r;
        p.drawImage(cell.topLeft(), bitmap, QRect(QPoint(0, 0), cell.size()));
      }
    }
    return;
  }
  const bool stretch = m_drawMode == kStretch;
  QImage picture = stretch ? bitmap.scaled(r.size()) : bitmap;
  if (!m_images.mask.isNull()) {
    // The mask's black pixels keep what is behind the button.
    QImage mask = stretch ? m_images.mask.scaled(r.size()) : m_images.mask;
    QImage andMask = MakeMask(mask, qRgb(0, 0, 0));
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.drawImage(r.topLeft(), picture);
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    p.drawImage(r.topLeft(), andMask);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.drawImage(r.topLeft(), picture);
    p.restore();
    return;
  }
  p.drawImage(r.topLeft(), picture);
}

void CxSkinButton::DrawCaption(QPainter& p, const QRect& r, const QColor& color) const {
  if (text().isEmpty()) return;
  p.setPen(color);
  p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void CxSkinButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect item = rect();
  QRect caption = item.adjusted(m_margin + 2, 0, -(m_margin + 2), 0);
  const QColor face = palette().color(QPalette::Button);
  auto drawFace = [&](const QImage& bitmap) {
    if (bitmap.isNull()) {
      p.fillRect(item, face);
    } else {
      DrawBitmap(p, bitmap, item);
    }
  };
  if (!isEnabled()) {
    drawFace(m_images.disabled);
    if (m_border) qDrawShadePanel(&p, item, palette(), false, 1);
    DrawCaption(p, caption.translated(m_checked ? QPoint(1, 1) : QPoint(0, 0)),
                palette().color(QPalette::Highlight));
    DrawCaption(p, caption.translated(-1, -1),
                palette().color(QPalette::Disabled, QPalette::ButtonText));
    return;
  }
  const bool sunken = isDown() || m_checked;
  if (sunken) {
    drawFace(m_images.down);
    caption.translate(1, 1);
  } else if (m_hovering && !m_images.over.isNull()) {
    drawFace(m_images.over);
  } else if (hasFocus() && !m_images.focus.isNull()) {
    drawFace(m_images.focus);
  } else {
    drawFace(m_images.normal);
  }
  if (m_border) qDrawShadePanel(&p, item, palette(), sunken, 1);
  if (hasFocus() && m_margin > 0) {
    p.setPen(QPen(m_textColor, 1, Qt::DotLine));
    p.drawRect(item.adjusted(m_margin, m_margin, -m_margin - 1, -m_margin - 1));
  }
  DrawCaption(p, caption, m_textColor);
}
