// The viewer as a user meets it, under a real X server
// (xvfb-run -a -s "-screen 0 1920x1200x24" build/bin/viewer_bench):
//
// BM_ViewerStartup: the whole viewer process, from just before it is started to its first
// painted window (its start-up probe), in ms: median and worst of the runs (goal under 500).
// The runs alternate between a card of 400 recordings and no card; "card_ms", the difference
// of the medians, stays near zero while listing the card is off the start-up path, and
// "web_engine_linked" says whether the executable loads Qt WebEngine at all (the web engine
// belongs to the first open, never to start-up).
//
// BM_ViewerPlayback: CPU seconds of this process while the main window plays a recording
// (1920x1080 front, 1280x720 rear, 30 fps, 60 s) into its panes, against the CPU seconds of
// `roadkeep-tool play` playing it headless into panes of the same sizes in the same run
// ("x_tool"), with the frames each side showed and the window painted. map_shown:0 plays
// in the panes as opened, the map hidden (goal x_tool at most 1.15); map_shown:1 puts the
// map in the main pane as the opening returns, as the Map button does (the front camera in
// the small pane, the rear hidden, so every frame plays at the panes' final sizes; goal at
// most 1.3). The map module is loaded at the opening unless ROADKEEP_MAP=0. The window's
// CPU per thread goes to standard error.
//
// ROADKEEP_BENCH_SECONDS shortens the recording (60 s by default; the card is made once and
// kept in bench-cards/ next to bin/); ROADKEEP_BENCH_RUNS sets the start-ups of each kind (10).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_util.h"
#include "app/main_window.h"
#include "app/map_pane.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "concurrency/trace.h"
#include "tests/app/viewer_rig.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using roadkeep::bench::BinDir;
using roadkeep::bench::CachedCard;
using roadkeep::bench::EnvInt;
using roadkeep::bench::MonotonicNs;
using roadkeep::bench::Quoted;
using roadkeep::test::TempDir;

constexpr char kNeedsDisplay[] =
    "needs an X server: run under xvfb-run -a -s \"-screen 0 1920x1200x24\"";
constexpr char kRecording[] = "REC_20140301_093000_D.avi";

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// The folder this executable sits in; the viewer and the tool are built next to it.
// A child process with its standard output on a pipe.
struct Child {
  pid_t pid = -1;
  int out = -1;
};

// Starts args[0] in workDir with the environment changed by `env`, standard output into a
// pipe, standard error into errPath. pid -1 when it could not start.
Child Spawn(const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env, const std::string& workDir,
            const std::string& errPath) {
  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const bool replaced = std::any_of(env.begin(), env.end(), [&](const auto& kv) {
      return entry.rfind(kv.first + "=", 0) == 0;
    });
    if (!replaced) envText.push_back(entry);
  }
  for (const auto& [key, value] : env) envText.push_back(key + "=" + value);
  // Everything the child needs is built before the fork: after it only exec-safe calls.
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Child child;
  child.pid = fork();
  if (child.pid == 0) {
    if (chdir(workDir.c_str()) != 0) _exit(126);
    dup2(pipeFds[1], STDOUT_FILENO);
    if (errFd >= 0) dup2(errFd, STDERR_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipeFds[1]);
  if (errFd >= 0) close(errFd);
  if (child.pid < 0) {
    close(pipeFds[0]);
    return {};
  }
  child.out = pipeFds[0];
  return child;
}

// Reads the child's output to its end, at most timeoutMs; then waits for the child, killing
// it first when it did not finish in time. False on a timeout or an abnormal exit.
bool Finish(Child& child, int timeoutMs, std::string* output, rusage* usage = nullptr) {
  const int64_t deadline = MonotonicNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  bool eof = false;
  char buffer[4096];
  while (!eof) {
    const int64_t leftMs = (deadline - MonotonicNs()) / 1000000;
    if (leftMs <= 0) break;
    pollfd p{child.out, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::min<int64_t>(leftMs, 1000))) <= 0) continue;
    const ssize_t n = read(child.out, buffer, sizeof buffer);
    if (n > 0) output->append(buffer, static_cast<size_t>(n));
    eof = n == 0 || (n < 0 && errno != EINTR);
  }
  close(child.out);
  if (!eof) kill(child.pid, SIGKILL);
  int status = 0;
  rusage ignored{};
  wait4(child.pid, &status, 0, usage ? usage : &ignored);
  return eof && WIFEXITED(status);
}

// ---- Start-up ----

// Milliseconds from just before the viewer is started to its first painted window, or -1
// with *error set. Each run waits for the viewer to exit, so two never overlap (a second
// copy would only raise the first one's window).
double StartOnce(const std::string& cardDirs, const TempDir& work, std::string* error) {
  const std::string err = work.File("stderr.txt");
  const int64_t start = MonotonicNs();
  Child child = Spawn({(BinDir() / "roadkeep").string()},
                      {{"ROADKEEP_STARTUP_PROBE", "1"},
                       {"SDL_AUDIODRIVER", "dummy"},
                       {"QT_QPA_PLATFORM", "xcb"},
                       {"ROADKEEP_CARD_DIRS", cardDirs}},
                      work.Path().string(), err);
  if (child.pid < 0) {
    *error = "cannot start " + (BinDir() / "roadkeep").string();
    return -1;
  }
  std::string output;
  const bool finished = Finish(child, 30000, &output);
  long long paintNs = 0;
  const size_t at = output.find("first-paint ");
  if (at == std::string::npos ||
      std::sscanf(output.c_str() + at, "first-paint %lld", &paintNs) != 1) {
    std::ifstream in(err);
    std::string firstLine;
    std::getline(in, firstLine);
    *error = std::string(finished ? "the viewer exited" : "the viewer did not end in 30 s") +
             " without printing first-paint; its stderr: " + firstLine;
    return -1;
  }
  return static_cast<double>(paintNs - start) * 1e-6;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_ViewerStartup(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) return state.SkipWithError(kNeedsDisplay);
  std::string error;
  const std::string card =
      CachedCard("startup400",
                 "--count 400 --seconds 1 --filler --front 320x180@30 --rear 320x180@30", &error);
  if (card.empty()) return state.SkipWithError(error.c_str());
  const int runs = EnvInt("ROADKEEP_BENCH_RUNS", 10);
  TempDir work, noCard;
  std::vector<double> withCard, withoutCard;
  for (auto _ : state) {
    for (int i = 0; i < runs; ++i) {
      const double a = StartOnce(card, work, &error);
      const double b = a < 0 ? -1 : StartOnce(noCard.Path().string(), work, &error);
      if (a < 0 || b < 0) return state.SkipWithError(error.c_str());
      withCard.push_back(a);
      withoutCard.push_back(b);
    }
  }
  const std::string libs =
      roadkeep::test::CommandOutput("ldd " + Quoted((BinDir() / "roadkeep").string()));
  state.counters["median_ms"] = Median(withCard);
  state.counters["worst_ms"] = *std::max_element(withCard.begin(), withCard.end());
  state.counters["first_ms"] = withCard.front();
  state.counters["no_card_median_ms"] = Median(withoutCard);
  state.counters["card_ms"] = Median(withCard) - Median(withoutCard);
  state.counters["web_engine_linked"] = libs.find("WebEngine") != std::string::npos ? 1 : 0;
  state.counters["runs"] = static_cast<double>(withCard.size());
}
BENCHMARK(BM_ViewerStartup)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---- Playback ----

struct ThreadTime {
  std::string name;
  double seconds = 0;
};

// CPU seconds of each live thread of this process, by thread id.
std::map<int, ThreadTime> ThreadTimes() {
  std::map<int, ThreadTime> times;
  const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/self/task", error)) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    unsigned long utime = 0, stime = 0;
    // After the name: state, then fields 4..13, then utime and stime (fields 14, 15).
    if (std::sscanf(stat.c_str() + close + 1,
                    " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2) {
      continue;
    }
    const int tid = std::atoi(entry.path().filename().c_str());
    times[tid] = {stat.substr(open + 1, close - open - 1),
                  static_cast<double>(utime + stime) * tick};
  }
  return times;
}

// Prints the CPU each thread (grouped by name) used between the two snapshots, largest
// first; returns the main thread's share. Threads that ended in between are not seen.
double PrintThreadTimes(const std::map<int, ThreadTime>& before,
                        const std::map<int, ThreadTime>& after) {
  std::map<std::string, double> byName;
  double main = 0;
  for (const auto& [tid, t] : after) {
    const auto was = before.find(tid);
    const double used = t.seconds - (was != before.end() ? was->second.seconds : 0);
    if (tid == getpid()) main = used;
    byName[tid == getpid() ? "GUI thread (" + t.name + ")" : t.name] += used;
  }
  std::vector<std::pair<std::string, double>> sorted(byName.begin(), byName.end());
  std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.second > b.second; });
  std::fprintf(stderr, "window's CPU by thread:\n");
  for (const auto& [name, seconds] : sorted) {
    if (seconds > 0) std::fprintf(stderr, "  %-28s %7.2f s\n", name.c_str(), seconds);
  }
  return main;
}

struct PaneCount {
  int64_t shown = 0, painted = 0;
  int width = 0, height = 0;
};

struct WindowRun {
  double cpu = 0, wall = 0, guiCpu = 0;
  PaneCount front, rear;
  bool ended = false;
  bool mapView = false;  // the map module made its view
  int mapDrawn = 0;      // positions the map page drew
  std::string error;
};

PaneCount Count(const CVideoPane* pane) {
  return {pane->FramesShown(), pane->FramesPainted(), pane->width(), pane->height()};
}

// Plays the recording in a shown main window, with this thread running the window's event
// loop as the viewer's does, and measures this process's CPU from the open to the end.
WindowRun PlayInWindow(const std::string& card, bool mapShown, int timeoutMs) {
  WindowRun run;
  roadkeep::test::ScopedWorkDir work;  // the window's ./config.cfg
  CZarezeRadidaDlg window;
  if (!roadkeep::test::InsertCard(window, card)) {
    run.error = "the window does not see the card " + card;
    return run;
  }
  window.show();
  const auto exposed = [&] { return window.windowHandle() && window.windowHandle()->isExposed(); };
  if (!roadkeep::test::WaitFor(exposed, 10000)) {
    run.error = "the window was never shown";
    return run;
  }
  roadkeep::test::WaitFor([] { return false; }, 300);  // the first paints
  QEventLoop loop;
  bool ended = false;
  const QMetaObject::Connection watch =
      QObject::connect(&window.Playback(), &CPlaybackController::ended, &loop, [&] {
        ended = true;
        loop.quit();
      });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  const auto threadsBefore = ThreadTimes();
  const double cpu = CpuSeconds();
  const int64_t wall = MonotonicNs();
  window.OpenRecording(QString::fromLatin1(kRecording));
  // Before the player's pre-buffer lets the first frame out.
  if (mapShown) window.OnMapButton();
  // The sizes the panes play at: the window's end of recording hides them again.
  const QSize frontSize = window.Controls().FrontPane()->size();
  const QSize rearSize = window.Controls().RearPane()->size();
  loop.exec();
  roadkeep::test::WaitFor([] { return false; }, 200);  // the last frames' queued repaints
  run.cpu = CpuSeconds() - cpu;
  run.wall = static_cast<double>(MonotonicNs() - wall) * 1e-9;
  run.guiCpu = PrintThreadTimes(threadsBefore, ThreadTimes());
  run.ended = ended;
  run.front = Count(window.Controls().FrontPane());
  run.rear = Count(window.Controls().RearPane());
  run.mapView = window.Map().View() != nullptr;
  run.mapDrawn = window.Map().PositionsDrawn();
  run.front.width = frontSize.width();
  run.front.height = frontSize.height();
  run.rear.width = rearSize.width();
  run.rear.height = rearSize.height();
  QObject::disconnect(watch);
  return run;
}

struct ToolRun {
  double cpu = 0, wall = 0;
  int front = -1, rear = -1;  // frames shown
  bool ended = false;
  std::string error;
};

std::string Size(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// roadkeep-tool play of the same recording into panes of the given sizes; its CPU comes
// from the kernel's account of the child.
ToolRun PlayWithTool(const std::string& card, const PaneCount& front, const PaneCount& rear,
                     int timeoutMs) {
  ToolRun run;
  TempDir work;
  const int64_t wall = MonotonicNs();
  Child child =
      Spawn({(BinDir() / "roadkeep-tool").string(), "play", card, kRecording, "--pane",
             Size(front.width, front.height), "--rear-pane", Size(rear.width, rear.height)},
            {{"SDL_AUDIODRIVER", "dummy"}}, work.Path().string(), work.File("stderr.txt"));
  if (child.pid < 0) {
    run.error = "cannot start roadkeep-tool";
    return run;
  }
  std::string output;
  rusage usage{};
  const bool finished = Finish(child, timeoutMs, &output, &usage);
  run.wall = static_cast<double>(MonotonicNs() - wall) * 1e-9;
  run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  const size_t at = output.find("frames shown:");
  if (at != std::string::npos) {
    std::sscanf(output.c_str() + at, "frames shown: front %d, rear %d", &run.front, &run.rear);
  }
  run.ended = output.find("ended: end of recording") != std::string::npos;
  if (!finished) run.error = "roadkeep-tool play did not finish: " + output;
  return run;
}

// The front and rear frame counts of the recording, from its header (-1 when unknown).
std::pair<int, int> RecordedFrames(const std::string& card) {
  const std::string header =
      roadkeep::test::CommandOutput(Quoted((BinDir() / "roadkeep-tool").string()) + " dump " +
                                    Quoted(card) + " " + kRecording + " | head -20");
  int front = -1, rear = -1;
  const size_t f = header.find("\nfront "), r = header.find("\nrear ");
  if (f != std::string::npos) std::sscanf(header.c_str() + f, "\nfront %*s at %*d fps, %d", &front);
  if (r != std::string::npos) std::sscanf(header.c_str() + r, "\nrear %*s at %*d fps, %d", &rear);
  return {front, rear};
}

// Made on first use (the window needs it), removed at the end of main.
std::unique_ptr<QApplication> g_application;

void BM_ViewerPlayback(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) return state.SkipWithError(kNeedsDisplay);
  const int seconds = EnvInt("ROADKEEP_BENCH_SECONDS", 60);
  std::string error;
  const std::string card =
      CachedCard("viewer" + std::to_string(seconds),
                 "--count 1 --seconds " + std::to_string(seconds) +
                     " --front 1920x1080@30 --rear 1280x720@30 --front-only-every 0",
                 &error);
  if (card.empty()) return state.SkipWithError(error.c_str());
  const auto [frontFrames, rearFrames] = RecordedFrames(card);
  if (!g_application) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    static int argc = 1;
    static char name[] = "viewer_bench";
    static char* argv[] = {name, nullptr};
    g_application = std::make_unique<QApplication>(argc, argv);
  }
  const int timeoutMs = (seconds + 60) * 1000;
  const bool mapShown = state.range(0) != 0;
  WindowRun window;
  ToolRun tool;
  for (auto _ : state) {
    window = PlayInWindow(card, mapShown, timeoutMs);
    if (!window.error.empty()) return state.SkipWithError(window.error.c_str());
    tool = PlayWithTool(card, window.front, window.rear, timeoutMs);
    if (!tool.error.empty()) return state.SkipWithError(tool.error.c_str());
  }
  state.counters["window_cpu_s"] = window.cpu;
  state.counters["window_gui_cpu_s"] = window.guiCpu;
  state.counters["tool_cpu_s"] = tool.cpu;
  state.counters["x_tool"] = tool.cpu > 0 ? window.cpu / tool.cpu : 0;
  state.counters["window_wall_s"] = window.wall;
  state.counters["tool_wall_s"] = tool.wall;
  state.counters["front_frames"] = frontFrames;
  state.counters["rear_frames"] = rearFrames;
  state.counters["front_shown"] = static_cast<double>(window.front.shown);
  state.counters["front_painted"] = static_cast<double>(window.front.painted);
  state.counters["rear_shown"] = static_cast<double>(window.rear.shown);
  state.counters["rear_painted"] = static_cast<double>(window.rear.painted);
  state.counters["tool_front_shown"] = tool.front;
  state.counters["tool_rear_shown"] = tool.rear;
  state.counters["map_view"] = window.mapView ? 1 : 0;
  state.counters["map_drawn"] = window.mapDrawn;
  // A hidden pane shows nothing, in the window and in the tool alike.
  const int rearExpected = window.rear.width > 0 ? rearFrames : 0;
  const bool allShown = window.front.shown == frontFrames && window.rear.shown == rearExpected &&
                        tool.front == frontFrames && tool.rear == rearExpected;
  const bool allPainted =
      window.front.painted >= window.front.shown && window.rear.painted >= window.rear.shown;
  std::string label = "panes " + Size(window.front.width, window.front.height) + " and " +
                      Size(window.rear.width, window.rear.height);
  if (!allShown) label += "; FRAMES MISSING";
  if (!allPainted) label += "; FRAMES NOT PAINTED";
  if (mapShown && window.mapDrawn == 0) label += "; MAP NOT DRAWN";
  if (!window.ended || !tool.ended) label += "; NO END OF RECORDING";
  state.SetLabel(label);
}
BENCHMARK(BM_ViewerPlayback)
    ->ArgName("map_shown")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  roadkeep::SetTraceEnabled(false);  // as roadkeep-tool play without --trace
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_application.reset();  // before the statics it uses go
  return 0;
}
