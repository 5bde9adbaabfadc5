// Helpers for pixel tests of the skinned controls.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace roadkeep::test {

// A 4 x 4 pixel checkerboard of two colours: a background that is easy to recognise.
inline QRgb Texture(int x, int y) {
  return ((x / 4 + y / 4) % 2) ? qRgb(200, 30, 90) : qRgb(30, 140, 200);
}

inline QImage TexturedImage(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, Texture(x, y));
  }
  return image;
}

// A parent window that paints the checkerboard, so see-through pixels are visible.
class TexturedParent : public QWidget {
 public:
  TexturedParent(int w, int h) { resize(w, h); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, TexturedImage(width(), height()));
  }
};

// The widget's picture with its children, as RGB32.
inline QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// A solid image of colour c with a border of `border` pixels in colour edge.
inline QImage Framed(int w, int h, QRgb c, QRgb edge, int border) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(edge);
  for (int y = border; y < h - border; ++y) {
    for (int x = border; x < w - border; ++x) image.setPixel(x, y, c);
  }
  return image;
}

}  // namespace roadkeep::test
