// A button painted entirely from skin bitmaps that keeps its own checked state, so that
// push-like check boxes and radio buttons can be skinned as well.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QRegion>

#include "controls/color_ref.h"

// Window style bits from which the button takes its kind and its radio group.
constexpr unsigned kBsPushButton = 0x0;
constexpr unsigned kBsAutoCheckBox = 0x3;
constexpr unsigned kBsAutoRadioButton = 0x9;
constexpr unsigned kBsPushLike = 0x1000;
constexpr unsigned kWsGroup = 0x00020000;  // first control of a radio group

// The region of the pixels of mask whose colour (RGB) differs from seeThrough.
QRegion RegionFromMask(const QImage& mask, QRgb seeThrough);

class CxSkinButton : public QAbstractButton {
 public:
  enum Kind { kPush = 0, kCheck = 2, kRadio = 4 };
  enum DrawMode { kNormal = 0, kStretch = 1, kTile = 2 };

  struct Images {
    QImage normal, down, over, disabled, focus, mask;
  };

  // id: the control id (object name); style: window style bits (kind, group start).
  CxSkinButton(int id, unsigned style, QWidget* parent = nullptr);

  // Skins the button from resource ids (0 or an unknown id: none). disabled 0 uses normal.
  // drawMode is clamped to 0..2, margin to 0 and more. A mask shapes the window (its black
  // pixels are outside) and, in draw mode 0, sizes the button.
  void SetSkin(int normal, int down, int over, int disabled, int focus, int mask, int drawMode,
               int border, int margin);
  void SetSkin(const Images& images, int drawMode, int border, int margin);

  // Stores the checked state (a push button stays unchecked). Checking a radio button posts
  // the uncheck message to every other skin button of its group.
  void SetCheck(bool checked);
  bool GetCheck() const { return m_checked; }
  Kind GetKind() const { return m_kind; }
  bool IsHovering() const { return m_hovering; }
  void SetTextColor(ColorRef color);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PreSubclassWindow(unsigned style);
  void DrawBitmap(QPainter& p, const QImage& bitmap, const QRect& r) const;
  void DrawCaption(QPainter& p, const QRect& r, const QColor& color) const;
  void UncheckGroup();
  bool IsGroupStart() const { return (m_style & kWsGroup) != 0; }

  unsigned m_style = 0;
  bool m_checked = false;
  Kind m_kind = kPush;
  bool m_hovering = false;
  bool m_pressed = false;
  Images m_images;
  int m_margin = 0;
  QColor m_textColor;
  QRegion m_region;
  bool m_border = false;
  DrawMode m_drawMode = kStretch;
};
