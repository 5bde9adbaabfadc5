// CSingleInstance: decides at start-up whether this process may run as the one viewer of this
// user on this desktop, on any Qt platform. A lock file, held with flock for the object's life,
// is the arbiter: only one live process can hold it, so two quick starts give one viewer. Its
// holder listens on a local socket beside it; a start that finds the lock held sends
// "activate" there (or "open" and the paths it was given, each as an encoded file URL) and
// must not run, and the holder then opens them and brings its window forward.
//
// Both live in a folder nobody else can write to: $XDG_RUNTIME_DIR (a directory of this user,
// not a link, without group or other write), else roadkeep-<uid> in $TMPDIR or /tmp (made
// 0700, then checked to be this user's with no group or other access). Their names carry a
// hash of the desktop ($WAYLAND_DISPLAY, else $DISPLAY's X server, else $XDG_SESSION_ID),
// so a viewer on one display never takes over a start on another. Without such a folder, and
// with a lock file that is not this user's plain file, the process runs alone; a socket file
// that is not this user's socket is never sent anything.
//
// The holder serves at most 16 connections at once; each must send its line, at most 64 KiB,
// within 2 s or is closed. Nothing here reads window titles, which change during an export.
//
// Threads: GUI thread only, after the QApplication exists; the activation arrives through the
// GUI thread's event loop. The X11 helpers use the xcb connection Qt already has.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QWidget;

// A QObject only to own the server and its sockets and to scope their connections.
class CSingleInstance : public QObject {
 public:
  explicit CSingleInstance(QObject* parent = nullptr);
  ~CSingleInstance() override;  // stops listening and releases the lock file, if held
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // True when this process may run; false when another copy holds the lock (it has been
  // asked to activate its window and to open `paths`, or could not be reached within about
  // two seconds). Calling it again after it has taken the lock returns true. Paths beyond
  // what fits one 64 KiB line are not handed over.
  bool Acquire(const QStringList& paths = {});

  // The window a later start brings forward; not owned, may be destroyed before this object.
  void SetWindow(QWidget* window) { m_window = window; }
  // What a later start's paths are handed to (the desktop opening a file with the viewer
  // while it runs), before its window comes forward.
  void SetOpenPaths(std::function<void(const QStringList&)> open) { m_openPaths = std::move(open); }

 private:
  enum class LockResult { kTaken, kHeldElsewhere, kUnusable };
  LockResult TryLock();
  void Listen();
  void OnConnection();
  void Activate();

  // Set at construction; all empty when there is no folder of our own.
  const std::string m_stem;
  const std::string m_lockPath;
  const QString m_socketPath;

  // Set by Acquire, released by the destructor.
  int m_lockFd = -1;                       // open, flock-ed lock file; -1 when none is held
  std::unique_ptr<QLocalServer> m_server;  // listening; null unless the lock is held
  int m_connections = 0;                   // accepted sockets not yet destroyed

  // Set by SetWindow and SetOpenPaths.
  QPointer<QWidget> m_window;
  std::function<void(const QStringList&)> m_openPaths;
};

// X11 helpers, exposed for tests and for bringing a window forward. All return 0 / false when
// Qt does not run on "xcb".
// The top-level window titled exactly title (_NET_WM_NAME, else WM_NAME), taken from the
// window manager's client list or, without one, from the root's children and their children.
uint32_t FindTopLevelWindow(const QString& title);
// Asks the window manager to activate window (_NET_ACTIVE_WINDOW); without one, maps and
// raises it and gives it the input focus. False when window is gone or a request failed.
bool ActivateTopLevelWindow(uint32_t window);
// True when an EWMH window manager runs (_NET_SUPPORTING_WM_CHECK points to a live window).
bool X11WindowManagerRunning();
