// Snapshot capture: the naming of the files, and the capture button clicked through the
// window system on a real window under an X server, with the save dialog, the replace
// question and the error message answered as a user would.
#include "app/snapshot.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "decoding/jpeg_file.h"
#include "tests/app/viewer_journey.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

// The default name is the moment on screen by the recorder's clock, padded so that two
// moments never share it.
TEST(SnapshotNames, TheDefaultNameIsTheRecordedMomentPadded) {
  const QDateTime a(QDate(2014, 11, 1), QTime(1, 15, 7));
  const QDateTime b(QDate(2014, 1, 11), QTime(11, 5, 7));
  EXPECT_EQ(CaptureDefaultName(a), "Capture_20141101_011507.jpg");
  EXPECT_NE(CaptureDefaultName(b), CaptureDefaultName(a));
  const struct {
    uint32_t start;
    const char* name;
    int64_t positionMs;
    const char* expected;  // "" for no moment
  } cases[] = {
      {1393666200, "REC_20140301_093000_D.avi", 61500, "Capture_20140301_093101.jpg"},
      {0, "EVENT_20140301_235959_D.avi", 2000, "Capture_20140302_000001.jpg"},
      {0, "odd.avi", 0, ""},
  };
  for (const auto& c : cases) {
    const QDateTime at = RecordedAt(c.start, QString::fromLatin1(c.name), c.positionMs);
    EXPECT_EQ(at.isValid() ? CaptureDefaultName(at) : QString(), c.expected) << c.name;
  }
}

TEST(SnapshotNames, TheChosenNameLosesFourCharactersOfAnyExtensionButNeverItsFolder) {
  const struct {
    const char* chosen;
    int cameras;
    QStringList files;
  } cases[] = {
      {"/d/pic.jpg", 2, {"/d/pic_front.jpg", "/d/pic_rear.jpg"}},
      {"/d/pic.jpg", 1, {"/d/pic_front.jpg"}},
      {"/d/pic", 2, {"/d/pic_front.jpg", "/d/pic_rear.jpg"}},
      {"/d/pic.jpeg", 1, {"/d/pic._front.jpg"}},
      {"/d/pic.", 1, {"/d/pic._front.jpg"}},
      {"/d.jpg/pic", 1, {"/d.jpg/pic_front.jpg"}},  // the dot is the folder's
      {"/d/p.x", 1, {"/d/p_front.jpg"}},            // four characters would reach the folder
      {"/d/.jpg", 1, {"/d/_front.jpg"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SnapshotFiles(c.chosen, c.cameras), c.files) << c.chosen;
}

// Answers the capture dialog, the replace question and the error message as they show (each
// runs its own event loop inside the click), and notes what the user saw.
class CaptureAnswerer : public QObject {
 public:
  // Each dialog shown takes the next of `choices` (an empty one cancels); atDialog runs when
  // the first one shows.
  CaptureAnswerer(const CQMVMediaPlayer& player, QStringList choices, bool replace = true,
                  std::function<void()> atDialog = {})
      : m_player(player),
        m_choices(std::move(choices)),
        m_replace(replace),
        m_atDialog(std::move(atDialog)) {
    m_timer.start(10, this);
  }
  int Dialogs() const { return m_dialogs; }
  const QString& DefaultName() const { return m_defaultName; }
  bool PausedInDialog() const { return m_pausedInDialog; }
  const QStringList& Questions() const { return m_questions; }
  const QStringList& Errors() const { return m_errors; }

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) continue;
      if (auto* dialog = qobject_cast<QFileDialog*>(top);
          dialog != nullptr && top->objectName() == QLatin1String("CaptureDialog")) {
        if (m_dialogs++ == 0) {
          m_defaultName = QFileInfo(dialog->selectedFiles().value(0)).fileName();
          m_pausedInDialog = m_player.CommandValue() == 0;
          if (m_atDialog) m_atDialog();
        }
        const QString choice = m_choices.isEmpty() ? QString() : m_choices.takeFirst();
        if (choice.isEmpty()) {
          dialog->reject();
        } else {
          dialog->selectFile(choice);
          // The dialog leaves its name field alone while that has the focus: type it there.
          if (dialog->selectedFiles().value(0) != choice) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(choice);
          }
          static_cast<QDialog*>(dialog)->accept();  // as the Save button does
        }
        return;
      }
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box == nullptr) continue;
      if (box->objectName() == QLatin1String("SnapshotReplaceQuestion")) {
        m_questions << box->text();
        box->done(m_replace ? QMessageBox::Yes : QMessageBox::No);
      } else if (box->objectName() == QLatin1String("SnapshotError")) {
        m_errors << box->text();
        box->done(QMessageBox::Ok);
      }
      return;
    }
  }

 private:
  const CQMVMediaPlayer& m_player;
  QStringList m_choices;
  bool m_replace;
  std::function<void()> m_atDialog;
  QBasicTimer m_timer;
  int m_dialogs = 0;
  QString m_defaultName;
  bool m_pausedInDialog = false;
  QStringList m_questions, m_errors;
};

// A JPEG file as 8-bit BGR; empty when it is missing or not a 3-component JPEG.
cv::Mat ReadBgr(const std::string& path) {
  JpegPicture picture;
  if (!ReadJpegFile(path.c_str(), &picture) || picture.components != 3) return {};
  const cv::Mat bgrx(picture.height, picture.width, CV_8UC4, picture.bgrx.data());
  cv::Mat bgr;
  cv::cvtColor(bgrx, bgr, cv::COLOR_BGRA2BGR);
  return bgr;
}

// PSNR of a snapshot scaled to a pane's size against the frame the pane shows.
double PsnrAgainstPane(const cv::Mat& snapshot, const cv::Mat& paneFrame) {
  if (snapshot.empty() || paneFrame.empty()) return 0;
  cv::Mat shown, scaled;
  cv::cvtColor(paneFrame, shown, cv::COLOR_BGRA2BGR);
  cv::resize(snapshot, scaled, shown.size(), 0, 0, cv::INTER_AREA);
  return cv::PSNR(scaled, shown);
}

class SnapshotJourney : public ViewerJourney {
 protected:
  void SetUp() override {
    ViewerJourney::SetUp();
    if (IsSkipped()) return;
    // Qt's own dialog, the same on every desktop, so the test can answer it.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    ASSERT_NO_FATAL_FAILURE(Open());
    // Large enough to be listed (512 KiB); the cameras at sizes of their own.
    m_card = std::make_unique<ViewerCard>(8, "640x360@30", "480x270@30");
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    ASSERT_TRUE(InsertCard(W(), m_card->dir.Path().string()));
    ASSERT_TRUE(W().FillRecordingList(4));
    ASSERT_GT(ListRows(W()), 0);
  }

  // Plays recording r (0 two cameras, 1 the front one) until its panes show pictures (a
  // pane also paints black frames for chunks that decode to nothing).
  void PlayRecording(int r) {
    ASSERT_TRUE(W().OpenRecording(QString::fromStdString(m_card->Name(r))));
    const auto showsPicture = [](const CVideoPane& pane) {
      const cv::Mat frame = pane.LastFrame();
      return pane.FramesPainted() >= kSeveralFrames && !frame.empty() &&
             MostlyNonBlack(QImage(frame.data, frame.cols, frame.rows,
                                   static_cast<qsizetype>(frame.step[0]), QImage::Format_RGB32));
    };
    ASSERT_TRUE(WaitFor(
        [&] { return showsPicture(Front()) && (r % 2 == 1 || showsPicture(Rear())); }, kWaitMs));
  }

  // The capture button clicked through the window system at its centre.
  void ClickCapture() {
    QWidget* button = Control(IDC_CAPTURE);
    ASSERT_TRUE(button->isVisible());
    ASSERT_TRUE(OnTop(W(), button));
    QTest::mouseClick(W().windowHandle(), Qt::LeftButton, {}, button->geometry().center());
  }

  QString Shot(const std::string& name) { return QString::fromStdString(m_work.File(name)); }
  bool Exists(const std::string& name) { return fs::exists(m_work.File(name)); }
};

TEST_F(SnapshotJourney, CaptureWhilePlayingWritesEachCamerasPictureAtItsOwnSizeAndPlaysOn) {
  ASSERT_NO_FATAL_FAILURE(PlayRecording(0));
  // What the panes show while the dialog is open (playback paused).
  cv::Mat frontShown, rearShown;
  CaptureAnswerer user(W().Player(), {Shot("pic.jpg")}, true, [&] {
    frontShown = Front().LastFrame().clone();
    rearShown = Rear().LastFrame().clone();
  });
  ASSERT_NO_FATAL_FAILURE(ClickCapture());
  ASSERT_EQ(user.Dialogs(), 1);
  // The recording began at 09:30:00 by the recorder's clock; the picture is seconds in.
  EXPECT_TRUE(user.DefaultName().startsWith("Capture_20140301_0930")) << user.DefaultName().toStdString();
  EXPECT_TRUE(user.DefaultName().endsWith(".jpg"));
  EXPECT_TRUE(user.PausedInDialog());
  EXPECT_TRUE(user.Questions().isEmpty());
  EXPECT_TRUE(user.Errors().isEmpty()) << user.Errors().join(' ').toStdString();

  // The files hold the picture the panes showed while paused, at the cameras' own sizes.
  const cv::Mat front = ReadBgr(m_work.File("pic_front.jpg"));
  const cv::Mat rear = ReadBgr(m_work.File("pic_rear.jpg"));
  EXPECT_FALSE(Exists("pic.jpg")) << "the chosen name itself is never written";
  ASSERT_EQ(front.size(), cv::Size(640, 360));
  ASSERT_EQ(rear.size(), cv::Size(480, 270));
  // The front pane is the camera's size: only JPEG's loss (a frame before or after the one
  // shown is under 34 dB). The small rear pane is scaled by another filter than the test's.
  EXPECT_GE(PsnrAgainstPane(front, frontShown), 38.0);
  EXPECT_GE(PsnrAgainstPane(rear, rearShown), 30.0);

  EXPECT_EQ(W().Player().CommandValue(), 1) << "playback resumed";
  EXPECT_TRUE(Control(IDC_PAUSE)->isVisible());
  EXPECT_FALSE(Control(IDC_PLAY)->isVisible());
  EXPECT_TRUE(KeepsPlaying(Front()));
}

// A row's menu snapshots the first picture of that recording while another one plays on.
TEST_F(SnapshotJourney, ARowsMenuSnapshotsTheFirstFrameOfItsRecordingWhileAnotherPlays) {
  ASSERT_NO_FATAL_FAILURE(PlayRecording(1));
  const QString first = QString::fromStdString(m_card->Name(0));
  int row = 0;
  while (row < ListRows(W()) && ListName(W(), row) != first) ++row;
  ASSERT_LT(row, ListRows(W()));
  CaptureAnswerer user(W().Player(), {Shot("first.jpg")});
  MenuChooser chooser(QStringLiteral("RowMenu"), QStringLiteral("Snapshot of its first frame…"));
  const QTreeView& list = *W().Controls().List();
  QTest::mouseClick(W().windowHandle(), Qt::RightButton, {},
                    list.viewport()->mapTo(&W(), ListRowRect(W(), row).center()));
  ASSERT_EQ(user.Dialogs(), 1);
  EXPECT_EQ(user.DefaultName(), "Capture_20140301_093000.jpg") << "the recording's first moment";
  EXPECT_TRUE(user.Errors().isEmpty()) << user.Errors().join(' ').toStdString();
  const cv::Mat front = ReadBgr(m_work.File("first_front.jpg"));
  const cv::Mat rear = ReadBgr(m_work.File("first_rear.jpg"));
  ASSERT_EQ(front.size(), cv::Size(640, 360));
  ASSERT_EQ(rear.size(), cv::Size(480, 270));
  for (const cv::Mat& picture : {front, rear}) {
    EXPECT_GT(cv::mean(picture)[0] + cv::mean(picture)[1] + cv::mean(picture)[2], 30.0)
        << "a black picture";
  }
  EXPECT_EQ(W().CurrentName(), QString::fromStdString(m_card->Name(1)));
  EXPECT_EQ(W().Player().CommandValue(), 1) << "playback went on";
  EXPECT_TRUE(KeepsPlaying(Front()));
}

TEST_F(SnapshotJourney, CaptureWhilePausedResumesAndAOneCameraRecordingWritesOnlyTheFront) {
  ASSERT_NO_FATAL_FAILURE(PlayRecording(1));
  Click(IDC_PAUSE);
  ASSERT_EQ(W().Player().CommandValue(), 0);
  CaptureAnswerer user(W().Player(), {Shot("one")});
  ASSERT_NO_FATAL_FAILURE(ClickCapture());
  ASSERT_EQ(user.Dialogs(), 1);
  EXPECT_EQ(ReadBgr(m_work.File("one_front.jpg")).size(), cv::Size(640, 360));
  EXPECT_FALSE(Exists("one_rear.jpg"));
  EXPECT_TRUE(Control(IDC_PAUSE)->isVisible());
  EXPECT_EQ(W().Player().CommandValue(), 1);
}

TEST_F(SnapshotJourney, CaptureWhileStoppedShowsNoDialog) {
  ASSERT_NO_FATAL_FAILURE(PlayRecording(0));
  Click(IDC_STOP);
  ASSERT_EQ(W().Player().Status(), CQMVMediaPlayer::kStopped);
  CaptureAnswerer user(W().Player(), {Shot("never.jpg")});
  ASSERT_NO_FATAL_FAILURE(ClickCapture());  // a dialog would have run inside the click
  EXPECT_EQ(user.Dialogs(), 0);
  EXPECT_FALSE(Exists("never_front.jpg"));
}

TEST_F(SnapshotJourney, TheReplaceQuestionNamesTheFilesWrittenAndAFailureIsReported) {
  ASSERT_NO_FATAL_FAILURE(PlayRecording(0));
  // An earlier capture under the same name: its files are what the question is about.
  roadkeep::test::WriteAll(m_work.File("same_front.jpg"), {1, 2, 3});
  {
    CaptureAnswerer keep(W().Player(), {Shot("same.jpg"), QString()}, /*replace=*/false);
    ASSERT_NO_FATAL_FAILURE(ClickCapture());
    ASSERT_EQ(keep.Questions().size(), 1);
    EXPECT_TRUE(keep.Questions()[0].contains("same_front.jpg"));
    EXPECT_FALSE(keep.Questions()[0].contains("same_rear.jpg")) << "it does not exist yet";
    EXPECT_EQ(keep.Dialogs(), 2) << "No goes back to the dialog";
    EXPECT_EQ(roadkeep::test::ReadAll(m_work.File("same_front.jpg")),
              (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(Exists("same_rear.jpg"));
  }
  {
    CaptureAnswerer replace(W().Player(), {Shot("same.jpg")});
    ASSERT_NO_FATAL_FAILURE(ClickCapture());
    ASSERT_EQ(replace.Questions().size(), 1);
    EXPECT_EQ(ReadBgr(m_work.File("same_front.jpg")).size(), cv::Size(640, 360));
    EXPECT_EQ(ReadBgr(m_work.File("same_rear.jpg")).size(), cv::Size(480, 270));
  }
  // The rear file's name is taken by a folder: the front is written, the rear is reported.
  fs::create_directory(m_work.File("taken_rear.jpg"));
  CaptureAnswerer user(W().Player(), {Shot("taken.jpg")});
  ASSERT_NO_FATAL_FAILURE(ClickCapture());
  ASSERT_EQ(user.Errors().size(), 1);
  EXPECT_TRUE(user.Errors()[0].contains("taken_rear.jpg"));
  EXPECT_FALSE(user.Errors()[0].contains("taken_front.jpg"));
  EXPECT_TRUE(Exists("taken_front.jpg"));
  EXPECT_EQ(W().Player().CommandValue(), 1);
}

}  // namespace
}  // namespace roadkeep::test
