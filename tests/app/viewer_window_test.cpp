// Journeys of the viewer's window itself: dragging it, closing it during playback, the quit
// question, a second start of the real program, and a quiet terminal.
#include "tests/app/viewer_journey.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <QTreeView>
#include <string>

#include "app/trace_log.h"

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
    return ReadIniString("config", key, "absent", 10, kViewerConfigPath);
  };
  EXPECT_EQ(read("volume"), std::to_string(volumeSet));
  EXPECT_EQ(read("brightness"), std::to_string(brightnessSet));
}

TEST_F(ViewerJourney, AnsweringNoToTheQuitQuestionLeavesTheWindowOpenAndStopped) {
  ASSERT_NO_FATAL_FAILURE(Open(0x11));  // the question in Japanese
  ASSERT_NO_FATAL_FAILURE(Play(6));
  QuestionAnswerer no(QMessageBox::No);
  Click(IDC_CLOSE);
  EXPECT_TRUE(no.Answered());
  EXPECT_EQ(no.Text(), QString::fromUtf8("終了しますか。"));
  EXPECT_EQ(no.Caption(), QString::fromUtf8("選択"));
  EXPECT_TRUE(W().isVisible());
  EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kStopped);
  EXPECT_FALSE(Front().isVisible());
  EXPECT_FALSE(Rear().isVisible());
  EXPECT_TRUE(Control(IDC_PLAY)->isVisible());
  EXPECT_FALSE(Control(IDC_PAUSE)->isVisible());
  EXPECT_EQ(LabelText(IDC_LENGTH_LABEL), "00:00:00");
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
