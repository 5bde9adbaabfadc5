#include "sensors/map_view_wnd.h"

#include <QCoreApplication>
#include <QFile>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include "platform/network_state.h"
#include "sensors/gps_data.h"
#include "sensors/map_profile.h"
#include "sensors/map_view_policy.h"
#include "sensors/script_call.h"

using roadkeep::sensors::TileHost;

// Qt's process-wide OpenGL share context. QGuiApplication makes it only when
// Qt::AA_ShareOpenGLContexts is set before it starts, which would cost every start-up a GL
// context; the web engine needs it only here, so the module makes it at its first view.
// Exported by Qt Gui, declared in a private header.
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

void EnsureShareContext() {
  if (qt_gl_global_share_context() != nullptr) return;
  auto* context = new QOpenGLContext(QCoreApplication::instance());  // lives with the app
  context->create();
  qt_gl_set_global_share_context(context);
}

// The map page shows text from the card. Its own messages (tile loads failing offline,
// script errors it catches) are not the viewer's to print; those meant for the viewer
// ("roadkeep:...") go to its receiver. It goes nowhere but the page the viewer loads, and opens
// no windows.
class CMapPage : public QWebEnginePage {
 public:
  CMapPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}
  std::function<void(const QString&)> receiver;
  bool loadAsked = false;  // Navigate's load: the one navigation let through

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (receiver && message.startsWith(QLatin1String("roadkeep:"))) receiver(message);
  }

  // Only the viewer's own load of the page (typed, as from an address bar; setHtml loads it
  // as data: under the page's address), once; links, script, redirects, reloads and frames
  // are refused.
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    const bool own = loadAsked && isMainFrame && type == NavigationTypeTyped &&
                     url.scheme() == QLatin1String("data");
    if (own) loadAsked = false;
    return own;
  }

  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

// Lets the page's requests through only to its own resources and to the tile server.
class CPageGate : public QWebEngineUrlRequestInterceptor {
 public:
  CPageGate(std::optional<TileHost> tiles, QObject* parent)
      : QWebEngineUrlRequestInterceptor(parent), m_tiles(std::move(tiles)) {}

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QUrl url = info.requestUrl();
    // data: is the page itself (setHtml); what the page asks of data: its policy decides.
    if (url.scheme() == QLatin1String("qrc") || url.scheme() == QLatin1String("data")) return;
    if (m_tiles && m_tiles->Matches(url.scheme().toStdString(), url.host().toStdString(),
                                    url.port())) {
      return;
    }
    info.block(true);
  }

 private:
  const std::optional<TileHost> m_tiles;
};

// The tile server's address template: ROADKEEP_TILE_URL, else OpenStreetMap's.
std::string TileUrl() {
  const QByteArray url = qgetenv("ROADKEEP_TILE_URL");
  return url.isEmpty() ? std::string(roadkeep::sensors::kDefaultTileUrl) : url.toStdString();
}

// The tile server's address template is handed to the page before its scripts run: "" when
// its origin was refused, and the page shows no tiles.
void AddTileUrlScript(QWebEnginePage* page, const std::string& tileUrl) {
  QWebEngineScript script;
  script.setName(QStringLiteral("tile-url"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(QStringLiteral("window.roadkeepTileUrl = %1;")
                           .arg(QString::fromStdString(ScriptString(tileUrl))));
  page->scripts().insert(script);
}

// The page's text with its policy's content replaced by policy (which holds no '"').
QByteArray WithPolicy(QByteArray html, const std::string& policy) {
  static const QByteArray kMeta =
      QByteArrayLiteral("http-equiv=\"Content-Security-Policy\" content=\"");
  const qsizetype start = html.indexOf(kMeta);
  if (start < 0) return html;
  const qsizetype begin = start + kMeta.size();
  const qsizetype end = html.indexOf('"', begin);
  if (end < 0) return html;
  return html.replace(begin, end - begin, QByteArray::fromStdString(policy));
}

}  // namespace

CExplorerMapViewWnd::CExplorerMapViewWnd(QWidget* parent) : QWebEngineView(parent) {
  auto* page = new CMapPage(MapProfile(), this);
  const std::string tileUrl = TileUrl();
  m_tiles = roadkeep::sensors::ParseTileHost(tileUrl);
  // Tiles are images, which a page from the resources may show without reading them; it may
  // read nothing remote, no file, and open no window.
  QWebEngineSettings* settings = page->settings();
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
  page->setUrlRequestInterceptor(new CPageGate(m_tiles, page));
  AddTileUrlScript(page, m_tiles ? tileUrl : std::string());
  setPage(page);
  setContextMenuPolicy(Qt::NoContextMenu);
  // Only Navigate's loads get past the page's navigation check, so a load that succeeds or
  // fails is the viewer's; one the page tried and was refused ends as stopped and leaves the
  // loaded page as it was.
  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    const QWebEngineLoadingInfo::LoadStatus status = info.status();
    if (status != QWebEngineLoadingInfo::LoadSucceededStatus &&
        status != QWebEngineLoadingInfo::LoadFailedStatus) {
      return;
    }
    m_loaded = status == QWebEngineLoadingInfo::LoadSucceededStatus;
    m_loading = false;
    ApplyLifecycle();
  });
}

void CExplorerMapViewWnd::Navigate(const QString& address) {
  const QUrl url(address);
  QFile file(QLatin1Char(':') + url.path());
  if (url.scheme() != QLatin1String("qrc") || !file.open(QIODevice::ReadOnly)) return;
  // The page's policy is written in before it loads, with the tile server the view was made
  // for; the page keeps its address, so its resources are its own origin.
  const QByteArray html = WithPolicy(file.readAll(), roadkeep::sensors::MapContentPolicy(m_tiles));
  m_loaded = false;
  m_loading = true;  // a sleep before the load ends would stop it
  ApplyLifecycle();
  static_cast<CMapPage*>(page())->loadAsked = true;
  setHtml(QString::fromUtf8(html), url);
}

void CExplorerMapViewWnd::CallScript(const QString& callText, ScriptDone done) {
  const ScriptCall call = ParseScriptCall(callText.toStdString());
  if (!m_loaded || call.function.empty()) {
    if (done) done(QString());
    return;
  }
  RunScript(QString::fromStdString(ScriptCallExpression(call)), std::move(done));
}

void CExplorerMapViewWnd::RunScript(const QString& script, ScriptDone done) {
  if (!done) {
    page()->runJavaScript(script);
    return;
  }
  page()->runJavaScript(script, [done = std::move(done)](const QVariant& result) {
    done(result.toString());
  });
}

void CExplorerMapViewWnd::SetPageMessages(std::function<void(const QString&)> receiver) {
  static_cast<CMapPage*>(page())->receiver = std::move(receiver);
}

void CExplorerMapViewWnd::SetAwake(bool awake) {
  m_awake = awake;
  ApplyLifecycle();
}

void CExplorerMapViewWnd::ApplyLifecycle() {
  QWebEnginePage* page = this->page();
  if (m_awake) {
    page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    page->setVisible(isVisible());  // the sleep hid the page itself
    return;
  }
  // A page frozen while it loads would not finish loading: it sleeps once loaded.
  if (m_loading) return;
  // Only a page that is not visible may be frozen; the view itself hides just after.
  page->setVisible(false);
  page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
}

void CMapView::ShowPosition(const CGPSData& gps) {
  if (!gps.IsValid()) return;
  CallScript(QString::fromStdString(DrawCurrentCall(gps.GetLatitude(), gps.GetLongitude())));
}

VMapView* RoadkeepCreateMapView(QWidget* parent) {
  // Before the first Qt Quick window, which the first view makes; once only, since a
  // second request is refused with a warning.
  if (QQuickWindow::graphicsApi() != QSGRendererInterface::Software) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  }
  EnsureShareContext();  // the web engine reads its format even when it draws in software
  return new CMapView(parent);
}

VNetworkState* RoadkeepCreateNetworkState() { return new CNetworkInformationState; }
