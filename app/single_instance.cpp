#include "app/single_instance.h"

#include <QtGui/qguiapplication_platform.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// Caps on what the display server hands back; a real desktop stays far below them.
constexpr uint32_t kMaxClientListWindows = 1 << 16;
constexpr size_t kMaxCandidates = 1 << 16;
constexpr int kMaxAncestorDepth = 32;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* X11Connection() {
  if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

struct Atoms {
  xcb_atom_t clientList = XCB_ATOM_NONE;
  xcb_atom_t netWmName = XCB_ATOM_NONE;
  xcb_atom_t utf8String = XCB_ATOM_NONE;
  xcb_atom_t supportingWmCheck = XCB_ATOM_NONE;
  xcb_atom_t activeWindow = XCB_ATOM_NONE;
};

Atoms InternAtoms(xcb_connection_t* c) {
  static constexpr const char* kNames[] = {"_NET_CLIENT_LIST", "UTF8_STRING", "_NET_WM_NAME",
                                           "_NET_SUPPORTING_WM_CHECK", "_NET_ACTIVE_WINDOW"};
  xcb_intern_atom_cookie_t cookies[std::size(kNames)];
  for (size_t i = 0; i < std::size(kNames); ++i)
    cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(kNames[i])), kNames[i]);
  xcb_atom_t atoms[std::size(kNames)];
  for (size_t i = 0; i < std::size(kNames); ++i) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], &error));
    std::free(error);
    atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }
  return {atoms[0], atoms[2], atoms[1], atoms[3], atoms[4]};
}

xcb_get_property_cookie_t RequestProperty(xcb_connection_t* c, xcb_window_t window,
                                          xcb_atom_t property, xcb_atom_t type, uint32_t maxUnits) {
  return xcb_get_property(c, 0, window, property, type, 0, maxUnits);
}

// The reply when the property exists in the given format (8 or 32) and its value fits the
// reply's data; nullptr for a missing window or property and for a malformed reply.
XcbReply<xcb_get_property_reply_t> TakeProperty(xcb_connection_t* c,
                                                xcb_get_property_cookie_t cookie, uint8_t format) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, &error));
  std::free(error);
  if (!reply || reply->type == XCB_ATOM_NONE || reply->format != format) return nullptr;
  if (uint64_t{reply->value_len} * (format / 8) > uint64_t{reply->length} * 4) return nullptr;
  return reply;
}

// The window ids held in a format-32 WINDOW property (empty when absent).
std::vector<xcb_window_t> WindowList(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                     uint32_t maxCount) {
  if (property == XCB_ATOM_NONE) return {};
  auto reply = TakeProperty(c, RequestProperty(c, window, property, XCB_ATOM_WINDOW, maxCount), 32);
  if (!reply || reply->type != XCB_ATOM_WINDOW) return {};
  const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
  return std::vector<xcb_window_t>(ids, ids + reply->value_len);
}

XcbReply<xcb_query_tree_reply_t> QueryTree(xcb_connection_t* c, xcb_query_tree_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(c, cookie, &error));
  std::free(error);
  if (reply && uint32_t{reply->children_len} > reply->length) return nullptr;
  return reply;
}

bool WindowManagerRunning(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
  // The manager's check window names itself; a stale root property from a manager that has
  // gone points to a missing window or one that does not.
  const auto check = WindowList(c, root, atoms.supportingWmCheck, 1);
  if (check.empty()) return false;
  const auto self = WindowList(c, check[0], atoms.supportingWmCheck, 1);
  return !self.empty() && self[0] == check[0];
}

// Windows that may carry the title under root, children of a root child before that child
// (a reparenting manager's frame may repeat the client's title).
std::vector<xcb_window_t> Candidates(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
  if (WindowManagerRunning(c, root, atoms)) {
    auto clients = WindowList(c, root, atoms.clientList, kMaxClientListWindows);
    if (!clients.empty()) return clients;
  }
  std::vector<xcb_window_t> result;
  const auto top = QueryTree(c, xcb_query_tree(c, root));
  if (!top) return result;
  const xcb_window_t* children = xcb_query_tree_children(top.get());
  const size_t count = top->children_len;
  std::vector<xcb_query_tree_cookie_t> cookies(count);
  for (size_t i = 0; i < count; ++i) cookies[i] = xcb_query_tree(c, children[i]);
  for (size_t i = 0; i < count; ++i) {
    if (const auto sub = QueryTree(c, cookies[i])) {
      const xcb_window_t* inner = xcb_query_tree_children(sub.get());
      result.insert(result.end(), inner, inner + sub->children_len);
    }
    result.push_back(children[i]);
  }
  return result;
}

QString DecodeTitle(const xcb_get_property_reply_t& reply, xcb_atom_t utf8String) {
  const auto* bytes = static_cast<const char*>(xcb_get_property_value(&reply));
  const auto size = qsizetype(reply.value_len);
  // WM_NAME may be STRING (Latin-1) or COMPOUND_TEXT, which equals Latin-1 for plain text.
  return reply.type == utf8String ? QString::fromUtf8(bytes, size)
                                  : QString::fromLatin1(bytes, size);
}

xcb_window_t FindOnScreen(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms,
                          const QString& title) {
  auto windows = Candidates(c, root, atoms);
  if (windows.size() > kMaxCandidates) windows.resize(kMaxCandidates);
  // Just enough of each name to tell a longer one from an exact match.
  const uint32_t units = uint32_t(title.toUtf8().size() / 4 + 2);
  struct Pending {
    xcb_get_property_cookie_t netName, name;
  };
  std::vector<Pending> pending;
  pending.reserve(windows.size());
  for (xcb_window_t w : windows)
    pending.push_back({RequestProperty(c, w, atoms.netWmName, atoms.utf8String, units),
                       RequestProperty(c, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, units)});
  xcb_window_t found = XCB_WINDOW_NONE;
  for (size_t i = 0; i < windows.size(); ++i) {
    // Every reply is taken, also after a match, so none is left queued on Qt's connection.
    auto netName = TakeProperty(c, pending[i].netName, 8);
    auto name = TakeProperty(c, pending[i].name, 8);
    if (found != XCB_WINDOW_NONE) continue;
    const auto& best = netName && netName->type == atoms.utf8String ? netName : name;
    if (best && best->bytes_after == 0 && DecodeTitle(*best, atoms.utf8String) == title)
      found = windows[i];
  }
  return found;
}

bool RequestSucceeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
  XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
  return !error;
}

// The ancestor of window that is a child of root (window itself for a plain top level).
xcb_window_t TopLevelAncestor(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
  for (int depth = 0; depth < kMaxAncestorDepth; ++depth) {
    const auto tree = QueryTree(c, xcb_query_tree(c, window));
    if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE) break;
    window = tree->parent;
  }
  return window;
}

// What a later start sends; one line, so a reader knows when it has all of it: "activate",
// or "open" and the paths as encoded file URLs (no blank, no line break), blank-separated.
constexpr char kActivate[] = "activate\n";
constexpr char kOpen[] = "open";
constexpr qint64 kMaxMessageBytes = 64 * 1024;  // with its line end
constexpr int kMessageWaitMs = 2000;            // a connection says what it wants within this
constexpr int kMaxConnections = 16;             // served at once; later ones are closed at once
constexpr int kHolderWaitMs = 2000;  // a holder still starting up gets this long to listen
constexpr int kRetryMs = 50;
constexpr int kSendMs = 1000;

// path without trailing slashes (which would make open() follow a final link); empty unless
// absolute.
std::string AbsoluteFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return !path.empty() && path.front() == '/' ? path : std::string();
}

// True when dir is a directory (not a link to one) of this user with none of the forbidden
// mode bits.
bool OwnFolder(const std::string& dir, mode_t forbidden) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool own = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
                   (st.st_mode & forbidden) == 0;
  ::close(fd);
  return own;
}

// The folder lock and socket live in: $XDG_RUNTIME_DIR when nobody else may write to it, else
// (without it) roadkeep-<uid> in $TMPDIR or /tmp, made 0700 and then checked, since anyone
// may have made it first. Empty when the folder is not this user's alone: then there is no
// single instance rather than one on a name others can take.
std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    const std::string dir = AbsoluteFolder(runtime);
    return !dir.empty() && OwnFolder(dir, S_IWGRP | S_IWOTH) ? dir : std::string();
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string base = AbsoluteFolder(tmp && *tmp ? tmp : "/tmp");
  if (base.empty()) base = "/tmp";
  const std::string dir = base + "/roadkeep-" + std::to_string(::getuid());
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return OwnFolder(dir, S_IRWXG | S_IRWXO) ? dir : std::string();
}

// The X server of an X display name: "host:0.1" and "host:0" share one.
QByteArray X11Server(const QByteArray& display) {
  const qsizetype colon = display.lastIndexOf(':');
  const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
  return dot < 0 ? display : display.left(dot);
}

// Which desktop this start shows on, as a file-name part, so a viewer on one display never
// takes over a start on another: the Wayland display, else the X server, else the session.
std::string DesktopKey() {
  QByteArray where;
  if (const QByteArray wayland = qgetenv("WAYLAND_DISPLAY"); !wayland.isEmpty()) {
    where = "wayland " + wayland;
  } else if (const QByteArray x11 = qgetenv("DISPLAY"); !x11.isEmpty()) {
    where = "x11 " + X11Server(x11);
  } else {
    where = "session " + qgetenv("XDG_SESSION_ID");
  }
  return QCryptographicHash::hash(where, QCryptographicHash::Sha256).toHex().left(16).toStdString();
}

// Lock and socket share this stem: <runtime folder>/roadkeep-<desktop key>; empty without a
// folder of our own.
std::string PathStem() {
  const std::string dir = RuntimeFolder();
  return dir.empty() ? dir : dir + "/roadkeep-" + DesktopKey();
}

// As many of the paths as fit the holder's limit; the rest are not sent.
QByteArray StartMessage(const QStringList& paths) {
  if (paths.isEmpty()) return kActivate;
  QByteArray line = kOpen;
  for (const QString& path : paths) {
    const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
    if (line.size() + 1 + url.size() + 1 > kMaxMessageBytes) break;
    line += ' ' + url;
  }
  return line + '\n';
}

// The paths of an "open" line (without its line end); empty for any other line.
QStringList OpenedPaths(const QByteArray& line) {
  const QList<QByteArray> words = line.split(' ');
  QStringList paths;
  if (words.value(0) != kOpen) return paths;
  for (qsizetype i = 1; i < words.size(); ++i) {
    const QUrl url = QUrl::fromEncoded(words[i], QUrl::StrictMode);
    if (url.isValid() && url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

// A socket file this user made (a listening copy's); a start sends nothing to anything else.
bool OurSocketFile(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode) &&
         st.st_uid == ::getuid();
}

// True once the message has been handed to the holder's socket.
bool AskHolderToActivate(const QString& socketPath, const QByteArray& message) {
  if (!OurSocketFile(socketPath)) return false;
  QLocalSocket socket;
  socket.connectToServer(socketPath, QIODevice::WriteOnly);
  if (!socket.waitForConnected(kSendMs)) return false;
  socket.write(message);
  while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kSendMs)) {
  }
  const bool sent = socket.bytesToWrite() == 0;
  socket.disconnectFromServer();
  return sent;
}

// Whether the peer of a connection runs as this user (the folder should already see to it).
bool FromThisUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
             0 &&
         peer.uid == ::getuid();
}

void Drop(QLocalSocket* socket) {
  socket->abort();
  socket->deleteLater();
}

}  // namespace

CSingleInstance::CSingleInstance(QObject* parent)
    : QObject(parent),
      m_stem(PathStem()),
      m_lockPath(m_stem.empty() ? m_stem : m_stem + ".lock"),
      m_socketPath(QString::fromStdString(m_stem.empty() ? m_stem : m_stem + ".socket")) {}

CSingleInstance::~CSingleInstance() {
  m_server.reset();                      // removes the socket file while the lock is still held
  if (m_lockFd >= 0) ::close(m_lockFd);  // closing the last descriptor drops the flock
}

bool CSingleInstance::Acquire(const QStringList& paths) {
  if (m_stem.empty() || m_lockFd >= 0) return true;
  const QByteArray message = StartMessage(paths);
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    // The lock is tried again each round: a holder that dies meanwhile lets this start run.
    switch (TryLock()) {
      case LockResult::kUnusable:
        return true;
      case LockResult::kTaken:
        Listen();
        return true;
      case LockResult::kHeldElsewhere:
        break;
    }
    if (AskHolderToActivate(m_socketPath, message)) return false;
    // A live process holds the lock, so never a second viewer, reached or not.
    if (waited.elapsed() >= kHolderWaitMs) return false;
    QThread::msleep(kRetryMs);
  }
}

CSingleInstance::LockResult CSingleInstance::TryLock() {
  const int fd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return LockResult::kUnusable;
  // Only a plain file of this user's is a lock; anything else never stops the start.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
    ::close(fd);
    return LockResult::kUnusable;
  }
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? LockResult::kHeldElsewhere : LockResult::kUnusable;
  }
  m_lockFd = fd;
  return LockResult::kTaken;
}

void CSingleInstance::Listen() {
  // With the lock held no live copy listens here: a socket file left is a crashed copy's.
  QLocalServer::removeServer(m_socketPath);
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_server.get(), &QLocalServer::newConnection, this, [this] { OnConnection(); });
  // Without the socket this copy still runs; later starts then end without reaching it.
  if (!m_server->listen(m_socketPath)) m_server.reset();
}

void CSingleInstance::OnConnection() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    if (m_connections >= kMaxConnections || !FromThisUser(*socket)) {
      Drop(socket);
      continue;
    }
    ++m_connections;
    connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A start says what it wants at once; an idle or endless connection is no start.
    socket->setReadBufferSize(kMaxMessageBytes);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] { Drop(socket); });
    deadline->start(kMessageWaitMs);
    const auto read = [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= kMaxMessageBytes) Drop(socket);
        return;
      }
      const QByteArray line = socket->readLine(kMaxMessageBytes + 1);
      if (!line.endsWith('\n')) return Drop(socket);
      socket->disconnectFromServer();
      const QStringList paths = OpenedPaths(line.chopped(1));
      if (!paths.isEmpty() && m_openPaths) m_openPaths(paths);
      if (line == kActivate || !paths.isEmpty()) Activate();
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();  // the line may have arrived with the connection
  }
}

void CSingleInstance::Activate() {
  QWidget* window = m_window;
  if (!window) return;  // not shown yet: it comes up in front anyway
  if (window->isMinimized())
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window->raise();
  window->activateWindow();
  // Qt stamps its focus request with the last X event time this process saw, which the
  // server ignores when another client took the focus after that; this one carries no stamp.
  if (window->isWindow()) ActivateTopLevelWindow(uint32_t(window->winId()));
}

uint32_t FindTopLevelWindow(const QString& title) {
  xcb_connection_t* c = X11Connection();
  if (!c || title.isEmpty()) return 0;
  const Atoms atoms = InternAtoms(c);
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
    if (const xcb_window_t w = FindOnScreen(c, it.data->root, atoms, title)) return w;
  }
  return 0;
}

bool ActivateTopLevelWindow(uint32_t window) {
  xcb_connection_t* c = X11Connection();
  if (!c || window == XCB_WINDOW_NONE) return false;
  const auto tree = QueryTree(c, xcb_query_tree(c, window));
  if (!tree) return false;
  const xcb_window_t root = tree->root;
  const Atoms atoms = InternAtoms(c);

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = atoms.activeWindow;
  message.data.data32[0] = 1;  // source indication: an application
  message.data.data32[1] = XCB_CURRENT_TIME;
  bool ok = true;
  const auto check = [&](xcb_void_cookie_t cookie) { ok = RequestSucceeded(c, cookie) && ok; };
  check(xcb_send_event_checked(
      c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
      reinterpret_cast<const char*>(&message)));

  // Nobody acts on the message without a window manager: do its job directly.
  if (!WindowManagerRunning(c, root, atoms)) {
    const xcb_window_t top = TopLevelAncestor(c, window, root);
    const uint32_t stackAbove[] = {XCB_STACK_MODE_ABOVE};
    check(xcb_map_window_checked(c, window));
    if (top != window) check(xcb_map_window_checked(c, top));
    check(xcb_configure_window_checked(c, top, XCB_CONFIG_WINDOW_STACK_MODE, stackAbove));
    check(xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME));
  }
  xcb_flush(c);
  return ok;
}

bool X11WindowManagerRunning() {
  xcb_connection_t* c = X11Connection();
  if (!c) return false;
  const Atoms atoms = InternAtoms(c);
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it)) {
    if (WindowManagerRunning(c, it.data->root, atoms)) return true;
  }
  return false;
}
