// What the viewer's tests need around a real main window: a card made by roadkeep-tool, the
// card put in the way the card watch would see it, and a working folder of its own for
// ./config.cfg.
#pragma once

#include <functional>
#include <string>

#include "tests/support/temp_dir.h"

class CZarezeRadidaDlg;
class QImage;

namespace roadkeep::test {

// A card written by make-card: one recording of each kind, `seconds` long. Recording r
// (0..3) is named KIND_20140301_0930SS_X.avi with SS = r * (seconds + 5); recordings 0 and
// 2 have both cameras (X = D), 1 and 3 the front one only.
struct ViewerCard {
  TempDir dir;
  int seconds = 3;
  bool ok = false;
  ViewerCard(int seconds, const std::string& front = "320x180@30",
             const std::string& rear = "320x180@30");
  std::string Name(int recording) const;
};

// Counts the card folder as a removable drive and polls the window's card-store handle
// once, as the card watch does; the window's card letter is set. False when no card.
bool InsertCard(CZarezeRadidaDlg& window, const std::string& dir);

// Runs in a fresh temporary folder for its life, then returns to the old one.
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();
  ScopedWorkDir(const ScopedWorkDir&) = delete;
  ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;
  std::string File(const std::string& name) const { return m_dir.File(name); }

 private:
  TempDir m_dir;
  std::string m_old;
};

// Processes GUI events until done() holds or timeoutMs pass; returns done().
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);

// Whether more than `fraction` of the image's pixels are brighter than black.
bool MostlyNonBlack(const QImage& image, double fraction = 0.5);

// Path of a program built next to the tests.
std::string BinPath(const std::string& program);

}  // namespace roadkeep::test
