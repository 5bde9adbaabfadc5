// The map's part of the main window: control 1106 is a plain host widget from the start, and
// the map view (sensors/map_view.h) is made inside it only when the page is first loaded, at
// the first opening of a recording while online. So start-up never loads the web engine, and
// where the engine may not run (offscreen, sanitizer builds, ROADKEEP_MAP=0) the host stays
// an empty pane while the rest of the window works as ever. GUI thread only.
#pragma once

#include <memory>

#include "platform/network_state.h"

class CGPSData;
class QWidget;
class VMapView;

class CMapPane {
 public:
  // host: control 1106, owned by the window.
  explicit CMapPane(QWidget* host) : m_host(host) {}
  CMapPane(const CMapPane&) = delete;
  CMapPane& operator=(const CMapPane&) = delete;

  // Replaces the network state LoadMapPage asks (tests set their own). By default it is
  // the platform's, taken from the map module where the map may run; elsewhere the PC
  // counts as online.
  void SetNetworkState(std::unique_ptr<VNetworkState> state) { m_network = std::move(state); }

  // Requests the page when the PC is online and *pageLoaded is clear, then sets *pageLoaded
  // (the window's map-page-loaded flag): at most once per run. The view is made and pointed
  // at the page on the next turn of the event loop, so opening a recording does not wait
  // for the web engine to start. True when the page was requested now.
  bool LoadMapPage(bool* pageLoaded);

  // DrawCurrent in the page for a valid record; nothing before the view exists.
  void ShowPosition(const CGPSData& gps);

  // The view, or nullptr before the page was requested or where the map cannot run.
  VMapView* View() const { return m_view; }
  // How often the page was requested in this run (0 or 1).
  int PageRequests() const { return m_requests; }

 private:
  void MakeView();

  QWidget* m_host;
  std::unique_ptr<VNetworkState> m_network;
  VMapView* m_view = nullptr;  // a child of m_host
  int m_requests = 0;
};
