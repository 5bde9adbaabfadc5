#include "controls/bitmap_button_trans.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/control_message.h"
#include "controls/transparent_bitmap.h"
#include "resources/resources.h"

CBitmapButtonTrans::CBitmapButtonTrans(int id, QWidget* parent) : QAbstractButton(parent) {
  SetControlId(this, id);
  setMouseTracking(true);
}

bool CBitmapButtonTrans::LoadBitmaps(int normal, int selected, int focused, int disabled) {
  auto load = [](int id) { return id == 0 ? QImage() : LoadSkinBitmap(id); };
  return SetBitmaps(load(normal), load(selected), load(focused), load(disabled));
}

bool CBitmapButtonTrans::SetBitmaps(const QImage& normal, const QImage& selected,
                                    const QImage& focused, const QImage& disabled) {
  if (normal.isNull()) return false;
  m_normal = normal;
  m_selected = selected;
  m_focused = focused;
  m_disabled = disabled;
  update();
  return true;
}

void CBitmapButtonTrans::SizeToContent() {
  if (!m_normal.isNull()) resize(m_normal.size());
}

void CBitmapButtonTrans::SetHoverBitmap(int id) {
  m_hoverId = id;
  m_hover = id == 0 ? QImage() : LoadSkinBitmap(id);
}

QSize CBitmapButtonTrans::sizeHint() const {
  return m_normal.isNull() ? QSize(16, 16) : m_normal.size();
}

const QImage& CBitmapButtonTrans::ChooseBitmap() const {
  if (m_hovering && !m_hover.isNull()) return m_hover;
  if (isDown() && !m_selected.isNull()) return m_selected;
  if (hasFocus() && !m_focused.isNull()) return m_focused;
  if (!isEnabled() && !m_disabled.isNull()) return m_disabled;
  return m_normal;
}

void CBitmapButtonTrans::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawKeyed(painter, QPoint(0, 0), ChooseBitmap(), m_keyColor);
}

void CBitmapButtonTrans::mouseMoveEvent(QMouseEvent* event) {
  if (!m_hovering) {
    m_hovering = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}
