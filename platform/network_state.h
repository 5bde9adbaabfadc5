// "Is the PC online?", asked before the map page is loaded: the page and its script are
// local, only its map tiles need the network. GUI thread only.
#pragma once

class VNetworkState {
 public:
  virtual ~VNetworkState() = default;
  // False only when the platform knows that the PC has no network connection.
  virtual bool IsOnline() = 0;
};

// The platform's reachability (QNetworkInformation). Its backend is loaded at the first
// question, not before; where there is none, or it cannot tell, the PC counts as online.
// Built into the map module with Qt Network, which the viewer itself does not load at start
// (sensors/map_view.h: CreateMapNetworkState).
class CNetworkInformationState : public VNetworkState {
 public:
  bool IsOnline() override;

 private:
  bool m_asked = false;
  bool m_haveBackend = false;
};
