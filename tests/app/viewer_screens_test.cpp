// Journeys of what the viewer shows: the stopped and playing window and full screen in
// three languages, the pane buttons, the rear mirror and the magnifier.
#include "tests/app/viewer_journey.h"

#include <QScreen>

#include "app/zoom_dlg.h"

namespace roadkeep::test {
namespace {

struct Language {
  unsigned langId;
  const char* tag;
  int listTitle;
};
void PrintTo(const Language& language, std::ostream* out) { *out << language.tag; }

constexpr Language kLanguages[] = {
    {0x09, "en", IDB_LIST_TITLE_EN},
    {0x11, "ja", IDB_LIST_TITLE_JA},
    {0x12, "ko", IDB_LIST_TITLE_KO},
};

// top edge.
struct EdgePlace {
  int id;
  bool fromRight;
  int dx;
  bool fromBottom;
  int dy;
};
constexpr EdgePlace kFullScreenPlaces[] = {
    {IDC_CLOSE, true, -44, false, 8},
    {IDC_WINDOW, true, -69, false, 8},
    {IDC_MINIMIZE, true, -94, false, 8},
    {IDC_FULL_SWAP, true, -260, false, 7},
    {IDC_BRIGHTNESS_SLIDER, true, -100, true, -27},
    {IDC_BRIGHTNESS_ICON, true, -134, true, -33},
    {IDC_VOLUME_SLIDER, true, -225, true, -27},
    {IDC_MUTE, true, -262, true, -31},
    {IDC_NEXT, true, -350, true, -27},
    {IDC_FWD10, true, -401, true, -27},
    {IDC_PAUSE, true, -446, true, -27},  // playing: PAUSE shows where PLAY would
    {IDC_BACK10, true, -501, true, -27},
    {IDC_PRE, true, -546, true, -27},
    {IDC_STOP, true, -597, true, -27},
    {IDC_POS_LABEL, false, 40, true, -20},
    {IDC_POS_SLIDER, false, 40, true, -40},
    {IDC_LENGTH_LABEL, false, 375, true, -20},
    {IDC_SPEED_LABEL, false, 485, true, -27},
};

class ViewerJourneyInLanguage : public ViewerJourney,
                                public ::testing::WithParamInterface<Language> {
 protected:
  QString Shot(const char* what) const { return QString("%1-%2.png").arg(what, GetParam().tag); }
};

TEST_P(ViewerJourneyInLanguage, StoppedWindowShowsTheSkinAndTheListTitleOfItsLanguage) {
  ASSERT_NO_FATAL_FAILURE(Open(GetParam().langId));
  EXPECT_EQ(W().geometry(), CentredWindow(W()));

  const QImage title = W().Controls().ListTitle()->Bitmap();
  EXPECT_EQ(title, LoadSkinBitmap(GetParam().listTitle));
  for (const Language& other : kLanguages) {
    if (other.listTitle != GetParam().listTitle) {
      EXPECT_NE(title, LoadSkinBitmap(other.listTitle)) << other.tag;
    }
  }
  EXPECT_TRUE(Control(IDC_PLAY)->isVisible());
  EXPECT_FALSE(Control(IDC_PAUSE)->isVisible());
  for (int id : {IDC_SWAP, IDC_MAP, IDC_SMALL_CAMERA, IDC_SMALL_MAP}) {
    EXPECT_FALSE(Control(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(Front().size().isEmpty());
  EXPECT_TRUE(Rear().size().isEmpty());

  QImage shot;
  const bool drawn = WaitFor([&] { return SkinDrawn(shot = GrabScreen(), W()); }, kWaitMs);
  SaveShot(shot, Shot("stopped"));
  EXPECT_TRUE(drawn);
}

TEST_P(ViewerJourneyInLanguage, TwoCameraRecordingPlaysInBothPanesOnTheScreen) {
  ASSERT_NO_FATAL_FAILURE(Open(GetParam().langId));
  ASSERT_NO_FATAL_FAILURE(Play(4));
  EXPECT_EQ(Front().geometry(), kMainPane);
  EXPECT_EQ(Rear().geometry(), kSmallPane);
  EXPECT_TRUE(Control(IDC_PAUSE)->isVisible());
  EXPECT_FALSE(Control(IDC_PLAY)->isVisible());

  QImage shot;
  const bool playing = WaitFor(
      [&] {
        shot = GrabScreen();
        return ShowsVideo(shot, W(), kMainPane) && ShowsVideo(shot, W(), kSmallPane);
      },
      kWaitMs);
  SaveShot(shot, Shot("playing"));
  EXPECT_TRUE(playing) << "the panes on the screen are black or show the bare skin";
  EXPECT_TRUE(SkinDrawn(shot, W()));
}

TEST_P(ViewerJourneyInLanguage, FullScreenShowsTheMainVideoAloneAndEnterComesBack) {
  ASSERT_NO_FATAL_FAILURE(Open(GetParam().langId));
  ASSERT_NO_FATAL_FAILURE(Play(6));

  Click(IDC_FULLSCREEN);
  ASSERT_TRUE(InFullScreen()) << "window at " << W().x() << "," << W().y() << " " << W().width()
                              << "x" << W().height();
  const int w = W().width(), h = W().height();
  const QRect video = ComputeFullScreenArea(w, h);
  EXPECT_EQ(Front().geometry(), video);
  EXPECT_TRUE(Front().isVisible());
  EXPECT_FALSE(Rear().isVisible());
  for (int id : {IDC_LIST, IDC_LIST_TITLE, IDC_GRAPH, IDC_FULLSCREEN, IDC_SWAP, IDC_MAP,
                 IDC_SMALL_CAMERA, IDC_SMALL_MAP, IDC_DOWNLOAD, IDC_SELECT_ALL, IDC_OPEN}) {
    EXPECT_FALSE(Control(id)->isVisible()) << id;
  }
  EXPECT_EQ(Control(IDC_BAR_TOP)->geometry(), QRect(0, 0, w, 40));
  EXPECT_EQ(Control(IDC_BAR_BOTTOM)->geometry(), QRect(0, h - 45, w, 45));
  for (const EdgePlace& p : kFullScreenPlaces) {
    const QWidget* control = Control(p.id);
    EXPECT_EQ(control->pos(), QPoint(p.fromRight ? w + p.dx : p.dx, p.fromBottom ? h + p.dy : p.dy))
        << p.id;
    EXPECT_TRUE(control->isVisible()) << p.id;
    EXPECT_TRUE(OnTop(W(), control)) << p.id << " is covered";
  }
  EXPECT_FALSE(Control(IDC_PLAY)->isVisible());
  EXPECT_TRUE(Control(IDC_FULL_SWAP)->isEnabled());
  EXPECT_TRUE(KeepsPlaying(Front())) << "no frames at " << video.width() << "x" << video.height();

  QImage shot;
  const bool playing = WaitFor(
      [&] {
        shot = GrabScreen();
        return MostlyNonBlack(shot.copy(OnScreen(W(), video)));
      },
      kWaitMs);
  SaveShot(shot, Shot("fullscreen"));
  EXPECT_TRUE(playing);

  Click(IDC_FULL_SWAP);  // the rear camera takes the screen
  EXPECT_EQ(Rear().geometry(), video);
  EXPECT_TRUE(Rear().isVisible());
  EXPECT_FALSE(Front().isVisible());
  EXPECT_TRUE(KeepsPlaying(Rear()));

  Type(Qt::Key_Return);
  ASSERT_TRUE(InNormalMode()) << "window at " << W().x() << "," << W().y() << " " << W().width()
                              << "x" << W().height();
  EXPECT_EQ(Front().geometry(), kSmallPane);
  EXPECT_EQ(Rear().geometry(), kMainPane);
  EXPECT_TRUE(Front().isVisible());
  EXPECT_TRUE(Rear().isVisible());
  for (int id : {IDC_LIST, IDC_GRAPH, IDC_FULLSCREEN, IDC_SWAP}) {
    EXPECT_TRUE(Control(id)->isVisible()) << id;
  }
  for (int id : {IDC_WINDOW, IDC_FULL_SWAP, IDC_BAR_TOP, IDC_BAR_BOTTOM}) {
    EXPECT_FALSE(Control(id)->isVisible()) << id;
  }
  EXPECT_EQ(Control(IDC_STOP)->pos(), QPoint(87, 474));
  EXPECT_TRUE(Control(IDC_SWAP)->isEnabled());
  EXPECT_TRUE(KeepsPlaying(Front()));
  EXPECT_TRUE(KeepsPlaying(Rear()));
  EXPECT_TRUE(WaitFor([&] { return SkinDrawn(GrabScreen(), W()); }, kWaitMs))
      << "the background is not back";
}

INSTANTIATE_TEST_SUITE_P(Languages, ViewerJourneyInLanguage, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) {
                           return std::string(info.param.tag);
                         });

// The words on the skin (kind and pane buttons, the G-sensor legend) and Select All are the
// window's language on the screen: each language's pictures differ from the others'.
TEST_F(ViewerJourney, SkinWordsAreDrawnInTheWindowsLanguage) {
  const int worded[] = {IDC_FILTER_DRIVING, IDC_FILTER_ALL, IDC_DOWNLOAD, IDC_SWAP, IDC_SELECT_ALL};
  const QRect legend(800, 520, 165, 104);
  std::map<std::string, std::vector<QImage>> seen;
  for (const Language& language : kLanguages) {
    ASSERT_NO_FATAL_FAILURE(Open(language.langId));
    QImage shot;
    ASSERT_TRUE(WaitFor([&] { return SkinDrawn(shot = GrabScreen(), W()); }, kWaitMs));
    for (int id : worded) seen[language.tag].push_back(shot.copy(OnScreen(W(), Control(id)->geometry())));
    seen[language.tag].push_back(shot.copy(OnScreen(W(), legend)));
  }
  for (const char* other : {"ja", "ko"}) {
    for (size_t i = 0; i < seen["en"].size(); ++i) {
      EXPECT_NE(seen["en"][i], seen[other][i]) << other << " picture " << i << " is English";
    }
  }
}

// The normal window grows by its corner (and by the window system, as a window manager
// resizes it): the main pane and the list grow, the controls keep their places from the edges
// they belong to, the picture fills the larger pane; full screen and back keep the size, and
// the next start opens at the same size and place.
TEST_F(ViewerJourney, TheWindowResizesByItsCornerAndKeepsItsSize) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(10));
  W().move(W().screen()->availableGeometry().topLeft());  // room to grow on a small screen
  const QWidget* grip = W().findChild<QWidget*>(QStringLiteral("SizeGrip"));
  ASSERT_NE(grip, nullptr);
  ASSERT_TRUE(grip->isVisible());
  const struct {
    const char* how;
    QSize size;
  } sizes[] = {{"dragged by its corner", QSize(1200, 800)}, {"by the window system", QSize(1400, 900)}};
  for (const auto& step : sizes) {
    const char* how = step.how;
    const QSize size = step.size;
    if (std::string(how) == "by the window system") {
      W().resize(size);
    } else {
      const QSize by = size - W().size();
      Drag(grip->geometry().center(), QPoint(by.width(), by.height()));
    }
    ASSERT_TRUE(WaitFor([&] { return W().size() == size; })) << how << ": " << W().width() << "x"
                                                             << W().height();
    const int dx = size.width() - kWindowSize.width(), dy = size.height() - kWindowSize.height();
    const struct {
      int id;
      QRect place;
    } places[] = {
        {IDC_FRONT_PANE, QRect(4, 64, 640 + dx, 360 + dy)},
        {IDC_REAR_PANE, QRect(650 + dx, 278 + dy, 320, 170)},
        {IDC_LIST, QRect(648 + dx, 83, 325, 130 + dy)},
        {IDC_GRAPH, QRect(30, 520 + dy, 760 + dx, 104)},
        {IDC_CLOSE, QRect(QPoint(948 + dx, 5), Control(IDC_CLOSE)->size())},
        {IDC_STOP, QRect(QPoint(87, 474 + dy), Control(IDC_STOP)->size())},
        {IDC_VOLUME_SLIDER, QRect(QPoint(715 + dx, 476 + dy), Control(IDC_VOLUME_SLIDER)->size())},
    };
    for (const auto& p : places) EXPECT_EQ(Control(p.id)->geometry(), p.place) << how << " " << p.id;
    EXPECT_TRUE(KeepsPlaying(Front())) << how << ": no frames at the pane's new size";
  }
  QImage shot;
  EXPECT_TRUE(WaitFor(
      [&] { return ShowsVideo(shot = GrabScreen(), W(), Control(IDC_FRONT_PANE)->geometry()); },
      kWaitMs));
  SaveShot(shot, "resized-en.png");

  Click(IDC_FULLSCREEN);
  ASSERT_TRUE(InFullScreen());
  EXPECT_FALSE(grip->isVisible());
  Click(IDC_WINDOW);
  ASSERT_TRUE(WaitFor([&] {
    return W().State().displayMode == kNormalMode && W().size() == sizes[1].size;
  })) << W().width() << "x" << W().height();
  EXPECT_TRUE(grip->isVisible());
  const QRect place = W().geometry();

  m_window.reset();  // closed: its place is saved
  ASSERT_NO_FATAL_FAILURE(Open());
  EXPECT_EQ(W().geometry(), place);
}

TEST_F(ViewerJourney, FullScreenWhileStoppedShowsZeroTimesAndTheBackButtonRecentres) {
  ASSERT_NO_FATAL_FAILURE(Open());
  W().move(W().pos() - QPoint(100, 80));  // anywhere but the centre
  ASSERT_TRUE(WaitFor([&] { return W().geometry() != CentredWindow(W()); }));

  Click(IDC_FULLSCREEN);
  ASSERT_TRUE(InFullScreen());
  EXPECT_EQ(LabelText(IDC_POS_LABEL), "00:00:00");
  EXPECT_EQ(LabelText(IDC_LENGTH_LABEL), "00:00:00");
  EXPECT_FALSE(Front().isVisible());
  EXPECT_FALSE(Rear().isVisible());
  EXPECT_TRUE(Control(IDC_PLAY)->isVisible());
  EXPECT_FALSE(Control(IDC_PAUSE)->isVisible());

  Click(IDC_WINDOW);
  ASSERT_TRUE(InNormalMode());
  EXPECT_EQ(LabelText(IDC_POS_LABEL), "00:00:00");
  EXPECT_FALSE(Control(IDC_WINDOW)->isVisible());
}

TEST_F(ViewerJourney, PaneButtonsMoveTheCamerasAndThePanesKeepPlayingAtTheirNewSizes) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(10));

  Click(IDC_SWAP);
  EXPECT_EQ(Front().geometry(), kSmallPane);
  EXPECT_EQ(Rear().geometry(), kMainPane);
  EXPECT_TRUE(Checked(IDC_SMALL_CAMERA));
  EXPECT_FALSE(Checked(IDC_SMALL_MAP));
  EXPECT_TRUE(KeepsPlaying(Front())) << "front not repainted at 320x170";
  EXPECT_TRUE(KeepsPlaying(Rear())) << "rear not repainted at 640x360";

  // The small-pane boxes come alive once the recording has shown a valid GPS position; the
  // position refresh that notices it belongs to the playback controls, so stand in for it.
  for (int id : {IDC_SMALL_MAP, IDC_SMALL_CAMERA}) Control(id)->setEnabled(true);

  Click(IDC_SMALL_MAP);  // the map takes the small pane, the camera there goes
  EXPECT_EQ(W().State().panes, (PaneStates{kPaneHidden, kPaneMain, kPaneSmall}));
  EXPECT_FALSE(Front().isVisible());
  EXPECT_EQ(Rear().geometry(), kMainPane);
  EXPECT_EQ(W().Controls().MapView()->geometry(), kSmallPane);
  EXPECT_TRUE(Checked(IDC_SMALL_MAP));
  EXPECT_FALSE(Checked(IDC_SMALL_CAMERA));
  EXPECT_TRUE(KeepsPlaying(Rear()));

  Click(IDC_SMALL_CAMERA);  // the other camera comes back, the map goes
  EXPECT_EQ(W().State().panes, (PaneStates{kPaneSmall, kPaneMain, kPaneHidden}));
  EXPECT_EQ(Front().geometry(), kSmallPane);
  EXPECT_TRUE(Front().isVisible());
  EXPECT_FALSE(W().Controls().MapView()->isVisible());
  EXPECT_TRUE(Checked(IDC_SMALL_CAMERA));
  EXPECT_FALSE(Checked(IDC_SMALL_MAP));
  EXPECT_TRUE(KeepsPlaying(Front()));
}

TEST_F(ViewerJourney, MirrorBoxFlipsTheRearPictureLeftToRight) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(Play(10));
  // Halted, the pane keeps its last picture; the box redraws it at once.
  W().Player().PausePlayback();
  ASSERT_TRUE(WaitFor([&] { return W().Player().CommandValue() == CQMVMediaPlayer::kIdle; }));
  QTest::qWait(100);  // the last frame of the pump turn reaches the pane
  const int64_t before = Rear().FramesShown();
  const cv::Mat plain = Rear().LastFrame().clone();
  Click(IDC_MIRROR);
  EXPECT_TRUE(Checked(IDC_MIRROR));
  ASSERT_TRUE(WaitFor([&] { return Rear().FramesShown() > before; }));
  cv::Mat mirrored;
  cv::flip(plain, mirrored, 1);
  EXPECT_EQ(cv::norm(Rear().LastFrame(), mirrored, cv::NORM_INF), 0);

  const int64_t again = Rear().FramesShown();
  Click(IDC_MIRROR);
  EXPECT_FALSE(Checked(IDC_MIRROR));
  ASSERT_TRUE(WaitFor([&] { return Rear().FramesShown() > again; }));
  EXPECT_EQ(cv::norm(Rear().LastFrame(), plain, cv::NORM_INF), 0);
}

TEST_F(ViewerJourney, ZoomButtonLeavesExactlyOneMagnifierWhereverItIsPressed) {
  ASSERT_NO_FATAL_FAILURE(Open());
  auto magnifiers = [] {
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == QLatin1String("227") && top->isVisible()) ++shown;
    }
    return shown;
  };
  Click(IDC_ZOOM);
  ASSERT_NE(W().ZoomWindow(), nullptr);
  EXPECT_TRUE(WaitFor([&] { return W().ZoomWindow()->IsMagnifying() && magnifiers() == 1; }));
  Click(IDC_ZOOM);
  EXPECT_TRUE(WaitFor([&] { return magnifiers() == 1; }));
  const QWidget* button = Control(IDC_ZOOM);
  EXPECT_EQ(W().ZoomWindow()->pos(),
            ZoomWindowPlace(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()),
                            button->screen()->availableGeometry(), QSize(425, 330)))
      << "beside the zoom button";
  EXPECT_EQ(W().ZoomWindow()->size(), QSize(425, 330));
  // It magnifies the real screen: a picture of its whole client area comes out.
  EXPECT_TRUE(WaitFor([&] { return W().ZoomWindow()->Picture().size() == QSize(425, 330); }));
}

}  // namespace
}  // namespace roadkeep::test
