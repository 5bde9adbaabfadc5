// Where the main window's controls stand in each display mode, and the repaint rules of its
// transparent labels. The numbers live in one table per mode (window_layout.cpp).
// GUI thread only.
#pragma once

#include <QString>

#include "app/window_state.h"

class CWindowControls;
class QWidget;

// Text colour of the labels drawn straight on the skin.
constexpr unsigned kLabelRgb = 0xF7582E;  // RGB(247, 88, 46)

class CWindowLayout {
 public:
  // window: the main window (repainted after a layout); controls: its children.
  CWindowLayout(QWidget* window, CWindowControls& controls);

  // Shows, hides and places the controls for display mode 1 (normal) or 2 (full screen),
  // starting with the full-screen geometry of the window's current client size (written to
  // state.fullScreen). The panes and the map are left to the pane layout. Ends with the five
  // pane controls disabled and the whole window repainted.
  void ApplyWindowLayout(int mode, WindowState& state);

  // Sets a label's text. Unchanged text is not repainted; any other (or empty) text first
  // repaints the skin under the label, so no remnant of longer old text stays.
  void SetLabelText(int id, const QString& text);

  // Orange text on a transparent background for the labels (and the select-all box) that
  // have text; other controls keep the default colours.
  void ApplyLabelColours();

 private:
  void PlaceNormal();
  void PlaceFullScreen(int width, int height);
  void ShowForMode(int mode);

  QWidget* m_window;
  CWindowControls& m_controls;
};
