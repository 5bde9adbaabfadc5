// The main window's keys and mouse gestures: an application-wide event filter that sees every
// key press meant for the window or any of its children before they do, and hands it to the
// window's key table; a double-click on a video pane (full screen and back) and the wheel over
// a slider (the volume, the brightness, the position) go to the window too. Input for other
// windows (the quit question, the magnifier, dialogs) passes untouched. GUI thread only.
#pragma once

#include <QObject>

class CZarezeRadidaDlg;

class CInputFilter : public QObject {
 public:
  explicit CInputFilter(CZarezeRadidaDlg* window) : m_window(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CZarezeRadidaDlg* m_window;  // not owned; owns this filter
};
