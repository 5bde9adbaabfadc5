// Where the main window's controls stand in each display mode, and the repaint rules of its
// transparent labels. The numbers live in one table per mode (window_layout.cpp).
// GUI thread only.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include "app/window_state.h"

class CWindowControls;
class QImage;
class QPainter;
class QWidget;

// The normal window at any size from the skin's (975 x 635) up follows one rule, for its
// controls, panes and background alike: an edge at or right of kStretchX moves right by the
// extra width, one at or below kStretchY moves down by the extra height, so what lies beyond
// a line keeps its place from the window's right or bottom edge and what spans one grows (the
// main pane; the list). The lines cross the main pane and the list, where the skin is plain.
constexpr int kSkinWidth = 975, kSkinHeight = 635;
constexpr int kStretchX = 600, kStretchY = 150;
QRect StretchToClient(const QRect& skinPlace, const QSize& client);
// Paints the skin's background over a client of that size by the same rule: the parts beyond
// the lines move, the pixel row and column on the lines fill the space between.
void PaintStretchedSkin(QPainter& painter, const QImage& skin, const QSize& client);

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
  void PlaceNormal(const QSize& client);
  void PlaceFullScreen(int width, int height);
  void ShowForMode(int mode);

  QWidget* m_window;
  CWindowControls& m_controls;
};
