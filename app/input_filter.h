// The main window's keys: an application-wide event filter that sees every key press meant
// for the window or any of its children before they do, and hands it to the window's key
// table. Keys for other windows (the quit question, the magnifier, dialogs) pass untouched.
// GUI thread only.
#pragma once

#include <QObject>

class CZarezeRadidaDlg;

class CKeyFilter : public QObject {
 public:
  explicit CKeyFilter(CZarezeRadidaDlg* window) : m_window(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CZarezeRadidaDlg* m_window;  // not owned; owns this filter
};
