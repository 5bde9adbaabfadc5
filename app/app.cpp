#include "app/app.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/single_instance.h"

namespace {

// ROADKEEP_STARTUP_PROBE set: after the window's first paint, prints
// "first-paint <CLOCK_MONOTONIC ns>" and ends the run, for the start-up benchmark.
class CStartupProbe : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_seen) {
      m_seen = true;
      // After this paint has been handled and flushed to the screen.
      QTimer::singleShot(0, this, [] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("first-paint %lld\n",
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
        // Not quit(): that closes the window, which asks the user first.
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool m_seen = false;
};

}  // namespace

int CZarezeRadidaApp::InitInstance(const CommandLine& line) {
  // A start while another copy runs hands it what it was asked to open.
  QStringList paths;
  for (const std::string& card : line.cards) paths << QString::fromLocal8Bit(card);
  for (const std::string& file : line.aviFiles) paths << QString::fromLocal8Bit(file);
  CSingleInstance instance;
  if (!instance.Acquire(paths)) return 0;
  CZarezeRadidaDlg window;
  instance.SetWindow(&window);
  instance.SetOpenPaths([&window](const QStringList& opened) { window.OpenPaths(opened); });
  window.SetQuitOnClose(true);
  window.OpenCardFolders(line.cards);
  CStartupProbe probe;
  if (qEnvironmentVariableIsSet("ROADKEEP_STARTUP_PROBE")) window.installEventFilter(&probe);
  window.show();
  window.OpenFiles(line.aviFiles);
  return QApplication::exec();
}
