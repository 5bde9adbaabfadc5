#include "sensors/map_view_wnd.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "platform/network_state.h"
#include "sensors/gps_data.h"
#include "sensors/map_profile.h"
#include "sensors/script_call.h"

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

// The map page's own messages (tile loads failing offline, script errors it catches) are
// not the viewer's to print; those meant for the viewer ("roadkeep:...") go to its receiver.
class CQuietPage : public QWebEnginePage {
 public:
  CQuietPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}
  std::function<void(const QString&)> receiver;

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (receiver && message.startsWith(QLatin1String("roadkeep:"))) receiver(message);
  }
};

// ROADKEEP_TILE_URL, when set, is handed to the page before its scripts run.
void AddTileUrlScript(QWebEnginePage* page) {
  const QByteArray url = qgetenv("ROADKEEP_TILE_URL");
  if (url.isEmpty()) return;
  QWebEngineScript script;
  script.setName(QStringLiteral("tile-url"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(QStringLiteral("window.roadkeepTileUrl = %1;")
                           .arg(QString::fromStdString(ScriptString(url.toStdString()))));
  page->scripts().insert(script);
}

}  // namespace

CExplorerMapViewWnd::CExplorerMapViewWnd(QWidget* parent) : QWebEngineView(parent) {
  auto* page = new CQuietPage(MapProfile(), this);
  // The page comes from the resources, its tiles from the network.
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  AddTileUrlScript(page);
  setPage(page);
  setContextMenuPolicy(Qt::NoContextMenu);
  connect(this, &QWebEngineView::loadStarted, this, [this] {
    m_loaded = false;
    m_loading = true;
  });
  connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
    m_loaded = ok;
    m_loading = false;
    ApplyLifecycle();
  });
}

void CExplorerMapViewWnd::Navigate(const QString& address) {
  m_loading = true;  // loadStarted comes later, and a sleep before it would stop the load
  ApplyLifecycle();
  load(QUrl(address));
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
  static_cast<CQuietPage*>(page())->receiver = std::move(receiver);
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
