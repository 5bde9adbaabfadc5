// Which view (front video, rear video, map) each pane holds, and the rules of the buttons
// that change it. Pure logic, so the rules are tested without a window.
#pragma once

#include <QRect>

#include "app/window_state.h"

// Check marks of the two small-pane boxes after an operation: camera (1100), map (1099).
struct SmallPaneChecks {
  bool camera = false;
  bool map = false;
};

// The swap buttons: cameras trade panes. Needs two cameras; otherwise unchanged.
PaneStates SwapCameras(PaneStates s, int cameraCount);
// Box 1099: the small pane shows the map. Needs two cameras.
PaneStates SmallPaneMap(PaneStates s, int cameraCount);
// Box 1100: the small pane shows the other camera. Needs two cameras.
PaneStates SmallPaneCamera(PaneStates s, int cameraCount);
// Button 1101: the map trades places with the camera of the main pane.
PaneStates MapButton(PaneStates s, int cameraCount);

// The full-screen video rectangle for a client area of width x height.
QRect ComputeFullScreenArea(int width, int height);

// Geometry of the normal display mode.
constexpr QRect kMainPane(4, 64, 640, 360);
constexpr QRect kSmallPane(650, 278, 320, 170);
constexpr QRect kFrontHidden(4, 64, 0, 0);
constexpr QRect kRearHidden(650, 268, 0, 0);
