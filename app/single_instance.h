// CSingleInstance: decides at start-up whether this process may run as the one viewer. On X11
// a top-level window titled with the application title (any program's) means another copy
// runs: that window is raised and activated and this process must not run. Where the display
// server cannot be asked (any other Qt platform, offscreen included) a per-user lock file,
// $XDG_RUNTIME_DIR/roadkeep.lock or /tmp/roadkeep-<uid>.lock, held with flock for the
// object's life, stands in for the window; a file that cannot be used never stops the start.
//
// Threads: GUI thread only, after the QApplication exists and before any window is shown.
// The X11 helpers use the xcb connection Qt already has.
#pragma once

#include <QString>
#include <cstdint>

class CSingleInstance {
 public:
  CSingleInstance() = default;
  ~CSingleInstance();  // releases the lock file, if held
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // True when this process may run; false when another copy runs (its window has been
  // raised and activated where the platform allows). Calling it again after it has taken
  // the lock returns true.
  bool Acquire(const QString& title);

 private:
  bool AcquireLockFile();

  // Set by Acquire, closed by the destructor.
  int m_lockFd = -1;  // open, flock-ed lock file; -1 when none is held
};

// X11 helpers, exposed for tests. All return 0 / false when Qt does not run on "xcb".
// The top-level window titled exactly title (_NET_WM_NAME, else WM_NAME), taken from the
// window manager's client list or, without one, from the root's children and their children.
uint32_t FindTopLevelWindow(const QString& title);
// Asks the window manager to activate window (_NET_ACTIVE_WINDOW); without one, maps and
// raises it and gives it the input focus. False when window is gone or a request failed.
bool ActivateTopLevelWindow(uint32_t window);
// True when an EWMH window manager runs (_NET_SUPPORTING_WM_CHECK points to a live window).
bool X11WindowManagerRunning();
