#include "app/pane_states.h"

#include <cstdio>

#include "concurrency/trace.h"

PaneStates SwapCameras(PaneStates s, int cameraCount) {
  if (cameraCount < 2) return s;
  auto set = [&s](int front, int rear) {
    s.front = front;
    s.rear = rear;
    return s;
  };
  switch (s.map) {
    case kPaneHidden:
      if (s.front == kPaneMain) return set(kPaneSmall, kPaneMain);
      if (s.front == kPaneSmall) return set(kPaneMain, kPaneSmall);
      break;
    case kPaneMain:
      if (s.front == kPaneSmall) return set(kPaneHidden, kPaneSmall);
      if (s.rear == kPaneSmall) return set(kPaneSmall, kPaneHidden);
      break;
    case kPaneSmall:
      if (s.front == kPaneMain) return set(kPaneHidden, kPaneMain);
      if (s.rear == kPaneMain) return set(kPaneMain, kPaneHidden);
      break;
    default:
      break;
  }
  return s;
}

PaneStates SmallPaneMap(PaneStates s, int cameraCount) {
  if (cameraCount < 2) return s;
  if (s.map == kPaneMain) {
    s.rear = kPaneSmall;
    s.front = kPaneHidden;
    return s;
  }
  s.map = kPaneSmall;
  if (s.front == kPaneSmall) s.front = kPaneHidden;
  if (s.rear == kPaneSmall) s.rear = kPaneHidden;
  return s;
}

PaneStates SmallPaneCamera(PaneStates s, int cameraCount) {
  if (cameraCount < 2) return s;
  if (s.map == kPaneMain) {
    s.front = kPaneMain;
    s.rear = kPaneSmall;
  } else if (s.front == kPaneMain) {
    s.rear = kPaneSmall;
  } else if (s.rear == kPaneMain) {
    s.front = kPaneSmall;
  }
  s.map = kPaneHidden;
  return s;
}

PaneStates MapButton(PaneStates s, int cameraCount) {
  if (cameraCount > 1) {
    if (s.map == kPaneMain) {
      s.map = kPaneSmall;
      if (s.front == kPaneSmall) {
        s.front = kPaneMain;
        s.rear = kPaneHidden;
      } else if (s.rear == kPaneSmall) {
        s.rear = kPaneMain;
        s.front = kPaneHidden;
      }
    } else {
      s.map = kPaneMain;
      if (s.front == kPaneMain) {
        s.front = kPaneSmall;
        s.rear = kPaneHidden;
      } else if (s.rear == kPaneMain) {
        s.rear = kPaneSmall;
        s.front = kPaneHidden;
      }
    }
    return s;
  }
  if (s.map == kPaneMain) {
    s.map = kPaneSmall;
    s.front = kPaneMain;
  } else {
    s.map = kPaneMain;
    s.front = kPaneSmall;
    s.rear = kPaneHidden;
  }
  return s;
}

namespace {

// Down to a multiple of 4, toward zero for negative values (C++ remainder keeps the sign).
int DownTo4(int v) { return v - v % 4; }

}  // namespace

QRect ComputeFullScreenArea(int width, int height) {
  int videoWidth = 0, videoHeight = 0;
  if (width >= 1920 && height >= 1248) {
    videoWidth = 1920;
    videoHeight = 1080;
  } else {
    videoHeight = height - 170;
    videoWidth = static_cast<int>(videoHeight * 1.7);
    if (videoWidth > width) {
      videoWidth = width - 20;
      videoHeight = static_cast<int>(videoWidth * 0.56);
    }
    videoHeight = DownTo4(videoHeight);
    videoWidth = DownTo4(videoWidth);
  }
  const int x = DownTo4((width - videoWidth) / 2);
  const int y = DownTo4((height - videoHeight - 140) / 2 + 29);
  roadkeep::Trace(roadkeep::kTraceWindow, "Width => %d, Hight => %d, X => %d, Y => %d\n", width, height, x, y);
  return QRect(x, y, videoWidth, videoHeight);
}
