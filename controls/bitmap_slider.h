// A slider drawn from bitmaps: a channel and an optional thumb, each with an optional active
// variant and optionally see-through by a key colour. Tells its parent about changes with
// posted WM_BITMAPSLIDER_MOVING / WM_BITMAPSLIDER_MOVED messages (wParam control id, lParam
// position). GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "controls/color_ref.h"

class CBitmapSlider : public QWidget {
 public:
  explicit CBitmapSlider(int id, QWidget* parent = nullptr);

  // Minimum and maximum should differ; with equal ones every pixel maps to the minimum.
  void SetRange(int minimum, int maximum, bool redraw = false);
  int GetRangeMin() const { return m_min; }
  int GetRangeMax() const { return m_max; }
  // Clamps to the maximum, then to the minimum; repaints.
  void SetPos(int pos);
  int GetPos() const { return m_pos; }
  // Returns the previous page size.
  int SetPageSize(int size);
  void SetDrawFocusRect(bool draw, bool redraw = false);
  void SetMargin(int left, int top, int right, int bottom);
  void SetVertical(bool vertical) { m_vertical = vertical; }

  // Channel from skin bitmaps (active id 0: none). Channel id 0 removes the channel. A key
  // of kKeyFromPixel takes the colour of pixel (keyX, keyY). Resizes the control to the
  // channel. Returns false, keeping the old channel, when a bitmap does not exist.
  bool SetBitmapChannel(int channelId, int activeId, bool seeThrough, ColorRef key, int keyX,
                        int keyY);
  bool SetBitmapChannel(const QImage& channel, const QImage& active, bool seeThrough,
                        ColorRef key, int keyX, int keyY);
  // The same for the thumb; the control is not resized.
  bool SetBitmapThumb(int thumbId, int activeId, bool seeThrough, ColorRef key, int keyX,
                      int keyY);
  bool SetBitmapThumb(const QImage& thumb, const QImage& active, bool seeThrough, ColorRef key,
                      int keyX, int keyY);

  // Pixel along the axis of the thumb centre for a position, and back.
  int PosToPixel(int pos) const;
  int PixelToPos(int pixel) const;
  bool IsDragging() const { return m_dragging; }
  // Small ticks across the channel at these positions (places worth finding: impacts), drawn
  // under the thumb; an empty list takes them away.
  void SetMarks(std::vector<int> positions, QColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  struct Part {  // a bitmap prepared for drawing, with its mask when see-through
    QImage image, mask;
  };
  static bool Prepare(const QImage& source, bool seeThrough, ColorRef key, int keyX, int keyY,
                      Part* out);
  void DrawPart(QPainter& p, const Part& part, const QRect& where, QPoint source,
                bool seeThrough) const;
  void DrawChannel(QPainter& p) const;
  void DrawThumb(QPainter& p) const;
  void DrawMarks(QPainter& p) const;
  int Axis(QPoint point) const { return m_vertical ? point.y() : point.x(); }
  int StartMargin() const { return m_vertical ? m_marginTop : m_marginLeft; }
  int EndMargin() const { return m_vertical ? m_marginBottom : m_marginRight; }
  int ThumbExtent() const { return m_vertical ? m_thumbHeight : m_thumbWidth; }
  int Length() const { return m_vertical ? m_height : m_width; }
  void DragTo(int coordinate);
  void Post(int message) const;

  int m_max = 100;
  int m_min = 0;
  int m_pos = 0;
  int m_pageSize = 20;
  int m_width = 0, m_height = 0;  // the channel's size, or the client size without one
  int m_thumbWidth = 0, m_thumbHeight = 0;
  int m_marginLeft = 0, m_marginTop = 0, m_marginRight = 0, m_marginBottom = 0;
  int m_dragOffset = 0;
  bool m_vertical = false;
  bool m_channelActive = false, m_thumbActive = false;
  bool m_channelSeeThrough = false, m_thumbSeeThrough = false;
  bool m_hasThumb = false, m_hasChannel = false;
  bool m_dragging = false;
  bool m_drawFocusRect = true;
  Part m_channel, m_activeChannel, m_thumb, m_activeThumb;
  std::vector<int> m_marks;
  QColor m_markColor;
};
