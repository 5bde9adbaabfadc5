// The export through the real window under an X server: rows checked with the mouse,
// FileDownload clicked, the real folder dialog answered, the export thread's progress seen in
// the title and the bars, and the files it wrote checked with ffprobe. Cancel during the
// second file, the card pulled out, a folder that cannot be written and the window closed,
// each during an export. A probe on the export thread holds the copy at a chosen frame so
// that the user's action lands in the file it is meant for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include "app/main_window.h"
#include "app/viewer_config.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;  // generous: the machine is shared
constexpr int kSeconds = 12;  // every recording over 512 KiB, so all four are listed
constexpr int kFrames = kSeconds * 30;

// Answers the window's dialogs as they show: the folder dialog with `folder` (or Cancel when
// it is empty), the question about files already there with the button named `existing`,
// every other message box with OK, keeping what they said.
class DialogAnswerer : public QObject {
 public:
  explicit DialogAnswerer(QString folder, QString existing = {})
      : m_folder(std::move(folder)), m_existing(std::move(existing)) {
    m_timer.start(10, this);
  }
  QStringList messages;    // "objectName: text"
  QStringList startedIn;   // the folder each folder dialog opened in
  int folderDialogs = 0;

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(top)) {
        messages << box->objectName() + ": " + box->text();
        auto* button = box->findChild<QAbstractButton*>(m_existing);
        if (box->objectName() == QLatin1String("ExportExistingQuestion") && button != nullptr) {
          button->click();
        } else {
          box->accept();
        }
      } else if (auto* dialog = qobject_cast<QFileDialog*>(top)) {
        if (dialog->objectName() != QLatin1String("ExportFolderDialog")) continue;
        ++folderDialogs;
        startedIn << dialog->directory().absolutePath();
        if (m_folder.isEmpty()) {
          dialog->reject();
        } else {
          ChooseFolder(dialog, m_folder);
        }
      }
    }
  }

 private:
  QString m_folder, m_existing;
  QBasicTimer m_timer;
};

// Holds the export thread at one frame of one file until released (or a generous timeout).
class FrameGate : public ThreadGate {
 public:
  FrameGate(int file, int frame) : ThreadGate(kWaitMs), m_file(file), m_frame(frame) {}
  void operator()(int file, int frame) {
    if (file == m_file && frame == m_frame) Hold();
  }

 private:
  int m_file, m_frame;
};

// Counts the times a widget is shown.
class ShowCounter : public QObject {
 public:
  explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Show ? 1 : 0;
    return false;
  }
};

struct Probed {
  long frontFrames = 0, videoStreams = 0;
  std::string errors;  // from decoding the whole file
};

Probed Probe(const std::string& path) {
  std::istringstream lines(CommandOutput("ffprobe -v error -count_packets -show_entries "
                                         "stream=codec_type,nb_read_packets -of csv=p=0 '" +
                                         path + "'"));
  Probed p;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("video,", 0) != 0) continue;
    if (p.videoStreams++ == 0) p.frontFrames = std::atol(line.c_str() + 6);
  }
  p.errors = CommandOutput("ffmpeg -nostdin -v error -i '" + path + "' -f null - 2>&1");
  return p;
}

class ExportJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    if (!HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffprobe";
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // The remembered folder goes to this test's own profile.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(m_work.File("profile")));
    m_card = std::make_unique<ViewerCard>(kSeconds, "640x360@30", "320x180@30");
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    m_out = m_work.File("out");
    fs::create_directory(m_out);
    m_watched = m_work.File("card");
    fs::create_directory(m_watched);
    setenv("ROADKEEP_CARD_DIRS", m_watched.c_str(), 1);
    m_window = std::make_unique<CZarezeRadidaDlg>(0x09);
    ASSERT_TRUE(ShowActive(m_window.get()));
    MoveCard(m_card->dir.Path(), m_watched);
    ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 4; }, kWaitMs));
  }

  CZarezeRadidaDlg& W() { return *m_window; }
  QTreeView& List() { return *W().Controls().List(); }
  CProgressDlg& Progress() { return *W().ProgressWindow(); }
  std::string Name(int row) { return ListName(W(), row).toStdString(); }
  std::string Out(int row) { return m_out + "/" + Name(row); }

  // Clicks row's check box with the mouse, through the window system's path.
  void CheckRow(int row) {
    ASSERT_LT(row, ListRows(W()));
    QStyleOptionViewItem option;
    option.initFrom(List().viewport());
    option.rect = ListRowRect(W(), row);
    option.rect.setWidth(List().columnWidth(0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = ListText(W(), row, 0);
    const QRect box =
        List().style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &List());
    const QPoint at = List().viewport()->mapTo(m_window.get(), box.center());
    const Qt::CheckState before = ListCheck(W(), row);
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitFor([&] { return ListCheck(W(), row) != before; }, kWaitMs)) << row;
  }
  void ClickDownload() {
    QWidget* button = W().Controls().Find(IDC_DOWNLOAD);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
  }
  bool ExportEnds() { return WaitFor([&] { return !W().ExportBusy(); }, kWaitMs); }
  static std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
      files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
  }

  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::string m_out, m_watched;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

TEST_F(ExportJourney, ThreeCheckedRowsBecomeThreeFilesWithTitleAndBarsInTurn) {
  DialogAnswerer answerer(QString::fromStdString(m_out));
  ClickDownload();  // nothing checked yet
  ASSERT_TRUE(WaitFor([&] { return !answerer.messages.isEmpty(); }, kWaitMs));
  EXPECT_EQ(answerer.messages.front(),
            QStringLiteral("NoSelectionMessage: Please select the file to save. "));
  EXPECT_EQ(answerer.folderDialogs, 0);
  answerer.messages.clear();

  // Rows 0..2: the newest three, one camera, two cameras, one camera.
  for (int row : {0, 1, 2}) CheckRow(row);
  QStringList titles;
  QList<int> overall;
  QObject::connect(&W(), &QWidget::windowTitleChanged, [&](const QString& t) { titles << t; });
  QObject::connect(Progress().OverallBar(), &QProgressBar::valueChanged,
                   [&](int v) { overall << v; });
  ShowCounter shows(&Progress());
  ClickDownload();
  EXPECT_EQ(answerer.folderDialogs, 1);
  ASSERT_TRUE(WaitFor([&] {
    return !W().ExportBusy() && titles.size() == 4 && !Progress().isVisible() &&
           !answerer.messages.isEmpty();
  }, kWaitMs));
  EXPECT_EQ(shows.count, 1);
  EXPECT_EQ(Progress().windowTitle(), QStringLiteral("Export recordings"));
  const QString names[3] = {ListName(W(), 0), ListName(W(), 1), ListName(W(), 2)};
  EXPECT_EQ(titles, (QStringList{"Make File 1/3 [" + names[0] + "]",
                                 "Make File 2/3 [" + names[1] + "]",
                                 "Make File 3/3 [" + names[2] + "]",
                                 LoadString(IDS_APP_TITLE)}));
  EXPECT_EQ(overall, (QList<int>{1, 2, 3})) << "files done: none at the start, all at the end";
  EXPECT_EQ(Progress().OverallBar()->maximum(), 3);
  EXPECT_EQ(Progress().FileBar()->maximum(), kFrames);
  EXPECT_EQ(Progress().FileBar()->value(), kFrames - 1);
  EXPECT_EQ(W().windowTitle(), LoadString(IDS_APP_TITLE)) << "the title is the viewer's again";
  // One word at the end: how many, and where.
  EXPECT_EQ(answerer.messages,
            QStringList{"ExportDoneMessage: Recordings exported: 3\nFolder: " +
                        QString::fromStdString(m_out)});
  EXPECT_EQ(ReadTargetFolder(), QString::fromStdString(m_out));

  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(m_out)) files.push_back(entry.path().string());
  EXPECT_EQ(files.size(), 3u);
  for (int row : {0, 1, 2}) {
    SCOPED_TRACE(Name(row));
    const Probed p = Probe(Out(row));
    EXPECT_EQ(p.videoStreams, row == 1 ? 2 : 1);
    EXPECT_EQ(p.frontFrames, kFrames);
    EXPECT_EQ(p.errors, "");
  }

  // The next export's dialog opens in the remembered folder.
  ExportJourney::ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return answerer.folderDialogs == 2 && !W().ExportBusy(); }, kWaitMs));
  EXPECT_EQ(answerer.startedIn.back(), QString::fromStdString(m_out));
}

// The export reads the card through a reader of its own: a recording plays on in the panes
// while two others are exported, and STOP during the export stops the playback alone; both
// files come out whole.
TEST_F(ExportJourney, PlaybackGoesOnDuringAnExportAndStopLeavesTheFilesWhole) {
  DialogAnswerer answerer(QString::fromStdString(m_out));
  FrameGate gate(0, 30);
  W().ExportWorker().SetFrameProbe(std::ref(gate));
  const QPoint row3 = List().viewport()->mapTo(m_window.get(), ListRowRect(W(), 3).center());
  QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, row3);
  const CVideoPane& front = *W().Controls().FrontPane();
  ASSERT_TRUE(WaitFor([&] { return front.FramesShown() > 0; }, kWaitMs));
  for (int row : {0, 1}) CheckRow(row);
  ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  // The export is under way (held at its 30th frame): the picture keeps moving.
  const int64_t shown = front.FramesShown(), painted = front.FramesPainted();
  EXPECT_TRUE(WaitFor([&] {
    return front.FramesShown() >= shown + 10 && front.FramesPainted() >= painted + 10;
  }, kWaitMs));
  QWidget* stop = W().Controls().Find(IDC_STOP);
  QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                    stop->mapTo(m_window.get(), stop->rect().center()));
  EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kStopped);
  EXPECT_TRUE(W().ExportBusy());
  gate.Release();
  ASSERT_TRUE(ExportEnds());
  W().ExportWorker().SetFrameProbe(nullptr);
  for (int row : {0, 1}) {
    const Probed p = Probe(Out(row));
    EXPECT_EQ(p.frontFrames, kFrames) << Name(row);
    EXPECT_EQ(p.errors, "") << Name(row);
  }
  EXPECT_TRUE(WaitFor([&] { return !answerer.messages.isEmpty(); }, kWaitMs));
  EXPECT_EQ(answerer.messages.filter(QStringLiteral("ExportDoneMessage: ")).size(), 1)
      << answerer.messages.join('\n').toStdString();
  EXPECT_EQ(W().windowTitle(), LoadString(IDS_APP_TITLE));
}

TEST_F(ExportJourney, CancelDuringTheSecondFileKeepsTheFirstAndLeavesNoSecondOrThird) {
  DialogAnswerer answerer(QString::fromStdString(m_out));
  FrameGate gate(1, 20);
  W().ExportWorker().SetFrameProbe(std::ref(gate));
  for (int row : {0, 1, 2}) CheckRow(row);
  ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  ASSERT_TRUE(WaitFor([&] { return Progress().isVisible(); }, kWaitMs));
  QTest::mouseClick(Progress().findChild<QWidget*>(QString::number(IDC_PROGRESS_CANCEL)),
                    Qt::LeftButton);
  EXPECT_FALSE(Progress().IsActive());
  gate.Release();
  ASSERT_TRUE(ExportEnds());
  ASSERT_TRUE(WaitFor([&] { return !Progress().isVisible(); }, kWaitMs));
  W().ExportWorker().SetFrameProbe(nullptr);

  EXPECT_EQ(Probe(Out(0)).frontFrames, kFrames);
  EXPECT_EQ(FilesIn(m_out), std::vector<std::string>{Name(0)}) << "a part of the second was left";
  QTest::qWait(300);
  EXPECT_TRUE(answerer.messages.isEmpty()) << answerer.messages.join('\n').toStdString();
  // The window takes input again: a kind button refills the list.
  QTest::mouseClick(W().Controls().Find(IDC_FILTER_ALL), Qt::LeftButton);
  EXPECT_EQ(ListRows(W()), 4);
}

TEST_F(ExportJourney, PullingTheCardStopsTheExportAndLeavesNoPartialFile) {
  DialogAnswerer answerer(QString::fromStdString(m_out));
  FrameGate gate(0, 30);
  W().ExportWorker().SetFrameProbe(std::ref(gate));
  for (int row : {0, 1}) CheckRow(row);
  const std::string first = Out(0), second = Out(1);
  ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  MoveCard(m_watched, m_card->dir.Path());
  ASSERT_TRUE(WaitFor([&] { return !W().ExportBusy() && !Progress().isVisible(); }, kWaitMs));
  gate.Release();
  ASSERT_TRUE(WaitFor([&] { return answerer.messages.size() == 2; }, kWaitMs))
      << answerer.messages.join('\n').toStdString();
  W().ExportWorker().SetFrameProbe(nullptr);
  EXPECT_TRUE(answerer.messages.filter(QStringLiteral("CardMessage: ")).size() == 1);
  const QStringList report = answerer.messages.filter(QStringLiteral("ExportMessage: "));
  ASSERT_EQ(report.size(), 1);
  EXPECT_TRUE(report[0].contains(QString::fromStdString(fs::path(first).filename().string()) +
                                 ": not saved: the export was stopped."))
      << report[0].toStdString();
  EXPECT_TRUE(FilesIn(m_out).empty()) << "a part of " << first << " was left";
  EXPECT_EQ(Progress().FileBar()->value(), 0);
  EXPECT_EQ(Progress().OverallBar()->value(), 0);
}

TEST_F(ExportJourney, AFolderThatCannotBeWrittenIsReportedByName) {
  // As root every folder is writable; the process file system refuses new files to anyone.
  const std::string folder = geteuid() == 0 ? "/proc" : m_work.File("locked");
  if (geteuid() != 0) {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  }
  DialogAnswerer answerer(QString::fromStdString(folder));
  for (int row : {0, 1}) CheckRow(row);
  ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return answerer.messages.size() == 1 && !W().ExportBusy(); },
                      kWaitMs));
  const QString& text = answerer.messages.front();
  EXPECT_TRUE(text.startsWith(QStringLiteral("ExportMessage: ")));
  for (int row : {0, 1}) {
    EXPECT_TRUE(text.contains(QString::fromStdString(Name(row)) +
                              ": skipped: the file cannot be created ("))
        << text.toStdString();
  }
  EXPECT_FALSE(Progress().isVisible());
}

TEST_F(ExportJourney, ClosingTheWindowDuringAnExportLeavesNoPartialFile) {
  DialogAnswerer answerer(QString::fromStdString(m_out));
  // Holds the copy until the closing window clears the busy flag.
  ThreadGate gate(kWaitMs);
  CZarezeRadidaDlg* window = m_window.get();
  W().ExportWorker().SetFrameProbe([&gate, window](int file, int frame) {
    if (file == 0 && frame == 40) gate.Hold([window] { return !window->ExportBusy(); });
  });
  CheckRow(1);
  const std::string file = Out(1);
  ClickDownload();
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }, kWaitMs));
  QElapsedTimer clock;
  clock.start();
  m_window.reset();
  const qint64 closingMs = clock.elapsed();
  std::printf("window closed %lld ms into the close\n", static_cast<long long>(closingMs));
  EXPECT_LT(closingMs, kWaitMs) << "the close waited for the whole export";
  EXPECT_TRUE(FilesIn(m_out).empty()) << "a part of " << file << " was left";
  QTest::qWait(200);  // nothing queued for the window may arrive after it is gone
}

// A file of the recording's name already in the folder: the window asks, and the answer is
// what happens to it.
TEST_F(ExportJourney, AFileAlreadyThereIsReplacedSkippedOrKeptAsTheUserAnswers) {
  CheckRow(0);
  const std::string name = Name(0);
  const std::string numbered = name.substr(0, name.size() - 4) + " (2).avi";
  const struct {
    const char* answer;
    std::vector<std::string> files;
    bool olderKept;
    bool reported;  // a skip is said in the closing report
  } cases[] = {
      {"Replace", {name}, false, false},
      {"Skip", {name}, true, true},
      {"KeepBoth", {numbered, name}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    WriteAll(Out(0), {1, 2, 3});
    DialogAnswerer answerer(QString::fromStdString(m_out), QString::fromLatin1(c.answer));
    ClickDownload();
    // The closing word: the report of a skip, the count of a good export.
    const QString closing = c.reported ? QStringLiteral("ExportMessage: ")
                                       : QStringLiteral("ExportDoneMessage: ");
    ASSERT_TRUE(WaitFor(
        [&] { return !W().ExportBusy() && answerer.messages.filter(closing).size() == 1; },
        kWaitMs))
        << answerer.messages.join('\n').toStdString();
    ASSERT_TRUE(answerer.messages.front().startsWith(QStringLiteral("ExportExistingQuestion: ")));
    EXPECT_TRUE(answerer.messages.front().contains(QString::fromStdString(name)));
    EXPECT_EQ(FilesIn(m_out), c.files);
    EXPECT_EQ(ReadAll(Out(0)).size() == 3, c.olderKept);
    const std::string fresh = c.olderKept ? m_out + "/" + c.files.front() : Out(0);
    if (c.files.size() > 1 || !c.olderKept) {
      EXPECT_EQ(Probe(fresh).frontFrames, kFrames);
    }
  }
}

}  // namespace
}  // namespace roadkeep::test
