// A plain widget that paints the skin's background bitmap at its own size: the face the
// skinned controls sit on (their see-through pixels show it).
#pragma once

#include <QImage>
#include <QWidget>

class CSkinFace : public QWidget {
 public:
  explicit CSkinFace(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_background;
};
