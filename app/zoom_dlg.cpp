#include "app/zoom_dlg.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

#include "controls/control_message.h"
#include "concurrency/trace.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"

namespace {

// Where a zoom press puts the new window: frame top-left and client size.
constexpr QPoint kZoomWindowPos(850, 465);
constexpr QSize kZoomClientSize(425, 330);

// Stretches the rectangle src of shot (device-independent pixels; it may overhang shot) over
// target. Only the part of src inside shot is drawn, at the place it would have in the whole
// stretch, so an overhang leaves target untouched there instead of wrapping or smearing.
void StretchClipped(QPainter& painter, const QRect& target, const QImage& shot, const QRect& src) {
  if (src.isEmpty() || target.isEmpty()) return;
  const QRect visible = src & QRect(QPoint(0, 0), shot.deviceIndependentSize().toSize());
  if (visible.isEmpty()) return;
  const double sx = double(target.width()) / src.width();
  const double sy = double(target.height()) / src.height();
  const QRectF to(target.x() + (visible.x() - src.x()) * sx,
                  target.y() + (visible.y() - src.y()) * sy, visible.width() * sx,
                  visible.height() * sy);
  const double dpr = shot.devicePixelRatio();
  const QRectF from(visible.x() * dpr, visible.y() * dpr, visible.width() * dpr,
                    visible.height() * dpr);
  painter.drawImage(to, shot, from);
}

}  // namespace

QRect ZoomSourceRect(QPoint cursor, QSize source, QSize screen) {
  const int w = std::max(source.width(), 0);
  const int h = std::max(source.height(), 0);
  int x = std::max(cursor.x() - w / 2, 0);
  int y = std::max(cursor.y() - h / 2, 0);
  if (x + w > screen.width()) x = screen.width() - w;
  if (y + h > screen.height()) y = screen.height() - h;
  return QRect(x, y, w, h);
}

CZoomDlg::CZoomDlg() : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
  SetControlId(this, IDD_ZOOM);
  setWindowTitle(QStringLiteral("Zoom"));
  setWindowIcon(LoadAppIcon(IDI_APP));
  setModal(false);
  setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel
  m_timer.setInterval(kTickMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Magnify(); });
  roadkeep::Trace(roadkeep::kTraceWindow, "OnInitDialog()\n");
  m_timer.start();
}

CZoomDlg::~CZoomDlg() {
  roadkeep::Trace(roadkeep::kTraceWindow, "OnDestroy()\r\n");
  m_timer.stop();
}

QImage CZoomDlg::GrabScreen(QScreen* screen) {
  if (!screen) return {};
  return screen->grabWindow(0).toImage();
}

// Nothing is kept between ticks: the screen is copied and the picture allocated afresh.
void CZoomDlg::Magnify() {
  QScreen* screen = this->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QPoint screenOrigin = screen ? screen->geometry().topLeft() : QPoint(0, 0);

  QImage picture(size(), QImage::Format_RGB32);
  picture.fill(kOwnAreaGrey);
  QImage shot = GrabScreen(screen);
  const QSize source(width() / kMagnification, height() / kMagnification);
  if (!shot.isNull() && !source.isEmpty()) {
    shot = shot.convertToFormat(QImage::Format_RGB32);
    const QRect ownArea(mapToGlobal(QPoint(0, 0)) - screenOrigin, size());
    QPainter(&shot).fillRect(ownArea, QColor(kOwnAreaGrey));
    const QRect src = ZoomSourceRect(QCursor::pos() - screenOrigin, source,
                                     shot.deviceIndependentSize().toSize());
    QPainter painter(&picture);
    StretchClipped(painter, picture.rect(), shot, src);
  }
  m_picture = std::move(picture);
  update();
}

void CZoomDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(kOwnAreaGrey));
  if (!m_picture.isNull()) painter.drawImage(0, 0, m_picture);
}

// Escape stops the magnifier, then closes the window the ordinary dialog way (it hides).
void CZoomDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    roadkeep::Trace(roadkeep::kTraceWindow, "VK_ESCAPE\n");
    m_timer.stop();
  }
  QDialog::keyPressEvent(event);
}

void CZoomDlg::closeEvent(QCloseEvent* event) {
  m_timer.stop();
  QDialog::closeEvent(event);
}

QPoint ZoomWindowPlace(const QRect& button, const QRect& screen, const QSize& size) {
  constexpr int kGap = 8;
  int x = button.right() + 1 + kGap;
  if (x + size.width() > screen.right() + 1) x = button.left() - kGap - size.width();
  const int y = button.top();
  return QPoint(std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())),
                std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())));
}

std::unique_ptr<CZoomDlg> ShowZoomWindow(std::unique_ptr<CZoomDlg> old, const QWidget* beside) {
  old.reset();
  auto zoom = std::make_unique<CZoomDlg>();
  if (beside != nullptr && beside->screen() != nullptr) {
    const QRect button(beside->mapToGlobal(QPoint(0, 0)), beside->size());
    zoom->move(ZoomWindowPlace(button, beside->screen()->availableGeometry(), kZoomClientSize));
  } else {
    zoom->move(kZoomWindowPos);
  }
  zoom->resize(kZoomClientSize);
  zoom->show();
  zoom->repaint();
  return zoom;
}
