// A push button drawn from up to four skin bitmaps (normal, selected, focused, disabled) and
// an optional hover bitmap, with one key colour see-through (magenta unless set).
#pragma once

#include <QAbstractButton>
#include <QImage>

#include "controls/color_ref.h"

class CBitmapButtonTrans : public QAbstractButton {
 public:
  // id: the control id, kept as the object name.
  explicit CBitmapButtonTrans(int id, QWidget* parent = nullptr);

  // Loads skin bitmaps by id (0: none). Returns false, keeping the old bitmaps, when the
  // normal bitmap does not exist; optional ids that do not exist are left empty.
  bool LoadBitmaps(int normal, int selected = 0, int focused = 0, int disabled = 0);
  // The same with images (null: none). Returns false when normal is null.
  bool SetBitmaps(const QImage& normal, const QImage& selected = QImage(),
                  const QImage& focused = QImage(), const QImage& disabled = QImage());
  // Resizes the button to its normal bitmap.
  void SizeToContent();

  virtual void SetTransparentColor(ColorRef color) { m_keyColor = color; }
  // Id 0 removes the hover bitmap.
  virtual void SetHoverBitmap(int id);

  ColorRef TransparentColor() const { return m_keyColor; }
  bool IsHovering() const { return m_hovering; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const QImage& ChooseBitmap() const;

  ColorRef m_keyColor = MakeColorRef(255, 0, 255);
  // Set by the first mouse move; the button keeps it (there is no leave handling), which
  // only matters when a hover bitmap is set.
  bool m_hovering = false;
  int m_hoverId = 0;
  QImage m_hover;
  QImage m_normal, m_selected, m_focused, m_disabled;
};
