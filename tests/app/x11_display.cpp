#include "tests/app/x11_display.h"

#include <QtGui/qguiapplication_platform.h>

#include <QGuiApplication>

namespace roadkeep::test {
namespace {

// Runs before main, so the QApplication sees the fallback.
const bool kOffscreenFallback = [] {
  if (qgetenv("QT_QPA_PLATFORM") == "xcb") qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
  return true;
}();

}  // namespace

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

xcb_connection_t* X11Connection() {
  return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

}  // namespace roadkeep::test
