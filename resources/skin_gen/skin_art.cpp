#include "resources/skin_gen/skin_art.h"

#include <QPainterPath>
#include <QtMath>
#include <vector>

namespace skin {

namespace {

QRgb KeyRgb(Key key) { return key == Key::kBlack ? qRgb(0, 0, 0) : qRgb(255, 0, 255); }

QPen Stroke(const QColor& c, qreal w) {
  QPen pen(c, w);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// A square of side min(w, h) centred in r.
QRectF Square(const QRectF& r) {
  qreal s = qMin(r.width(), r.height());
  return QRectF(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& color) {
  QPainterPath path;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  p.fillPath(path, color);
}

// Key pixels that are enclosed by art (the inside of an outlined glyph, the counter of a
// letter) become matte, so the window shows through only around the art.
void FillEnclosedKey(QImage& image, QRgb key, QRgb matte) {
  const int w = image.width(), h = image.height();
  std::vector<char> outside(w * h, 0);
  std::vector<QPoint> stack;
  for (int x = 0; x < w; ++x) stack.insert(stack.end(), {QPoint(x, 0), QPoint(x, h - 1)});
  for (int y = 0; y < h; ++y) stack.insert(stack.end(), {QPoint(0, y), QPoint(w - 1, y)});
  while (!stack.empty()) {
    QPoint p = stack.back();
    stack.pop_back();
    if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) continue;
    char& seen = outside[p.y() * w + p.x()];
    if (seen || image.pixel(p) != key) continue;
    seen = 1;
    stack.insert(stack.end(), {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1),
                               p - QPoint(0, 1)});
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!outside[y * w + x] && image.pixel(x, y) == key) image.setPixel(x, y, matte);
    }
  }
}

}  // namespace

QImage Render(int w, int h, Key key, const QColor& matte, const Art& art) {
  QImage canvas(w, h, QImage::Format_ARGB32);
  canvas.fill(Qt::transparent);
  {
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    art(p, QRectF(0, 0, w, h));
  }
  QImage out(w, h, QImage::Format_RGB32);
  const QRgb keyRgb = KeyRgb(key);
  for (int y = 0; y < h; ++y) {
    const QRgb* src = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
    QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      int a = qAlpha(src[x]);
      if (key != Key::kNone && a == 0) {
        dst[x] = keyRgb;
        continue;
      }
      auto mix = [a](int s, int m) { return (s * a + m * (255 - a) + 127) / 255; };
      QRgb v = qRgb(mix(qRed(src[x]), matte.red()), mix(qGreen(src[x]), matte.green()),
                    mix(qBlue(src[x]), matte.blue()));
      if (key != Key::kNone && (v & 0xFFFFFF) == (keyRgb & 0xFFFFFF)) {
        v = key == Key::kBlack ? qRgb(1, 1, 1) : qRgb(254, 0, 255);
      }
      dst[x] = v;
    }
  }
  if (key != Key::kNone) FillEnclosedKey(out, keyRgb, matte.rgb());
  return out;
}

QFont UiFont(qreal pixelSize, bool bold, const char* family) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(qRound(pixelSize));
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

void DrawCenteredText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                      const QColor& color) {
  p.setFont(font);
  p.setPen(color);
  p.drawText(r, Qt::AlignCenter, text);
}

void DrawPlay(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(2, 2, -1, -2);
  Triangle(p, s.topLeft(), QPointF(s.right(), s.center().y()), s.bottomLeft(), c);
}

void DrawPause(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(2.5, 2.5, -2.5, -2.5);
  qreal bar = s.width() * 0.36;
  p.fillRect(QRectF(s.left(), s.top(), bar, s.height()), c);
  p.fillRect(QRectF(s.right() - bar, s.top(), bar, s.height()), c);
}

void DrawStop(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(2, 2, -2, -2);
  QPainterPath path;
  path.addRoundedRect(s, 1.5, 1.5);
  p.fillPath(path, c);
}

void DrawSkip(QPainter& p, const QRectF& r, const QColor& c, bool forward) {
  QRectF s = r.adjusted(5, 3, -5, -3);
  qreal w = (s.width() - 3) / 2, y0 = s.top(), y1 = s.bottom(), cy = s.center().y();
  if (forward) {
    Triangle(p, {s.left(), y0}, {s.left() + w, cy}, {s.left(), y1}, c);
    Triangle(p, {s.left() + w, y0}, {s.left() + 2 * w, cy}, {s.left() + w, y1}, c);
    p.fillRect(QRectF(s.right() - 2.2, y0, 2.2, s.height()), c);
  } else {
    p.fillRect(QRectF(s.left(), y0, 2.2, s.height()), c);
    Triangle(p, {s.right(), y0}, {s.right() - w, cy}, {s.right(), y1}, c);
    Triangle(p, {s.right() - w, y0}, {s.right() - 2 * w, cy}, {s.right() - w, y1}, c);
  }
}

void DrawJump(QPainter& p, const QRectF& r, const QColor& c, bool forward) {
  // A small chevron pair with "10": "<<10" or "10>>".
  QFont font = UiFont(r.height() * 0.72, true, "DejaVu Sans Condensed");
  QRectF text = forward ? r.adjusted(0, 0, -9, 0) : r.adjusted(9, 0, 0, 0);
  DrawCenteredText(p, text, QStringLiteral("10"), font, c);
  qreal cy = r.center().y(), h = r.height() * 0.28;
  p.setPen(Stroke(c, 1.6));
  for (int i = 0; i < 2; ++i) {
    qreal x = forward ? r.right() - 8.5 + i * 3.5 : r.left() + 5 + i * 3.5;
    if (forward) {
      p.drawPolyline(QList<QPointF>{{x, cy - h}, {x + 3, cy}, {x, cy + h}});
    } else {
      p.drawPolyline(QList<QPointF>{{x, cy - h}, {x - 3, cy}, {x, cy + h}});
    }
  }
}

void DrawCard(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(4, 1.5, -4, -1.5);
  QPainterPath path;
  path.moveTo(s.left() + 4, s.top());
  path.lineTo(s.right(), s.top());
  path.lineTo(s.right(), s.bottom());
  path.lineTo(s.left(), s.bottom());
  path.lineTo(s.left(), s.top() + 4);
  path.closeSubpath();
  p.setPen(Stroke(c, 1.4));
  p.drawPath(path);
  for (int i = 0; i < 3; ++i) {
    qreal x = s.left() + 4.5 + i * 2.5;
    p.drawLine(QPointF(x, s.top() + 2.5), QPointF(x, s.top() + 5));
  }
}

void DrawCamera(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF body = r.adjusted(5, 5, -5, -2);
  QPainterPath path;
  path.addRoundedRect(body, 2.5, 2.5);
  path.addRect(QRectF(body.center().x() - 4, body.top() - 2.5, 8, 3));
  p.setPen(Stroke(c, 1.5));
  p.drawPath(path.simplified());
  p.drawEllipse(QPointF(body.center().x(), body.center().y() + 0.5), 3.6, 3.6);
}

void DrawGear(QPainter& p, const QRectF& r, const QColor& c, const QColor& hole) {
  QRectF s = Square(r).adjusted(2, 2, -2, -2);
  QPointF o = s.center();
  qreal outer = s.width() / 2, inner = outer * 0.72;
  QPainterPath path;
  for (int i = 0; i < 32; ++i) {
    qreal a = i * M_PI / 16;
    qreal rad = (i / 2) % 2 == 0 ? outer : inner;
    QPointF pt(o.x() + rad * qCos(a), o.y() + rad * qSin(a));
    i == 0 ? path.moveTo(pt) : path.lineTo(pt);
  }
  path.closeSubpath();
  p.fillPath(path, c);
  p.setPen(Qt::NoPen);
  p.setBrush(hole);
  p.drawEllipse(o, outer * 0.32, outer * 0.32);
}

void DrawMagnifier(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(2.5, 2.5, -2.5, -2.5);
  qreal rad = s.width() * 0.32;
  QPointF o(s.left() + rad + 1, s.top() + rad + 1);
  p.setPen(Stroke(c, 1.8));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(o, rad, rad);
  p.setPen(Stroke(c, 2.6));
  p.drawLine(o + QPointF(rad * 0.75, rad * 0.75), s.bottomRight());
  p.setPen(Stroke(c, 1.4));
  p.drawLine(o - QPointF(rad * 0.45, 0), o + QPointF(rad * 0.45, 0));
  p.drawLine(o - QPointF(0, rad * 0.45), o + QPointF(0, rad * 0.45));
}

void DrawSun(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(2, 2, -2, -2);
  QPointF o = s.center();
  qreal rad = s.width() / 2;
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(o, rad * 0.36, rad * 0.36);
  p.setPen(Stroke(c, 1.5));
  for (int i = 0; i < 8; ++i) {
    qreal a = i * M_PI / 4;
    QPointF d(qCos(a), qSin(a));
    p.drawLine(o + d * rad * 0.6, o + d * rad * 0.92);
  }
}

void DrawMirror(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(5, 5, -5, -5);
  qreal cx = s.center().x();
  Triangle(p, {cx - 2.5, s.top()}, {cx - 2.5, s.bottom()}, {s.left(), s.bottom()}, c);
  p.setPen(Stroke(c, 1.3));
  p.setBrush(Qt::NoBrush);
  QPainterPath right;
  right.moveTo(cx + 2.5, s.top());
  right.lineTo(cx + 2.5, s.bottom());
  right.lineTo(s.right(), s.bottom());
  right.closeSubpath();
  p.drawPath(right);
  QPen dash(c, 1);
  dash.setDashPattern({1.5, 1.5});
  p.setPen(dash);
  p.drawLine(QPointF(cx, r.top() + 2), QPointF(cx, r.bottom() - 2));
}

void DrawSpeaker(QPainter& p, const QRectF& r, const QColor& c, bool muted, const QColor& x) {
  QRectF s = r.adjusted(4, 4, -4, -4);
  qreal cy = s.center().y();
  QPainterPath body;
  body.moveTo(s.left(), cy - 2.5);
  body.lineTo(s.left() + 3.5, cy - 2.5);
  body.lineTo(s.left() + 8, s.top());
  body.lineTo(s.left() + 8, s.bottom());
  body.lineTo(s.left() + 3.5, cy + 2.5);
  body.lineTo(s.left(), cy + 2.5);
  body.closeSubpath();
  p.fillPath(body, c);
  p.setBrush(Qt::NoBrush);
  if (muted) {
    p.setPen(Stroke(x, 1.8));
    qreal x0 = s.left() + 11.5, d = 3.2;
    p.drawLine(QPointF(x0, cy - d), QPointF(x0 + 2 * d, cy + d));
    p.drawLine(QPointF(x0, cy + d), QPointF(x0 + 2 * d, cy - d));
    return;
  }
  p.setPen(Stroke(c, 1.5));
  for (int i = 0; i < 2; ++i) {
    qreal rad = 4 + i * 3.5;
    QRectF arc(s.left() + 6.5 - rad, cy - rad, 2 * rad, 2 * rad);
    p.drawArc(arc, -45 * 16, 90 * 16);
  }
}

void DrawCorners(QPainter& p, const QRectF& r, const QColor& c, bool outward) {
  QRectF s = Square(r).adjusted(6.5, 6.5, -6.5, -6.5);
  qreal l = 4;
  p.setPen(Stroke(c, 1.6));
  const QPointF corners[4] = {s.topLeft(), s.topRight(), s.bottomRight(), s.bottomLeft()};
  for (const QPointF& k : corners) {
    qreal sx = k.x() < s.center().x() ? 1 : -1, sy = k.y() < s.center().y() ? 1 : -1;
    QPointF tip = outward ? k : k + QPointF(sx * l, sy * l);
    QPointF a = tip + QPointF(outward ? sx * l : -sx * l, 0);
    QPointF b = tip + QPointF(0, outward ? sy * l : -sy * l);
    p.drawPolyline(QList<QPointF>{a, tip, b});
  }
}

void DrawMinimise(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(7.5, 7.5, -7.5, -7.5);
  p.setPen(Stroke(c, 1.8));
  p.drawLine(QPointF(s.left(), s.bottom() - 1), QPointF(s.right(), s.bottom() - 1));
}

void DrawCross(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(8, 8, -8, -8);
  p.setPen(Stroke(c, 1.8));
  p.drawLine(s.topLeft(), s.bottomRight());
  p.drawLine(s.topRight(), s.bottomLeft());
}

void DrawSwap(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(1, 2, -1, -2);
  qreal y0 = s.top() + s.height() * 0.28, y1 = s.bottom() - s.height() * 0.28;
  p.setPen(Stroke(c, 1.5));
  p.drawLine(QPointF(s.left(), y0), QPointF(s.right(), y0));
  p.drawPolyline(QList<QPointF>{{s.right() - 3, y0 - 3}, {s.right(), y0}, {s.right() - 3, y0 + 3}});
  p.drawLine(QPointF(s.left(), y1), QPointF(s.right(), y1));
  p.drawPolyline(QList<QPointF>{{s.left() + 3, y1 - 3}, {s.left(), y1}, {s.left() + 3, y1 + 3}});
}

void DrawPin(QPainter& p, const QRectF& r, const QColor& c, const QColor& hole) {
  QRectF s = Square(r).adjusted(2, 1, -2, -1);
  qreal rad = s.width() * 0.36;
  QPointF o(s.center().x(), s.top() + rad + 0.5);
  QPainterPath path;
  path.addEllipse(o, rad, rad);
  QPainterPath tip;
  tip.moveTo(o.x() - rad * 0.85, o.y() + rad * 0.5);
  tip.lineTo(o.x(), s.bottom());
  tip.lineTo(o.x() + rad * 0.85, o.y() + rad * 0.5);
  tip.closeSubpath();
  p.fillPath(path.united(tip), c);
  p.setPen(Qt::NoPen);
  p.setBrush(hole);
  p.drawEllipse(o, rad * 0.42, rad * 0.42);
}

void DrawDownload(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = Square(r).adjusted(2, 2, -2, -2);
  qreal cx = s.center().x();
  p.setPen(Stroke(c, 1.7));
  p.drawLine(QPointF(cx, s.top()), QPointF(cx, s.bottom() - 4));
  p.drawPolyline(QList<QPointF>{{cx - 4, s.bottom() - 8}, {cx, s.bottom() - 4}, {cx + 4, s.bottom() - 8}});
  p.drawPolyline(QList<QPointF>{{s.left(), s.bottom() - 3}, {s.left(), s.bottom()}, {s.right(), s.bottom()}, {s.right(), s.bottom() - 3}});
}

void DrawVideoCam(QPainter& p, const QRectF& r, const QColor& c) {
  QRectF s = r.adjusted(1, 3, -1, -3);
  QRectF body(s.left(), s.top(), s.width() * 0.66, s.height());
  QPainterPath path;
  path.addRoundedRect(body, 2, 2);
  p.fillPath(path, c);
  Triangle(p, {body.right() + 1, s.center().y()}, {s.right(), s.top() + 1}, {s.right(), s.bottom() - 1}, c);
}

}  // namespace skin
