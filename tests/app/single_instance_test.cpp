#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QUrl>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "tests/app/x11_display.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 15000;  // generous: the machine is shared
constexpr int kMayRun = 0;
constexpr int kMustNotRun = 3;

QString UniqueTitle(const char* what) {
  static int serial = 0;
  return QString("Roadkeep test %1 %2-%3").arg(what).arg(::getpid()).arg(++serial);
}

QString HelperPath() { return QCoreApplication::applicationDirPath() + "/roadkeep-title-window"; }

// The helpers run on this process's platform (xcb under an X server, else offscreen), each
// with dir as its runtime folder (or, without one, as $TMPDIR), so lock and socket are the
// test's own.
QProcessEnvironment HelperEnvironment(const QString& dir, bool runtime = true) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", QGuiApplication::platformName());
  env.remove("XDG_RUNTIME_DIR");
  env.insert(runtime ? "XDG_RUNTIME_DIR" : "TMPDIR", dir);
  env.remove("WAYLAND_DISPLAY");  // the X display, or none, names the desktop
  if (env.value("DISPLAY").isEmpty()) env.insert("DISPLAY", ":90");
  return env;
}

// A helper process whose output lines the test waits on; ended (standard input closed, so
// cleanly) with the object.
class Helper {
 public:
  Helper(const QStringList& args, const QProcessEnvironment& env) {
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(HelperPath(), args);
  }
  ~Helper() {
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kWaitMs)) m_process.kill();
    m_process.waitForFinished(kWaitMs);
  }

  QStringList Lines() {
    m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    return m_output.split('\n', Qt::SkipEmptyParts);
  }
  // Waits (processing events) until pred holds over the lines printed so far.
  bool WaitUntil(const std::function<bool(const QStringList&)>& pred) {
    return QTest::qWaitFor([&] { return pred(Lines()); }, kWaitMs);
  }
  bool WaitForLine(const QString& line) {
    return WaitUntil([&](const QStringList& lines) { return lines.contains(line); });
  }
  // Whether line is printed after the first `after` lines.
  bool WaitForLineAfter(qsizetype after, const QString& line) {
    return WaitUntil([&](const QStringList& lines) { return lines.mid(after).contains(line); });
  }
  void Send(const QString& line) { m_process.write((line + '\n').toUtf8()); }
  // The exit code once it has ended by itself; -1 when it did not end or crashed.
  int ExitCode() {
    if (!QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, kWaitMs))
      return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
  }
  bool Ended() const { return m_process.state() == QProcess::NotRunning; }
  void Crash() {
    m_process.kill();  // SIGKILL: nothing is cleaned up
    m_process.waitForFinished(kWaitMs);
  }
  void End() {
    m_process.closeWriteChannel();
    m_process.waitForFinished(kWaitMs);
  }

 private:
  QProcess m_process;
  QString m_output;
};

int RunAcquire(const QProcessEnvironment& env) { return Helper({"--acquire"}, env).ExitCode(); }

// The first copy, run as the viewer in a runtime folder of its own.
struct FirstCopy {
  explicit FirstCopy(const char* what) : helper({"--viewer", UniqueTitle(what)}, env) {}
  QTemporaryDir runtime;
  const QProcessEnvironment env = HelperEnvironment(runtime.path());
  Helper helper;
};

// The one file in dir whose name ends with suffix; empty when there is none.
fs::path InstanceFile(const QString& dir, const std::string& suffix) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir.toStdString(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > suffix.size() && name.ends_with(suffix)) return entry.path();
  }
  return {};
}

// The names lock and socket get ("<stem>.lock", "<stem>.socket") for the X display of env,
// from a start in a folder of its own.
std::string InstanceStem() {
  QTemporaryDir runtime;
  if (RunAcquire(HelperEnvironment(runtime.path())) != kMayRun) return {};
  return InstanceFile(runtime.path(), ".lock").stem().string();
}

void WriteFile(const fs::path& path, const char* text) { std::ofstream(path) << text; }

// Holds an flock on path for the object's life, as another live process would (none when
// path cannot be opened).
class HeldLock {
 public:
  explicit HeldLock(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY)) {
    if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
  }
  ~HeldLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd;
};

// A live copy as a test plays it in folder dir: the lock held and, once it listens, a socket
// whose messages the test reads.
class FakeHolder {
 public:
  FakeHolder(const fs::path& dir, const std::string& stem)
      : m_lock((WriteFile(dir / (stem + ".lock"), ""), (dir / (stem + ".lock")).string())),
        m_socket(dir / (stem + ".socket")) {}
  bool Held() const { return m_lock.Held(); }
  bool Listen() { return m_server.listen(QString::fromStdString(m_socket.string())); }
  const fs::path& Socket() const { return m_socket; }
  // What has been sent so far, once every sender has closed (the helper has ended).
  QByteArray Received() {
    QByteArray received;
    while (m_server.isListening() && m_server.waitForNewConnection(100)) {
      QLocalSocket* socket = m_server.nextPendingConnection();
      if (!QTest::qWaitFor([&] { return socket->state() != QLocalSocket::ConnectedState; },
                           kWaitMs)) {
        received += "(still connected)";
      }
      received += socket->readAll();
    }
    return received;
  }

 private:
  HeldLock m_lock;
  fs::path m_socket;
  QLocalServer m_server;
};

// Also without $XDG_RUNTIME_DIR, where both make the folder they meet in.
TEST(SingleInstance, TwoQuickStartsGiveOneRunningViewer) {
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    QTemporaryDir runtime;
    const auto env = HelperEnvironment(runtime.path(), round % 2 == 0);
    Helper a({"--viewer", UniqueTitle("quick")}, env);
    Helper b({"--viewer", UniqueTitle("quick")}, env);
    const auto runs = [](Helper& h) { return h.Lines().contains("may run"); };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (runs(a) || a.Ended()) && (runs(b) || b.Ended()); }, kWaitMs));
    ASSERT_NE(runs(a), runs(b)) << "none or both may run";
    Helper& loser = runs(a) ? b : a;
    EXPECT_EQ(loser.ExitCode(), kMustNotRun);
    EXPECT_FALSE((runs(a) ? a : b).Ended());
  }
}

// The first copy is shown and not active; how it has changed since must not hide it.
struct ActivationCase {
  const char* name;
  const char* command;  // sent to the first copy before the second start
  const char* answer;   // what the first prints once it has obeyed
  const char* after;    // what the first must print after the second start besides "activated"
};

TEST(SingleInstance, SecondStartEndsAndBringsTheFirstWindowForward) {
  const ActivationCase cases[] = {
      {"as shown", nullptr, nullptr, nullptr},
      {"retitled by an export", "title Exporting 42%", "titled", nullptr},
      {"minimised", "minimise", "minimised", "restored"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FirstCopy copy("first");
    Helper& first = copy.helper;
    ASSERT_TRUE(first.WaitForLine("ready"));
    if (c.command) {
      first.Send(c.command);
      ASSERT_TRUE(first.WaitForLine(c.answer));
    }
    // On X another program holds the focus, as when the user starts the viewer again from a
    // launcher; its focus change is later than any the first copy has seen.
    QWidget elsewhere;
    if (roadkeep::test::OnX11()) {
      elsewhere.setWindowTitle(UniqueTitle("elsewhere"));
      elsewhere.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&elsewhere, kWaitMs));
      ActivateTopLevelWindow(uint32_t(elsewhere.winId()));
      ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere, kWaitMs));
    }
    const qsizetype before = first.Lines().size();
    EXPECT_EQ(RunAcquire(copy.env), kMustNotRun);
    EXPECT_TRUE(first.WaitForLineAfter(before, "activated"));
    if (c.after) {
      EXPECT_TRUE(first.WaitForLineAfter(before, c.after));
    }
  }
}

// A start with paths (the desktop opening files with the viewer) hands them, whatever
// characters they hold, to the copy that runs.
TEST(SingleInstance, SecondStartHandsItsPathsToTheFirst) {
  FirstCopy copy("paths");
  Helper& first = copy.helper;
  ASSERT_TRUE(first.WaitForLine("ready"));
  const QStringList paths = {"/media/user/CARD", "/home/user/a clip %20.avi",
                             QString::fromUtf8("/tmp/録画\nline.avi")};
  const qsizetype before = first.Lines().size();
  EXPECT_EQ(Helper(QStringList{"--acquire"} + paths, copy.env).ExitCode(), kMustNotRun);
  QString expected = "opened";
  for (const QString& path : paths) expected += ' ' + QUrl::fromLocalFile(path).toEncoded();
  EXPECT_TRUE(first.WaitForLineAfter(before, expected)) << first.Lines().join('\n').toStdString();
  EXPECT_TRUE(first.WaitForLineAfter(before, "activated"));
}

TEST(SingleInstance, ACopyThatEndedOrCrashedDoesNotStopTheNextOne) {
  for (const bool crash : {false, true}) {
    SCOPED_TRACE(crash ? "crashed" : "ended");
    QTemporaryDir runtime;
    const auto env = HelperEnvironment(runtime.path());
    fs::path socket;
    {
      Helper gone({"--viewer", UniqueTitle("gone")}, env);
      ASSERT_TRUE(gone.WaitForLine("ready"));
      socket = InstanceFile(runtime.path(), ".socket");
      ASSERT_FALSE(socket.empty());
      crash ? gone.Crash() : gone.End();
    }
    EXPECT_EQ(fs::exists(fs::symlink_status(socket)), crash);  // a crash leaves its socket

    Helper next({"--viewer", UniqueTitle("next")}, env);
    ASSERT_TRUE(next.WaitForLine("ready"));
    const qsizetype before = next.Lines().size();
    EXPECT_EQ(RunAcquire(env), kMustNotRun);
    EXPECT_TRUE(next.WaitForLineAfter(before, "activated"));  // it listens on the old name
  }
}

TEST(SingleInstance, WhileAnotherProcessHoldsTheLockAStartNeverRuns) {
  const std::string stem = InstanceStem();
  ASSERT_FALSE(stem.empty());
  // The holder is this test: it starts listening late, never, or (as root, who can give the
  // socket file away) on a socket file of another user, which must not be sent anything.
  enum Listens { kLate, kNever, kForeign };
  for (const Listens listens : {kLate, kNever, kForeign}) {
    SCOPED_TRACE(listens);
    if (listens == kForeign && ::geteuid() != 0) continue;
    QTemporaryDir runtime;
    FakeHolder holder(runtime.path().toStdString(), stem);
    ASSERT_TRUE(holder.Held());
    if (listens == kForeign) {
      ASSERT_TRUE(holder.Listen());
      ASSERT_EQ(::lchown(holder.Socket().c_str(), 65534, 65534), 0);
    }
    Helper second({"--acquire"}, HelperEnvironment(runtime.path()));
    if (listens == kLate) {
      QTest::qWait(300);  // the second has most likely found nobody listening by now
      ASSERT_TRUE(holder.Listen());
    }
    EXPECT_EQ(second.ExitCode(), kMustNotRun);
    EXPECT_EQ(holder.Received(), listens == kLate ? QByteArray("activate\n") : "");
  }
}

TEST(SingleInstance, AnUnusableLockFileNeverStopsTheStart) {
  const std::string stem = InstanceStem();
  ASSERT_FALSE(stem.empty());
  QTemporaryDir temp;
  const fs::path t = temp.path().toStdString();
  WriteFile(t / "target", "");
  const HeldLock heldTarget((t / "target").string());
  std::unique_ptr<HeldLock> heldForeign;
  struct Case {
    const char* name;
    std::function<void(const fs::path& lock)> plant;
  };
  std::vector<Case> cases = {
      {"a link to a held file", [&](const fs::path& lock) { fs::create_symlink(t / "target", lock); }},
      {"a folder", [](const fs::path& lock) { fs::create_directory(lock); }},
  };
  if (::geteuid() == 0) {  // only root can plant a lock file owned by someone else
    cases.push_back({"another user's held file", [&](const fs::path& lock) {
                       WriteFile(lock, "");
                       ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
                       heldForeign = std::make_unique<HeldLock>(lock.string());
                     }});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir runtime;
    c.plant(fs::path(runtime.path().toStdString()) / (stem + ".lock"));
    EXPECT_EQ(RunAcquire(HelperEnvironment(runtime.path())), kMayRun);
  }
}

// A folder that is not this user's alone is never used, for the lock or the socket: the start
// runs on its own although a copy seems to hold the lock there and listens.
TEST(SingleInstance, ARuntimeFolderOthersCanReachIsNeverUsed) {
  const std::string stem = InstanceStem();
  ASSERT_FALSE(stem.empty());
  const std::string fallback = "roadkeep-" + std::to_string(::getuid());
  struct Case {
    const char* name;
    bool runtime;        // as $XDG_RUNTIME_DIR; else as the folder in $TMPDIR made without it
    const char* folder;  // the folder's name in the temporary folder
    mode_t mode;         // the held folder's
    bool link;           // the folder is a link to the held one
    bool foreign;        // the held folder belongs to another user (root only)
  };
  const Case cases[] = {
      {"runtime: a link", true, "link", 0700, true, false},
      {"runtime: others may write", true, "held", 0722, false, false},
      {"runtime: another user's", true, "held", 0700, false, true},
      {"without: a link", false, fallback.c_str(), 0700, true, false},
      {"without: others may read", false, fallback.c_str(), 0755, false, false},
      {"without: another user's", false, fallback.c_str(), 0700, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.foreign && ::geteuid() != 0) continue;
    QTemporaryDir temp;
    const fs::path t = temp.path().toStdString();
    const fs::path held = c.link ? t / "target" : t / c.folder;
    fs::create_directory(held);
    FakeHolder holder(held, stem);
    ASSERT_TRUE(holder.Held() && holder.Listen());
    ASSERT_EQ(::chmod(held.c_str(), c.mode), 0);
    if (c.foreign) {
      ASSERT_EQ(::chown(held.c_str(), 65534, 65534), 0);
    }
    if (c.link) fs::create_symlink(held, t / c.folder);
    const QString dir = c.runtime ? QString::fromStdString((t / c.folder).string()) : temp.path();
    EXPECT_EQ(RunAcquire(HelperEnvironment(dir, c.runtime)), kMayRun);
    EXPECT_EQ(holder.Received(), "");
  }
}

// One viewer per desktop: a start on another display runs on its own, one on the same X
// server (whatever its screen) is handed over.
TEST(SingleInstance, AStartOnAnotherDisplayRunsOnItsOwn) {
  FirstCopy first("display");
  ASSERT_TRUE(first.helper.WaitForLine("ready"));
  const QString display = first.env.value("DISPLAY");
  struct Case {
    const char* name;
    QString display, wayland;
    int exitCode;
  };
  const Case cases[] = {
      {"the same display", display, {}, kMustNotRun},
      {"another screen of it", display.contains('.') ? display : display + ".1", {}, kMustNotRun},
      {"another X server", display == ":97" ? ":98" : ":97", {}, kMayRun},
      {"a Wayland display", display, "wayland-rk", kMayRun},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QProcessEnvironment second = first.env;
    second.insert("QT_QPA_PLATFORM", "offscreen");  // the display named need not exist
    second.insert("DISPLAY", c.display);
    if (!c.wayland.isEmpty()) second.insert("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(RunAcquire(second), c.exitCode);
  }
  EXPECT_FALSE(first.helper.Ended());
}

// A connection to the running copy that does not send one line of at most 64 KiB at once is
// closed, and what it sent is never acted on; one that does is. Too much, or a 17th connection
// at once, is closed as it arrives while the idle ones made before it still wait.
TEST(SingleInstance, TheHolderClosesConnectionsThatSayTooLittleOrTooMuchOrComeTooMany) {
  const QByteArray fits = "file:///fits" + QByteArray(60 * 1024, 'a');
  struct Case {
    const char* name;
    QByteArray sent;
    int idle;    // connections made before it
    bool acted;  // the holder opens what it sent
  };
  const Case cases[] = {
      {"nothing", "", 0, false},
      {"an unended MiB", QByteArray(1 << 20, 'c'), 1, false},
      {"a line past 64 KiB", "open file:///" + QByteArray(64 * 1024, 'b') + "\n", 1, false},
      {"a line within 64 KiB", "open " + fits + "\n", 1, true},
      {"the 17th at once", "open " + fits + "\n", 16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FirstCopy first(c.name);
    ASSERT_TRUE(first.helper.WaitForLine("ready"));
    const QString socketPath =
        QString::fromStdString(InstanceFile(first.runtime.path(), ".socket"));
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i <= c.idle; ++i) {
      sockets.push_back(std::make_unique<QLocalSocket>());
      sockets.back()->connectToServer(socketPath);
      ASSERT_TRUE(sockets.back()->waitForConnected(kWaitMs));
    }
    QLocalSocket& socket = *sockets.back();
    socket.write(c.sent);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, kWaitMs));
    for (int i = 0; i < c.idle; ++i) {
      EXPECT_EQ(sockets[i]->state(), QLocalSocket::ConnectedState) << i;
    }
    sockets.clear();
    // Handled in order, so a line acted on has been seen before this one.
    EXPECT_EQ(Helper({"--acquire", "/after"}, first.env).ExitCode(), kMustNotRun);
    ASSERT_TRUE(first.helper.WaitForLine("opened file:///after"));
    const QStringList opened = first.helper.Lines().filter("opened ");
    EXPECT_EQ(opened.size(), c.acted ? 2 : 1);
    EXPECT_TRUE(!c.acted || opened.first() == "opened " + fits);
  }
}

// The X11 helpers the viewer's journeys find its window with.

xcb_connection_t* Connection() { return roadkeep::test::X11Connection(); }

xcb_atom_t Atom(const char* name) {
  xcb_connection_t* c = Connection();
  auto* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// An unmapped window made with plain xcb, as another program would, named through one
// property; destroyed with the object.
class RawWindow {
 public:
  RawWindow(xcb_window_t parent, xcb_atom_t nameProperty, xcb_atom_t type, const QString& name) {
    xcb_connection_t* c = Connection();
    m_id = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_id, parent, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    if (nameProperty != XCB_ATOM_NONE) {
      const QByteArray bytes = type == XCB_ATOM_STRING ? name.toLatin1() : name.toUtf8();
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_id, nameProperty, type, 8,
                          uint32_t(bytes.size()), bytes.constData());
    }
  }
  ~RawWindow() {
    xcb_destroy_window(Connection(), m_id);
    xcb_flush(Connection());
  }
  xcb_window_t Id() const { return m_id; }

 private:
  xcb_window_t m_id = 0;
};

xcb_window_t Root() { return xcb_setup_roots_iterator(xcb_get_setup(Connection())).data->root; }

TEST(SingleInstanceX11, FindsTheWindowWithExactlyTheTitleAndNoOther) {
  SKIP_UNLESS_X11();
  const QString titles[] = {UniqueTitle("plain"), UniqueTitle("終了しますか")};
  for (const QString& title : titles) {
    SCOPED_TRACE(title.toStdString());
    QWidget window;
    window.setWindowTitle(title);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kWaitMs));
    EXPECT_EQ(FindTopLevelWindow(title), uint32_t(window.winId()));
    EXPECT_EQ(FindTopLevelWindow(title + "x"), 0u);
    EXPECT_EQ(FindTopLevelWindow(title.chopped(1)), 0u);
    EXPECT_EQ(FindTopLevelWindow(title.toUpper()), 0u);  // case matters
  }
}

TEST(SingleInstanceX11, WithoutAWindowManagerLooksOneLevelBelowTheRootChildren) {
  SKIP_UNLESS_X11();
  if (X11WindowManagerRunning()) GTEST_SKIP() << "a window manager lists the clients";
  const xcb_atom_t utf8 = Atom("UTF8_STRING");
  const xcb_atom_t netName = Atom("_NET_WM_NAME");
  const QString title = UniqueTitle("tree");

  {  // WM_NAME alone, on a root child.
    RawWindow plain(Root(), XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    EXPECT_EQ(FindTopLevelWindow(title), plain.Id());
  }
  {  // A frame that repeats the title: the client inside it is the one found.
    RawWindow frame(Root(), XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    RawWindow client(frame.Id(), netName, utf8, title);
    EXPECT_EQ(FindTopLevelWindow(title), client.Id());
  }
  {  // _NET_WM_NAME wins over a different WM_NAME.
    RawWindow both(Root(), netName, utf8, title + " net");
    const QByteArray wmName = (title + " wm").toLatin1();
    xcb_change_property(Connection(), XCB_PROP_MODE_REPLACE, both.Id(), XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, uint32_t(wmName.size()), wmName.constData());
    EXPECT_EQ(FindTopLevelWindow(title + " net"), both.Id());
    EXPECT_EQ(FindTopLevelWindow(title + " wm"), 0u);
  }
  {  // Two levels down is no longer a top-level window.
    RawWindow frame(Root(), XCB_ATOM_NONE, XCB_ATOM_NONE, {});
    RawWindow middle(frame.Id(), XCB_ATOM_NONE, XCB_ATOM_NONE, {});
    RawWindow deep(middle.Id(), netName, utf8, title);
    EXPECT_EQ(FindTopLevelWindow(title), 0u);
  }
}

}  // namespace
