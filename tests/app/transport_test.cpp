// The playback controls: the arithmetic of lengths, skips and volumes, and the buttons and
// keys on a real window playing made recordings.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/main_window.h"
#include "app/transport.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "platform/wave_out.h"
#include "resources/resource_ids.h"
#include "tat/card.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tests/app/viewer_rig.h"

namespace {

using roadkeep::test::InsertCard;
using roadkeep::test::ListName;
using roadkeep::test::ListRows;
using roadkeep::test::SelectListRow;
using roadkeep::test::ScopedWorkDir;
using roadkeep::test::ViewerCard;
using roadkeep::test::WaitFor;

TEST(TransportArithmetic, LengthsTimesSkipsAndVolumes) {
  // A 65.4 s recording: 65 s long, shown as 00:01:05; nothing long gets 60 s.
  const struct {
    int durationMs;
    int64_t seconds;
    const char* text;
  } lengths[] = {{65400, 65, "00:01:05"}, {0, 60, "00:01:00"}, {-5, 60, "00:01:00"},
                 {999, 60, "00:01:00"}, {1000, 1, "00:00:01"}, {3661000, 3661, "01:01:01"}};
  for (const auto& c : lengths) {
    EXPECT_EQ(LengthSeconds(c.durationMs), c.seconds) << c.durationMs;
    EXPECT_EQ(TimeText(LengthSeconds(c.durationMs)), c.text) << c.durationMs;
  }
  // -10 s within the first 10 s goes to the start.
  const struct {
    int64_t positionMs, target;
  } backs[] = {{9900, 0}, {10000, 0}, {10500, 500}, {0, 0}, {60000, 50000}};
  for (const auto& c : backs) EXPECT_EQ(SkipBackTarget(c.positionMs), c.target) << c.positionMs;
  // +10 s needs at least 2 ms left before the slider's end; closer, it is the end (-1).
  const struct {
    int64_t positionMs;
    int sliderMax;
    int64_t target;
  } forwards[] = {{50000, 60, -1}, {49999, 60, -1}, {49998, 60, 59998}, {0, 60, 10000},
                  {0, 10, -1}, {0, 0, -1}};
  for (const auto& c : forwards) {
    EXPECT_EQ(SkipForwardTarget(c.positionMs, c.sliderMax), c.target) << c.positionMs;
  }
  EXPECT_EQ(OutputVolumeFor(99), 0xFD6FFD6Fu);
  EXPECT_EQ(OutputVolumeFor(50), (32767u << 16) | 32767u);
  EXPECT_EQ(OutputVolumeFor(0), 0u);
}

// A shown window with a card of four 2-second recordings put in and listed newest first.
class TransportOnCard : public ::testing::Test {
 protected:
  void SetUp() override {
    m_card = std::make_unique<ViewerCard>(Seconds());
    ASSERT_TRUE(m_card->ok);
    m_window = std::make_unique<CZarezeRadidaDlg>(0x09);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    ASSERT_TRUE(InsertCard(*m_window, m_card->dir.Path().string()));
    // Every recording, short ones too (the list leaves out those under 512 KiB).
    std::vector<Recording> all;
    for (int kind = 0; kind < 4; ++kind) {
      for (const Recording& r : TatCurrentCard(W().Library())->Recordings(kind)) all.push_back(r);
    }
    W().Recordings().SetRecordings(all, Qt::Unchecked);
    ASSERT_EQ(ListRows(W()), 4);
    for (int r = 0; r < 4; ++r) ASSERT_EQ(ListName(W(), r).toStdString(), m_card->Name(3 - r));
  }

  // Length of the card's recordings in seconds.
  virtual int Seconds() const { return 2; }
  CZarezeRadidaDlg& W() { return *m_window; }
  QWidget* Control(int id) { return W().Controls().Find(id); }
  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  void Key(Qt::Key key) { QTest::keyClick(m_window.get(), key); }
  bool PlayingRow(int row) {
    return WaitFor([&] {
      return W().State().currentRow == row && W().Controls().FrontPane()->FramesShown() > 0 &&
             W().Player().Status() == CQMVMediaPlayer::kPlaying;
    });
  }
  bool StoppedLook() {
    return W().State().currentRow == -1 && Control(IDC_PAUSE)->isHidden() &&
           !Control(IDC_PLAY)->isHidden() &&
           W().Controls().Label(IDC_POS_LABEL)->text() == "00:00:00" &&
           W().Controls().FrontPane()->width() == 0;
  }

  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

TEST_F(TransportOnCard, PlayStartsTheSelectedRowAndNextAndPreviousStopAtTheEnds) {
  SelectListRow(W(), 2);
  Click(IDC_PLAY);
  ASSERT_TRUE(PlayingRow(2));
  EXPECT_TRUE(Control(IDC_PLAY)->isHidden());
  EXPECT_FALSE(Control(IDC_PAUSE)->isHidden());
  Click(IDC_PRE);  // older: the last row
  ASSERT_TRUE(PlayingRow(3));
  Click(IDC_PRE);  // past the oldest: stop
  EXPECT_TRUE(StoppedLook());
  SelectListRow(W(), 0);
  Click(IDC_PLAY);
  ASSERT_TRUE(PlayingRow(0));
  Click(IDC_NEXT);  // past the newest: stop
  EXPECT_TRUE(StoppedLook());
}

TEST_F(TransportOnCard, EndOfTheNewestRecordingStopsAndEndsEarlierOnesMoveToNewerRows) {
  SelectListRow(W(), 1);
  Click(IDC_PLAY);
  ASSERT_TRUE(PlayingRow(1));
  // Row 1 ends by itself, row 0 follows and ends too: the stopped look comes back.
  EXPECT_TRUE(WaitFor([&] { return W().State().currentRow == 0; }, 20000));
  EXPECT_TRUE(WaitFor([&] { return StoppedLook(); }, 20000));
}

// An export reads the card through a reader of its own: the keys and buttons go on acting.
TEST_F(TransportOnCard, SpacePausesAndResumesAndKeysWorkDuringAnExport) {
  Key(Qt::Key_Space);  // nothing selected: row 0
  ASSERT_TRUE(PlayingRow(0));
  Key(Qt::Key_Space);
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);
  EXPECT_FALSE(Control(IDC_PLAY)->isHidden());
  Key(Qt::Key_Space);
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kPlay);
  EXPECT_TRUE(Control(IDC_PLAY)->isHidden());

  W().ExportWorkerBusy(true);
  Key(Qt::Key_Space);
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);
  Key(Qt::Key_PageDown);  // PRE: the older row
  EXPECT_TRUE(PlayingRow(1));
  Click(IDC_STOP);
  EXPECT_TRUE(StoppedLook());
  W().ExportWorkerBusy(false);
}

TEST_F(TransportOnCard, VolumeKeysAndSliderApplyAtOnceAndZeroMutes) {
  CBitmapSlider* volume = W().Controls().Slider(IDC_VOLUME_SLIDER);
  CxSkinButton* mute = W().Controls().Check(IDC_MUTE);
  volume->SetPos(97);
  Key(Qt::Key_Up);
  EXPECT_EQ(volume->GetPos(), 99);
  EXPECT_EQ(GetWaveOutVolume(), 0xFD6FFD6Fu);
  volume->SetPos(3);
  Key(Qt::Key_Down);
  EXPECT_EQ(volume->GetPos(), 0);
  EXPECT_TRUE(mute->GetCheck());
  EXPECT_EQ(GetWaveOutVolume(), 0u);
  Key(Qt::Key_Up);
  EXPECT_FALSE(mute->GetCheck());
  EXPECT_EQ(GetWaveOutVolume(), OutputVolumeFor(5));
  Click(IDC_MUTE);  // muted by hand, then back
  EXPECT_TRUE(mute->GetCheck());
  EXPECT_EQ(GetWaveOutVolume(), 0u);
  Click(IDC_MUTE);
  EXPECT_EQ(GetWaveOutVolume(), OutputVolumeFor(5));
}

// Recordings long enough for a few refreshes before they end.
class TransportOnLongerCard : public TransportOnCard {
 protected:
  int Seconds() const override { return 5; }
};

TEST_F(TransportOnLongerCard, PositionRefreshFollowsPlaybackAndLabelsShowTheLength) {
  Key(Qt::Key_Space);
  ASSERT_TRUE(PlayingRow(0));
  EXPECT_EQ(W().Controls().Label(IDC_LENGTH_LABEL)->text(), "00:00:05");
  EXPECT_EQ(W().Controls().Slider(IDC_POS_SLIDER)->GetRangeMax(), 5);
  EXPECT_TRUE(WaitFor([&] {
    return W().Controls().Label(IDC_POS_LABEL)->text() == "00:00:02" &&
           W().Controls().Slider(IDC_POS_SLIDER)->GetPos() == 2;
  }));
}

TEST_F(TransportOnLongerCard, LettingGoOfThePositionSliderShowsThatSecondExactly) {
  Key(Qt::Key_Space);
  ASSERT_TRUE(PlayingRow(0));
  Key(Qt::Key_Space);  // paused: the seek shows one frame and the position stays there
  CBitmapSlider* slider = W().Controls().Slider(IDC_POS_SLIDER);
  const QPoint second2(slider->PosToPixel(2), slider->height() / 2);
  QTest::mouseClick(slider, Qt::LeftButton, {}, second2);
  const int second = slider->GetPos();
  ASSERT_GE(second, 1);
  // The first frame of that second, not the start of the 24-frame unit holding it.
  EXPECT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() == second * 1000; }))
      << W().Player().GetPositionMs() << " for " << second * 1000;
}

}  // namespace

namespace {

// A card cut short under the reader is a read error, not an end: the window says so over the
// picture and stops, instead of moving on as at the end of a recording.
TEST_F(TransportOnLongerCard, AReadErrorIsSaidInTheWindowAndPlaybackStops) {
  const std::shared_ptr<CCard> card = TatCurrentCard(W().Library());
  ASSERT_TRUE(card);
  const std::string name = ListName(W(), 0).toStdString();
  Recording playing;
  for (int kind = 0; kind < 4; ++kind) {
    for (const Recording& r : card->Recordings(kind)) {
      if (r.name == name) playing = r;
    }
  }
  ASSERT_EQ(playing.name, name);
  const std::filesystem::path store = m_card->dir.Path() / roadkeep::tat::kStoreFolder /
                                      roadkeep::tat::StoreFileName(playing.kindCode);
  std::filesystem::resize_file(store, std::filesystem::file_size(store) - playing.sizeBytes / 2);
  Key(Qt::Key_Space);
  ASSERT_TRUE(WaitFor([&] {
    const auto* line = W().findChild<QLabel*>(QStringLiteral("StatusLine"));
    return line != nullptr && line->isVisible();
  }));
  EXPECT_EQ(W().State().currentRow, -1);
  EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kStopped);
}

}  // namespace
