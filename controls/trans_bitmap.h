// A static picture with one key colour see-through (black unless set).
#pragma once

#include <QImage>
#include <QWidget>

#include "controls/color_ref.h"

class TransBitmap : public QWidget {
 public:
  explicit TransBitmap(int id, QWidget* parent = nullptr);
  // The picture (a null image shows nothing).
  void SetBitmap(const QImage& bitmap);
  // Loads skin bitmap id; false (picture unchanged) when there is no such bitmap.
  bool SetBitmapId(int id);
  void SetTransparentColor(ColorRef color) { m_keyColor = color; update(); }
  const QImage& Bitmap() const { return m_bitmap; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ColorRef m_keyColor = 0;
  QImage m_bitmap;
};
