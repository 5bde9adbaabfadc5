// roadkeep: the viewer. No command-line arguments are used.
#include <QApplication>

#include "app/app.h"
#include "app/trace_log.h"
#include "platform/wave_out.h"
#include "sensors/map_view.h"

int main(int argc, char** argv) {
  RouteTraceToLogging();
  ChooseAudioDriver();
  PrepareMapEnvironment();  // before any thread starts; the map itself starts much later
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("roadkeep"));
  QApplication::setOrganizationName(QStringLiteral("roadkeep"));
  // The window closes the application itself; the magnifier may outlive it on screen.
  QApplication::setQuitOnLastWindowClosed(false);
  CZarezeRadidaApp app;
  app.InitInstance();
  return 0;
}
