// A card goes in and its recordings play: the real window under an X server, driven by key
// and mouse events, with the card watch finding a card written into a watched folder, audio
// going to SDL's disk driver, and the card pulled out during playback and put back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBasicTimer>
#include <QLabel>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QTest>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/trip_views.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "resources/resource_ids.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;   // generous: the machine is shared
constexpr int kListedMs = 2000;  // the card watch polls every second

// Answers every card message with OK and counts them.
class CardMessageAnswerer : public QObject {
 public:
  CardMessageAnswerer() { m_timer.start(10, this); }
  int Count() const { return m_count; }

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box != nullptr && box->objectName() == QLatin1String("CardMessage") && box->isVisible()) {
        ++m_count;
        box->accept();
      }
    }
  }

 private:
  QBasicTimer m_timer;
  int m_count = 0;
};

class CardJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    m_card = std::make_unique<ViewerCard>(12, "640x360@30", "320x180@30");  // all over 512 KiB
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    m_watched = m_work.File("card");
    m_audio = m_work.File("audio.raw");
    fs::create_directory(m_watched);
    setenv("ROADKEEP_CARD_DIRS", m_watched.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", m_audio.c_str(), 1);
    m_window = std::make_unique<CZarezeRadidaDlg>(0x09);
    ASSERT_TRUE(ShowActive(m_window.get()));
  }

  // The card's folders moved in (or out) at once, as a card is put in or pulled out.
  void Insert() { MoveCard(m_card->dir.Path(), m_watched); }
  void Pull() { MoveCard(m_watched, m_card->dir.Path()); }

  CZarezeRadidaDlg& W() { return *m_window; }
  QTreeView& List() { return *W().Controls().List(); }
  CVideoPane& Front() { return *W().Controls().FrontPane(); }
  QString Label(int id) { return W().Controls().Label(id)->text(); }
  void Key(Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get(),
                    key);
  }
  void DoubleClickRow(int row) {
    ASSERT_LT(row, ListRows(W()));
    // Through the window system's path, which makes the double click out of two clicks.
    const QPoint at = List().viewport()->mapTo(m_window.get(), ListRowRect(W(), row).center());
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
  }
  QStringList Names() {
    QStringList names;
    for (int r = 0; r < ListRows(W()); ++r) names << ListName(W(), r);
    return names;
  }
  QStringList Newest() {
    return {QString::fromStdString(m_card->Name(3)), QString::fromStdString(m_card->Name(2)),
            QString::fromStdString(m_card->Name(1)), QString::fromStdString(m_card->Name(0))};
  }
  int64_t AudioBytes() {
    std::error_code error;
    const auto size = fs::file_size(m_audio, error);
    return error ? 0 : static_cast<int64_t>(size);
  }
  // Seconds shown by the position label ("hh:mm:ss").
  int PositionSeconds() {
    const QStringList parts = Label(IDC_POS_LABEL).split(':');
    return parts.size() == 3 ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt()
                             : -1;
  }
  bool Changes(CVideoPane& pane) {
    const cv::Mat first = pane.LastFrame().clone();
    return WaitFor(
        [&] {
          const cv::Mat now = pane.LastFrame();
          return !first.empty() && now.size() == first.size() &&
                 cv::norm(now, first, cv::NORM_INF) > 0;
        },
        kWaitMs);
  }

  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::string m_watched, m_audio;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

TEST_F(CardJourney, ACardGoesInItsRecordingsPlayAndItCanBePulledOutAndPutBack) {
  CardMessageAnswerer messages;
  EXPECT_EQ(ListRows(W()), 0);
  Insert();
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 4; }, kListedMs))
      << "rows: " << ListRows(W());
  EXPECT_EQ(Names(), Newest());

  // Double-click row 1 (two cameras): it plays, picture, position and sound move on.
  DoubleClickRow(1);
  ASSERT_TRUE(
      WaitFor([&] { return W().State().currentRow == 1 && Front().FramesPainted() > 3; }, kWaitMs))
      << "row " << W().State().currentRow << ", painted " << Front().FramesPainted();
  EXPECT_TRUE(MostlyNonBlack(
      QImage(Front().LastFrame().data, Front().LastFrame().cols, Front().LastFrame().rows,
             static_cast<int>(Front().LastFrame().step[0]), QImage::Format_RGB32)));
  EXPECT_TRUE(Changes(Front()));
  ASSERT_TRUE(WaitFor([&] { return PositionSeconds() >= 1; }, kWaitMs));
  EXPECT_TRUE(WaitFor([&] { return AudioBytes() > 0; }, kWaitMs)) << "no audio reached the device";
  SaveShot(GrabScreen(), "card-playing.png");

  // Space pauses and resumes.
  Key(Qt::Key_Space);
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);
  EXPECT_FALSE(W().Controls().Find(IDC_PLAY)->isHidden());
  Key(Qt::Key_Space);
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kPlay);

  // Page Up plays the next newer recording, the newest; Right skips ten seconds on, so it
  // soon ends, and after the newest one the window returns to its stopped look.
  Key(Qt::Key_PageUp);
  ASSERT_TRUE(WaitFor(
      [&] { return W().State().currentRow == 0 && W().Player().GetPositionMs() >= 500; }, kWaitMs));
  Key(Qt::Key_Right);
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() >= 10000; }, kWaitMs))
      << "at " << W().Player().GetPositionMs() << " ms";
  EXPECT_TRUE(WaitFor(
      [&] {
        return W().State().currentRow == -1 && !W().Controls().Find(IDC_PLAY)->isHidden() &&
               Label(IDC_POS_LABEL) == "00:00:00" && Front().width() == 0;
      },
      kWaitMs))
      << "row " << W().State().currentRow;
  EXPECT_EQ(messages.Count(), 0);

  // Pulled out during playback: the list empties, one message, the window runs on.
  DoubleClickRow(2);
  ASSERT_TRUE(
      WaitFor([&] { return W().State().currentRow == 2 && Front().FramesPainted() > 0; }, kWaitMs));
  Pull();
  ASSERT_TRUE(
      WaitFor([&] { return ListRows(W()) == 0 && messages.Count() >= 1; }, kWaitMs));
  QTest::qWait(2500);  // two more polls
  EXPECT_EQ(messages.Count(), 1);
  EXPECT_TRUE(W().isVisible());
  EXPECT_EQ(W().State().cardLetter, 0);

  // Put back: listed again, without a message.
  Insert();
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 4; }, kListedMs));
  EXPECT_EQ(Names(), Newest());
  EXPECT_EQ(messages.Count(), 1);
}

// A kind's store file that cannot be read: the other kinds are listed, the kind's button is
// marked and the window says which file and why, without a box to dismiss.
// A card named as the command line names it (its mount folder's parent, not the card
// itself), outside every watched folder, opens as if inserted; so does one dropped on the
// window.
TEST_F(CardJourney, ACardNamedOrDroppedOpensAsIfInserted) {
  const fs::path mount = fs::path(m_work.File("media")) / "user" / "CARD";
  fs::create_directories(mount);
  MoveCard(m_card->dir.Path(), mount);
  const std::function<void()> ways[] = {
      [&] {
        const CommandLine line = ParseCommandLine({m_work.File("media/user")});
        ASSERT_EQ(line.cards, std::vector<std::string>{mount.string()});
        W().OpenCardFolders(line.cards);
      },
      [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_work.File("media")))});
        const QPoint at = W().rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        ASSERT_TRUE(enter.isAccepted()) << "the window takes no drop";
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &drop);
      },
  };
  for (const auto& open : ways) {
    m_window = std::make_unique<CZarezeRadidaDlg>(0x09);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    EXPECT_EQ(ListRows(W()), 0);
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_TRUE(WaitFor([&] { return Names() == Newest(); }, kWaitMs))
        << Names().join(' ').toStdString();
  }
}

// Two cards at once: both are listed, a row of the second says so and plays from its card;
// when that card goes its rows go and what played from it stops.
TEST_F(CardJourney, TwoCardsAtOnceAreBothListedAndEachRowSaysItsCard) {
  CardMessageAnswerer messages;
  ViewerCard second(12, "640x360@30", "320x180@30");
  ASSERT_TRUE(second.ok);
  setenv("ROADKEEP_CARD_DIRS", (m_watched + ":" + second.dir.Path().string()).c_str(), 1);
  Insert();
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 8; }, kWaitMs)) << ListRows(W());
  const QString mark = QString(QChar(0x2461));  // ②
  int onSecond = -1, marked = 0;
  for (int row = 0; row < 8; ++row) {
    const QString type = List().model()->index(row, 0).data().toString();
    if (!type.startsWith(mark)) continue;
    ++marked;
    onSecond = row;
    EXPECT_TRUE(List().model()->index(row, 0).data(Qt::ToolTipRole).toString().contains(
        QString::fromStdString(second.dir.Path().string())));
  }
  EXPECT_EQ(marked, 4);
  ASSERT_NO_FATAL_FAILURE(DoubleClickRow(onSecond));
  EXPECT_TRUE(W().CurrentName().endsWith(QString::fromStdString(second.dir.Path().string())));
  ASSERT_TRUE(WaitFor([&] { return Front().FramesPainted() > 3; }, kWaitMs));
  EXPECT_TRUE(Changes(Front())) << "a recording of the second card does not play";

  fs::rename(second.dir.Path() / "TAT", m_work.File("away"));  // the second card is pulled
  EXPECT_TRUE(WaitFor([&] { return Names() == Newest(); }, kWaitMs)) << Names().join(' ').toStdString();
  EXPECT_TRUE(WaitFor([&] { return W().Player().Status() == CQMVMediaPlayer::kStopped; }, kWaitMs))
      << "what played from the card that went plays on";
  EXPECT_GE(messages.Count(), 1) << "no word that a card went";
}

// AVI files another program wrote (ffmpeg: H.264 with PCM sound, with MP3 sound) play as a
// list with no card in; their rows have no box, since an export copies the card's.
TEST_F(CardJourney, AviFilesFromAnotherProgramPlayAsAList) {
  const std::string pcm = m_work.File("pcm.avi"), mp3 = m_work.File("mp3.avi");
  for (const auto& [file, audio] : {std::pair{pcm, "pcm_s16le"}, std::pair{mp3, "libmp3lame"}}) {
    ASSERT_EQ(roadkeep::test::RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=d=4:s=320x240:r=25 -f lavfi "
                         "-i sine=d=4 -c:v libx264 -pix_fmt yuv420p -c:a " +
                         std::string(audio) + " '" + file + "'"),
              0);
  }
  const CommandLine line = ParseCommandLine({pcm, mp3});
  ASSERT_EQ(line.aviFiles.size(), 2u) << line.refusal;
  W().OpenFiles(line.aviFiles);
  ASSERT_EQ(ListRows(W()), 2);
  EXPECT_EQ(W().CurrentName(), QString::fromStdString(pcm));
  const auto plays = [&] {
    const int64_t painted = Front().FramesPainted();
    return WaitFor([&] { return Front().FramesPainted() > painted + 3; }, kWaitMs) &&
           Changes(Front());
  };
  EXPECT_TRUE(plays()) << "the first file does not play";
  EXPECT_EQ(Front().LastFrame().cols, Front().width());
  for (int row = 0; row < 2; ++row) {
    const QModelIndex type = List().model()->index(row, 0);
    EXPECT_EQ(type.data().toString(), "AVI");
    EXPECT_FALSE(type.data(Qt::CheckStateRole).isValid()) << "a file's row has a box";
  }
  const int other = ListName(W(), 0) == QString::fromStdString(mp3) ? 0 : 1;
  ASSERT_NO_FATAL_FAILURE(DoubleClickRow(other));
  EXPECT_EQ(W().CurrentName(), QString::fromStdString(mp3));
  EXPECT_TRUE(plays()) << "the file with MP3 sound does not play";
}

TEST_F(CardJourney, AStoreFileThatCannotBeReadMarksItsKindAndIsNamed) {
  const fs::path store = m_card->dir.Path() / "TAT" / "EVENT.TAT";
  const std::vector<uint8_t> sound = ReadAll(store.string());
  const struct {
    const char* what;
    void (*put)(const fs::path&);
    const char* why;
  } cases[] = {
      {"FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, "not a store file"},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, "Is a directory"},
      {"other file", [](const fs::path& p) { WriteAll(p.string(), {1, 2, 3}); }, "not a store file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(store);
    c.put(store);
    Insert();
    ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 3; }, kWaitMs));
    const auto* mark = W().findChild<QLabel*>(QStringLiteral("UnreadableMark0"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->isVisible());
    EXPECT_TRUE(mark->toolTip().contains(QStringLiteral("TAT/EVENT.TAT: ") + c.why))
        << mark->toolTip().toStdString();
    const auto* line = W().findChild<QLabel*>(QStringLiteral("StatusLine"));
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisible());
    EXPECT_TRUE(line->text().contains(QStringLiteral("EVENT.TAT"))) << line->text().toStdString();
    CardMessageAnswerer answerer;  // the card's removal is said in a box
    Pull();
    ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 0 && !mark->isVisible(); }, kWaitMs));
  }
  fs::remove_all(store);
  WriteAll(store.string(), sound);
}


// Three recordings back to back make one trip: shown under Trips, a double-click plays it as
// one journey. The picture goes on across both boundaries (never black there), the rear pane
// keeps its place and says so where a recording has no rear camera, the timeline and the
// labels count the trip's time, and a click on the timeline seeks in the trip.
TEST_F(CardJourney, ATripPlaysAsOneJourneyAcrossItsRecordings) {
  CardMessageAnswerer messages;
  // 5 s each, the third without a rear camera; 1280 x 720 keeps each over the list's floor.
  const fs::path made = m_work.File("trip-card");
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " make-card " + made.string() +
                       " --count 3 --seconds 5 --gap 0 --front-only-every 3 >/dev/null"),
            0);
  MoveCard(made, m_watched);
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 3; }, kListedMs));

  auto* tripsButton = W().findChild<QAbstractButton*>(QStringLiteral("TripsButton"));
  auto* tripList = W().findChild<QTreeView*>(QStringLiteral("TripList"));
  auto* timeline = W().findChild<CTripTimeline*>(QStringLiteral("TripTimeline"));
  ASSERT_TRUE(tripsButton && tripList && timeline);
  QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                    tripsButton->mapTo(m_window.get(), tripsButton->rect().center()));
  ASSERT_TRUE(WaitFor([&] { return tripList->isVisible() && tripList->model()->rowCount() == 1; },
                      kWaitMs));
  const QRect row = tripList->visualRect(tripList->model()->index(0, 0));
  QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {},
                     tripList->viewport()->mapTo(m_window.get(), row.center()));
  ASSERT_TRUE(WaitFor([&] { return W().Playback().InTrip() && timeline->isVisible(); }, kWaitMs));
  const roadkeep::tat::Trip trip = W().Playback().CurrentTrip();
  ASSERT_EQ(trip.recordings.size(), 3u);

  // Across each boundary: the next recording on screen without a stop, a picture at once.
  for (int index = 1; index <= 2; ++index) {
    ASSERT_TRUE(WaitFor([&] { return W().Playback().TripRecording() == index; }, kWaitMs))
        << "recording " << W().Playback().TripRecording();
    const QImage shot = GrabScreen();
    SaveShot(shot, QStringLiteral("trip-boundary-%1.png").arg(index));
    EXPECT_TRUE(MostlyNonBlack(shot.copy(QRect(Front().mapToGlobal(QPoint(0, 0)), Front().size()))))
        << "boundary " << index;
    EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kPlaying);
    EXPECT_TRUE(WaitFor([&] { return timeline->Position() >= trip.OffsetMs(index); }, kWaitMs));
    EXPECT_GE(PositionSeconds(), trip.OffsetMs(index) / 1000 - 1);
  }
  CVideoPane& rear = *W().Controls().RearPane();
  EXPECT_TRUE(rear.isVisible());
  EXPECT_FALSE(rear.Note().isEmpty()) << "the third recording has no rear camera";

  // A click a fifth of the way along the timeline seeks there, in the first recording.
  const QRect bar(timeline->XOf(0), 0, timeline->XOf(trip.lengthMs) - timeline->XOf(0), timeline->height());
  const QPoint at(bar.left() + bar.width() / 5, timeline->height() / 2);
  QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, timeline->mapTo(m_window.get(), at));
  const int64_t target = timeline->TimeAt(at.x());
  EXPECT_TRUE(WaitFor(
      [&] {
        const int64_t now = W().Playback().TripPositionMs();
        return W().Playback().TripRecording() == 0 && now >= target - 1000 && now <= target + 3000;
      },
      kWaitMs))
      << "at " << W().Playback().TripPositionMs() << " ms, wanted " << target;
  QTest::qWait(1500);  // the labels' next refresh
  SaveShot(GrabScreen(), "trip-playing.png");

  // Stopped, Space plays the trip in hand again, not a recording of the list under it.
  QAbstractButton* stop = qobject_cast<QAbstractButton*>(W().Controls().Find(IDC_STOP));
  QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                    stop->mapTo(m_window.get(), stop->rect().center()));
  ASSERT_TRUE(WaitFor([&] { return !W().Playback().InTrip(); }, kWaitMs));
  Key(Qt::Key_Space);
  EXPECT_TRUE(WaitFor([&] { return W().Playback().InTrip() && Front().FramesPainted() > 0; }, kWaitMs));
  EXPECT_EQ(messages.Count(), 0);
}

// Paused, . shows the next frame and , the one before again, exactly as it was; Home and End
// go to the first and last frames; ? opens the sheet of keys and any key closes it; every
// icon button names its action.
TEST_F(CardJourney, FrameKeysStepThePictureAndTheSheetListsTheKeys) {
  CardMessageAnswerer messages;
  Insert();
  ASSERT_TRUE(WaitFor([&] { return ListRows(W()) == 4; }, kListedMs));
  DoubleClickRow(0);
  ASSERT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() >= 1000; }, kWaitMs));
  Key(Qt::Key_Space);
  ASSERT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);
  QTest::qWait(300);  // the worker's last turn ends
  const cv::Mat before = Front().LastFrame().clone();
  const int at = W().Player().GetPositionMs();
  const int frame = (at * 30 + 999) / 1000;  // the position is frame * 1000 / 30, rounded down
  const auto ms = [&](int k) { return (frame + k) * 1000 / 30; };

  const auto waitStill = [&] {
    return WaitFor([&] { return W().Player().CommandValue() == CQMVMediaPlayer::kIdle; }, kWaitMs);
  };
  const auto same = [&](const cv::Mat& a) {
    const cv::Mat now = Front().LastFrame();
    return now.size() == a.size() && cv::norm(now, a, cv::NORM_INF) == 0;
  };
  struct Step {
    Qt::Key key;
    int positionMs;  // expected after the key
  } steps[] = {{Qt::Key_Period, ms(1)}, {Qt::Key_Comma, ms(0)}, {Qt::Key_Period, ms(1)},
               {Qt::Key_Period, ms(2)}, {Qt::Key_Comma, ms(1)}, {Qt::Key_Comma, ms(0)}};
  for (const Step& step : steps) {
    Key(step.key);
    ASSERT_TRUE(waitStill());
    ASSERT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() == step.positionMs; }, kWaitMs))
        << W().Player().GetPositionMs() << " ms, wanted " << step.positionMs;
    // The picture follows: away from the first one, or back to it exactly.
    EXPECT_TRUE(WaitFor([&] { return same(before) == (step.positionMs == at); }, kWaitMs))
        << "at " << step.positionMs << " ms";
  }
  Key(Qt::Key_End);
  ASSERT_TRUE(waitStill());
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() == (12 * 30 - 1) * 1000 / 30; }, kWaitMs))
      << W().Player().GetPositionMs();
  Key(Qt::Key_Home);
  ASSERT_TRUE(waitStill());
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() == 0; }, kWaitMs));

  // ? shows the sheet over the window; any key closes it and does nothing else.
  auto* sheet = W().findChild<QWidget*>(QStringLiteral("KeySheet"));
  ASSERT_NE(sheet, nullptr);
  Key(Qt::Key_Question);
  ASSERT_TRUE(WaitFor([&] { return sheet->isVisible() && sheet->size() == W().size(); }, kWaitMs));
  QTest::qWait(300);  // painted
  SaveShot(GrabScreen(), "key-sheet.png");
  Key(Qt::Key_Space);
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle) << "the key only closed the sheet";

  for (const int id : {IDC_PLAY, IDC_PAUSE, IDC_STOP, IDC_PRE, IDC_NEXT, IDC_BACK10, IDC_FWD10,
                       IDC_ZOOM, IDC_CAPTURE, IDC_SETTINGS, IDC_MIRROR, IDC_MUTE, IDC_OPEN,
                       IDC_FULLSCREEN, IDC_WINDOW, IDC_MINIMIZE, IDC_CLOSE}) {
    EXPECT_FALSE(W().Controls().Find(id)->toolTip().isEmpty()) << id;
  }

  // ] twice plays at 4x: about 4 s of the recording a second, the speed on the button and
  // over the picture; [ goes down a step; Backspace is 1x again, with nothing over the picture.
  auto* speedButton = W().findChild<QAbstractButton*>(QStringLiteral("SpeedButton"));
  ASSERT_NE(speedButton, nullptr);
  EXPECT_FALSE(speedButton->toolTip().isEmpty());
  Key(Qt::Key_Space);
  Key(Qt::Key_BracketRight);
  Key(Qt::Key_BracketRight);
  EXPECT_EQ(speedButton->text(), QStringLiteral("4x"));
  EXPECT_EQ(Front().Badge(), QStringLiteral("4x"));
  QTest::qWait(300);
  const int from = W().Player().GetPositionMs();
  QElapsedTimer timer;
  timer.start();
  QTest::qWait(1000);
  const double rate = (W().Player().GetPositionMs() - from) / static_cast<double>(timer.elapsed());
  EXPECT_GT(rate, 3.0);
  EXPECT_LT(rate, 5.0);
  SaveShot(GrabScreen(), "speed-4x.png");
  Key(Qt::Key_BracketLeft);
  EXPECT_EQ(speedButton->text(), QStringLiteral("2x"));
  Key(Qt::Key_Backspace);
  EXPECT_EQ(speedButton->text(), QStringLiteral("1x"));
  EXPECT_TRUE(Front().Badge().isEmpty());
  EXPECT_EQ(W().Player().Speed(), 1.0);
  EXPECT_EQ(messages.Count(), 0);
}

}  // namespace
}  // namespace roadkeep::test
