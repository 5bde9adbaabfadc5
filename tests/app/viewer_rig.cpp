#include "tests/app/viewer_rig.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "tat/tat_library.h"

namespace roadkeep::test {

std::string BinPath(const std::string& program) {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/" + program;
}

ViewerCard::ViewerCard(int seconds_, const std::string& front, const std::string& rear)
    : seconds(seconds_) {
  const std::string cmd = BinPath("roadkeep-tool") + " make-card " + dir.Path().string() +
                          " --per-kind 1 --seconds " + std::to_string(seconds) + " --front " +
                          front + " --rear " + rear + " --front-only-every 2 --seed 5 >/dev/null";
  ok = RunCommand(cmd) == 0;
}

std::string ViewerCard::Name(int recording) const {
  static const char* const kinds[4] = {"REC", "EVENT", "PARKING", "MANUAL"};
  const int start = recording * (seconds + 5);
  char name[64];
  std::snprintf(name, sizeof name, "%s_20140301_09%02d%02d_%c.avi", kinds[recording % 4],
                30 + start / 60, start % 60, recording % 2 == 0 ? 'D' : 'F');
  return name;
}

bool InsertCard(CZarezeRadidaDlg& window, const std::string& dir) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  char letter = 0;
  TatPollCard(window.Library(), &letter);
  window.State().cardLetter = letter;
  return letter != 0;
}

ScopedWorkDir::ScopedWorkDir() : m_old(std::filesystem::current_path().string()) {
  std::filesystem::current_path(m_dir.Path());
}

ScopedWorkDir::~ScopedWorkDir() { std::filesystem::current_path(m_old); }

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

bool MostlyNonBlack(const QImage& image, double fraction) {
  if (image.isNull()) return false;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int64_t lit = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      if (qRed(row[x]) + qGreen(row[x]) + qBlue(row[x]) > 30) ++lit;
    }
  }
  return lit > fraction * rgb.width() * rgb.height();
}

}  // namespace roadkeep::test
