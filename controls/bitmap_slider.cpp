#include "controls/bitmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "controls/control_message.h"
#include "controls/transparent_bitmap.h"
#include "resources/resources.h"

CBitmapSlider::CBitmapSlider(int id, QWidget* parent) : QWidget(parent) {
  SetControlId(this, id);
  setFocusPolicy(Qt::StrongFocus);
}

void CBitmapSlider::SetRange(int minimum, int maximum, bool redraw) {
  m_min = minimum;
  m_max = maximum;
  if (redraw) update();
}

void CBitmapSlider::SetPos(int pos) {
  pos = std::min(pos, m_max);
  m_pos = std::max(pos, m_min);
  update();
}

int CBitmapSlider::SetPageSize(int size) {
  int previous = m_pageSize;
  m_pageSize = size;
  return previous;
}

void CBitmapSlider::SetDrawFocusRect(bool draw, bool redraw) {
  m_drawFocusRect = draw;
  if (redraw) update();
}

void CBitmapSlider::SetMargin(int left, int top, int right, int bottom) {
  m_marginLeft = left;
  m_marginTop = top;
  m_marginRight = right;
  m_marginBottom = bottom;
  update();
}

int CBitmapSlider::PosToPixel(int pos) const {
  const int s = StartMargin(), e = EndMargin(), t = ThumbExtent(), length = Length();
  if (m_max == m_min) return s + t / 2;
  double span = static_cast<double>(length - e - t - s) * (pos - m_min) / (m_max - m_min);
  return s + static_cast<int>(std::trunc(span)) + t / 2;
}

int CBitmapSlider::PixelToPos(int pixel) const {
  const int s = StartMargin(), e = EndMargin(), t = ThumbExtent(), length = Length();
  const int travel = length - e - s - t;
  if (travel == 0 || m_max == m_min) return m_min;
  double ratio = static_cast<double>(pixel - t / 2 - s) / travel;
  return m_min + static_cast<int>(std::trunc(ratio * (m_max - m_min)));
}

bool CBitmapSlider::Prepare(const QImage& source, bool seeThrough, ColorRef key, int keyX,
                            int keyY, Part* out) {
  if (source.isNull()) return false;
  out->image = source.convertToFormat(QImage::Format_RGB32);
  out->mask = QImage();
  return !seeThrough || PrepareMask(out->image, out->mask, key, keyX, keyY);
}

bool CBitmapSlider::SetBitmapChannel(int channelId, int activeId, bool seeThrough,
                                     ColorRef key, int keyX, int keyY) {
  if (channelId == 0) return SetBitmapChannel(QImage(), QImage(), seeThrough, key, keyX, keyY);
  QImage channel = LoadSkinBitmap(channelId);
  if (channel.isNull()) return false;
  QImage active = activeId == 0 ? QImage() : LoadSkinBitmap(activeId);
  if (activeId != 0 && active.isNull()) return false;
  return SetBitmapChannel(channel, active, seeThrough, key, keyX, keyY);
}

bool CBitmapSlider::SetBitmapChannel(const QImage& channel, const QImage& active,
                                     bool seeThrough, ColorRef key, int keyX, int keyY) {
  if (channel.isNull()) {
    m_hasChannel = m_channelActive = false;
    m_channel = m_activeChannel = Part();
    update();
    return true;
  }
  Part main, second;
  if (!Prepare(channel, seeThrough, key, keyX, keyY, &main)) return false;
  if (!active.isNull() && !Prepare(active, seeThrough, key, keyX, keyY, &second)) return false;
  m_channel = main;
  m_activeChannel = second;
  m_channelActive = !active.isNull();
  m_width = channel.width();
  m_height = channel.height();
  resize(m_width, m_height);
  m_channelSeeThrough = seeThrough;
  m_hasChannel = true;
  update();
  return true;
}

bool CBitmapSlider::SetBitmapThumb(int thumbId, int activeId, bool seeThrough, ColorRef key,
                                   int keyX, int keyY) {
  if (thumbId == 0) return SetBitmapThumb(QImage(), QImage(), seeThrough, key, keyX, keyY);
  QImage thumb = LoadSkinBitmap(thumbId);
  if (thumb.isNull()) return false;
  QImage active = activeId == 0 ? QImage() : LoadSkinBitmap(activeId);
  if (activeId != 0 && active.isNull()) return false;
  return SetBitmapThumb(thumb, active, seeThrough, key, keyX, keyY);
}

bool CBitmapSlider::SetBitmapThumb(const QImage& thumb, const QImage& active, bool seeThrough,
                                   ColorRef key, int keyX, int keyY) {
  if (thumb.isNull()) {
    m_hasThumb = m_thumbActive = false;
    m_thumb = m_activeThumb = Part();
    m_thumbWidth = m_thumbHeight = 0;
    update();
    return true;
  }
  Part main, second;
  if (!Prepare(thumb, seeThrough, key, keyX, keyY, &main)) return false;
  if (!active.isNull() && !Prepare(active, seeThrough, key, keyX, keyY, &second)) return false;
  m_thumb = main;
  m_activeThumb = second;
  m_thumbActive = !active.isNull();
  m_thumbWidth = thumb.width();
  m_thumbHeight = thumb.height();
  if (!m_hasChannel) {
    m_width = width();
    m_height = height();
  }
  m_thumbSeeThrough = seeThrough;
  m_hasThumb = true;
  update();
  return true;
}

void CBitmapSlider::Post(int message) const {
  PostControlMessage(parentWidget(), message, ControlId(this), m_pos);
}

void CBitmapSlider::DragTo(int coordinate) {
  const int t = ThumbExtent();
  int pixel = coordinate - m_dragOffset;
  pixel = std::max(pixel, StartMargin() + t / 2);
  pixel = std::min(pixel, Length() - EndMargin() - t / 2);
  if (pixel != PosToPixel(m_pos)) {
    SetPos(PixelToPos(pixel));
    Post(WM_BITMAPSLIDER_MOVING);
  }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isEnabled()) return;
  setFocus(Qt::MouseFocusReason);
  m_dragging = true;
  const int coordinate = Axis(event->position().toPoint());
  m_dragOffset = coordinate - PosToPixel(m_pos);
  if (std::abs(m_dragOffset) > ThumbExtent() / 2) m_dragOffset = 0;
  DragTo(coordinate);
  update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && isEnabled()) DragTo(Axis(event->position().toPoint()));
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isEnabled() || !m_dragging) return;
  m_dragging = false;
  update();
  Post(WM_BITMAPSLIDER_MOVED);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  if (!isEnabled()) return;
  int pos = m_pos;
  switch (event->key()) {
    case Qt::Key_PageUp: pos -= m_pageSize; break;
    case Qt::Key_PageDown: pos += m_pageSize; break;
    case Qt::Key_End: pos = m_max; break;
    case Qt::Key_Home: pos = m_min; break;
    case Qt::Key_Left: case Qt::Key_Up: pos -= 1; break;
    case Qt::Key_Right: case Qt::Key_Down: pos += 1; break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  SetPos(pos);
  Post(WM_BITMAPSLIDER_MOVED);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}
