// The map view with the real web engine (under an X server, no network needed): the page
// from the resources, DrawCurrent read back from the page, calls that must do nothing, the
// page's own marker functions, the tile server setting, what the tile requests carry to a
// tile server of the test's own, and what the page may do with text from the card: show it,
// run no script of it, reach no other host, go nowhere. Skips without a display.
#include "sensors/map_view.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/version.h"
#include "sensors/gps_data.h"
#include "sensors/route_script.h"
#include "sensors/script_call.h"

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

// The map's HTTP cache folder: under the run's own XDG_CACHE_HOME (qt_test_main.cpp).
QString MapCacheFolder() { return qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/roadkeep/map"); }

// A tile server on 127.0.0.1: answers every request with one 256x256 PNG, cacheable for a
// day and different from every other server's, and keeps each request's path and headers
// (names in lower case). Connections stay open for further requests, as a browser expects.
class CTileServer {
 public:
  struct Request {
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;
  };

  CTileServer() {
    m_server.listen(QHostAddress::LocalHost);
    QImage tile(256, 256, QImage::Format_RGB32);
    tile.fill(qRgb(230, 225, 215));
    tile.setText(QStringLiteral("server"), QString::number(m_server.serverPort()));
    QBuffer buffer(&m_png);
    buffer.open(QIODevice::WriteOnly);
    tile.save(&buffer, "PNG");
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) Serve(socket);
    });
  }

  // The address template for ROADKEEP_TILE_URL.
  QByteArray TileUrl() const {
    return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/{z}/{x}/{y}.png";
  }
  const QByteArray& Png() const { return m_png; }
  const std::vector<Request>& Requests() const { return m_requests; }

 private:
  void Serve(QTcpSocket* socket) {
    auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
      received->append(socket->readAll());
      for (qsizetype end; (end = received->indexOf("\r\n\r\n")) >= 0;) {
        m_requests.push_back(Parse(received->left(end)));
        received->remove(0, end + 4);
        socket->write(
            "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n"
            "Cache-Control: max-age=86400\r\nContent-Length: " +
            QByteArray::number(m_png.size()) + "\r\n\r\n" + m_png);
      }
    });
  }

  static Request Parse(const QByteArray& head) {
    const QList<QByteArray> lines = head.split('\n');
    Request request;
    request.path = lines.value(0).split(' ').value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const qsizetype colon = lines[i].indexOf(':');
      if (colon <= 0) continue;
      request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                             lines[i].mid(colon + 1).trimmed());
    }
    return request;
  }

  QTcpServer m_server;
  QByteArray m_png;
  std::vector<Request> m_requests;
};

// The map's tile layer, in the page's script.
constexpr char kTileLayer[] =
    "Object.values(map._layers).filter(function (l) { return l._url; })[0]";

class MapViewInBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!MapViewAllowed()) GTEST_SKIP() << "the web engine needs a display (xvfb-run)";
    m_window = std::make_unique<QWidget>();
    m_window->resize(640, 360);
    m_window->show();
  }

  // A view filling the window, its page loaded; its tiles from tileUrl when one is given.
  VMapView* LoadedView(const QByteArray& tileUrl = {}) {
    if (!tileUrl.isEmpty()) qputenv("ROADKEEP_TILE_URL", tileUrl);
    VMapView* view = CreateMapView(m_window.get());
    if (view != nullptr) {
      view->Widget()->setGeometry(0, 0, 640, 360);
      view->Widget()->show();
      view->Navigate(QString::fromLatin1(kMapPageAddress));
      if (!WaitFor([&] { return view->PageLoaded(); })) view = nullptr;
    }
    qunsetenv("ROADKEEP_TILE_URL");
    return view;
  }

  // The value of a script expression in the page (Eval) or of a call (Call), as text;
  // "<none>" when it never came.
  static QString Result(VMapView* view, const QString& text,
                        void (VMapView::*run)(const QString&, ScriptDone)) {
    QString value = QStringLiteral("<none>");
    bool done = false;
    (view->*run)(text, [&](const QString& result) {
      value = result;
      done = true;
    });
    WaitFor([&] { return done; });
    return value;
  }
  static QString Eval(VMapView* view, const QString& script) {
    return Result(view, script, &VMapView::RunScript);
  }
  static QString Call(VMapView* view, const QString& callText) {
    return Result(view, callText, &VMapView::CallScript);
  }

  static QString Marker(VMapView* view) {
    return Eval(view, QStringLiteral("currentMarker.getLatLng().lat.toFixed(6) + ',' + "
                                     "currentMarker.getLatLng().lng.toFixed(6)"));
  }

  std::unique_ptr<QWidget> m_window;
};

TEST_F(MapViewInBrowser, PageLoadsFromTheResourcesWithItsMapAndMarkerAtTheStartingCentre) {
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr) << "the map module or its page did not load";
  EXPECT_EQ(Eval(view, QStringLiteral("document.title")), "Remove Markers");
  EXPECT_EQ(Eval(view, QStringLiteral("typeof L")), "object");
  EXPECT_EQ(Eval(view, QStringLiteral("currentMarker.getLatLng().lat.toFixed(7) + ',' + "
                                      "currentMarker.getLatLng().lng.toFixed(7) + ' ' + "
                                      "map.getZoom()")),
            "37.5660483,126.9779299 16");
  EXPECT_TRUE(Eval(view, QStringLiteral("document.querySelector('.leaflet-control-attribution')"
                                        ".textContent"))
                  .contains("OpenStreetMap"));
  // The marker's picture comes from the resources too.
  EXPECT_EQ(Eval(view, QStringLiteral("String(document.querySelector('.leaflet-marker-icon')"
                                      ".naturalWidth)")),
            "25");
}

TEST_F(MapViewInBrowser, DrawCurrentMovesTheMarkerAndPansTheMapThere) {
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(Call(view, QString::fromStdString(DrawCurrentCall(-33.86882, 151.20929))), "");
  EXPECT_EQ(Marker(view), "-33.868820,151.209290");
  EXPECT_TRUE(WaitFor([&] {
    return Eval(view, QStringLiteral("map.getCenter().lat.toFixed(4) + ',' + "
                                     "map.getCenter().lng.toFixed(4)")) == "-33.8688,151.2093";
  })) << "the map did not pan to the marker";

  // From a GPS record: south and west keep their signs; an invalid record moves nothing.
  view->ShowPosition(CGPSData("G$GPRMC,1,A,3733.9614,S,12658.6776,W,1,1,010114", 0));
  EXPECT_EQ(Marker(view), "-37.566023,-126.977960");
  view->ShowPosition(CGPSData("G$GPRMC,1,V,4807.038,N,01131.000,E,1,1,010114", 0));
  view->ShowPosition(CGPSData(("G$GPRMC,1,A," + std::string(300, '9') + ",N,1,E,1,1,010114")
                                  .c_str(), 0));
  EXPECT_EQ(Marker(view), "-37.566023,-126.977960");
}

TEST_F(MapViewInBrowser, CallsBeforeTheLoadOrToFunctionsThePageLacksDoNothing) {
  VMapView* early = CreateMapView(m_window.get());
  ASSERT_NE(early, nullptr);
  EXPECT_FALSE(early->PageLoaded());
  EXPECT_EQ(Call(early, QStringLiteral("javascript:DrawCurrent('1', '2')")), "");

  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  const struct {
    const char* text;
    const char* result;
  } calls[] = {
      {"javascript:NoSuchFunction('1', '2')", ""},
      {"javascript:DrawCurrent 1 2", ""},           // no "(": no function name
      {"", ""},
      {"javascript:decodeURIComponent(%)", ""},     // throws inside: caught
      {"javascript:String(abc, def)", "abc"},        // a string result comes back
      {"javascript:parseFloat('1.5')", ""},          // a number is no result text
  };
  for (const auto& c : calls) EXPECT_EQ(Call(view, c.text), c.result) << c.text;
  EXPECT_EQ(Marker(view), "37.566048,126.977930");  // unmoved
}

TEST_F(MapViewInBrowser, ExtraMarkersAreAddedHiddenShownAndDeleted) {
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  // Counts: extra markers kept, marker pictures on the map (the car's included).
  const QString counts = QStringLiteral(
      "markers.length + '/' + document.querySelectorAll('.leaflet-marker-icon').length");
  Eval(view, QStringLiteral("addMarker(L.latLng(37.567, 126.978)); "
                            "addMarker(L.latLng(37.565, 126.977)); 0"));
  EXPECT_EQ(Eval(view, counts), "2/3");
  Eval(view, QStringLiteral("clearMarkers(); 0"));
  EXPECT_EQ(Eval(view, counts), "2/1");
  Eval(view, QStringLiteral("showMarkers(); 0"));
  EXPECT_EQ(Eval(view, counts), "2/3");
  Eval(view, QStringLiteral("deleteMarkers(); showMarkers(); 0"));
  EXPECT_EQ(Eval(view, counts), "0/1");
}

TEST_F(MapViewInBrowser, TileServerComesFromTheEnvironmentOrOpenStreetMap) {
  const QString tileUrl = QString::fromLatin1(kTileLayer) + "._url";
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(Eval(view, tileUrl), "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
  VMapView* own = LoadedView("http://tiles.example/{z}/{x}/{y}.png?a=\"b\"");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(Eval(own, tileUrl), "http://tiles.example/{z}/{x}/{y}.png?a=\"b\"");
  // An address whose origin cannot go into the page's policy: no tiles at all.
  VMapView* refused = LoadedView("javascript:alert(1)//{z}/{x}/{y}");
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(Eval(refused, QStringLiteral("String(window.roadkeepTileUrl) + ' ' + "
                                         "document.querySelectorAll('.leaflet-tile').length")),
            " 0");
}

// Tile servers ask a program to name itself and to send a Referer (OpenStreetMap blocks
// requests that look like a stray browser): every tile request of the page carries both.
TEST_F(MapViewInBrowser, TileRequestsNameTheViewerAndCarryItsReferer) {
  CTileServer server;
  VMapView* view = LoadedView(server.TileUrl());
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    return !server.Requests().empty() &&
           Eval(view, QStringLiteral("String(%1.isLoading())").arg(kTileLayer)) == "false";
  })) << "no tiles were asked for";

  const struct {
    const char* header;
    QByteArray value;
  } expected[] = {
      {"user-agent", QByteArray("Roadkeep/") + kViewerVersion},
      {"referer", "http://roadkeep.invalid/"},
  };
  for (const CTileServer::Request& request : server.Requests()) {
    EXPECT_TRUE(request.path.startsWith("/16/") && request.path.endsWith(".png"))
        << request.path.toStdString();
    for (const auto& e : expected) {
      EXPECT_EQ(request.headers.value(e.header).toStdString(), e.value.toStdString())
          << e.header << " of " << request.path.toStdString();
    }
  }
}

// Tiles are kept on disk, in the user's cache folder, so a trip played again (or the next
// run) does not fetch them from the server again.
TEST_F(MapViewInBrowser, TilesAreKeptInTheCacheFolderOnDisk) {
  CTileServer server;
  VMapView* view = LoadedView(server.TileUrl());
  ASSERT_NE(view, nullptr);
  const auto holdsTile = [&] {
    QDirIterator files(MapCacheFolder(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
      QFile file(files.next());
      if (file.open(QIODevice::ReadOnly) && file.readAll().contains(server.Png())) return true;
    }
    return false;
  };
  EXPECT_TRUE(WaitFor(holdsTile)) << "no tile in " << MapCacheFolder().toStdString();
}

// Names a card may give its recordings, each meant to make the page build elements or run
// script of its own: the tooltip holds each as text, exactly, and nothing else. The page's own
// look still applies under its policy: its style sheet, and the car's arrow turned by script.
TEST_F(MapViewInBrowser, RouteShowsMarkTextAsTextOnlyInThePagesOwnStyle) {
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  roadkeep::sensors::RecordingTrack track;  // heading east, the car half way along
  track.fixes = {
      {.ms = 0, .latitude = 37.566, .longitude = 126.9779, .courseDeg = 90, .startsRun = true},
      {.ms = 1000, .latitude = 37.566, .longitude = 126.979, .courseDeg = 90}};
  const std::string names[] = {
      "E<img/src/onerror=import('http://0:8')>",
      "<b>x</b><iframe src=\"http://example.invalid/\"></iframe>",
      "\"><script>document.title='taken'</script>",
      "</span><svg onload=\"document.title='taken'\">",
      "&lt;b&gt; &amp; \\u2028 \xE2\x80\xA8 end",
  };
  // Each mark's tooltip opened: the elements inside its text node's span, then its text; then
  // elements or handlers no name may make anywhere in the page, the page's own scripts, title.
  const QString shown = QStringLiteral(
      "var out = []; routeLayer.eachLayer(function (l) {"
      "  if (!l.getTooltip || !l.getTooltip()) return; l.openTooltip();"
      "  var e = l.getTooltip().getElement();"
      "  out.push(e.querySelectorAll('span *').length + ':' + e.textContent); });"
      "out.join('|') + ' ' + document.querySelectorAll('b, iframe, [onerror], [onload]').length"
      "  + ' ' + document.scripts.length + ' ' + document.title");
  for (const std::string& name : names) {
    const roadkeep::sensors::RouteMark marks[] = {{.ms = 500, .text = name}};
    Eval(view, QString::fromStdString(roadkeep::sensors::SetRouteScript(track, marks) + "; " +
                                      roadkeep::sensors::SetClockScript(500, 1, false, 0) + "; 0"));
    EXPECT_EQ(Eval(view, shown), QString::fromStdString("0:" + name + " 0 2 Remove Markers"));
  }
  EXPECT_EQ(Eval(view, QStringLiteral(
                           "var arrow = document.querySelector('.car-arrow');"
                           "arrow.style.transform + ' ' + (getComputedStyle(arrow).transform !== "
                           "'none') + ' ' + getComputedStyle(document.querySelector('.speed-legend"
                           " .bar')).backgroundImage.startsWith('linear-gradient')")),
            "rotate(90deg) true true");
}

// Script of the page's own making (as a name turned into markup would make it) still cannot
// run inline script or eval, or reach a host that is not the tile server; the refusals are
// the page's security policy violations, reported as they happen.
TEST_F(MapViewInBrowser, PagePolicyRefusesInlineScriptEvalAndOtherHosts) {
  CTileServer tiles, elsewhere;
  VMapView* view = LoadedView(tiles.TileUrl());
  ASSERT_NE(view, nullptr);
  // The other server's origin, from its tile address "http://127.0.0.1:PORT/{z}/...".
  const QByteArray other = elsewhere.TileUrl().left(elsewhere.TileUrl().indexOf("/{"));
  Eval(view,
       QStringLiteral("window.refused = {}; document.addEventListener('securitypolicyviolation',"
                      "  function (e) { refused[e.effectiveDirective] = 1; });"
                      "var d = document.createElement('div');"
                      "d.innerHTML = '<img src=\"%1/a.png\" onerror=\"window.ran = 1\">';"
                      "document.body.appendChild(d);"
                      "fetch('%1/b').catch(function () {});"
                      "try { eval('window.ran = 1'); } catch (e) { refused.eval = 1; } 0")
           .arg(QString::fromLatin1(other)));
  EXPECT_TRUE(WaitFor([&] {
    return Eval(view, QStringLiteral("String(['connect-src', 'eval', 'img-src', 'script-src-attr']"
                                     ".every(function (d) { return d in refused; }))")) == "true";
  })) << Eval(view, QStringLiteral("Object.keys(refused).join()")).toStdString();
  EXPECT_EQ(Eval(view, QStringLiteral("String(window.ran)")), "undefined");
  EXPECT_TRUE(elsewhere.Requests().empty());
  EXPECT_TRUE(WaitFor([&] { return !tiles.Requests().empty(); }));  // the tile server is reached
}

// The page goes nowhere and opens nothing: script and links leave it where it is, loaded,
// and taking the viewer's calls. Each refused navigation still ends a load (not a success),
// which is what the test waits for.
TEST_F(MapViewInBrowser, PageCannotNavigateAwayOrOpenWindows) {
  VMapView* view = LoadedView();
  ASSERT_NE(view, nullptr);
  QSignalSpy ended(view->Widget(), SIGNAL(loadFinished(bool)));
  EXPECT_EQ(Eval(view, QStringLiteral("String(window.open('http://example.invalid/'))")), "null");
  for (const char* leave :
       {"location.href = 'http://example.invalid/'", "location.replace('qrc:/html/501.html?x')",
        "var a = document.createElement('a'); a.href = 'http://example.invalid/';"
        "document.body.appendChild(a); a.click()"}) {
    const qsizetype before = ended.count();
    Eval(view, QStringLiteral("window.stays = 'yes'; %1; 0").arg(QLatin1String(leave)));
    EXPECT_TRUE(WaitFor([&] { return ended.count() > before; })) << leave;
    EXPECT_EQ(Eval(view, QStringLiteral("window.stays + ' ' + typeof SetRoute")), "yes function")
        << leave;
    EXPECT_TRUE(view->PageLoaded()) << leave;
  }
  EXPECT_EQ(Call(view, QString::fromStdString(DrawCurrentCall(1.5, 2.5))), "");
  EXPECT_EQ(Marker(view), "1.500000,2.500000");
}

}  // namespace
