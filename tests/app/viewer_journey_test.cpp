// Journeys through the viewer's real main window on an X server, driven by mouse and key
// events as a user would: a made card played in both panes, full screen and back, the pane
// buttons, dragging, closing, and a second start of the real program. Screenshots of the
// real screen go to viewer-shots/ in the build folder for a person to look at.
#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/zoom_dlg.h"
#include "app/pane_states.h"
#include "app/single_instance.h"
#include "app/video_pane.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "controls/trans_bitmap.h"
#include "platform/ini_profile.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"

namespace roadkeep::test {
namespace {

constexpr int kWaitMs = 15000;  // generous: the machine is shared
constexpr int kSeveralFrames = 5;
constexpr QSize kWindowSize(975, 635);

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

// Parts of the skin that no control covers in the normal mode (window coordinates): the
// title strip, the strip above the main pane left of the swap button, the margin left of
// the graph.
constexpr QRect kBareSkin[] = {QRect(0, 0, 880, 34), QRect(0, 36, 320, 26), QRect(0, 505, 28, 125)};


QRect OnScreen(const QWidget& window, const QRect& rect) {
  return QRect(window.mapToGlobal(rect.topLeft()), rect.size());
}

// Fraction of the pixels of a that equal those of b (same size expected).
double SameFraction(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 0;
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  int64_t same = 0;
  for (int row = 0; row < x.height(); ++row) {
    const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
    const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
    for (int col = 0; col < x.width(); ++col) same += (p[col] & 0xFFFFFF) == (q[col] & 0xFFFFFF);
  }
  return double(same) / (double(x.width()) * x.height());
}

// Whether the bare parts of the skin are on the screen as the background bitmap has them.
bool SkinDrawn(const QImage& shot, const QWidget& window) {
  const QImage background = LoadSkinBitmap(IDB_BACKGROUND);
  for (const QRect& bare : kBareSkin) {
    const QImage onScreen = shot.copy(OnScreen(window, bare));
    if (!MostlyNonBlack(onScreen, 0.9) || SameFraction(onScreen, background.copy(bare)) < 0.98) {
      return false;
    }
  }
  return true;
}

// Whether rect of the screen shows a picture: mostly non-black and not the skin under it.
bool ShowsVideo(const QImage& shot, const QWidget& window, const QRect& rect) {
  const QImage onScreen = shot.copy(OnScreen(window, rect));
  const QImage skin = LoadSkinBitmap(IDB_BACKGROUND).copy(rect);
  return MostlyNonBlack(onScreen) && SameFraction(onScreen, skin) < 0.5;
}


// Whether the pane paints several more new frames, the last made at its current size.
bool KeepsPlaying(const CVideoPane& pane) {
  const int64_t shown = pane.FramesShown(), painted = pane.FramesPainted();
  return WaitFor(
      [&] {
        const cv::Mat frame = pane.LastFrame();
        return pane.FramesShown() >= shown + kSeveralFrames &&
               pane.FramesPainted() >= painted + kSeveralFrames && frame.cols == pane.width() &&
               frame.rows == pane.height();
      },
      kWaitMs);
}

// The window of 975 x 635 centred on the screen's work area.
QRect CentredWindow(const QWidget& window) {
  const QRect work = window.screen()->availableGeometry();
  return QRect(work.x() + (work.width() - kWindowSize.width()) / 2,
               work.y() + (work.height() - kWindowSize.height()) / 2, kWindowSize.width(),
               kWindowSize.height());
}

// Whether control (or a part of it) is what the user meets at its centre: nothing lies on it.
bool OnTop(const QWidget& window, const QWidget* control) {
  const QWidget* hit = window.childAt(control->geometry().center());
  return hit == control || (hit != nullptr && control->isAncestorOf(hit));
}

// Where the full-screen layout puts a control, from the client's right or left and bottom or
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

// Answers the quit question with `answer` as soon as it shows (it runs its own event loop).
class QuestionAnswerer : public QObject {
 public:
  explicit QuestionAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
    m_timer.start(10, this);
  }
  bool Answered() const { return m_answered; }
  const QString& Text() const { return m_text; }
  const QString& Caption() const { return m_caption; }
  bool HadIcon() const { return m_hadIcon; }

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box == nullptr || box->objectName() != QLatin1String("QuitQuestion") ||
          !box->isVisible()) {
        continue;
      }
      m_timer.stop();
      m_text = box->text();
      m_caption = box->windowTitle();
      m_hadIcon = box->icon() != QMessageBox::NoIcon;
      m_answered = true;
      if (QAbstractButton* button = box->button(m_answer)) {
        QTest::mouseClick(button, Qt::LeftButton);
      }
      return;
    }
  }

 private:
  QMessageBox::StandardButton m_answer;
  QBasicTimer m_timer;
  bool m_answered = false;
  bool m_hadIcon = false;
  QString m_text, m_caption;
};

// The top-level window (a child of the root) that holds the X input focus; 0 when none.
uint32_t FocusedTopLevel() {
  xcb_connection_t* c = X11Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  xcb_window_t window = focus != nullptr ? focus->focus : xcb_window_t{XCB_NONE};
  std::free(focus);
  while (window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT && window != root) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (tree == nullptr) return 0;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (parent == root) return window;
    window = parent;
  }
  return 0;
}

// Whether the X window is mapped and all its ancestors are.
bool Viewable(uint32_t window) {
  xcb_connection_t* c = X11Connection();
  auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
  const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(reply);
  return viewable;
}

// Where the X server has the window's top-left corner on the root.
QPoint XOrigin(const QWidget& window) {
  xcb_connection_t* c = X11Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* reply = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window.winId()), root, 0, 0),
      nullptr);
  const QPoint origin = reply != nullptr ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
  std::free(reply);
  return origin;
}

class ViewerJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    // The card maker and the viewer are found next to this program; audio needs no device.
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }

  // Makes the window in this test's working folder, shows it and makes it active.
  void Open(unsigned langId = 0x09) {
    m_window = std::make_unique<CZarezeRadidaDlg>(langId);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get(), kWaitMs));
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get(), kWaitMs));
  }

  // Makes a card of `seconds` long recordings, puts it in and plays recording 0 (both
  // cameras) until both panes have painted several frames.
  void Play(int seconds) {
    m_card = std::make_unique<ViewerCard>(seconds);
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    ASSERT_TRUE(InsertCard(W(), m_card->dir.Path().string()));
    ASSERT_TRUE(W().OpenRecording(QString::fromStdString(m_card->Name(0))));
    const CVideoPane& front = Front();
    const CVideoPane& rear = Rear();
    ASSERT_TRUE(WaitFor(
        [&] {
          return front.FramesPainted() >= kSeveralFrames && rear.FramesPainted() >= kSeveralFrames;
        },
        kWaitMs))
        << "painted front " << front.FramesPainted() << ", rear " << rear.FramesPainted();
  }

  CZarezeRadidaDlg& W() { return *m_window; }
  QWidget* Control(int id) { return m_window->Controls().Find(id); }
  CVideoPane& Front() { return *m_window->Controls().FrontPane(); }
  CVideoPane& Rear() { return *m_window->Controls().RearPane(); }
  QString LabelText(int id) { return m_window->Controls().Label(id)->text(); }
  bool Checked(int id) { return m_window->Controls().Check(id)->GetCheck(); }

  void Click(int id) {
    QWidget* control = Control(id);
    ASSERT_NE(control, nullptr) << id;
    ASSERT_TRUE(control->isVisible()) << id;
    QTest::mouseClick(control, Qt::LeftButton);
  }

  // A key as the user types it: to the widget with the focus, else the window.
  void Type(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : m_window.get(), key);
  }

  // Presses the left button at window point from, moves the mouse by `by` and releases it
  // there, through the window system's event path (so the press lands on whatever lies under
  // the point).
  void Drag(const QPoint& from, const QPoint& by) {
    QWindow* handle = m_window->windowHandle();
    const QPoint end = handle->mapToGlobal(from + by);
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + by);
    // Where the mouse now is, the window may have moved under it.
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(end));
  }

  bool InFullScreen() {
    return WaitFor([&] {
      return W().geometry() == W().screen()->availableGeometry() &&
             W().State().displayMode == kFullScreenMode;
    });
  }
  bool InNormalMode() {
    return WaitFor([&] {
      return W().geometry() == CentredWindow(W()) && W().State().displayMode == kNormalMode;
    });
  }

  // Declared in this order so the window goes first, then the card, then the folder.
  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
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
  EXPECT_EQ(W().ZoomWindow()->pos(), QPoint(850, 465));
  EXPECT_EQ(W().ZoomWindow()->size(), QSize(425, 330));
  // It magnifies the real screen: a picture of its whole client area comes out.
  EXPECT_TRUE(WaitFor([&] { return W().ZoomWindow()->Picture().size() == QSize(425, 330); }));
}

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

}  // namespace
}  // namespace roadkeep::test
