#include "tests/app/viewer_rig.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QImage>
#include <QItemSelectionModel>
#include <QThread>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/main_window.h"
#include "app/window_controls.h"
#include "tat/tat_library.h"

namespace roadkeep::test {

bool InsertCard(CZarezeRadidaDlg& window, const std::string& dir) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  char letter = 0;
  TatPollCard(window.Library(), &letter);
  window.State().cardLetter = letter;
  return letter != 0;
}

namespace {

QModelIndex ListIndex(CZarezeRadidaDlg& window, int row, int column = 0) {
  const QAbstractItemModel* model = window.Controls().List()->model();
  return model != nullptr ? model->index(row, column) : QModelIndex();
}

}  // namespace

int ListRows(CZarezeRadidaDlg& window) {
  const QAbstractItemModel* model = window.Controls().List()->model();
  return model != nullptr ? model->rowCount() : 0;
}

QString ListName(CZarezeRadidaDlg& window, int row) { return ListText(window, row, 1); }

QString ListText(CZarezeRadidaDlg& window, int row, int column) {
  return ListIndex(window, row, column).data().toString();
}

Qt::CheckState ListCheck(CZarezeRadidaDlg& window, int row) {
  return ListIndex(window, row).data(Qt::CheckStateRole).value<Qt::CheckState>();
}

void SetListCheck(CZarezeRadidaDlg& window, int row, Qt::CheckState check) {
  window.Controls().List()->model()->setData(ListIndex(window, row), check, Qt::CheckStateRole);
}

void SelectListRow(CZarezeRadidaDlg& window, int row) {
  QTreeView* list = window.Controls().List();
  list->setCurrentIndex(ListIndex(window, row));
  list->selectionModel()->select(ListIndex(window, row),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QRect ListRowRect(CZarezeRadidaDlg& window, int row) {
  return window.Controls().List()->visualRect(ListIndex(window, row));
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

QImage GrabScreen() {
  return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
      QImage::Format_RGB32);
}

void SaveShot(const QImage& shot, const QString& name) {
  const QString dir = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../viewer-shots");
  QDir().mkpath(dir);
  EXPECT_TRUE(shot.save(dir + "/" + name, "PNG")) << "could not write " << name.toStdString();
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

void MoveCard(const std::filesystem::path& from, const std::filesystem::path& to) {
  for (const char* part : {"TAT", "SETTING"}) std::filesystem::rename(from / part, to / part);
}

bool ShowActive(QWidget* window, int timeoutMs) {
  window->show();
  if (!QTest::qWaitForWindowExposed(window, timeoutMs)) return false;
  window->activateWindow();
  return QTest::qWaitForWindowActive(window, timeoutMs);
}

void ChooseFolder(QFileDialog* dialog, const QString& folder) {
  dialog->setDirectory(folder);
  dialog->selectFile(folder);
  // The dialog leaves its name field alone while that has the focus: type it there.
  if (QDir(dialog->selectedFiles().value(0)) != QDir(folder)) {
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(folder);
  }
  static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept
}

void ThreadGate::Hold(const std::function<bool()>& until) {
  if (m_reached.exchange(true)) return;
  for (int waited = 0; !m_released && !(until && until()) && waited < m_timeoutMs; waited += 5) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace roadkeep::test
