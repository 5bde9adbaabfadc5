// Inside the map module: the browser window that hosts the map page and calls its script
// (CExplorerMapViewWnd), and the map view on top of it (CMapView). Only the module sees this
// header; the viewer reaches these through VMapView (sensors/map_view.h). GUI thread only.
//
// The web view draws through Qt Quick's software renderer. With Qt Quick on OpenGL, a web
// view makes Qt draw its whole window through OpenGL (software rendering where there is no
// GPU), and switching makes a new native window for it at the first opening; in software
// the window keeps its X window and raster painting, and only the page's pixels are copied.
#pragma once

#include <QWebEngineView>
#include <optional>

#include "sensors/map_view.h"
#include "sensors/map_view_policy.h"

class CExplorerMapViewWnd : public QWebEngineView, public VMapView {
 public:
  explicit CExplorerMapViewWnd(QWidget* parent);

  QWidget* Widget() override { return this; }
  void Navigate(const QString& address) override;
  bool PageLoaded() const override { return m_loaded; }
  void CallScript(const QString& callText, ScriptDone done = {}) override;
  void RunScript(const QString& script, ScriptDone done) override;
  void ShowPosition(const CGPSData&) override {}
  void SetAwake(bool awake) override;
  void SetPageMessages(std::function<void(const QString&)> receiver) override;

 private:
  void ApplyLifecycle();

  std::optional<roadkeep::sensors::TileHost> m_tiles;  // from ROADKEEP_TILE_URL; none: refused
  bool m_loading = false;  // from Navigate to the end of the load
  bool m_loaded = false;
  bool m_awake = true;
};

class CMapView : public CExplorerMapViewWnd {
 public:
  explicit CMapView(QWidget* parent) : CExplorerMapViewWnd(parent) {}
  void ShowPosition(const CGPSData& gps) override;
};

// The module's entry points, found by name by the loader. The caller owns what they return
// (the view through its Qt parent).
extern "C" {
Q_DECL_EXPORT VMapView* RoadkeepCreateMapView(QWidget* parent);
Q_DECL_EXPORT VNetworkState* RoadkeepCreateNetworkState();
}
