// The first opening of a recording loads the map module and starts the web engine inside the
// window. The window must stay the one the user has: the same X window with its raster
// surface, every control repainted without a click, and the first click taken. Real mouse
// events on the real window under an X server, with the map module on.
#include <gtest/gtest.h>

#include <QTest>
#include <QTreeView>
#include <QWindow>
#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "app/map_pane.h"
#include "app/pane_states.h"
#include "app/playback_controller.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "resources/resource_ids.h"
#include "sensors/map_view.h"
#include "tests/app/viewer_journey.h"

namespace roadkeep::test {
namespace {

class COnline : public VNetworkState {
 public:
  bool IsOnline() override { return true; }
};

// The seconds of an "hh:mm:ss" label; -1 for any other text.
int Seconds(const QString& text) {
  const QStringList parts = text.split(':');
  return parts.size() == 3 ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt()
                           : -1;
}

// What the screen shows where the control is.
QImage Painted(const QWidget& control) {
  return GrabScreen().copy(QRect(control.mapToGlobal(QPoint(0, 0)), control.size()));
}

class WindowIdentity : public ViewerJourney {
 protected:
  void SetUp() override {
    ViewerJourney::SetUp();
    if (IsSkipped()) return;
    if (!MapViewAllowed()) GTEST_SKIP() << "the map module may not run here";
    m_card = std::make_unique<ViewerCard>(30);  // still playing when STOP is clicked
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
  }

  // A new window with the card listed: its first opening is still to come.
  void OpenWithCard() {
    m_window.reset();
    ASSERT_NO_FATAL_FAILURE(Open());
    W().Map().SetNetworkState(std::make_unique<COnline>());
    // Found as the card watch finds a card, which lists it.
    setenv("ROADKEEP_CARD_DIRS", m_card->dir.Path().c_str(), 1);
    W().PollCard();
    ASSERT_GT(ListRows(W()), 0);
  }

  // Through the window system's path, which makes the double click out of two clicks.
  void DoubleClickRow(int row) {
    QTreeView& list = *W().Controls().List();
    const QPoint at = list.viewport()->mapTo(&W(), ListRowRect(W(), row).center());
    QTest::mouseDClick(W().windowHandle(), Qt::LeftButton, {}, at);
  }
  void ClickOnWindow(int id) {
    QWidget* control = Control(id);
    ASSERT_TRUE(control->isVisible() && control->isEnabled()) << id;
    QTest::mouseClick(W().windowHandle(), Qt::LeftButton, {},
                      control->mapTo(&W(), control->rect().center()));
  }
  // Whether the screen shows the control as the window would paint it now.
  bool OnScreenAsDrawn(const QWidget& control) {
    const QRect inWindow(control.mapTo(&W(), QPoint(0, 0)), control.size());
    return SameFraction(Painted(control), W().grab(inWindow).toImage()) > 0.98;
  }
};

struct FirstClick {
  const char* name;
  bool mapFirst;  // the Map button is clicked before STOP
};

// The cases ask the same of the window; they differ in what the user clicks first.
TEST_F(WindowIdentity, FirstPlayKeepsTheWindowRepaintsItAndTakesTheFirstClick) {
  for (const FirstClick& c : {FirstClick{"STOP first", false}, FirstClick{"Map first", true}}) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(OpenWithCard());
    const WId before = W().winId();
    const QLabel& position = *W().Controls().Label(IDC_POS_LABEL);
    const QImage stopped = Painted(position);

    DoubleClickRow(0);
    ASSERT_TRUE(W().Playback().IsOpen());
    ASSERT_TRUE(WaitFor([&] { return W().Map().View() && W().Map().View()->PageLoaded(); }, 60000))
        << "the map page did not load";
    EXPECT_EQ(W().winId(), before) << "the first opening made a new native window";
    EXPECT_EQ(W().windowHandle()->surfaceType(), QSurface::RasterSurface);

    // No input from here on: the position refresh alone must reach the screen.
    EXPECT_TRUE(WaitFor(
        [&] {
          return Seconds(position.text()) > 0 && SameFraction(Painted(position), stopped) < 0.98 &&
                 OnScreenAsDrawn(position);
        },
        kWaitMs))
        << "the label says " << position.text().toStdString();
    ASSERT_TRUE(WaitFor([&] { return Control(IDC_MAP)->isEnabled(); }, kWaitMs));
    for (int id : {IDC_SPEED_LABEL, IDC_POS_SLIDER, IDC_GRAPH, IDC_MAP}) {
      EXPECT_TRUE(WaitFor([&] { return OnScreenAsDrawn(*Control(id)); }, kWaitMs))
          << "control " << id << " is not repainted";
    }

    if (c.mapFirst) {
      ClickOnWindow(IDC_MAP);
      EXPECT_EQ(W().State().panes.map, kPaneMain) << "the first click was lost";
      EXPECT_TRUE(WaitFor([&] { return W().Map().RoutesDrawn() > 0; }, kWaitMs));
      EXPECT_TRUE(WaitFor(
          [&] { return MostlyNonBlack(GrabScreen().copy(OnScreen(W(), kMainPane))); }, kWaitMs))
          << "the map is not on the screen";
      EXPECT_EQ(W().winId(), before) << "showing the map made a new native window";
      EXPECT_EQ(W().windowHandle()->surfaceType(), QSurface::RasterSurface);
      SaveShot(GrabScreen(), "identity-map-shown.png");

      // Into the web view and out again: the click on STOP must still count.
      QTest::mouseClick(W().windowHandle(), Qt::LeftButton, {}, kMainPane.center());
    }
    ClickOnWindow(IDC_STOP);
    EXPECT_FALSE(W().Playback().IsOpen()) << "the click on STOP was lost";
    EXPECT_EQ(Front().width(), 0);
    EXPECT_TRUE(WaitFor([&] { return OnScreenAsDrawn(position); }, kWaitMs));
  }
}

}  // namespace
}  // namespace roadkeep::test
