// What the viewer's tests need around a real main window: a card made by roadkeep-tool, the
// card put in the way the card watch would see it, and a working folder of its own for
// ./config.cfg.
#pragma once

#include <QRect>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

class CZarezeRadidaDlg;
class QFileDialog;
class QImage;
class QString;
class QWidget;

namespace roadkeep::test {

using ViewerCard = MadeCard;

// Counts the card folder as a removable drive and polls the window's card-store handle
// once, as the card watch does; the window's card letter is set. False when no card.
bool InsertCard(CZarezeRadidaDlg& window, const std::string& dir);

// The recording list as the user sees it, by shown row: the row count, the recording's name,
// a column's text, the check box; selecting a row as a click does; a row's place in the
// list's viewport.
int ListRows(CZarezeRadidaDlg& window);
QString ListName(CZarezeRadidaDlg& window, int row);
QString ListText(CZarezeRadidaDlg& window, int row, int column);
Qt::CheckState ListCheck(CZarezeRadidaDlg& window, int row);
void SetListCheck(CZarezeRadidaDlg& window, int row, Qt::CheckState check);
void SelectListRow(CZarezeRadidaDlg& window, int row);
QRect ListRowRect(CZarezeRadidaDlg& window, int row);

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

// The whole primary screen as an RGB32 image.
QImage GrabScreen();
// Saves shot as build/viewer-shots/name (PNG), for a person to look at.
void SaveShot(const QImage& shot, const QString& name);

// Whether more than `fraction` of the image's pixels are brighter than black.
bool MostlyNonBlack(const QImage& image, double fraction = 0.5);

// The card's folders (TAT, SETTING) moved from one folder to another at once, as a card is
// put in or pulled out.
void MoveCard(const std::filesystem::path& from, const std::filesystem::path& to);

// Shows window and makes it the active one, as the window system does for a program just
// started; false when it does not become so within timeoutMs.
bool ShowActive(QWidget* window, int timeoutMs = 5000);

// Answers a folder dialog with folder, as a user who typed it would.
void ChooseFolder(QFileDialog* dialog, const QString& folder);

// Holds a worker thread at a point where a test wants the user's action to land: the first
// Hold blocks its thread until Release or until() holds, or timeoutMs at most.
class ThreadGate {
 public:
  explicit ThreadGate(int timeoutMs) : m_timeoutMs(timeoutMs) {}
  void Hold(const std::function<bool()>& until = {});
  bool Reached() const { return m_reached; }
  void Release() { m_released = true; }

 private:
  const int m_timeoutMs;
  std::atomic<bool> m_reached{false}, m_released{false};
};

}  // namespace roadkeep::test
