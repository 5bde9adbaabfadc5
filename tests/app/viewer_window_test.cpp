// Journeys of the viewer's window itself: dragging it, closing it during playback, the quit
// question, what never stops playback by accident, a second start of the real program, and a
// quiet terminal.
#include "tests/app/viewer_journey.h"

#include <unistd.h>

#include <QBasicTimer>
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QTreeView>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/trace_log.h"
#include "app/zoom_dlg.h"

namespace roadkeep::test {
namespace {

TEST_F(ViewerJourney, DraggingTheSkinMovesTheWindowOnlyInTheNormalMode) {
  ASSERT_NO_FATAL_FAILURE(Open());
  const QPoint grip(300, 20), by(40, 30);
  ASSERT_EQ(W().childAt(grip), nullptr) << "the grip is not bare skin";
  const QPoint before = W().pos();
  Drag(grip, by);
  EXPECT_TRUE(WaitFor([&] { return W().pos() == before + by && XOrigin(W()) == before + by; }))
      << "window at " << W().x() << "," << W().y() << ", on the X server at " << XOrigin(W()).x()
      << "," << XOrigin(W()).y();

  Type(Qt::Key_Return);
  ASSERT_TRUE(InFullScreen());
  const QPoint bare(300, 80);  // between the top bar and the video
  ASSERT_EQ(W().childAt(bare), nullptr);
  const QPoint corner = W().pos();
  Drag(bare, by);  // handled at once, as the move in the normal mode was
  EXPECT_EQ(W().pos(), corner);
  EXPECT_EQ(XOrigin(W()), corner);
}

TEST_F(ViewerJourney, ClosingWhilePlayingSavesTheSlidersAndEndsWithinASecond) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(6));
  // The user moves both sliders away from their defaults (volume 50, brightness 0).
  CBitmapSlider* volume = W().Controls().Slider(IDC_VOLUME_SLIDER);
  CBitmapSlider* brightness = W().Controls().Slider(IDC_BRIGHTNESS_SLIDER);
  QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(volume->width() - 3, volume->height() / 2));
  QTest::mouseClick(brightness, Qt::LeftButton, {}, QPoint(3, brightness->height() / 2));
  const int volumeSet = volume->GetPos(), brightnessSet = brightness->GetPos();
  EXPECT_GT(volumeSet, 50);
  EXPECT_LT(brightnessSet, 0);

  QuestionAnswerer yes(QMessageBox::Yes);
  QElapsedTimer clock;
  clock.start();
  Click(IDC_CLOSE);
  EXPECT_TRUE(yes.Answered());
  EXPECT_FALSE(W().isVisible());
  m_window.reset();
  const qint64 elapsedMs = clock.elapsed();
  EXPECT_EQ(yes.Text(), "Are you sure you want to quit?");
  EXPECT_EQ(yes.Caption(), "Select");
  EXPECT_FALSE(yes.HadIcon());
  EXPECT_LT(elapsedMs, 1000) << "closing took " << elapsedMs << " ms";

  const auto read = [](const char* key) {
    return ReadIniString("config", key, "absent", 10, ViewerConfigPath().c_str());
  };
  EXPECT_EQ(read("volume"), std::to_string(volumeSet));
  EXPECT_EQ(read("brightness"), std::to_string(brightnessSet));
}

// The question comes before anything stops: answered No, the recording plays on where it was.
TEST_F(ViewerJourney, AnsweringNoToTheQuitQuestionLeavesPlaybackAsItWas) {
  ASSERT_NO_FATAL_FAILURE(Open(0x11));  // the question in Japanese
  ASSERT_NO_FATAL_FAILURE(Play(6));
  const QString length = LabelText(IDC_LENGTH_LABEL);
  QuestionAnswerer no(QMessageBox::No);
  Click(IDC_CLOSE);
  EXPECT_TRUE(no.Answered());
  EXPECT_EQ(no.Text(), QString::fromUtf8("終了しますか。"));
  EXPECT_EQ(no.Caption(), QString::fromUtf8("選択"));
  EXPECT_TRUE(no.AnswerText().contains(QString::fromUtf8("いいえ")))  // Qt's own, translated
      << no.AnswerText().toStdString();
  EXPECT_TRUE(W().isVisible());
  EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kPlaying);
  EXPECT_TRUE(Front().isVisible());
  EXPECT_TRUE(Control(IDC_PAUSE)->isVisible());
  EXPECT_EQ(LabelText(IDC_LENGTH_LABEL), length);
  const int64_t shown = Front().FramesShown();
  EXPECT_TRUE(WaitFor([&] { return Front().FramesShown() > shown + 10; }, kWaitMs))
      << "the picture stopped moving";
}

// Closes every dialog the window opens as it shows (a message with OK, any other dialog
// with Cancel) and notes each one's name.
class DialogCloser : public QObject {
 public:
  DialogCloser() { m_timer.start(10, this); }
  QStringList closed;

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(top);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      closed << dialog->objectName();
      qobject_cast<QMessageBox*>(dialog) != nullptr ? dialog->accept() : dialog->reject();
    }
  }

 private:
  QBasicTimer m_timer;
};

// What the user does by the way never costs the recording that plays: File Download with
// nothing checked, the settings dialog, -10 s in the first seconds (back to the start); +10 s
// in the last seconds ends the recording as its end does.
TEST_F(ViewerJourney, PlaybackIsNeverLostByAccident) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(14, /*listed=*/true));
  Click(IDC_OPEN);  // the card read into the list
  ASSERT_EQ(ListRows(W()), 4);
  DialogCloser closer;
  const auto playsOn = [&] {
    return WaitFor([&] { return W().Player().Status() == CQMVMediaPlayer::kPlaying; }) &&
           KeepsPlaying(Front());
  };
  Click(IDC_DOWNLOAD);
  EXPECT_EQ(closer.closed, QStringList{QStringLiteral("NoSelectionMessage")});
  EXPECT_TRUE(playsOn()) << "after File Download with nothing checked";

  Type(Qt::Key_F3);
  EXPECT_EQ(closer.closed.size(), 2) << "the settings dialog did not show";
  EXPECT_TRUE(playsOn()) << "after the settings dialog";

  Type(Qt::Key_Left);
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() < 1000; }, kWaitMs))
      << "Left in the first seconds did not go to the start";
  EXPECT_TRUE(playsOn());

  const QString first = W().CurrentName();
  Type(Qt::Key_Right);  // to 10 s
  ASSERT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() >= 10000; }, kWaitMs));
  Type(Qt::Key_Right);  // within the last 10 s: the end
  EXPECT_TRUE(WaitFor([&] { return W().CurrentName() != first && !W().CurrentName().isEmpty(); },
                      kWaitMs))
      << "Right in the last seconds did not move on";
  EXPECT_TRUE(playsOn());
}

// The keys and mouse gestures users of video players expect, through real input: a
// double-click on the video and Escape for full screen, Up/Down/Enter in the list, the wheel
// over the sliders; and Select All never leaves a row the user cannot see checked.
TEST_F(ViewerJourney, KeysAndMouseDoWhatAVideoPlayersUsersExpect) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(14, /*listed=*/true));
  Click(IDC_OPEN);  // the card read into the list
  ASSERT_EQ(ListRows(W()), 4);
  QTest::mouseDClick(&Front(), Qt::LeftButton, {}, Front().rect().center());
  EXPECT_TRUE(InFullScreen()) << "a double-click on the video";
  Type(Qt::Key_Escape);
  EXPECT_TRUE(InNormalMode()) << "Escape";

  // Rows: a click gives the list the focus; the arrows move, Enter plays.
  QTreeView& list = *W().Controls().List();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, ListRowRect(W(), 0).center());
  ASSERT_TRUE(list.hasFocus());
  const int volume = W().Controls().Slider(IDC_VOLUME_SLIDER)->GetPos();
  Type(Qt::Key_Down);
  Type(Qt::Key_Down);
  Type(Qt::Key_Up);
  EXPECT_EQ(list.currentIndex().row(), 1);
  EXPECT_EQ(W().Controls().Slider(IDC_VOLUME_SLIDER)->GetPos(), volume) << "the arrows went on";
  Type(Qt::Key_Return);
  EXPECT_EQ(W().CurrentName(), ListName(W(), 1));
  EXPECT_TRUE(KeepsPlaying(Front()));

  // Right-clicks: Play on a row's menu, full screen on the video's.
  {
    MenuChooser chooser(QStringLiteral("RowMenu"), QStringLiteral("Play"));
    // Through the window system's path, which makes the context menu event of a right-click.
    QTest::mouseClick(W().windowHandle(), Qt::RightButton, {},
                      list.viewport()->mapTo(&W(), ListRowRect(W(), 2).center()));
    EXPECT_EQ(chooser.entries, (QStringList{"Play", "Export…", "Evidence package…",
                                            "Snapshot of its first frame…",
                                            "Save GPS track (GPX)…", "Save sensor data (CSV)…",
                                            "Check all", "Uncheck all"}));
    EXPECT_TRUE(WaitFor([&] { return W().CurrentName() == ListName(W(), 2); }));
  }
  // The magnifier opens beside its button and Escape closes it at once.
  Click(IDC_ZOOM);
  ASSERT_NE(W().ZoomWindow(), nullptr);
  EXPECT_TRUE(W().ZoomWindow()->isVisible());
  EXPECT_GT(W().ZoomWindow()->x(), Control(IDC_ZOOM)->mapToGlobal(QPoint(0, 0)).x());
  W().activateWindow();
  Type(Qt::Key_Escape);
  EXPECT_FALSE(W().ZoomWindow()->isVisible());
  {
    MenuChooser chooser(QStringLiteral("VideoMenu"), QStringLiteral("Full screen"));
    QTest::mouseClick(W().windowHandle(), Qt::RightButton, {},
                      Front().mapTo(&W(), Front().rect().center()));
    EXPECT_EQ(chooser.entries, (QStringList{"Snapshot…", "Full screen"}));
    EXPECT_TRUE(InFullScreen());
    Type(Qt::Key_Escape);
    EXPECT_TRUE(InNormalMode());
  }

  // The wheel: a notch up over the volume, two down over the position (10 s back).
  const auto wheel = [](QWidget* over, int notches) {
    const QPointF at = QRectF(over->rect()).center();
    QWheelEvent event(at, over->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &event);
  };
  wheel(Control(IDC_VOLUME_SLIDER), 1);
  EXPECT_EQ(W().Controls().Slider(IDC_VOLUME_SLIDER)->GetPos(), volume + kVolumeKeyStep);
  W().Player().SeekToMs(12000);
  ASSERT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() >= 12000; }));
  wheel(Control(IDC_POS_SLIDER), -2);
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() < 8000; }));

  // Select All, then one kind: the rows that left the view are no longer checked.
  const auto checked = [&] {
    int n = 0;
    for (int row = 0; row < ListRows(W()); ++row) n += ListCheck(W(), row) == Qt::Checked;
    return n;
  };
  QTest::mouseClick(W().Controls().SelectAll(), Qt::LeftButton);
  ASSERT_EQ(checked(), ListRows(W()));
  Click(IDC_FILTER_EVENT);
  ASSERT_LT(ListRows(W()), W().Recordings().rowCount());
  int checkedAnywhere = 0;
  for (int row = 0; row < W().Recordings().rowCount(); ++row) {
    checkedAnywhere += W().Recordings().CheckAt(row) == Qt::Checked;
  }
  EXPECT_EQ(checkedAnywhere, ListRows(W())) << "a row out of sight stayed checked";
  // The kind in use is drawn pressed, and no longer once another is chosen.
  const QImage inUse = Control(IDC_FILTER_EVENT)->grab().toImage();
  Click(IDC_FILTER_ALL);
  EXPECT_NE(Control(IDC_FILTER_EVENT)->grab().toImage(), inUse);
}

// The map and camera buttons follow what is open: full screen and back while paused keeps
// them as they were; after the last recording ends, with nothing open, the map's are off.
TEST_F(ViewerJourney, PaneButtonsFollowWhatIsOpen) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(8));  // long enough to be paused before its end on a slow run
  const int ids[] = {IDC_MAP, IDC_SMALL_MAP, IDC_SMALL_CAMERA};
  const auto enabled = [&] {
    QList<bool> on;
    for (int id : ids) on << Control(id)->isEnabled();
    return on;
  };
  ASSERT_TRUE(WaitFor([&] { return Control(IDC_MAP)->isEnabled(); }, kWaitMs)) << "no GPS fix";
  Click(IDC_PAUSE);
  ASSERT_EQ(W().CurrentName(), QString::fromStdString(m_card->Name(0)));
  const QList<bool> before = enabled();
  const QImage drawn = Control(IDC_MAP)->grab().toImage();
  Click(IDC_FULLSCREEN);
  ASSERT_TRUE(InFullScreen());
  Click(IDC_WINDOW);
  ASSERT_TRUE(InNormalMode());
  EXPECT_EQ(enabled(), before);
  EXPECT_EQ(Control(IDC_MAP)->grab().toImage(), drawn) << "the Map button looks different";

  Click(IDC_PLAY);
  // The card's newest recording plays to its end: nothing is open after it.
  W().OpenRecording(QString::fromStdString(m_card->Name(3)));
  ASSERT_TRUE(WaitFor([&] { return !W().Playback().IsOpen(); }, kWaitMs));
  for (int id : {IDC_MAP, IDC_SMALL_MAP}) EXPECT_FALSE(Control(id)->isEnabled()) << id;
}

TEST_F(ViewerJourney, SecondStartOfTheProgramExitsAndActivatesTheFirstWindow) {
  TempDir cards, firstWork, secondWork;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ROADKEEP_CARD_DIRS", QString::fromStdString(cards.Path().string()));
  env.insert("SDL_AUDIODRIVER", "dummy");
  env.insert("QT_QPA_PLATFORM", "xcb");
  const QString program = QString::fromStdString(BinPath("roadkeep"));

  QProcess first;
  first.setProcessEnvironment(env);
  first.setWorkingDirectory(QString::fromStdString(firstWork.Path().string()));
  first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted(kWaitMs));
  const auto endFirst = [&first] {
    if (first.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    if (!first.waitForFinished(kWaitMs)) first.kill();
  };

  const QString title = LoadString(IDS_APP_TITLE);
  uint32_t viewer = 0;
  // Shown, so whatever its showing does to the focus is done before the other window takes it.
  const bool found = WaitFor(
      [&] { return (viewer = FindTopLevelWindow(title)) != 0 && Viewable(viewer); }, kWaitMs);
  if (!found) endFirst();
  ASSERT_TRUE(found) << "no window titled " << title.toStdString() << " on the screen";

  QWidget other;
  other.setWindowTitle("Roadkeep journey: another window");
  other.resize(200, 100);
  other.show();
  other.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&other, kWaitMs));
  EXPECT_NE(FocusedTopLevel(), viewer);

  QProcess second;
  second.setProcessEnvironment(env);
  second.setWorkingDirectory(QString::fromStdString(secondWork.Path().string()));
  second.setProcessChannelMode(QProcess::ForwardedChannels);
  second.start(program, {});
  const bool ended = second.waitForFinished(kWaitMs);
  if (!ended) second.kill();
  EXPECT_TRUE(ended);
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);

  EXPECT_TRUE(WaitFor([&] { return FocusedTopLevel() == viewer; }, kWaitMs))
      << "the first viewer's window did not get the input focus";
  EXPECT_TRUE(WaitFor([&] { return !other.isActiveWindow(); }, kWaitMs));
  EXPECT_EQ(first.state(), QProcess::Running);
  endFirst();
}

// Standard output and standard error of this process go to a file while it lives.
class CapturedOutput {
 public:
  CapturedOutput() : m_file(std::tmpfile()) {
    std::fflush(stdout);
    std::fflush(stderr);
    m_out = dup(1);
    m_err = dup(2);
    dup2(fileno(m_file), 1);
    dup2(fileno(m_file), 2);
  }
  ~CapturedOutput() {
    Restore();
    std::fclose(m_file);
  }
  // What was written; output goes back to where it went.
  std::string Text() {
    Restore();
    std::string text;
    std::rewind(m_file);
    for (int c; (c = std::fgetc(m_file)) != EOF;) text += static_cast<char>(c);
    return text;
  }

 private:
  void Restore() {
    if (m_out < 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(m_out, 1);
    dup2(m_err, 2);
    close(m_out);
    close(m_err);
    m_out = m_err = -1;
  }
  std::FILE* m_file;
  int m_out = -1, m_err = -1;
};

// With the logging rules unset, ten seconds of playback with a pane change among them print
// nothing: no trace lines, no decoder errors.
TEST_F(ViewerJourney, TenSecondsOfPlaybackPrintNothing) {
  if (std::getenv("QT_LOGGING_RULES") != nullptr) GTEST_SKIP() << "logging rules are set";
  RouteTraceToLogging();
  ASSERT_NO_FATAL_FAILURE(Open());
  m_card = std::make_unique<ViewerCard>(12);
  ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
  ASSERT_TRUE(InsertCard(W(), m_card->dir.Path().string()));
  std::string printed;
  {
    CapturedOutput output;
    W().OnKindButton(4);
    const QPoint row = W().Controls().List()->viewport()->mapTo(
        &W(), ListRowRect(W(), ListRows(W()) - 1).center());
    QTest::mouseDClick(W().windowHandle(), Qt::LeftButton, {}, row);
    QTest::qWait(5000);
    QWidget* swap = Control(IDC_SWAP);
    QTest::mouseClick(W().windowHandle(), Qt::LeftButton, {},
                      swap->mapTo(&W(), swap->rect().center()));
    QTest::qWait(5000);
    EXPECT_GT(Front().FramesShown(), 100);
    printed = output.Text();
  }
  EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace roadkeep::test
