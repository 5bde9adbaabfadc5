#include "app/main_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSizeGrip>
#include <QWindow>

#include "app/card_watch.h"
#include "app/map_pane.h"
#include "app/pane_layout.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "app/window_layout.h"
#include "app/zoom_dlg.h"
#include "controls/control_message.h"
#include "controls/progress_dlg.h"
#include "controls/trans_bitmap.h"
#include "resources/resource_ids.h"

CZarezeRadidaDlg::CZarezeRadidaDlg(unsigned langId)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_langId(langId),
      m_language(UiLanguageFromLangId(langId)) {
  UseUiLanguage(m_language);
  m_targetFolder = ReadTargetFolder();
  OnInitDialog();
}

CZarezeRadidaDlg::~CZarezeRadidaDlg() { Destroy(); }

void CZarezeRadidaDlg::ApplyWindowLayout(int mode) { m_layout->ApplyWindowLayout(mode, m_state); }

void CZarezeRadidaDlg::ApplyPaneLayout() {
  m_paneLayout->ApplyPaneLayout(m_state, CameraCount());
  update();
}

void CZarezeRadidaDlg::LoadBackground() {
  m_background = LoadSkinBitmap(IDB_BACKGROUND);
  setMinimumSize(m_background.size());
  // The first time where the user left it last, if that is on a screen now; else on the
  // screen the mouse is on, where the user is looking. Back from full screen, at the size it
  // had, centred on its own screen.
  const QRect remembered = m_placed ? QRect() : ReadWindowPlace();
  QRect frame(QPoint(0, 0), m_placed ? m_windowedSize.expandedTo(m_background.size())
                                     : m_background.size());
  const QScreen* display = m_placed ? screen() : QGuiApplication::screenAt(QCursor::pos());
  if (display == nullptr) display = screen();
  if (display != nullptr) frame.moveCenter(display->availableGeometry().center());
  if (remembered.width() >= m_background.width() && remembered.height() >= m_background.height()) {
    // Still on a screen (its middle is): a screen taken away since leaves it centred instead.
    if (QGuiApplication::screenAt(remembered.center()) != nullptr) frame = remembered;
  }
  m_placed = true;
  setGeometry(frame);
  update();
}

void CZarezeRadidaDlg::SetLabelText(int id, const QString& text) {
  m_layout->SetLabelText(id, text);
}

void CZarezeRadidaDlg::SetStaticBitmap(int id, int bitmapId) {
  if (auto* picture = dynamic_cast<TransBitmap*>(m_controls->Find(id))) {
    picture->SetBitmapId(bitmapId);
  }
}

int CZarezeRadidaDlg::CameraCount() const { return m_playback.CameraCount(); }

bool CZarezeRadidaDlg::event(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(WM_BITMAPSLIDER_MOVED)) {
    const auto* message = static_cast<CMessageEvent*>(event);
    OnSliderMoved(static_cast<int>(message->WParam()), static_cast<int>(message->LParam()));
    return true;
  }
  return QWidget::event(event);
}

void CZarezeRadidaDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (!m_background.isNull()) PaintStretchedSkin(painter, m_background, size());
  m_playback.Player().RedrawStill();
}

void CZarezeRadidaDlg::mousePressEvent(QMouseEvent* event) {
  // Only presses on the skin reach here: the window is moved by its background.
  if (event->button() != Qt::LeftButton || m_state.displayMode != kNormalMode) return;
  QWindow* handle = windowHandle();
  if (handle != nullptr && handle->startSystemMove()) return;
  m_dragging = true;  // no window manager to ask: move the window ourselves
  m_dragOffset = event->globalPosition().toPoint() - pos();
}

void CZarezeRadidaDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && m_state.displayMode == kNormalMode) {
    move(event->globalPosition().toPoint() - m_dragOffset);
  }
}

void CZarezeRadidaDlg::mouseReleaseEvent(QMouseEvent*) { m_dragging = false; }

void CZarezeRadidaDlg::moveEvent(QMoveEvent*) {
  if (m_state.displayMode == kNormalMode) m_normalPlace = geometry();
}

void CZarezeRadidaDlg::resizeEvent(QResizeEvent*) {
  if (m_state.displayMode == kNormalMode) {
    m_normalSize = size();
    m_normalPlace = geometry();
  }
  if (m_sizeGrip) m_sizeGrip->move(width() - m_sizeGrip->width(), height() - m_sizeGrip->height());
  // A window manager may size the maximised window after the layout was made, and the user
  // the normal one at any time.
  if (m_layout && m_paneLayout &&
      (width() != m_state.fullScreen.clientWidth || height() != m_state.fullScreen.clientHeight)) {
    ApplyWindowLayout(m_state.displayMode);
    ApplyPaneLayout();
    UpdatePaneButtons();  // the layout disabled them
  }
}

void CZarezeRadidaDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_cardWatchTimer.timerId()) RequestCardPoll();
}

void CZarezeRadidaDlg::closeEvent(QCloseEvent* event) {
  // A close while the question is open (a second click on the window manager's button)
  // waits for its answer.
  if (m_asking || (!m_destroyed && !m_quitConfirmed)) {
    event->ignore();
    if (m_asking) return;
    m_asking = true;
    m_quitConfirmed = ConfirmQuit();
    m_asking = false;
    if (!m_quitConfirmed) return;
    event->accept();
  }
  // Yes: a running export ends its file short and valid while the window goes (Destroy).
  if (m_quitOnClose) QCoreApplication::quit();
}

void CZarezeRadidaDlg::ConnectControls() {
  const std::pair<int, void (CZarezeRadidaDlg::*)()> handlers[] = {
      {IDC_CLOSE, &CZarezeRadidaDlg::OnCloseButton},
      {IDC_MINIMIZE, &CZarezeRadidaDlg::OnMinimize},
      {IDC_FULLSCREEN, &CZarezeRadidaDlg::OnFullScreen},
      {IDC_WINDOW, &CZarezeRadidaDlg::OnWindowed},
      {IDC_SWAP, &CZarezeRadidaDlg::OnSwapCameras},
      {IDC_FULL_SWAP, &CZarezeRadidaDlg::OnSwapCameras},
      {IDC_MAP, &CZarezeRadidaDlg::OnMapButton},
      {IDC_SMALL_MAP, &CZarezeRadidaDlg::OnSmallPaneMap},
      {IDC_SMALL_CAMERA, &CZarezeRadidaDlg::OnSmallPaneCamera},
      {IDC_MIRROR, &CZarezeRadidaDlg::OnMirrorRear},
      {IDC_ZOOM, &CZarezeRadidaDlg::OnZoom},
      {IDC_CAPTURE, &CZarezeRadidaDlg::OnCapture},
      {IDC_SETTINGS, &CZarezeRadidaDlg::OnSettingsButton},
  };
  for (const auto& [id, handler] : handlers) {
    auto* button = qobject_cast<QAbstractButton*>(m_controls->Find(id));
    connect(button, &QAbstractButton::clicked, this, handler);
  }
  ConnectTransportControls();
  ConnectListControls();
  ConnectExportControls();
  ConnectEvidenceControls();
  ConnectContextMenus();
  SetUpTrips();
  SetUpSpeedControl();
  SetUpTelemetry();
  SetButtonTips(*m_controls, m_language);
  m_keySheet = new CKeySheet(this, m_language);
}
