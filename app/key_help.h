// The window's keys and mouse actions in one table: the sheet that ? and F1 show over the
// window (CKeySheet: any key or click closes it) and the tooltips of the icon buttons, which
// name their action and key. GUI thread only.
#pragma once

#include <QWidget>

enum class UiLanguage;
class CWindowControls;

// Each icon-only button's tooltip: its action and, where it has one, its key.
void SetButtonTips(CWindowControls& controls, UiLanguage language);

class CKeySheet : public QWidget {
 public:
  CKeySheet(QWidget* window, UiLanguage language);
  // Over the whole window, on top.
  void Open();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  UiLanguage m_language;
};
