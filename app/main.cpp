// roadkeep [PATH...]: the viewer, on the cards and AVI files named (app/command_line.h) or
// on the card that is inserted.
#include <QApplication>
#include <cstdio>

#include "app/app.h"
#include "app/command_line.h"
#include "app/trace_log.h"
#include "platform/wave_out.h"
#include "sensors/map_view.h"
#include "settings/setting_dlg.h"

int main(int argc, char** argv) {
  // Before any window: --help, --version and a refused line need no display.
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::fputs(CommandLineHelp().c_str(), stdout);
      return 0;
    case CommandLine::Action::kVersion:
      std::printf("roadkeep %s\n", kViewerVersion);
      return 0;
    case CommandLine::Action::kRefuse:
      std::fprintf(stderr, "%s\n", line.refusal.c_str());
      return 2;
    case CommandLine::Action::kRun:
      break;
  }
  RouteTraceToLogging();
  ChooseAudioDriver();
  PrepareMapEnvironment();  // before any thread starts; the map itself starts much later
  int qtArgc = 1;  // the paths are ours, not Qt's
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName(QStringLiteral("roadkeep"));
  QApplication::setOrganizationName(QStringLiteral("roadkeep"));
  // The desktop entry the window belongs to (its icon and name in docks and task bars).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.roadkeep.Roadkeep"));
  // The window closes the application itself; the magnifier may outlive it on screen.
  QApplication::setQuitOnLastWindowClosed(false);
  CZarezeRadidaApp app;
  app.InitInstance(line);
  return 0;
}
