// Places the front and rear video panes and the map from the pane states, and keeps the
// small-pane boxes and the swap buttons in step with them. GUI thread only.
//
// The player's worker never touches the pane widgets: it reads a pane's size and hands it a
// frame under the pane's own lock (video_pane.h), and the size changes under that lock in
// the same GUI-thread step that moves the widget. So a pane is never seen half moved and no
// player lock is needed here.
#pragma once

#include <QSize>

#include "app/window_state.h"

class CWindowControls;

class CPaneLayout {
 public:
  explicit CPaneLayout(CWindowControls& controls) : m_controls(controls) {}

  // Places and shows the three views for the display mode (in full screen only a video of
  // the main pane is shown, at state.fullScreen.video), sets the check marks of the
  // small-pane boxes and enables the swap buttons for two cameras.
  void ApplyPaneLayout(const WindowState& state, int cameraCount);

  // Front at 4, 64 and rear at 650, 268, both with zero size.
  void HidePanes();

 private:
  // The panes at their places in a client of that size (window_layout.h: StretchToClient).
  void PlaceNormal(const PaneStates& s, int cameraCount, const QSize& client);
  void PlaceFullScreen(const WindowState& state);

  CWindowControls& m_controls;
};
