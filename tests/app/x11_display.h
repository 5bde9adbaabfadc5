// What the tests that need a real X display share. CTest asks for QT_QPA_PLATFORM=xcb; where
// no display can be reached Qt then falls back to offscreen (set up before main by
// x11_display.cpp, which each such test executable compiles in), so the X11 cases skip
// instead of the whole suite failing to start.
#pragma once

#include <xcb/xcb.h>

namespace roadkeep::test {

// Whether Qt runs on a real X display.
bool OnX11();
// Qt's own connection to the X server; only on X11.
xcb_connection_t* X11Connection();

}  // namespace roadkeep::test

#define SKIP_UNLESS_X11()       \
  if (!roadkeep::test::OnX11()) \
  GTEST_SKIP() << "needs an X display (QT_QPA_PLATFORM=xcb and DISPLAY)"
