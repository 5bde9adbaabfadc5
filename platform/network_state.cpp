#include "platform/network_state.h"

#include <QNetworkInformation>

bool CNetworkInformationState::IsOnline() {
  if (!m_asked) {
    m_asked = true;
    m_haveBackend = QNetworkInformation::loadBackendByFeatures(
        QNetworkInformation::Feature::Reachability);
  }
  if (!m_haveBackend || QNetworkInformation::instance() == nullptr) return true;
  // A local or site network may still reach a tile server (a proxy, the user's own server):
  // only "disconnected" is offline.
  return QNetworkInformation::instance()->reachability() !=
         QNetworkInformation::Reachability::Disconnected;
}
