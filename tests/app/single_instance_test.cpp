#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QProcess>
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

constexpr int kWaitMs = 10000;
constexpr int kMayRun = 0;
constexpr int kMustNotRun = 3;

QString UniqueTitle(const char* what) {
  static int serial = 0;
  return QString("Roadkeep test %1 %2-%3").arg(what).arg(::getpid()).arg(++serial);
}

QString HelperPath() { return QCoreApplication::applicationDirPath() + "/roadkeep-title-window"; }

QProcessEnvironment HelperEnvironment(const QString& platform, const QString& runtimeDir = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", platform);
  if (!runtimeDir.isEmpty()) env.insert("XDG_RUNTIME_DIR", runtimeDir);
  return env;
}

// A running roadkeep-title-window whose output lines the test waits on.
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
  void Send(const char* line) { m_process.write(line); }

 private:
  QProcess m_process;
  QString m_output;
};

// Whether the window's last reported activation state is "activated".
bool LastSaysActive(const QStringList& lines) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (*it == "activated") return true;
    if (*it == "deactivated") return false;
  }
  return false;
}

// Exit code of a one-shot "--acquire title" helper; -1 when it did not finish.
int RunAcquire(const QString& title, const QProcessEnvironment& env) {
  QProcess process;
  process.setProcessEnvironment(env);
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(HelperPath(), {"--acquire", title});
  if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit) {
    process.kill();
    return -1;
  }
  return process.exitCode();
}

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

void WriteFile(const fs::path& path, const char* text) { std::ofstream(path) << text; }

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

TEST(SingleInstanceX11, SecondStartMustNotRunAndActivatesTheFirstWindow) {
  SKIP_UNLESS_X11();
  const QString title = UniqueTitle("second start");
  Helper first({"--show", title, "--report-activation"}, HelperEnvironment("xcb"));
  ASSERT_TRUE(first.WaitForLine("ready"));

  // Where showing activated it (a window manager may), another window takes the focus, so
  // the activation seen below is the second start's work.
  QWidget other;
  other.setWindowTitle(UniqueTitle("other"));
  other.show();
  other.activateWindow();
  ASSERT_TRUE(first.WaitUntil([](const QStringList& lines) { return !LastSaysActive(lines); }));

  // Other cases may move the focus meanwhile: any activation after the second start counts.
  const qsizetype before = first.Lines().size();
  EXPECT_EQ(RunAcquire(title, HelperEnvironment("xcb")), kMustNotRun);
  EXPECT_TRUE(first.WaitUntil(
      [before](const QStringList& lines) { return lines.mid(before).contains("activated"); }));
}

TEST(SingleInstanceX11, MayRunWhenNoWindowHasTheTitle) {
  SKIP_UNLESS_X11();
  const QString title = UniqueTitle("absent");
  EXPECT_EQ(RunAcquire(title, HelperEnvironment("xcb")), kMayRun);

  // Any window with the title counts, this process's own included.
  CSingleInstance instance;
  EXPECT_TRUE(instance.Acquire(title));
  QWidget window;
  window.setWindowTitle(title);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kWaitMs));
  EXPECT_FALSE(CSingleInstance().Acquire(title));
}

TEST(SingleInstanceLockFile, SecondStartIsRefusedWhileTheFirstHoldsTheLock) {
  QTemporaryDir runtime;
  const auto env = HelperEnvironment("offscreen", runtime.path());
  const QString title = UniqueTitle("lock");
  Helper holder({"--acquire", title, "--hold"}, env);
  ASSERT_TRUE(holder.WaitForLine("may run"));
  EXPECT_TRUE(fs::is_regular_file(runtime.filePath("roadkeep.lock").toStdString()));

  EXPECT_EQ(RunAcquire(title, env), kMustNotRun);
  EXPECT_EQ(RunAcquire(UniqueTitle("other title"), env), kMustNotRun);  // the title plays no part

  holder.Send("release\n");
  ASSERT_TRUE(holder.WaitForLine("released"));
  EXPECT_EQ(RunAcquire(title, env), kMayRun);
}

// Holds an flock on path for the object's life, as another process would (none when path
// cannot be opened).
class HeldLock {
 public:
  explicit HeldLock(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY)) {
    if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
  }
  ~HeldLock() {
    if (m_fd >= 0) ::close(m_fd);
  }

 private:
  int m_fd;
};

TEST(SingleInstanceLockFile, AnUnusableLockFileNeverStopsTheStart) {
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
    const auto env = HelperEnvironment("offscreen", QString::fromStdString((t / dir).string()));
    EXPECT_EQ(RunAcquire(UniqueTitle("unusable"), env), kMayRun);
  }
}

}  // namespace
