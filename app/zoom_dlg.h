// The magnifier: a small top-most "Zoom" tool window that shows the screen around the mouse
// cursor magnified twice. Every 80 ms it copies the screen it is on, greys its own client
// area in the copy (so it never magnifies itself), cuts a client-size / 2 rectangle centred
// on the cursor and clamped to the screen, and stretches it over its whole client area.
// Where the screen cannot be copied it shows plain grey.
//
// Everything here runs on the GUI thread, the timer included. The main window owns the one
// zoom window and replaces it on every zoom press (ShowZoomWindow); Escape and the close
// request only hide it and stop its timer.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <memory>

class QScreen;

// The screen rectangle to magnify: source centred on cursor, moved right and down to keep
// its top-left on the screen, then left and up to keep its bottom-right on the screen. A
// source larger than the screen therefore overhangs the top-left (never wraps). All in
// screen pixels with the screen's top-left at 0, 0; negative sizes count as 0.
QRect ZoomSourceRect(QPoint cursor, QSize source, QSize screen);

class CZoomDlg : public QDialog {
 public:
  static constexpr int kMagnification = 2;
  static constexpr int kTickMs = 80;
  static inline const QRgb kOwnAreaGrey = qRgb(150, 150, 150);

  // Hidden, without parent, with its timer already running.
  CZoomDlg();
  ~CZoomDlg() override;

  CZoomDlg(const CZoomDlg&) = delete;
  CZoomDlg& operator=(const CZoomDlg&) = delete;

  // One tick: copy the screen, magnify, repaint. The timer calls it; callable any time.
  void Magnify();
  // True while the timer runs (from construction until Escape, close or destruction).
  bool IsMagnifying() const { return m_timer.isActive(); }
  // The last magnified picture, client-sized; null before the first tick.
  const QImage& Picture() const { return m_picture; }

 protected:
  // The whole of screen as an image whose device-independent size is the screen's size; a
  // null image when the platform cannot copy the screen.
  virtual QImage GrabScreen(QScreen* screen);

  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QTimer m_timer;
  QImage m_picture;  // written by Magnify, drawn by paintEvent
};

// Zoom press: destroys old (may be null), then creates, places and shows a new zoom window
// with a client area of 425 x 330: beside the button `beside` on its screen (ZoomWindowPlace),
// or without one at screen position 850, 465. The caller owns it.
std::unique_ptr<CZoomDlg> ShowZoomWindow(std::unique_ptr<CZoomDlg> old,
                                         const QWidget* beside = nullptr);
// Where a zoom window of `size` goes beside a button at `button` (global coordinates) on a
// screen whose free area is `screen`: to the button's right, its top level with the button's,
// moved to the left of the button when the right has no room, and kept inside the area.
QPoint ZoomWindowPlace(const QRect& button, const QRect& screen, const QSize& size);
