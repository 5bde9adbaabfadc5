#include "controls/skin_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "controls/control_message.h"
#include "controls/transparent_bitmap.h"
#include "resources/resources.h"

QRegion RegionFromMask(const QImage& mask, QRgb seeThrough) {
  QRegion region;
  const QImage image = mask.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < image.width()) {
      while (x < image.width() && (row[x] & 0xFFFFFF) == (seeThrough & 0xFFFFFF)) ++x;
      int start = x;
      while (x < image.width() && (row[x] & 0xFFFFFF) != (seeThrough & 0xFFFFFF)) ++x;
      if (x > start) region += QRect(start, y, x - start, 1);
    }
  }
  return region;
}

CxSkinButton::CxSkinButton(int id, unsigned style, QWidget* parent) : QAbstractButton(parent) {
  SetControlId(this, id);
  setMouseTracking(true);
  m_textColor = palette().color(QPalette::ButtonText);
  PreSubclassWindow(style);
}

void CxSkinButton::PreSubclassWindow(unsigned style) {
  m_style = style;
  if ((style & 0x3) == 0x3) {
    m_kind = kCheck;
  } else if ((style & 0x9) == 0x9) {
    m_kind = kRadio;
  } else {
    m_kind = kPush;
  }
}

void CxSkinButton::SetSkin(int normal, int down, int over, int disabled, int focus, int mask,
                           int drawMode, int border, int margin) {
  auto load = [](int id) { return id == 0 ? QImage() : LoadSkinBitmap(id); };
  Images images{load(normal), load(down), load(over), load(disabled), load(focus), load(mask)};
  SetSkin(images, drawMode, border, margin);
}

void CxSkinButton::SetSkin(const Images& images, int drawMode, int border, int margin) {
  m_images = images;
  if (m_images.disabled.isNull()) m_images.disabled = m_images.normal;
  m_drawMode = drawMode < 0 ? kNormal : drawMode > 1 ? kTile : kStretch;
  if (drawMode == 0) m_drawMode = kNormal;
  m_border = border != 0;
  m_margin = margin < 0 ? 0 : margin;
  if (!m_images.mask.isNull()) {
    m_region = RegionFromMask(m_images.mask, qRgb(0, 0, 0));
    setMask(m_region);
    if (m_drawMode == kNormal) resize(m_images.mask.size());
  } else {
    m_region = QRegion();
    clearMask();
  }
  update();
}

void CxSkinButton::SetCheck(bool checked) {
  m_checked = m_kind == kPush ? false : checked;
  if (m_kind == kRadio && m_checked) UncheckGroup();
  update();
}

void CxSkinButton::SetTextColor(ColorRef color) {
  m_textColor = QColor(ColorRefToRgb(color));
  update();
}

// The group of a button: its skin-button siblings from the nearest group start before it
// up to the next group start.
void CxSkinButton::UncheckGroup() {
  if (parentWidget() == nullptr) return;
  std::vector<CxSkinButton*> group;
  bool mine = false;
  for (QObject* child : parentWidget()->children()) {
    auto* button = dynamic_cast<CxSkinButton*>(child);
    if (button == nullptr) continue;
    if (button->IsGroupStart() && !group.empty()) {
      if (mine) break;
      group.clear();
    }
    group.push_back(button);
    if (button == this) mine = true;
  }
  for (CxSkinButton* other : group) {
    if (other != this) PostControlMessage(other, kWmSkinRadioUncheck, 0, 0);
  }
}

bool CxSkinButton::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kWmSkinRadioUncheck)) {
    if (m_checked) {
      m_checked = false;
      update();
    }
    return true;
  }
  return QAbstractButton::event(event);
}

void CxSkinButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_hovering = false;
    m_pressed = true;
  }
  QAbstractButton::mousePressEvent(event);
}

void CxSkinButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_pressed) {
    // Releasing outside the button cancels the click for both kinds.
    if (rect().contains(event->position().toPoint())) {
      if (m_kind == kCheck) SetCheck(!m_checked);
      if (m_kind == kRadio) SetCheck(true);
    }
    m_pressed = false;
  }
  QAbstractButton::mouseReleaseEvent(event);
}

void CxSkinButton::mouseMoveEvent(QMouseEvent* event) {
  if (!m_pressed && !m_hovering) {
    m_hovering = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CxSkinButton::leaveEvent(QEvent* event) {
  m_hovering = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CxSkinButton::focusOutEvent(QFocusEvent* event) {
  m_pressed = false;
  QAbstractButton::focusOutEvent(event);
}

void CxSkinButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    if (m_kind == kCheck) SetCheck(!m_checked);
    if (m_kind == kRadio) SetCheck(true);
  }
  QAbstractButton::keyPressEvent(event);
}
