// The main window's pane buttons, full screen and back, the rear mirror and the magnifier.
#include <QScreen>
#include <QSizeGrip>

#include "app/main_window.h"
#include "app/pane_layout.h"
#include "app/pane_states.h"
#include "app/transport.h"
#include "app/window_controls.h"
#include "app/zoom_dlg.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"

void CZarezeRadidaDlg::ChangePanes(PaneStates next) {
  m_state.panes = next;
  ApplyPaneLayout();
}

void CZarezeRadidaDlg::OnSwapCameras() {
  ChangePanes(SwapCameras(m_state.panes, CameraCount()));
}

void CZarezeRadidaDlg::OnSmallPaneMap() {
  if (CameraCount() < 2) return;
  ChangePanes(SmallPaneMap(m_state.panes, CameraCount()));
}

void CZarezeRadidaDlg::OnSmallPaneCamera() {
  if (CameraCount() < 2) return;
  ChangePanes(SmallPaneCamera(m_state.panes, CameraCount()));
}

void CZarezeRadidaDlg::OnMapButton() {
  // The pane layout sets the boxes' check marks and, for one camera, disables them.
  ChangePanes(MapButton(m_state.panes, CameraCount()));
}

void CZarezeRadidaDlg::OnFullScreen() {
  if (m_state.displayMode == kNormalMode) {
    // Maximised to the screen's work area; set at once as well, since without a window
    // manager nobody else sizes the window.
    setMinimumSize(0, 0);  // any screen, however small
    if (m_sizeGrip) m_sizeGrip->hide();
    // What the normal window was, for the way back and for the next start (the resizes
    // below, and any the window system delivers later, are full screen's).
    m_windowedSize = m_normalSize;
    m_state.displayMode = kFullScreenMode;
    if (const QScreen* display = screen()) setGeometry(display->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    m_background = QImage();                            // black behind the controls from now on
    if (m_state.panes.map == kPaneMain) OnMapButton();  // a video takes the main pane
  }
  const int status = m_playback.Player().Status();
  if (status == CQMVMediaPlayer::kStopped || status < 0) {
    SetLabelText(IDC_POS_LABEL, TimeText(0));
    SetLabelText(IDC_LENGTH_LABEL, TimeText(0));
  }
  ApplyWindowLayout(m_state.displayMode);
  ApplyPaneLayout();
  UpdatePaneButtons();  // the layout disabled them
}

void CZarezeRadidaDlg::OnWindowed() {
  if (m_state.displayMode == kFullScreenMode) {
    setWindowState(windowState() & ~Qt::WindowMaximized);
    m_state.displayMode = kNormalMode;
  }
  const int status = m_playback.Player().Status();
  if (status == CQMVMediaPlayer::kStopped || status < 0) {
    SetLabelText(IDC_POS_LABEL, TimeText(0));
    SetLabelText(IDC_LENGTH_LABEL, TimeText(0));
  }
  LoadBackground();  // first, so the layout below sees the normal client
  if (m_sizeGrip) {
    m_sizeGrip->show();
    m_sizeGrip->raise();
  }
  ApplyWindowLayout(m_state.displayMode);
  ApplyPaneLayout();
  UpdatePaneButtons();  // the layout disabled them
}

void CZarezeRadidaDlg::OnMirrorRear() {
  CxSkinButton* mirror = m_controls->Check(IDC_MIRROR);
  if (CameraCount() > 1) {
    m_playback.Player().SetCameraFlip(1, mirror->GetCheck() ? 3 : 0);
    m_playback.Player().RedrawStill();
  } else {
    mirror->SetCheck(false);
  }
}

void CZarezeRadidaDlg::OnZoom() {
  m_zoom = ShowZoomWindow(std::move(m_zoom), m_controls->Find(IDC_ZOOM));
}
