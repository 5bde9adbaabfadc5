#include "app/map_pane.h"

#include <QHBoxLayout>
#include <QTimer>
#include <QWidget>

#include "sensors/map_view.h"

namespace {

class COnline : public VNetworkState {
 public:
  bool IsOnline() override { return true; }
};

}  // namespace

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
  m_view->Navigate(QString::fromLatin1(kMapPageAddress));
}

void CMapPane::ShowPosition(const CGPSData& gps) {
  if (m_view != nullptr) m_view->ShowPosition(gps);
}
