// The map in the real window, playing a made card: the page requested once per run and only
// while online, the position refresh moving the marker only while the map is on the screen,
// and screenshots of the map in both panes. The same cases run offscreen (label gui), where
// the web engine must never start, and under an X server with the real engine (label display).
#include "app/map_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineF>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/pane_states.h"
#include "app/telemetry_view.h"
#include "app/window_controls.h"
#include "resources/resource_ids.h"
#include "sensors/graph_static.h"
#include "sensors/gps_data.h"
#include "sensors/map_view.h"
#include "sensors/script_call.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/window_test_util.h"

namespace {

using roadkeep::test::GrabScreen;
using roadkeep::test::InsertCard;
using roadkeep::test::SaveShot;
using roadkeep::test::ScopedWorkDir;
using roadkeep::test::ShowAndWait;
using roadkeep::test::ViewerCard;
using roadkeep::test::WaitFor;

// The network state the test switches.
class CSwitchedNetwork : public VNetworkState {
 public:
  explicit CSwitchedNetwork(const bool* online) : m_online(online) {}
  bool IsOnline() override { return *m_online; }

 private:
  const bool* m_online;
};

class MapInWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // roadkeep-tool beside this program; no sound device needed.
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    s_card = new ViewerCard(12);
  }
  static void TearDownTestSuite() {
    delete s_card;
    s_card = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_card->ok);
    m_window = std::make_unique<CZarezeRadidaDlg>(roadkeep::test::kEnglish);
    W().Map().SetNetworkState(std::make_unique<CSwitchedNetwork>(&m_online));
    ASSERT_NO_FATAL_FAILURE(ShowAndWait(W()));
    ASSERT_TRUE(InsertCard(W(), s_card->dir.Path().string()));
  }

  CZarezeRadidaDlg& W() { return *m_window; }
  bool Open(int recording) {
    return W().OpenRecording(QString::fromStdString(s_card->Name(recording)));
  }
  // Waits for the page where the engine may run; elsewhere gives the event loop time to
  // start one by mistake.
  bool PageReady() {
    if (!MapViewAllowed()) {
      QTest::qWait(200);
      return W().Map().View() == nullptr;
    }
    return WaitFor([&] { return W().Map().View() && W().Map().View()->PageLoaded(); }, 30000);
  }
  QString Eval(const QString& script) {
    QString value;
    bool done = false;
    W().Map().View()->RunScript(script, [&](const QString& result) {
      value = result;
      done = true;
    });
    WaitFor([&] { return done; });
    return value;
  }
  // The marker's position as the page reports it for a record drawn there.
  static std::string MarkerText(const CGPSData& gps) {
    const ScriptCall call = ParseScriptCall(DrawCurrentCall(gps.GetLatitude(), gps.GetLongitude()));
    return call.arguments[0] + "," + call.arguments[1];
  }
  QString Marker() {
    return Eval(QStringLiteral("currentMarker.getLatLng().lat.toFixed(6) + ',' + "
                               "currentMarker.getLatLng().lng.toFixed(6)"));
  }
  // Pixels between the car's marker (on the route, or the position's) and the middle of the
  // map as the page lays it out.
  int MarkerOffCentre() {
    bool ok = false;
    const int pixels = Eval(QStringLiteral(
        "String(Math.round(map.latLngToContainerPoint((carMarker || currentMarker).getLatLng())"
        ".distanceTo(map.getSize().divideBy(2))))")).toInt(&ok);
    return ok ? pixels : 9999;
  }
  // The recording's track has been read for the map and the graph.
  bool RouteRead() {
    return WaitFor([&] { return W().Telemetry().Telemetry() != nullptr; }, 10000);
  }

  static ViewerCard* s_card;
  ScopedWorkDir m_work;
  bool m_online = true;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

ViewerCard* MapInWindow::s_card = nullptr;

TEST_F(MapInWindow, PageIsRequestedAtTheFirstOpeningAndNotAgain) {
  EXPECT_EQ(W().Map().View(), nullptr) << "the web engine started before any opening";
  ASSERT_TRUE(Open(0));
  EXPECT_TRUE(W().State().mapPageLoaded);
  EXPECT_EQ(W().Map().PageRequests(), 1);
  EXPECT_EQ(W().Controls().MapView()->geometry(), kRearHidden);
  ASSERT_TRUE(PageReady());
  const VMapView* view = W().Map().View();

  ASSERT_TRUE(Open(1));
  ASSERT_TRUE(Open(2));
  EXPECT_EQ(W().Map().PageRequests(), 1);
  EXPECT_EQ(W().Map().View(), view);
  if (view != nullptr) {
    EXPECT_TRUE(W().Map().View()->PageLoaded());
  }
}

TEST_F(MapInWindow, OfflineAtTheFirstOpeningLeavesThePageToTheNextOpeningOnline) {
  m_online = false;
  ASSERT_TRUE(Open(0));
  EXPECT_FALSE(W().State().mapPageLoaded);
  EXPECT_EQ(W().Map().PageRequests(), 0);
  QTest::qWait(200);
  EXPECT_EQ(W().Map().View(), nullptr);

  m_online = true;
  ASSERT_TRUE(Open(1));
  EXPECT_TRUE(W().State().mapPageLoaded);
  EXPECT_EQ(W().Map().PageRequests(), 1);
  EXPECT_TRUE(PageReady());

  m_online = false;  // once loaded, the page stays
  ASSERT_TRUE(Open(2));
  EXPECT_TRUE(W().State().mapPageLoaded);
  if (MapViewAllowed()) {
    EXPECT_TRUE(W().Map().View()->PageLoaded());
  }
}

// How the map leaves the screen and comes back: the pane layout, or the whole window.
struct HideAndShow {
  const char* name;
  void (*hide)(CZarezeRadidaDlg&);
  void (*show)(CZarezeRadidaDlg&);
};

TEST_F(MapInWindow, HiddenMapIsSentNoPositionAndShowsTheLatestWhenItComesBack) {
  if (!MapViewAllowed()) GTEST_SKIP() << "the web engine needs a display";
  ASSERT_TRUE(Open(0));
  ASSERT_TRUE(PageReady());
  // Timer 100 enables the map with the first valid record; more refreshes follow with the
  // map hidden, as the opening leaves it.
  ASSERT_TRUE(WaitFor([&] { return W().Controls().Find(IDC_MAP)->isEnabled(); }, 15000));
  // Without a route the marker goes where the position refresh puts it.
  ASSERT_TRUE(RouteRead());
  W().Map().ShowRoute({});
  const int from = W().Player().GetPositionMs();
  ASSERT_TRUE(WaitFor([&] { return W().Player().GetPositionMs() >= from + 2500; }, 15000));
  EXPECT_FALSE(W().Map().Shown());
  EXPECT_EQ(W().Map().PositionsDrawn(), 0) << "the hidden map was sent positions";
  W().OnPause();
  CGPSData car;
  ASSERT_TRUE(W().Samples().LastGps(&car));
  ASSERT_TRUE(car.IsValid());
  W().Map().ShowPosition(car);  // the refresh's call, now that playback stands still

  W().OnMapButton();  // the map in the main pane: the kept record is drawn at once
  ASSERT_TRUE(W().Map().Shown());
  EXPECT_EQ(W().Map().PositionsDrawn(), 1);
  EXPECT_EQ(Marker().toStdString(), MarkerText(car));
  W().Map().ShowPosition(car);  // the car stands: nothing to redraw
  EXPECT_EQ(W().Map().PositionsDrawn(), 1);

  const HideAndShow cases[] = {
      {"pane layout", [](CZarezeRadidaDlg& w) { w.OnSmallPaneCamera(); },
       [](CZarezeRadidaDlg& w) { w.OnMapButton(); }},
      {"minimised window", [](CZarezeRadidaDlg& w) { w.showMinimized(); },
       [](CZarezeRadidaDlg& w) { w.showNormal(); }},
  };
  for (const HideAndShow& c : cases) {
    SCOPED_TRACE(c.name);
    const int drawn = W().Map().PositionsDrawn();
    c.hide(W());
    ASSERT_TRUE(WaitFor([&] { return !W().Map().Shown(); }));
    car.latitude += 0.5;  // the car moved on (raw ddmm.mmmm)
    W().Map().ShowPosition(car);
    car.latitude += 0.5;
    W().Map().ShowPosition(car);
    EXPECT_EQ(W().Map().PositionsDrawn(), drawn);
    c.show(W());
    ASSERT_TRUE(WaitFor([&] { return W().Map().Shown(); }));
    EXPECT_EQ(W().Map().PositionsDrawn(), drawn + 1) << "only the latest is drawn";
    EXPECT_EQ(Marker().toStdString(), MarkerText(car));
  }
}

// For a person to look at: build/viewer-shots/map-main-pane.png and map-small-pane.png.
TEST_F(MapInWindow, ScreenshotsOfTheMapInTheMainAndTheSmallPane) {
  if (!MapViewAllowed()) GTEST_SKIP() << "the web engine needs a display";
  ASSERT_TRUE(Open(0));  // two cameras
  ASSERT_TRUE(PageReady());
  ASSERT_TRUE(WaitFor([&] { return W().Controls().Find(IDC_SMALL_MAP)->isEnabled(); }, 15000));
  W().OnPause();  // a still picture beside the map
  ASSERT_TRUE(RouteRead());

  W().OnMapButton();
  EXPECT_EQ(W().State().panes.map, kPaneMain);
  EXPECT_EQ(W().Controls().MapView()->geometry(), kMainPane);
  EXPECT_EQ(W().Map().View()->Widget()->size(), kMainPane.size());
  QTest::qWait(1500);  // the page repaints at its new size
  SaveShot(GrabScreen(), QStringLiteral("map-main-pane.png"));
  // The map follows the car: it stays in the middle half.
  EXPECT_LE(MarkerOffCentre(), kMainPane.height() / 4) << "the car is not in the middle of the map";

  W().OnMapButton();  // back: the front camera in the main pane
  W().OnSmallPaneMap();
  EXPECT_EQ(W().State().panes.map, kPaneSmall);
  EXPECT_EQ(W().Controls().MapView()->geometry(), kSmallPane);
  EXPECT_EQ(W().Map().View()->Widget()->size(), kSmallPane.size());
  QTest::qWait(1500);
  SaveShot(GrabScreen(), QStringLiteral("map-small-pane.png"));
  EXPECT_LE(MarkerOffCentre(), kSmallPane.height() / 4) << "the car is not in the middle of the map";
}

// The journey on the map: the route drawn in the speed's colours, the car moving along it
// at the frame rate (not once a second), and a click on the route seeking there.
TEST_F(MapInWindow, RouteIsDrawnTheCarMovesSmoothlyAndAClickOnTheRouteSeeks) {
  if (!MapViewAllowed()) GTEST_SKIP() << "the web engine needs a display";
  ASSERT_TRUE(Open(2));  // twelve seconds with a fix every second
  ASSERT_TRUE(PageReady());
  ASSERT_TRUE(RouteRead());
  W().OnMapButton();
  ASSERT_TRUE(WaitFor([&] { return Eval(QStringLiteral("String(carMarker !== null)")) == "true"; }, 10000));
  // The car's place, sampled every 50 ms for a second and a half: smooth means many places,
  // each step a fraction of a second's drive.
  std::vector<QPointF> places;
  for (int i = 0; i < 30; ++i) {
    const QStringList p = Eval(QStringLiteral(
        "var q = map.project(carMarker.getLatLng()).subtract(map.getPixelOrigin()); "
        "q.x.toFixed(2) + ',' + q.y.toFixed(2)"))
                              .split(QLatin1Char(','));
    if (p.size() == 2) places.emplace_back(p[0].toDouble(), p[1].toDouble());
    QTest::qWait(50);
  }
  ASSERT_GE(places.size(), 20u);
  double travelled = 0, longest = 0;
  int moves = 0;
  for (size_t i = 1; i < places.size(); ++i) {
    const double step = QLineF(places[i - 1], places[i]).length();
    // The map may pan under the car as it nears the edge: a jump of many pixels is that.
    if (step > 40) continue;
    travelled += step;
    longest = std::max(longest, step);
    moves += step > 0.01 ? 1 : 0;
  }
  EXPECT_GE(moves, 10) << "the car moved in " << moves << " steps";
  EXPECT_LT(longest, travelled / 4) << "one step took a quarter of the way";

  W().OnPause();
  QTest::qWait(300);
  const QImage shot = GrabScreen();
  SaveShot(shot, QStringLiteral("map-route.png"));
  // The route in the speed's colours (blue to green at these speeds) across the pane.
  int coloured = 0;
  const QRect pane = W().Controls().MapView()->geometry().translated(W().geometry().topLeft());
  for (int y = pane.top(); y < pane.bottom(); ++y) {
    for (int x = pane.left(); x < pane.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (c.blue() > c.red() + 60 || c.green() > c.red() + 60) ++coloured;
    }
  }
  EXPECT_GT(coloured, 100) << "no route on the map";

  // A click on the route at a fix of the fourth second seeks there.
  const roadkeep::sensors::PlayedTelemetry* t = W().Telemetry().Telemetry();
  ASSERT_NE(t, nullptr);
  ASSERT_GT(t->route.fixes.size(), 6u);
  const roadkeep::sensors::GpsFix& fix = t->route.fixes[t->route.fixes.size() / 2];
  const QStringList at = Eval(QStringLiteral("var q = map.latLngToContainerPoint([%1, %2]); "
                                             "Math.round(q.x) + ',' + Math.round(q.y)")
                                  .arg(fix.latitude, 0, 'f', 7)
                                  .arg(fix.longitude, 0, 'f', 7))
                             .split(QLatin1Char(','));
  ASSERT_EQ(at.size(), 2);
  QWidget* page = W().Map().View()->Widget()->focusProxy();
  ASSERT_NE(page, nullptr);
  QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(at[0].toInt(), at[1].toInt()));
  EXPECT_TRUE(WaitFor([&] { return std::abs(W().Player().GetPositionMs() - fix.ms) < 200; }, 5000))
      << "at " << W().Player().GetPositionMs() << " ms, not " << fix.ms;
}

// Impacts in the window: the event recording's blow (make-card puts one in its middle) is
// marked on the G-sensor graph over the threshold line, and the impacts button's menu says the
// recorder's clock against GPS and seeks to 2 s before the blow.
TEST_F(MapInWindow, ImpactsAreMarkedOnTheGraphAndTheMenuSeeksToBeforeEach) {
  ASSERT_TRUE(Open(1));  // the event recording: a blow at 6 s
  ASSERT_TRUE(RouteRead());
  W().OnPause();
  QToolButton* button = W().Telemetry().ImpactsButton();
  ASSERT_TRUE(WaitFor([&] { return button->isVisible(); }));
  EXPECT_EQ(button->text().toStdString(), "1 impact");

  // Graph point 5 is the sample of the sixth second: a mark across the plot there.
  const CGraphStatic& graph = *W().Controls().Graph();
  const QRect plot = graph.PlotRect();
  int marked = 0;
  for (int y = plot.top(); y < plot.bottom(); ++y) {
    const QColor c = graph.Picture().pixelColor(plot.left() + 5 * 13, y);
    marked += c.red() > 200 && c.green() < 120 && c.blue() < 80 ? 1 : 0;
  }
  EXPECT_GT(marked, plot.height() / 2) << "no mark at the impact";

  QStringList items;
  QAction* impact = nullptr;
  QTimer::singleShot(300, [&] {
    QMenu* menu = button->menu();
    for (QAction* a : menu->actions()) {
      items << a->text();
      if (a->isEnabled() && !a->isSeparator()) impact = a;
    }
    if (impact != nullptr) {
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(impact).center());
    } else {
      menu->close();
    }
  });
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !items.isEmpty(); }));
  EXPECT_TRUE(items.contains(QStringLiteral("Recorder clock: GPS +0:00:00"))) << items.join('|').toStdString();
  ASSERT_NE(impact, nullptr);
  EXPECT_TRUE(impact->text().startsWith(QStringLiteral("00:00:06"))) << impact->text().toStdString();
  EXPECT_TRUE(impact->text().contains(QStringLiteral("front"))) << impact->text().toStdString();
  EXPECT_TRUE(WaitFor([&] { return std::abs(W().Player().GetPositionMs() - 4000) <= 100; }, 5000))
      << "at " << W().Player().GetPositionMs() << " ms";
}

// The GPS track and the sensor data saved from the window: the file dialog answered, the
// file written whole while the recording plays on, the status line saying so.
TEST_F(MapInWindow, TrackAndSensorFilesAreSavedFromTheWindow) {
  ASSERT_TRUE(Open(1));
  const std::vector<Recording> recordings = W().RecordingsNamed(QString::fromStdString(s_card->Name(1)));
  ASSERT_EQ(recordings.size(), 1u);
  const struct {
    bool gpx;
    const char* file;
    const char* holds;
  } cases[] = {{true, "event.gpx", "<trkpt lat="}, {false, "event.csv", "time_utc,recording_ms,lat,lon"}};
  for (const auto& c : cases) {
    const QString path = QString::fromStdString(m_work.File(c.file));
    QTimer::singleShot(200, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        if (dialog == nullptr || !dialog->isVisible()) continue;
        // The dialog leaves its name field alone while that has the focus: type it there.
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog*>(dialog)->accept();
      }
    });
    W().SaveTrackFile(recordings, c.gpx);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(path); })) << c.file;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(c.holds)) << c.file;
    EXPECT_EQ(W().Player().Status(), CQMVMediaPlayer::kPlaying);
  }
}

}  // namespace
