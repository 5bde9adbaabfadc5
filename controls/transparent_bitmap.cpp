#include "controls/transparent_bitmap.h"

#include <QPainter>


QImage MakeMask(const QImage& bitmap, QRgb key) {
  QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
  QImage mask(source.size(), QImage::Format_RGB32);
  const QRgb keyRgb = key & 0xFFFFFF;
  for (int y = 0; y < source.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    QRgb* out = reinterpret_cast<QRgb*>(mask.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      out[x] = (in[x] & 0xFFFFFF) == keyRgb ? 0xFFFFFFFF : 0xFF000000;
    }
  }
  return mask;
}

void DrawKeyed(QPainter& target, QPoint at, const QImage& bitmap, ColorRef key) {
  if (bitmap.isNull()) return;
  QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
  QImage mask = MakeMask(source, ColorRefToRgb(key));
  target.save();
  target.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  target.drawImage(at, source);
  target.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  target.drawImage(at, mask);
  target.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  target.drawImage(at, source);
  target.restore();
}

bool PrepareMask(QImage& bitmap, QImage& maskOut, ColorRef key, int keyX, int keyY) {
  if (bitmap.isNull()) return false;
  bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
  QRgb keyRgb = ColorRefToRgb(key);
  if (key == kKeyFromPixel) {
    if (!bitmap.rect().contains(keyX, keyY)) return false;
    keyRgb = bitmap.pixel(keyX, keyY);
  }
  maskOut = MakeMask(bitmap, keyRgb);
  // Key pixels become black: the bitmap AND the inverted mask.
  for (int y = 0; y < bitmap.height(); ++y) {
    const QRgb* m = reinterpret_cast<const QRgb*>(maskOut.constScanLine(y));
    QRgb* b = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
    for (int x = 0; x < bitmap.width(); ++x) {
      if (m[x] == 0xFFFFFFFF) b[x] = 0xFF000000;
    }
  }
  return true;
}

void DrawTransparent(QPainter& target, int x, int y, int width, int height,
                     const QImage& prepared, int srcX, int srcY, const QImage& mask) {
  if (prepared.isNull() || mask.isNull() || width <= 0 || height <= 0) return;
  const QRect dst(x, y, width, height);
  const QRect src(srcX, srcY, width, height);
  target.save();
  target.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  target.drawImage(dst, mask, src);
  target.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  target.drawImage(dst, prepared, src);
  target.restore();
}
