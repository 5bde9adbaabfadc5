// Helper process for the single-instance tests: a stand-in for the viewer's start.
//
//   roadkeep-title-window --acquire [PATH...]
//     Runs CSingleInstance::Acquire with the paths and exits 0 when this process may run, 3
//     when another copy runs.
//   roadkeep-title-window --viewer TITLE
//     Starts as the viewer does: exits 3 when another copy runs; else prints "may run", shows
//     a window titled TITLE that later starts bring forward, and a second window that takes
//     the activation from it, then prints "ready". Afterwards it prints "opened URL..." for the
//     paths a later start hands it (each an encoded file URL), "activated" /
//     "deactivated" and "minimised" / "restored" as the first window changes. Lines on
//     standard input: "title TEXT" retitles it ("titled" when done), "minimise" minimises it.
//     Ends (releasing the instance) when standard input closes.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

#include "app/single_instance.h"

namespace {

constexpr int kMayRun = 0;
constexpr int kMustNotRun = 3;
constexpr int kUsage = 2;

void Say(const QString& line) {
  std::fputs(qPrintable(line + '\n'), stdout);
  std::fflush(stdout);
}

class CViewerStandIn : public QWidget {
 public:
  bool Painted() const { return m_painted; }

 protected:
  void paintEvent(QPaintEvent*) override { m_painted = true; }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange)
      Say(isActiveWindow() ? "activated" : "deactivated");
    if (event->type() == QEvent::WindowStateChange && isMinimized() != m_minimised) {
      m_minimised = isMinimized();
      Say(m_minimised ? "minimised" : "restored");
    }
    QWidget::changeEvent(event);
  }

 private:
  bool m_painted = false;
  bool m_minimised = false;
};

void Obey(CViewerStandIn& window, const QString& line) {
  if (line.startsWith("title ")) {
    window.setWindowTitle(line.mid(6));
    Say("titled");
  } else if (line == "minimise") {
    window.showMinimized();
  }
}

int RunViewer(QApplication& app, const QString& title) {
  CSingleInstance instance;
  if (!instance.Acquire()) return kMustNotRun;
  Say("may run");
  CViewerStandIn window;
  window.setWindowTitle(title);
  window.resize(320, 200);
  instance.SetWindow(&window);
  instance.SetOpenPaths([](const QStringList& paths) {
    QString line = QStringLiteral("opened");
    for (const QString& path : paths) line += ' ' + QUrl::fromLocalFile(path).toEncoded();
    Say(line);
  });
  window.show();
  QWidget other;
  other.setWindowTitle(title + " (other)");
  other.setGeometry(400, 0, 200, 100);
  other.show();
  other.activateWindow();

  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &app, [&] {
    if (!window.Painted() || window.isActiveWindow() || !other.isActiveWindow()) return;
    poll.stop();
    Say("ready");
  });
  poll.start(20);

  QByteArray pending;
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[256];
    const ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n <= 0) return app.quit();
    pending.append(buffer, n);
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
      Obey(window, QString::fromUtf8(pending.left(end)));
  });
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() >= 2 && args[1] == "--acquire")
    return CSingleInstance().Acquire(args.mid(2)) ? kMayRun : kMustNotRun;
  if (args.size() == 3 && args[1] == "--viewer") return RunViewer(app, args[2]);
  return kUsage;
}
