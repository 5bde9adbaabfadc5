#include "controls/trans_bitmap.h"

#include <QPainter>

#include "controls/control_message.h"
#include "controls/transparent_bitmap.h"
#include "resources/resources.h"

TransBitmap::TransBitmap(int id, QWidget* parent) : QWidget(parent) { SetControlId(this, id); }

void TransBitmap::SetBitmap(const QImage& bitmap) {
  m_bitmap = bitmap;
  update();
}

bool TransBitmap::SetBitmapId(int id) {
  QImage bitmap = LoadSkinBitmap(id);
  if (bitmap.isNull()) return false;
  SetBitmap(bitmap);
  return true;
}

void TransBitmap::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawKeyed(painter, QPoint(0, 0), m_bitmap, m_keyColor);
}
