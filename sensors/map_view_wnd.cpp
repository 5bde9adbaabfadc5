#include "sensors/map_view_wnd.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include "platform/network_state.h"
#include "sensors/gps_data.h"
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
// not the viewer's to print.
class CQuietPage : public QWebEnginePage {
 public:
  explicit CQuietPage(QObject* parent) : QWebEnginePage(parent) {}

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}
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
  auto* page = new CQuietPage(this);
  // The page comes from the resources, its tiles from the network.
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  AddTileUrlScript(page);
  setPage(page);
  setContextMenuPolicy(Qt::NoContextMenu);
  connect(this, &QWebEngineView::loadStarted, this, [this] { m_loaded = false; });
  connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) { m_loaded = ok; });
}

void CExplorerMapViewWnd::Navigate(const QString& address) { load(QUrl(address)); }

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

void CMapView::ShowPosition(const CGPSData& gps) {
  if (!gps.IsValid()) return;
  CallScript(QString::fromStdString(DrawCurrentCall(gps.GetLatitude(), gps.GetLongitude())));
}

VMapView* RoadkeepCreateMapView(QWidget* parent) {
  EnsureShareContext();
  return new CMapView(parent);
}

VNetworkState* RoadkeepCreateNetworkState() { return new CNetworkInformationState; }
