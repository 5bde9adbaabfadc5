#include "app/pane_layout.h"

#include "app/pane_states.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "app/window_layout.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"

namespace {

void Place(QWidget* view, const QRect& where, bool visible) {
  view->setGeometry(where);
  view->setVisible(visible);
}

}  // namespace

void CPaneLayout::ApplyPaneLayout(const WindowState& state, int cameraCount) {
  m_controls.Check(IDC_SMALL_MAP)->SetCheck(false);
  if (cameraCount == 1) {
    for (int id : {IDC_FULL_SWAP, IDC_SWAP, IDC_SMALL_CAMERA, IDC_SMALL_MAP}) {
      m_controls.Find(id)->setEnabled(false);
    }
  } else if (cameraCount > 1) {
    m_controls.Find(IDC_SWAP)->setEnabled(true);
    m_controls.Find(IDC_FULL_SWAP)->setEnabled(true);
  }
  if (state.displayMode == kFullScreenMode) {
    PlaceFullScreen(state);
  } else {
    PlaceNormal(state.panes, cameraCount,
                QSize(state.fullScreen.clientWidth, state.fullScreen.clientHeight));
  }
}

void CPaneLayout::PlaceNormal(const PaneStates& s, int cameraCount, const QSize& client) {
  const QRect mainPane = StretchToClient(kMainPane, client);
  const QRect smallPane = StretchToClient(kSmallPane, client);
  CxSkinButton* cameraBox = m_controls.Check(IDC_SMALL_CAMERA);
  CxSkinButton* mapBox = m_controls.Check(IDC_SMALL_MAP);
  QWidget* front = m_controls.FrontPane();
  QWidget* rear = m_controls.RearPane();
  QWidget* map = m_controls.MapView();

  if (s.front == kPaneMain) {
    Place(front, mainPane, true);
  } else if (s.front == kPaneSmall) {
    Place(front, smallPane, true);
    cameraBox->SetCheck(true);
  } else {
    Place(front, kFrontHidden, false);
    cameraBox->SetCheck(false);
  }

  if (cameraCount > 1 && s.rear == kPaneMain) {
    Place(rear, mainPane, true);
  } else if (cameraCount > 1 && s.rear == kPaneSmall) {
    Place(rear, smallPane, true);
    cameraBox->SetCheck(true);
  } else {
    Place(rear, kRearHidden, false);
    if (cameraCount > 1) {
      Place(map, kRearHidden, false);
      cameraBox->SetCheck(false);
    }
  }

  if (s.map == kPaneMain) {
    Place(map, mainPane, true);
    if (s.front == kPaneSmall) {
      cameraBox->SetCheck(true);
      mapBox->SetCheck(false);
    } else if (s.rear == kPaneSmall) {
      cameraBox->SetCheck(false);
      mapBox->SetCheck(true);
    }
  } else if (s.map == kPaneSmall) {
    Place(map, smallPane, true);
    mapBox->SetCheck(true);
  } else {
    Place(map, kRearHidden, false);
    mapBox->SetCheck(false);
  }
}

void CPaneLayout::PlaceFullScreen(const WindowState& state) {
  const QRect& video = state.fullScreen.video;
  Place(m_controls.FrontPane(), video, state.panes.front == kPaneMain);
  Place(m_controls.RearPane(), video, state.panes.rear == kPaneMain);
  Place(m_controls.MapView(), kRearHidden, false);
}

void CPaneLayout::HidePanes() {
  Place(m_controls.FrontPane(), kFrontHidden, false);
  Place(m_controls.RearPane(), kRearHidden, false);
}
