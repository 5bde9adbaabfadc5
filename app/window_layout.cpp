#include "app/window_layout.h"

#include <algorithm>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include "app/pane_states.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "resources/resource_ids.h"

namespace {

// Normal mode: position, and the size of controls that are not sized by their bitmap.
struct NormalPlace {
  int id;
  int x, y, w, h;  // w, h 0: keep the control's own (bitmap) size
};

constexpr NormalPlace kNormalPlaces[] = {
    {IDC_OPEN, 28, 473, 0, 0},
    {IDC_STOP, 87, 474, 0, 0},
    {IDC_PRE, 137, 473, 0, 0},
    {IDC_BACK10, 198, 473, 0, 0},
    {IDC_PLAY, 261, 473, 0, 0},
    {IDC_PAUSE, 261, 473, 0, 0},
    {IDC_FWD10, 313, 473, 0, 0},
    {IDC_NEXT, 368, 473, 0, 0},
    {IDC_POS_SLIDER, 92, 432, 0, 0},
    {IDC_POS_LABEL, 25, 433, 56, 14},
    {IDC_LENGTH_LABEL, 495, 433, 56, 14},
    {IDC_SPEED_LABEL, 580, 433, 56, 14},
    {IDC_ZOOM, 431, 471, 0, 0},
    {IDC_CAPTURE, 484, 472, 0, 0},
    {IDC_SETTINGS, 546, 471, 0, 0},
    {IDC_MIRROR, 599, 470, 0, 0},
    {IDC_MUTE, 684, 472, 0, 0},
    {IDC_VOLUME_SLIDER, 715, 476, 0, 0},
    {IDC_BRIGHTNESS_ICON, 832, 470, 0, 0},
    {IDC_BRIGHTNESS_SLIDER, 864, 476, 0, 0},
    {IDC_FULLSCREEN, 923, 5, 0, 0},
    {IDC_MINIMIZE, 898, 5, 0, 0},
    {IDC_CLOSE, 948, 5, 0, 0},
    {IDC_SWAP, 324, 39, 0, 0},
    {IDC_MAP, 485, 39, 0, 0},
    {IDC_SMALL_CAMERA, 650, 250, 0, 0},
    {IDC_SMALL_MAP, 809, 250, 0, 0},
    {IDC_FILTER_DRIVING, 648, 39, 0, 0},
    {IDC_FILTER_EVENT, 713, 39, 0, 0},
    {IDC_FILTER_PARKING, 778, 39, 0, 0},
    {IDC_FILTER_USER, 843, 39, 0, 0},
    {IDC_FILTER_ALL, 908, 39, 0, 0},
    {IDC_LIST_TITLE, 648, 65, 325, 18},
    {IDC_LIST, 648, 83, 325, 130},
    {IDC_SELECT_ALL, 650, 218, 117, 20},
    {IDC_DOWNLOAD, 825, 217, 0, 0},
    {IDC_GRAPH, 30, 520, 760, 104},  // wider, it shows its picture stretched
};

// Full screen: a position measured from the client's left or right and top or bottom edge.
enum Edge { kLeft, kRight, kTop, kBottom };
struct EdgePlace {
  int id;
  Edge xEdge;
  int dx;
  Edge yEdge;
  int dy;
};

// Above the top bar.
constexpr EdgePlace kTopBarPlaces[] = {
    {IDC_CLOSE, kRight, -44, kTop, 8},
    {IDC_WINDOW, kRight, -69, kTop, 8},
    {IDC_MINIMIZE, kRight, -94, kTop, 8},
    {IDC_FULL_SWAP, kRight, -260, kTop, 7},
};

// Above the bottom bar.
constexpr EdgePlace kBottomBarPlaces[] = {
    {IDC_BRIGHTNESS_SLIDER, kRight, -100, kBottom, -27},
    {IDC_BRIGHTNESS_ICON, kRight, -134, kBottom, -33},
    {IDC_VOLUME_SLIDER, kRight, -225, kBottom, -27},
    {IDC_MUTE, kRight, -262, kBottom, -31},
    {IDC_NEXT, kRight, -350, kBottom, -27},
    {IDC_FWD10, kRight, -401, kBottom, -27},
    {IDC_PLAY, kRight, -446, kBottom, -27},
    {IDC_PAUSE, kRight, -446, kBottom, -27},
    {IDC_BACK10, kRight, -501, kBottom, -27},
    {IDC_PRE, kRight, -546, kBottom, -27},
    {IDC_STOP, kRight, -597, kBottom, -27},
    {IDC_POS_LABEL, kLeft, 40, kBottom, -20},
    {IDC_POS_SLIDER, kLeft, 40, kBottom, -40},
    {IDC_LENGTH_LABEL, kLeft, 375, kBottom, -20},
    {IDC_SPEED_LABEL, kLeft, 485, kBottom, -27},
};

// Shown in the normal mode, hidden in full screen.
constexpr int kNormalOnly[] = {
    IDC_LIST,         IDC_LIST_TITLE,     IDC_SETTINGS,    IDC_CAPTURE,    IDC_ZOOM,
    IDC_SMALL_CAMERA, IDC_SMALL_MAP,      IDC_MAP,         IDC_FULLSCREEN, IDC_FILTER_DRIVING,
    IDC_FILTER_EVENT, IDC_FILTER_PARKING, IDC_FILTER_USER, IDC_FILTER_ALL, IDC_MIRROR,
    IDC_DOWNLOAD,     IDC_SELECT_ALL,     IDC_GRAPH,       IDC_OPEN,       IDC_SWAP,
};
// Shown in full screen, hidden in the normal mode.
constexpr int kFullScreenOnly[] = {IDC_WINDOW, IDC_FULL_SWAP, IDC_BAR_TOP, IDC_BAR_BOTTOM};
// Disabled by every layout until the pane layout or the position refresh allows them.
constexpr int kPaneControls[] = {IDC_FULL_SWAP, IDC_SWAP, IDC_MAP, IDC_SMALL_MAP, IDC_SMALL_CAMERA};

QPoint EdgePoint(const EdgePlace& p, int width, int height) {
  return QPoint(p.xEdge == kRight ? width + p.dx : p.dx, p.yEdge == kBottom ? height + p.dy : p.dy);
}

}  // namespace

QRect StretchToClient(const QRect& skinPlace, const QSize& client) {
  const int dx = std::max(0, client.width() - kSkinWidth);
  const int dy = std::max(0, client.height() - kSkinHeight);
  const auto x = [dx](int edge) { return edge >= kStretchX ? edge + dx : edge; };
  const auto y = [dy](int edge) { return edge >= kStretchY ? edge + dy : edge; };
  const int left = x(skinPlace.x()), top = y(skinPlace.y());
  return QRect(left, top, x(skinPlace.x() + skinPlace.width()) - left,
               y(skinPlace.y() + skinPlace.height()) - top);
}

void PaintStretchedSkin(QPainter& painter, const QImage& skin, const QSize& client) {
  const int dx = std::max(0, client.width() - skin.width());
  const int dy = std::max(0, client.height() - skin.height());
  // Source and destination bands across: before the line, the space opened at it, after it.
  struct Band {
    int from, size, to, toSize;
  };
  const Band across[] = {{0, kStretchX, 0, kStretchX},
                         {kStretchX, 1, kStretchX, dx},
                         {kStretchX, skin.width() - kStretchX, kStretchX + dx,
                          skin.width() - kStretchX}};
  const Band down[] = {{0, kStretchY, 0, kStretchY},
                       {kStretchY, 1, kStretchY, dy},
                       {kStretchY, skin.height() - kStretchY, kStretchY + dy,
                        skin.height() - kStretchY}};
  for (const Band& col : across) {
    for (const Band& row : down) {
      if (col.toSize <= 0 || row.toSize <= 0) continue;
      painter.drawImage(QRect(col.to, row.to, col.toSize, row.toSize), skin,
                        QRect(col.from, row.from, col.size, row.size));
    }
  }
}

CWindowLayout::CWindowLayout(QWidget* window, CWindowControls& controls)
    : m_window(window), m_controls(controls) {}

void CWindowLayout::ApplyWindowLayout(int mode, WindowState& state) {
  const int width = m_window->width(), height = m_window->height();
  state.fullScreen.clientWidth = width;
  state.fullScreen.clientHeight = height;
  state.fullScreen.video = ComputeFullScreenArea(width, height);

  // PLAY and PAUSE share one place: whichever was shown stays shown.
  const bool pauseShown = !m_controls.Find(IDC_PAUSE)->isHidden();
  ShowForMode(mode);
  if (mode == kFullScreenMode) {
    PlaceFullScreen(width, height);
  } else {
    PlaceNormal(m_window->size());
  }
  m_controls.Find(IDC_PLAY)->setVisible(!pauseShown);
  m_controls.Find(IDC_PAUSE)->setVisible(pauseShown);
  for (int id : kPaneControls) m_controls.Find(id)->setEnabled(false);
  m_window->update();
}

void CWindowLayout::ShowForMode(int mode) {
  const bool full = mode == kFullScreenMode;
  for (int id : kNormalOnly) m_controls.Find(id)->setVisible(!full);
  for (int id : kFullScreenOnly) m_controls.Find(id)->setVisible(full);
}

void CWindowLayout::PlaceNormal(const QSize& client) {
  m_controls.Slider(IDC_POS_SLIDER)
      ->SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
  for (const NormalPlace& p : kNormalPlaces) {
    QWidget* control = m_controls.Find(p.id);
    if (p.w > 0) {
      control->setGeometry(StretchToClient(QRect(p.x, p.y, p.w, p.h), client));
    } else {
      control->move(StretchToClient(QRect(p.x, p.y, 0, 0), client).topLeft());
    }
  }
}

void CWindowLayout::PlaceFullScreen(int width, int height) {
  CBitmapSlider* position = m_controls.Slider(IDC_POS_SLIDER);
  position->SetBitmapChannel(IDB_POS_CHANNEL_FULL, IDB_POS_CHANNEL_FULL_ACTIVE, true, kKeyFromPixel,
                             0, 0);
  position->update();
  QWidget* top = m_controls.TopBar();
  QWidget* bottom = m_controls.BottomBar();
  top->setGeometry(0, 0, width, 40);
  bottom->setGeometry(0, height - 45, width, 45);
  // The bars lie under the controls placed on them.
  top->lower();
  bottom->lower();
  for (const EdgePlace& p : kTopBarPlaces) {
    QWidget* control = m_controls.Find(p.id);
    control->move(EdgePoint(p, width, height));
    control->raise();
  }
  for (const EdgePlace& p : kBottomBarPlaces) {
    QWidget* control = m_controls.Find(p.id);
    control->move(EdgePoint(p, width, height));
    control->raise();
  }
}

void CWindowLayout::SetLabelText(int id, const QString& text) {
  QLabel* label = m_controls.Label(id);
  if (label == nullptr) return;
  if (label->text() == text && !text.isEmpty()) return;
  // The label is transparent: the window repaints the skin under the old text.
  m_window->update(label->geometry());
  label->setText(text);
}

void CWindowLayout::ApplyLabelColours() {
  const QColor orange(QRgb{kLabelRgb});
  for (int id : {IDC_POS_LABEL, IDC_LENGTH_LABEL, IDC_SPEED_LABEL, IDC_SELECT_ALL}) {
    QWidget* control = m_controls.Find(id);
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, orange);
    palette.setColor(QPalette::ButtonText, orange);
    palette.setColor(QPalette::Text, orange);
    control->setPalette(palette);
    control->setAutoFillBackground(false);
    control->setAttribute(Qt::WA_TranslucentBackground);
  }
}
