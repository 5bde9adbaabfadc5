// The main window's state that its parts share. GUI thread only.
#pragma once

#include <QRect>

enum DisplayMode : int { kNormalMode = 1, kFullScreenMode = 2 };

// Where a view (front video, rear video, map) is shown.
enum PaneState : int { kPaneHidden = 0, kPaneMain = 1, kPaneSmall = 2 };

struct PaneStates {
  int front = kPaneHidden;
  int rear = kPaneHidden;
  int map = kPaneHidden;
  bool operator==(const PaneStates&) const = default;
};

// The full-screen arrangement computed from the client size.
struct FullScreenArea {
  int clientWidth = 0, clientHeight = 0;
  QRect video;  // where both video panes go in full screen
};

struct WindowState {
  int displayMode = kNormalMode;
  PaneStates panes;
  FullScreenArea fullScreen;
  int currentRow = -1;
  char cardLetter = 0;  // 0: no card
  bool mapPageLoaded = false;
};
