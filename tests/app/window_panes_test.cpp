// Which view each pane shows, in both display modes, for one and two cameras, and full
// screen while stopped.
#include <gtest/gtest.h>

#include <QLabel>

#include "app/main_window.h"
#include "app/pane_states.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"
#include "tests/app/window_test_util.h"

namespace roadkeep::test {
namespace {

// One row of the pane layout: the states set, and what the three views and the two
// small-pane boxes show afterwards in the normal display mode.
struct PanePlacement {
  const char* name;
  PaneStates panes;
  QRect front, rear, map;
  bool frontShown, rearShown, mapShown;
  bool cameraChecked, mapChecked;  // 1100, 1099
};

const QRect kFrontOff(4, 64, 0, 0);
const QRect kRearOff(650, 268, 0, 0);
const QRect kMain(4, 64, 640, 360);
const QRect kSmall(650, 278, 320, 170);

void ExpectPlacement(CZarezeRadidaDlg& window, const PanePlacement& p) {
  CWindowControls& controls = window.Controls();
  const struct {
    const char* view;
    QWidget* widget;
    QRect where;
    bool shown;
  } views[] = {{"front", controls.FrontPane(), p.front, p.frontShown},
               {"rear", controls.RearPane(), p.rear, p.rearShown},
               {"map", controls.MapView(), p.map, p.mapShown}};
  for (const auto& v : views) {
    EXPECT_EQ(v.widget->geometry(), v.where) << p.name << ": " << v.view;
    EXPECT_EQ(v.widget->isVisible(), v.shown) << p.name << ": " << v.view;
  }
  // A hidden pane makes no frames; a shown one takes frames of its size.
  for (const CVideoPane* pane : {controls.FrontPane(), controls.RearPane()}) {
    EXPECT_EQ(ReportedSize(pane), pane->isVisible() ? pane->size() : QSize(0, 0)) << p.name;
  }
  EXPECT_EQ(controls.Check(IDC_SMALL_CAMERA)->GetCheck(), p.cameraChecked) << p.name;
  EXPECT_EQ(controls.Check(IDC_SMALL_MAP)->GetCheck(), p.mapChecked) << p.name;
}

// The full-screen arrangement: only a video of the main pane, at the computed rectangle.
void ExpectFullScreen(CZarezeRadidaDlg& window, const char* name, bool frontShown, bool rearShown) {
  const WindowState& state = window.State();
  CWindowControls& controls = window.Controls();
  EXPECT_EQ(state.displayMode, kFullScreenMode) << name;
  EXPECT_EQ(window.size(), window.screen()->availableGeometry().size()) << name;
  EXPECT_EQ(state.fullScreen.video, ComputeFullScreenArea(window.width(), window.height())) << name;
  EXPECT_EQ(controls.FrontPane()->geometry(), state.fullScreen.video) << name;
  EXPECT_EQ(controls.RearPane()->geometry(), state.fullScreen.video) << name;
  EXPECT_EQ(controls.FrontPane()->isVisible(), frontShown) << name;
  EXPECT_EQ(controls.RearPane()->isVisible(), rearShown) << name;
  EXPECT_FALSE(controls.MapView()->isVisible()) << name;
  EXPECT_EQ(controls.MapView()->geometry(), kRearOff) << name;
  for (const CVideoPane* pane : {controls.FrontPane(), controls.RearPane()}) {
    EXPECT_EQ(ReportedSize(pane), pane->isVisible() ? state.fullScreen.video.size() : QSize(0, 0))
        << name;
  }
  for (int id : {IDC_WINDOW, IDC_FULL_SWAP, IDC_BAR_TOP, IDC_BAR_BOTTOM}) {
    EXPECT_FALSE(controls.Find(id)->isHidden()) << name << ": " << id;
  }
  for (int id : {IDC_SWAP, IDC_SMALL_CAMERA, IDC_SMALL_MAP, IDC_MAP, IDC_LIST}) {
    EXPECT_TRUE(controls.Find(id)->isHidden()) << name << ": " << id;
  }
}

TEST(MainWindow, PlacesTheViewsOfTwoCamerasInBothDisplayModes) {
  ScopedWorkDir work;
  ViewerCard card(3);
  CZarezeRadidaDlg window(kEnglish);
  ASSERT_NO_FATAL_FAILURE(ShowAndOpen(window, card, 0));
  ASSERT_EQ(window.Player().GetCameraCount(), 2);
  // Just opened: front main, rear small.
  EXPECT_EQ(window.State().panes, (PaneStates{kPaneMain, kPaneSmall, kPaneHidden}));

  const struct {
    PanePlacement normal;
    bool fullFront, fullRear;  // after full screen: which video the main pane shows
  } cases[] = {
      {{"front main, rear small",
        {kPaneMain, kPaneSmall, kPaneHidden},
        kMain,
        kSmall,
        kRearOff,
        true,
        true,
        false,
        true,
        false},
       true,
       false},
      {{"swapped",
        {kPaneSmall, kPaneMain, kPaneHidden},
        kSmall,
        kMain,
        kRearOff,
        true,
        true,
        false,
        true,
        false},
       false,
       true},
      {{"front main, map small",
        {kPaneMain, kPaneHidden, kPaneSmall},
        kMain,
        kRearOff,
        kSmall,
        true,
        false,
        true,
        false,
        true},
       true,
       false},
      {{"rear main, map small",
        {kPaneHidden, kPaneMain, kPaneSmall},
        kFrontOff,
        kMain,
        kSmall,
        false,
        true,
        true,
        false,
        true},
       false,
       true},
      // Map main: full screen first gives the main pane back to the camera of the small pane.
      {{"map main, front small",
        {kPaneSmall, kPaneHidden, kPaneMain},
        kSmall,
        kRearOff,
        kMain,
        true,
        false,
        true,
        true,
        false},
       true,
       false},
      {{"map main, rear small",
        {kPaneHidden, kPaneSmall, kPaneMain},
        kFrontOff,
        kSmall,
        kMain,
        false,
        true,
        true,
        false,
        true},
       false,
       true},
      {{"all hidden",
        {kPaneHidden, kPaneHidden, kPaneHidden},
        kFrontOff,
        kRearOff,
        kRearOff,
        false,
        false,
        false,
        false,
        false},
       false,
       false},
  };
  for (const auto& c : cases) {
    window.State().panes = c.normal.panes;
    window.ApplyPaneLayout();
    ExpectPlacement(window, c.normal);
    EXPECT_TRUE(window.Controls().Find(IDC_SWAP)->isEnabled()) << c.normal.name;
    EXPECT_TRUE(window.Controls().Find(IDC_FULL_SWAP)->isEnabled()) << c.normal.name;

    window.OnFullScreen();
    ExpectFullScreen(window, c.normal.name, c.fullFront, c.fullRear);
    EXPECT_NE(window.State().panes.map, kPaneMain) << c.normal.name;

    window.move(3, 5);  // wherever it was, it comes back centred
    window.OnWindowed();
    EXPECT_EQ(window.State().displayMode, kNormalMode) << c.normal.name;
    ExpectWindowedAndCentred(window);
    EXPECT_TRUE(window.HasBackground());
    EXPECT_TRUE(window.Controls().Find(IDC_WINDOW)->isHidden()) << c.normal.name;
    EXPECT_FALSE(window.Controls().Find(IDC_SWAP)->isHidden()) << c.normal.name;
  }
}

TEST(MainWindow, PlacesTheViewsOfOneCamera) {
  ScopedWorkDir work;
  ViewerCard card(3);
  CZarezeRadidaDlg window(kEnglish);
  ASSERT_NO_FATAL_FAILURE(ShowAndOpen(window, card, 1));
  ASSERT_EQ(window.Player().GetCameraCount(), 1);
  EXPECT_EQ(window.State().panes, (PaneStates{kPaneMain, kPaneHidden, kPaneHidden}));

  const PanePlacement cases[] = {
      {"front main",
       {kPaneMain, kPaneHidden, kPaneHidden},
       kMain,
       kRearOff,
       kRearOff,
       true,
       false,
       false,
       false,
       false},
      {"front main, map small",
       {kPaneMain, kPaneHidden, kPaneSmall},
       kMain,
       kRearOff,
       kSmall,
       true,
       false,
       true,
       false,
       true},
      // A rear state means nothing without a rear camera.
      {"rear small set anyway",
       {kPaneMain, kPaneSmall, kPaneHidden},
       kMain,
       kRearOff,
       kRearOff,
       true,
       false,
       false,
       false,
       false},
      // Last: with one camera only a hidden front video unchecks 1100, so the mark set here
      // would carry over into the rows above.
      {"map main, front small",
       {kPaneSmall, kPaneHidden, kPaneMain},
       kSmall,
       kRearOff,
       kMain,
       true,
       false,
       true,
       true,
       false},
  };
  for (const PanePlacement& c : cases) {
    window.State().panes = c.panes;
    window.ApplyPaneLayout();
    ExpectPlacement(window, c);
    for (int id : {IDC_SWAP, IDC_FULL_SWAP, IDC_SMALL_CAMERA, IDC_SMALL_MAP}) {
      EXPECT_FALSE(window.Controls().Find(id)->isEnabled()) << c.name << ": " << id;
    }
  }
  window.State().panes = {kPaneSmall, kPaneHidden, kPaneMain};
  window.OnFullScreen();
  ExpectFullScreen(window, "one camera, map main", true, false);
  window.OnWindowed();
  ExpectWindowedAndCentred(window);
}

TEST(MainWindow, FullScreenWhileStoppedZeroesBothTimeLabels) {
  ScopedWorkDir work;
  CZarezeRadidaDlg window(kEnglish);
  ShowAndWait(window);
  ASSERT_EQ(window.Player().Status(), CQMVMediaPlayer::kStopped);
  window.SetLabelText(IDC_POS_LABEL, QStringLiteral("00:01:02"));
  window.SetLabelText(IDC_LENGTH_LABEL, QStringLiteral("00:03:04"));
  window.OnFullScreen();
  EXPECT_EQ(window.Controls().Label(IDC_POS_LABEL)->text(), QStringLiteral("00:00:00"));
  EXPECT_EQ(window.Controls().Label(IDC_LENGTH_LABEL)->text(), QStringLiteral("00:00:00"));
  ExpectFullScreen(window, "stopped", false, false);
  EXPECT_FALSE(window.HasBackground());  // black behind the controls
  // Pressed again in full screen: the arrangement is made again, nothing else changes.
  window.OnFullScreen();
  ExpectFullScreen(window, "stopped, again", false, false);
  window.OnWindowed();
  ExpectWindowedAndCentred(window);
  EXPECT_TRUE(window.HasBackground());
}

}  // namespace
}  // namespace roadkeep::test
