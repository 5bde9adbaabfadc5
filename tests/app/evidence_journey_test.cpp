// The evidence package from the real window under an X server: a recording plays, rows are
// checked with the mouse, the row menu's entry is chosen with the mouse, the folder dialog
// answered; the progress dialog shows and the picture and position move on while the
// package is made, and the package `roadkeep-tool verify` accepts lands in a new
// "evidence-..." folder. A cancel, and the window closed, leave a package without
// SHA256SUMS. A probe on the package's thread holds it at a chosen step, so the user's
// actions land while it runs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "app/main_window.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 60000;  // generous: the machine is shared and MP4s are encoded
constexpr int kSeconds = 12;    // every recording over 512 KiB, so all four are listed
const QString kEntry = QStringLiteral("Evidence package…");

// Answers the folder dialog with `folder` and every message box with OK, keeping what they
// said; the row menu's evidence entry is chosen with the mouse when `choose` is set, else
// only looked at (enabled or not) and the menu closed.
class User : public QObject {
 public:
  explicit User(QString folder) : m_folder(std::move(folder)) { m_timer.start(10, this); }
  QStringList messages;  // "objectName: text"
  int folderDialogs = 0;
  int menus = 0;
  bool entryEnabled = false;  // in the last menu
  bool choose = true;

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(top)) {
        messages << box->objectName() + ": " + box->text();
        box->accept();
      } else if (auto* menu = qobject_cast<QMenu*>(top)) {
        if (menu->objectName() != QLatin1String("RowMenu")) continue;
        ++menus;
        for (QAction* action : menu->actions()) {
          if (action->text() != kEntry) continue;
          entryEnabled = action->isEnabled();
          if (choose && entryEnabled) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
          } else {
            menu->close();
          }
        }
      } else if (auto* dialog = qobject_cast<QFileDialog*>(top)) {
        if (dialog->objectName() != QLatin1String("EvidenceFolderDialog")) continue;
        ++folderDialogs;
        ChooseFolder(dialog, m_folder);
      }
    }
  }

 private:
  QString m_folder;
  QBasicTimer m_timer;
};

// Holds the package's thread at the first step whose name starts with `prefix` until
// released (or a generous timeout).
class StepGate : public ThreadGate {
 public:
  explicit StepGate(std::string prefix) : ThreadGate(kWaitMs), m_prefix(std::move(prefix)) {}
  void operator()(const std::string& step, double) {
    if (step.rfind(m_prefix, 0) == 0) Hold();
  }

 private:
  const std::string m_prefix;
};

class EvidenceJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(m_work.File("profile")));
    m_card = std::make_unique<ViewerCard>(kSeconds, "640x360@30", "320x180@30");
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    m_out = m_work.File("out");
    fs::create_directory(m_out);
    const std::string watched = m_work.File("card");
    fs::create_directory(watched);
    MoveCard(m_card->dir.Path(), watched);
    setenv("ROADKEEP_CARD_DIRS", watched.c_str(), 1);
    m_window = std::make_unique<CZarezeRadidaDlg>(0x09);
    ASSERT_TRUE(ShowActive(m_window.get()));
    ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 4; }, kWaitMs));
  }
  void TearDown() override {
    if (m_window) W().Evidence().SetStepProbe(nullptr);
  }

  CZarezeRadidaDlg& W() { return *m_window; }
  QTreeView& List() { return *W().Controls().List(); }
  CProgressDlg& Progress() { return *W().EvidenceProgressWindow(); }
  QPoint RowPoint(int row) {
    return List().viewport()->mapTo(m_window.get(), ListRowRect(W(), row).center());
  }

  void CheckRow(int row) {
    QStyleOptionViewItem option;
    option.initFrom(List().viewport());
    option.rect = ListRowRect(W(), row);
    option.rect.setWidth(List().columnWidth(0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = ListText(W(), row, 0);
    const QRect box =
        List().style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &List());
    const Qt::CheckState before = ListCheck(W(), row);
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                      List().viewport()->mapTo(m_window.get(), box.center()));
    ASSERT_TRUE(WaitFor([&] { return ListCheck(W(), row) != before; }, kWaitMs)) << row;
  }
  void RightClickRow(int row) {
    QTest::mouseClick(m_window->windowHandle(), Qt::RightButton, {}, RowPoint(row));
  }
  void PlayRow(int row) {
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, RowPoint(row));
    const CVideoPane& front = *W().Controls().FrontPane();
    ASSERT_TRUE(WaitFor([&] { return front.FramesShown() > 0; }, kWaitMs));
  }
  // The one folder the package went into.
  std::string PackageFolder() {
    std::vector<std::string> made;
    for (const auto& e : fs::directory_iterator(m_out)) made.push_back(e.path().string());
    return made.size() == 1 ? made.front() : std::string();
  }
  static int Verify(const std::string& folder) {
    return RunCommand(BinPath("roadkeep-tool") + " verify '" + folder + "' >/dev/null");
  }

  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::string m_out;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

TEST_F(EvidenceJourney, PackageOfTheCheckedRowsIsMadeWhilePlaybackGoesOnAndVerifies) {
  ASSERT_NO_FATAL_FAILURE(PlayRow(3));
  for (int row : {0, 1}) ASSERT_NO_FATAL_FAILURE(CheckRow(row));
  StepGate gate("MP4 ");
  W().Evidence().SetStepProbe(std::ref(gate));
  User user(QString::fromStdString(m_out));
  RightClickRow(2);  // an unchecked row: the checked ones are packaged
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  EXPECT_EQ(user.folderDialogs, 1);
  ASSERT_TRUE(WaitFor([&] { return Progress().isVisible(); }, kWaitMs));

  // Held in the middle of the package: the picture and the position move on.
  const CVideoPane& front = *W().Controls().FrontPane();
  const int64_t shown = front.FramesShown();
  const int position = W().Player().GetPositionMs();
  EXPECT_TRUE(WaitFor([&] {
    return front.FramesShown() >= shown + 15 && W().Player().GetPositionMs() >= position + 500;
  }, kWaitMs));
  const QImage screen = GrabScreen();
  SaveShot(screen, QStringLiteral("evidence-progress.png"));
  screen.save(QStringLiteral("/tmp/evidence-progress.png"));

  // A second package is refused while this one is made: the entry is off.
  user.choose = false;
  RightClickRow(2);
  ASSERT_TRUE(WaitFor([&] { return user.menus == 2; }, kWaitMs));
  EXPECT_FALSE(user.entryEnabled);
  EXPECT_EQ(user.folderDialogs, 1);

  gate.Release();
  ASSERT_TRUE(WaitFor([&] { return !user.messages.isEmpty() && !W().Evidence().IsBusy(); },
                      kWaitMs));
  EXPECT_FALSE(Progress().isVisible());
  const std::string folder = PackageFolder();
  ASSERT_FALSE(folder.empty()) << "not one new folder in " << m_out;
  EXPECT_TRUE(std::regex_match(fs::path(folder).filename().string(),
                               std::regex("evidence-[0-9]{8}-[0-9]{6}")))
      << folder;
  EXPECT_EQ(user.messages, QStringList{"EvidenceDoneMessage: Evidence package complete.\nFolder: " +
                                       QString::fromStdString(folder)});
  for (int row : {0, 1}) {
    const std::string name = ListName(W(), row).toStdString();
    const std::string stem = name.substr(0, name.size() - 4);
    for (const std::string& file : {name, stem + ".mp4", stem + ".gpx", stem + ".csv"})
      EXPECT_TRUE(fs::exists(folder + "/" + file)) << file;
  }
  EXPECT_FALSE(fs::exists(folder + "/" + ListName(W(), 2).toStdString()));
  EXPECT_TRUE(fs::exists(folder + "/SHA256SUMS"));
  EXPECT_EQ(Verify(folder), 0);
  // The report was drawn on the package's thread, beside the window's own painting.
  EXPECT_EQ(ReadText(folder + "/report.pdf").substr(0, 5), "%PDF-");
  if (HaveProgram("pdftotext")) {
    const std::string text = CommandOutput("pdftotext '" + folder + "/report.pdf' -");
    EXPECT_NE(text.find("Made by Roadkeep"), std::string::npos) << text;
    EXPECT_NE(text.find(ListName(W(), 0).toStdString()), std::string::npos) << text;
  }

  // Once it is done the entry is on again, and the next package goes into a new folder of
  // its own beside the first (numbered when made within the same second).
  user.choose = true;
  user.messages.clear();
  RightClickRow(2);
  ASSERT_TRUE(WaitFor([&] { return !user.messages.isEmpty() && !W().Evidence().IsBusy(); },
                      kWaitMs));
  EXPECT_EQ(user.folderDialogs, 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(m_out), fs::directory_iterator()), 2);
  EXPECT_EQ(Verify(folder), 0) << "the first package was touched";
}

TEST_F(EvidenceJourney, CancelLeavesAnIncompletePackageWithoutSums) {
  StepGate gate("AVI ");
  W().Evidence().SetStepProbe(std::ref(gate));
  User user(QString::fromStdString(m_out));
  RightClickRow(1);  // nothing checked: this row's recording
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  ASSERT_TRUE(WaitFor([&] { return Progress().isVisible(); }, kWaitMs));
  QTest::mouseClick(Progress().findChild<QWidget*>(QString::number(IDC_PROGRESS_CANCEL)),
                    Qt::LeftButton);
  EXPECT_FALSE(Progress().IsActive());
  gate.Release();
  ASSERT_TRUE(WaitFor([&] { return !user.messages.isEmpty() && !W().Evidence().IsBusy(); },
                      kWaitMs));
  EXPECT_FALSE(Progress().isVisible());
  const std::string folder = PackageFolder();
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(user.messages.size(), 1);
  EXPECT_TRUE(user.messages.front().startsWith(
      QStringLiteral("EvidenceDoneMessage: Evidence package cancelled: incomplete")))
      << user.messages.front().toStdString();
  EXPECT_FALSE(fs::exists(folder + "/SHA256SUMS"));
  EXPECT_NE(ReadText(folder + "/manifest.json").find("\"complete\": false"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder + "/" + ListName(W(), 1).toStdString()))
      << "a cancelled copy was left";
  EXPECT_NE(Verify(folder), 0);
}

// The card pulled out during the package: the card watch sees it go, the package stops
// incomplete, and nothing says it is whole.
TEST_F(EvidenceJourney, ACardPulledOutLeavesAnIncompletePackage) {
  StepGate gate("AVI ");
  W().Evidence().SetStepProbe(std::ref(gate));
  User user(QString::fromStdString(m_out));
  RightClickRow(1);
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  const std::string watched = m_work.File("card");
  MoveCard(watched, m_card->dir.Path());
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 0; }, kWaitMs)) << "the card watch did not see it go";
  gate.Release();
  ASSERT_TRUE(WaitFor([&] { return !W().Evidence().IsBusy(); }, kWaitMs));
  const std::string folder = PackageFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(fs::exists(folder + "/SHA256SUMS"));
  EXPECT_NE(ReadText(folder + "/manifest.json").find("\"complete\": false"), std::string::npos);
  EXPECT_NE(Verify(folder), 0);
}

// The closing window cancels the package and waits for its thread: the package stays
// incomplete, no MP4 part is left, and the close does not wait for the package's end.
TEST_F(EvidenceJourney, ClosingTheWindowLeavesAnIncompletePackageAndNoPart) {
  ThreadGate gate(kWaitMs);
  CZarezeRadidaDlg* window = m_window.get();
  // Holds the package at its MP4 until the closing window asks it to stop.
  W().Evidence().SetStepProbe([&gate, window](const std::string& step, double) {
    if (step.rfind("MP4 ", 0) == 0) gate.Hold([window] { return window->Evidence().CancelRequested(); });
  });
  User user(QString::fromStdString(m_out));
  const std::string name = ListName(W(), 1).toStdString();
  RightClickRow(1);
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  QElapsedTimer clock;
  clock.start();
  m_window.reset();
  EXPECT_LT(clock.elapsed(), kWaitMs / 2) << "the close waited for the probe's timeout";
  const std::string folder = PackageFolder();
  ASSERT_FALSE(folder.empty());
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{name, "manifest.json"})) << "the AVI copied before";
  EXPECT_NE(ReadText(folder + "/manifest.json").find("\"complete\": false"), std::string::npos);
  QTest::qWait(200);  // nothing queued for the window may arrive after it is gone
  EXPECT_TRUE(user.messages.isEmpty()) << user.messages.join('\n').toStdString();
}

}  // namespace
}  // namespace roadkeep::test
