#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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
// with the given runtime folder, so lock and socket are the test's own.
QProcessEnvironment HelperEnvironment(const QString& runtimeDir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", QGuiApplication::platformName());
  env.insert("XDG_RUNTIME_DIR", runtimeDir);
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

TEST(SingleInstance, TwoQuickStartsGiveOneRunningViewer) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    QTemporaryDir runtime;
    const auto env = HelperEnvironment(runtime.path());
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
    QTemporaryDir runtime;
    const auto env = HelperEnvironment(runtime.path());
    Helper first({"--viewer", UniqueTitle("first")}, env);
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
    EXPECT_EQ(RunAcquire(env), kMustNotRun);
    EXPECT_TRUE(first.WaitForLineAfter(before, "activated"));
    if (c.after) {
      EXPECT_TRUE(first.WaitForLineAfter(before, c.after));
    }
  }
}

// A start with paths (the desktop opening files with the viewer) hands them, whatever
// characters they hold, to the copy that runs.
TEST(SingleInstance, SecondStartHandsItsPathsToTheFirst) {
  QTemporaryDir runtime;
  const auto env = HelperEnvironment(runtime.path());
  Helper first({"--viewer", UniqueTitle("paths")}, env);
  ASSERT_TRUE(first.WaitForLine("ready"));
  const QStringList paths = {"/media/user/CARD", "/home/user/a clip %20.avi",
                             QString::fromUtf8("/tmp/録画\nline.avi")};
  const qsizetype before = first.Lines().size();
  EXPECT_EQ(Helper(QStringList{"--acquire"} + paths, env).ExitCode(), kMustNotRun);
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
    const fs::path socket = runtime.filePath("roadkeep.socket").toStdString();
    {
      Helper gone({"--viewer", UniqueTitle("gone")}, env);
      ASSERT_TRUE(gone.WaitForLine("ready"));
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
  // The holder is this test: it starts listening late, or never.
  for (const bool listens : {true, false}) {
    SCOPED_TRACE(listens ? "listens late" : "never listens");
    QTemporaryDir runtime;
    WriteFile(runtime.filePath("roadkeep.lock").toStdString(), "");
    const HeldLock held(runtime.filePath("roadkeep.lock").toStdString());
    ASSERT_TRUE(held.Held());
    Helper second({"--acquire"}, HelperEnvironment(runtime.path()));
    QLocalServer server;
    QByteArray received;
    if (listens) {
      QTest::qWait(300);  // the second has most likely found nobody listening by now
      ASSERT_TRUE(server.listen(runtime.filePath("roadkeep.socket")));
      ASSERT_TRUE(server.waitForNewConnection(kWaitMs));
      QLocalSocket* socket = server.nextPendingConnection();
      ASSERT_TRUE(QTest::qWaitFor(
          [&] {
            received += socket->readAll();
            return received.endsWith('\n') || socket->state() != QLocalSocket::ConnectedState;
          },
          kWaitMs));
      received += socket->readAll();
    }
    EXPECT_EQ(second.ExitCode(), kMustNotRun);
    EXPECT_EQ(received, listens ? QByteArray("activate\n") : QByteArray());
  }
}

TEST(SingleInstance, AnUnusableLockFileNeverStopsTheStart) {
  QTemporaryDir temp;
  const fs::path t = temp.path().toStdString();
  WriteFile(t / "file", "x");
  WriteFile(t / "target", "");
  fs::create_directory(t / "linked");
  fs::create_symlink(t / "target", t / "linked" / "roadkeep.lock");
  const HeldLock heldTarget((t / "target").string());
  std::vector<const char*> dirs = {"missing", "file", "linked"};
  std::unique_ptr<HeldLock> heldForeign;
  if (::geteuid() == 0) {  // only root can plant a lock file owned by someone else
    fs::create_directory(t / "foreign");
    WriteFile(t / "foreign" / "roadkeep.lock", "");
    ASSERT_EQ(::chown((t / "foreign" / "roadkeep.lock").c_str(), 65534, 65534), 0);
    heldForeign = std::make_unique<HeldLock>((t / "foreign" / "roadkeep.lock").string());
    dirs.push_back("foreign");
  }
  for (const char* dir : dirs) {
    SCOPED_TRACE(dir);
    EXPECT_EQ(RunAcquire(HelperEnvironment(QString::fromStdString((t / dir).string()))), kMayRun);
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
