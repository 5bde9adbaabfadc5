// Helper process for the single-instance tests.
//
//   roadkeep-title-window --show TITLE [--report-activation]
//     Shows a plain window titled TITLE and prints "ready" once it is on screen; with
//     --report-activation it prints "activated" / "deactivated" whenever the window gains or
//     loses activation. Ends when standard input closes.
//   roadkeep-title-window --acquire TITLE [--hold]
//     Runs CSingleInstance::Acquire(TITLE) and exits 0 when this process may run, 3 when
//     another copy runs. With --hold a successful start prints "may run", keeps the instance
//     until a line "release" arrives on standard input, prints "released", and exits when
//     standard input closes.
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/single_instance.h"

namespace {

constexpr int kMayRun = 0;
constexpr int kMustNotRun = 3;
constexpr int kUsage = 2;

void Say(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

class TitleWindow : public QWidget {
 public:
  explicit TitleWindow(bool reportActivation) : m_reportActivation(reportActivation) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!m_ready) Say("ready");
    m_ready = true;
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange && m_reportActivation)
      Say(isActiveWindow() ? "activated" : "deactivated");
    QWidget::changeEvent(event);
  }

 private:
  const bool m_reportActivation;
  bool m_ready = false;
};

int ShowWindow(QApplication& app, const QString& title, bool reportActivation) {
  TitleWindow window(reportActivation);
  window.setWindowTitle(title);
  window.resize(320, 200);
  window.show();
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
    char buffer[256];
    if (::read(0, buffer, sizeof buffer) <= 0) app.quit();
  });
  return app.exec();
}

int Acquire(const QString& title, bool hold) {
  auto instance = std::make_unique<CSingleInstance>();
  if (!instance->Acquire(title)) return kMustNotRun;
  if (!hold) return kMayRun;
  Say("may run");
  for (std::string line; std::getline(std::cin, line);) {
    if (line == "release" && instance) {
      instance.reset();
      Say("released");
    }
  }
  return kMayRun;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) return kUsage;
  const QString& mode = args[1];
  const QString& title = args[2];
  if (mode == "--show") return ShowWindow(app, title, args.contains("--report-activation"));
  if (mode == "--acquire") return Acquire(title, args.contains("--hold"));
  return kUsage;
}
