#include "app/map_pane.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QTimer>
#include <QWidget>

#include "app/viewer_config.h"
#include "sensors/map_view.h"

namespace {

class COnline : public VNetworkState {
 public:
  bool IsOnline() override { return true; }
};

}  // namespace

// A minimised window sends its children spontaneous hide events, so these cover both the
// pane layout's hiding and the window's.
class CMapPane::CHostWatch : public QObject {
 public:
  explicit CHostWatch(CMapPane* pane) : m_pane(pane) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) m_pane->HostChanged();
    return false;
  }

 private:
  CMapPane* m_pane;
};

CMapPane::CMapPane(QWidget* host) : m_host(host), m_watch(std::make_unique<CHostWatch>(this)) {
  m_host->installEventFilter(m_watch.get());
  // The map module takes its tile server from the environment only (it links nothing of the
  // viewer), so the setting goes there, unless the user named a server there himself. Now,
  // with the window, before its worker threads start: setenv is not safe beside another
  // thread's getenv.
  if (qEnvironmentVariableIsEmpty("ROADKEEP_TILE_URL")) {
    const QString tileUrl = ReadTileUrl();
    if (!tileUrl.isEmpty()) qputenv("ROADKEEP_TILE_URL", tileUrl.toUtf8());
  }
}

CMapPane::~CMapPane() = default;

bool CMapPane::LoadMapPage(bool* pageLoaded) {
  if (!m_network) m_network = CreateMapNetworkState();
  if (!m_network) m_network = std::make_unique<COnline>();  // the platform cannot tell
  if (!m_network->IsOnline() || *pageLoaded) return false;
  *pageLoaded = true;
  ++m_requests;
  QTimer::singleShot(0, m_host, [this] { MakeView(); });
  return true;
}

void CMapPane::MakeView() {
  if (m_view != nullptr) return;
  m_view = CreateMapView(m_host);
  if (m_view == nullptr) return;
  QWidget* widget = m_view->Widget();
  auto* layout = new QHBoxLayout(m_host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(widget);
  widget->show();
  m_view->SetPageMessages([this](const QString& message) {
    static const QLatin1String kSeek("roadkeep:seek:");
    bool ok = false;
    const qint64 ms = message.startsWith(kSeek) ? message.mid(kSeek.size()).toLongLong(&ok) : -1;
    if (ok && ms >= 0 && m_seek) m_seek(ms);
  });
  m_view->Navigate(QString::fromLatin1(kMapPageAddress));
  m_awake = Shown();
  m_view->SetAwake(m_awake);
}

bool CMapPane::Shown() const { return m_host->isVisible() && !m_host->window()->isMinimized(); }

void CMapPane::HostChanged() {
  const bool shown = Shown();
  if (m_view == nullptr || shown == m_awake) return;
  m_awake = shown;
  m_view->SetAwake(shown);
  if (!shown) return;
  SendRoute();
  if (m_route.empty()) DrawLatest();
}

void CMapPane::ShowRoute(std::string script) {
  if (script.empty() && m_route.empty()) return;
  m_route = std::move(script);
  m_routeSent = false;
  SendRoute();
}

void CMapPane::SetClock(std::string script) {
  m_clock = std::move(script);
  m_clockSent = false;
  SendRoute();
}

void CMapPane::SendRoute() {
  if (m_view == nullptr || !m_awake || !m_view->PageLoaded()) return;
  if (!m_routeSent) {
    m_view->RunScript(QString::fromStdString(m_route.empty() ? std::string("ClearRoute()") : m_route), {});
    m_routeSent = true;
    m_routeCount += m_route.empty() ? 0 : 1;
    m_clockSent = m_clock.empty();  // the new route needs the clock again
  }
  if (!m_clockSent && !m_route.empty()) {
    m_view->RunScript(QString::fromStdString(m_clock), {});
    m_clockSent = true;
  }
}

void CMapPane::ShowPosition(const CGPSData& gps) {
  if (!gps.IsValid()) return;
  m_latest = gps;
  if (m_view != nullptr && m_awake && m_route.empty()) DrawLatest();
}

void CMapPane::DrawLatest() {
  // A page that is still loading drops the call: the next refresh sends it again.
  if (!m_latest.IsValid() || !m_view->PageLoaded()) return;
  if (m_drawn.IsValid() && m_drawn.latitude == m_latest.latitude &&
      m_drawn.longitude == m_latest.longitude) {
    return;  // the car stands: the page already shows it
  }
  m_view->ShowPosition(m_latest);
  m_drawn = m_latest;
  ++m_drawnCount;
}
