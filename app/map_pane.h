// The map's part of the main window: control 1106 is a plain host widget from the start, and
// the map view (sensors/map_view.h) is made inside it only when the page is first loaded, at
// the first opening of a recording while online. So start-up never loads the web engine, and
// where the engine may not run (offscreen, sanitizer builds, ROADKEEP_MAP=0) the host stays
// an empty pane while the rest of the window works as ever. GUI thread only.
//
// The web engine works only while the map is on the screen: the pane watches its host's
// show and hide events (a minimised window hides it too), lets the page sleep while hidden,
// keeps only the latest position meanwhile and draws it when the map shows again.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/network_state.h"
#include "sensors/gps_data.h"

class QObject;
class QWidget;
class VMapView;

class CMapPane {
 public:
  // host: control 1106, owned by the window, which outlives this pane.
  explicit CMapPane(QWidget* host);
  ~CMapPane();
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

  // DrawCurrent in the page for a valid record, when the map is on the screen and the
  // position differs from the one last drawn. A record the hidden map (or no view yet)
  // cannot take is kept, and drawn when the map shows.
  void ShowPosition(const CGPSData& gps);

  // The played route (the page's SetRoute script; empty: none). Kept, and sent whenever the
  // page is loaded and on the screen, so a route read before the page loaded still shows.
  // While a route is shown the car moves along it by the clock, and ShowPosition only keeps
  // the latest record.
  void ShowRoute(std::string script);
  // The played clock (the page's SetClock script), sent when the page can take it; the
  // newest is kept otherwise.
  void SetClock(std::string script);

  // A click on the route asks for played time ms; handler gets it on the GUI thread.
  void SetSeekHandler(std::function<void(int64_t ms)> handler) { m_seek = std::move(handler); }

  // Whether the map is on the screen: its host shown in a window that is not minimised.
  bool Shown() const;

  // The view, or nullptr before the page was requested or where the map cannot run.
  VMapView* View() const { return m_view; }
  // How often the page was requested in this run (0 or 1).
  int PageRequests() const { return m_requests; }
  // How many positions went to the page in this run.
  int PositionsDrawn() const { return m_drawnCount; }
  // How many routes went to the page in this run.
  int RoutesDrawn() const { return m_routeCount; }

 private:
  class CHostWatch;

  void MakeView();
  // The host was shown or hidden: wakes or puts the page to sleep.
  void HostChanged();
  void DrawLatest();
  // Sends the route and the clock when they changed and the page can take them.
  void SendRoute();

  QWidget* m_host;
  std::unique_ptr<QObject> m_watch;  // the host's event filter
  std::unique_ptr<VNetworkState> m_network;
  VMapView* m_view = nullptr;  // a child of m_host
  int m_requests = 0;
  bool m_awake = false;  // what the view was last told

  // The newest valid record given, and the one last sent to the loaded page.
  CGPSData m_latest;  // IsValid() false until one is given
  CGPSData m_drawn;   // IsValid() false until the page drew one
  int m_drawnCount = 0;

  std::function<void(int64_t)> m_seek;
  std::string m_route, m_clock;  // the newest; empty: none
  bool m_routeSent = true, m_clockSent = true;
  int m_routeCount = 0;
};
