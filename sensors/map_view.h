// The map view (control 1106): the map page (resource 501) in an embedded browser, with one
// marker at the car's position. The browser is Qt WebEngine, built into a module of its own
// (roadkeep-map.so, sensors/map_view_wnd.*) that is loaded at the first use, so the viewer's
// start-up never loads or starts the web engine. This header is what the viewer sees: the
// view's interface and the loader. GUI thread only.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class CGPSData;
class QWidget;
class VNetworkState;

// Receives the result text of a script call; "" when the call failed or returned no string.
using ScriptDone = std::function<void(const QString& result)>;

class VMapView {
 public:
  virtual ~VMapView() = default;

  // The view's widget, owned by the parent it was created with.
  virtual QWidget* Widget() = 0;
  // Starts loading the page at address, which must be one of the module's resources (qrc:),
  // with its policy for the tile server; returns at once. Any other address loads nothing.
  // Once loaded, the page goes nowhere else: its own navigation and new windows are refused.
  virtual void Navigate(const QString& address) = 0;
  // True from the end of a successful load until the next load starts.
  virtual bool PageLoaded() const = 0;
  // Calls a function of the loaded page with the call text's arguments as strings (the call
  // text grammar is ParseScriptCall's). Never waits for the page: `done`, when given, gets
  // the result later on the GUI thread. Before the page has loaded, for an empty function
  // name or one the page lacks, nothing is called, nothing is reported and the result is "".
  virtual void CallScript(const QString& callText, ScriptDone done = {}) = 0;
  // DrawCurrent with the record's position (six decimals) when the record is valid.
  virtual void ShowPosition(const CGPSData& gps) = 0;
  // Evaluates a script expression in the page; `done` gets its value as text. Diagnostics
  // and tests read the page's state through it.
  virtual void RunScript(const QString& script, ScriptDone done) = 0;
  // Lets the web engine sleep while the map is not on the screen (the page hidden and
  // frozen: its timers, tasks and painting stop) and wakes it. A page still loading falls
  // asleep once loaded. A sleeping page still answers script calls.
  virtual void SetAwake(bool awake) = 0;
  // Receives what the page says to the viewer: its console lines that begin "roadkeep:"
  // (the rest of its console stays quiet), on the GUI thread.
  virtual void SetPageMessages(std::function<void(const QString& message)> receiver) = 0;
};

// The page's address in the resources.
inline constexpr char kMapPageAddress[] = "qrc:/html/501.html";

// Whether this process may start the web engine: it needs a real display (not Qt's offscreen
// or minimal platform), is never started in a sanitizer build (Chromium and ASan do not
// mix), and ROADKEEP_MAP=0 turns it off.
bool MapViewAllowed();

// What Chromium needs in this process, set before its engine starts and only where the user
// has not set it: no sandbox when running as root (QTWEBENGINE_DISABLE_SANDBOX=1), and
// rendering without a GPU (QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu). Cheap; call it early,
// before other threads start.
void PrepareMapEnvironment();

// A new map view as a child of parent, from the map module (loaded now if it is not yet);
// nullptr when the module cannot be loaded or the web engine is not allowed.
VMapView* CreateMapView(QWidget* parent);

// The platform's network state, from the map module; nullptr when it cannot be loaded.
std::unique_ptr<VNetworkState> CreateMapNetworkState();
