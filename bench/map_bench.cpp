// The map's cost, under a real X server
// (xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/map_bench):
//
// BM_MapStartup: the viewer process from just before it is started to its first painted
// window (its start-up probe), in ms, median of the runs for three kinds, alternating: the
// map turned off (ROADKEEP_MAP=0), the map as built (loaded at the first opening), and the
// map module preloaded into the process as if the viewer linked the web engine. "map_ms"
// (as built minus off) stays near zero; "linked_ms" (preloaded minus off) is what loading
// Qt WebEngine at start would cost. "web_engine_linked" says whether the executable itself
// loads Qt WebEngine (it must not).
//
// BM_MapFirstPageLoad/0 and /1: a fresh viewer process per run; the main window opens a
// recording of a made card, with the network counted as online (/0) or asked of the
// platform (/1, which loads the map module inside the opening). "open_ms": how long
// OpenRecording takes (the map view is made after it returns); "page_ms": from the call to the map page's load
// (the web engine's start included); "stall_ms": the longest the GUI thread did not turn
// its event loop in that time (the engine starting on it). Medians of the runs.
//
// ROADKEEP_BENCH_RUNS sets the runs of each kind (10 start-ups, 5 first loads).
#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "app/main_window.h"
#include "app/map_pane.h"
#include "sensors/map_view.h"
#include "tests/app/viewer_rig.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::bench::BinDir;
using roadkeep::bench::MonotonicNs;
using roadkeep::bench::Quoted;

int Runs(int fallback) { return roadkeep::bench::EnvInt("ROADKEEP_BENCH_RUNS", fallback); }
using roadkeep::test::CommandOutput;
using roadkeep::test::TempDir;

constexpr char kNeedsDisplay[] =
    "needs an X server: run under xvfb-run -a -s \"-screen 0 1280x1024x24\"";
constexpr char kChildVariable[] = "ROADKEEP_MAP_BENCH_CARD";
constexpr char kPlatformNetVariable[] = "ROADKEEP_MAP_BENCH_PLATFORM_NET";

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---- Start-up ----

// Ms from just before the viewer starts (through env) to its first paint; -1 on failure.
double StartOnce(const TempDir& work, const std::string& extraEnv) {
  const std::string cmd = "cd " + Quoted(work.Path().string()) +
                          " && env ROADKEEP_STARTUP_PROBE=1 SDL_AUDIODRIVER=dummy "
                          "QT_QPA_PLATFORM=xcb " +
                          extraEnv + " " + Quoted((BinDir() / "roadkeep").string()) +
                          " 2>/dev/null";
  const int64_t start = MonotonicNs();
  const std::string output = CommandOutput(cmd);
  long long paintNs = 0;
  const size_t at = output.find("first-paint ");
  if (at == std::string::npos ||
      std::sscanf(output.c_str() + at, "first-paint %lld", &paintNs) != 1) {
    return -1;
  }
  return static_cast<double>(paintNs - start) * 1e-6;
}

void BM_MapStartup(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) return state.SkipWithError(kNeedsDisplay);
  const fs::path module = BinDir().parent_path() / "lib" / "roadkeep-map.so";
  if (!fs::exists(module)) return state.SkipWithError("roadkeep-map.so is not built");
  const std::string kinds[] = {"ROADKEEP_MAP=0", "", "LD_PRELOAD=" + Quoted(module.string())};
  std::vector<double> times[3];
  TempDir work;
  for (auto _ : state) {
    StartOnce(work, "");  // the first start pays for cold caches; not counted
    for (int i = 0; i < Runs(10); ++i) {
      for (int k = 0; k < 3; ++k) {
        const double ms = StartOnce(work, kinds[k]);
        if (ms < 0) return state.SkipWithError("the viewer did not print first-paint");
        times[k].push_back(ms);
      }
    }
  }
  const std::string libs = CommandOutput("ldd " + Quoted((BinDir() / "roadkeep").string()));
  state.counters["off_ms"] = Median(times[0]);
  state.counters["built_ms"] = Median(times[1]);
  state.counters["preloaded_ms"] = Median(times[2]);
  state.counters["map_ms"] = Median(times[1]) - Median(times[0]);
  state.counters["linked_ms"] = Median(times[2]) - Median(times[0]);
  state.counters["web_engine_linked"] = libs.find("WebEngine") != std::string::npos ? 1 : 0;
  state.counters["runs"] = static_cast<double>(times[0].size());
}
BENCHMARK(BM_MapStartup)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---- First page load ----

class COnline : public VNetworkState {
 public:
  bool IsOnline() override { return true; }
};

int Fail(const char* why) {
  std::fprintf(stderr, "map_bench child: %s\n", why);
  return 1;
}

// The child: one window, one opening, one line "open <ms> page <ms> stall <ms>".
int RunFirstLoadChild(const std::string& cardDir) {
  roadkeep::test::ScopedWorkDir work;
  CZarezeRadidaDlg window(0x09);
  if (!qEnvironmentVariableIsSet(kPlatformNetVariable)) {
    window.Map().SetNetworkState(std::make_unique<COnline>());
  }
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return Fail("the window was not shown");
  if (!roadkeep::test::InsertCard(window, cardDir)) return Fail("the card was not seen");
  QTimer tick;  // turns of the event loop, to find the longest stall
  QElapsedTimer sinceTick;
  int64_t stallNs = 0;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    stallNs = std::max<int64_t>(stallNs, sinceTick.nsecsElapsed());
    sinceTick.restart();
  });
  const int64_t start = MonotonicNs();
  if (!window.OpenRecording(QStringLiteral("REC_20140301_093000_D.avi"))) {
    return Fail("the recording did not open");
  }
  const int64_t opened = MonotonicNs();
  sinceTick.start();
  tick.start(1);
  QElapsedTimer limit;
  limit.start();
  auto loaded = [&] { return window.Map().View() && window.Map().View()->PageLoaded(); };
  while (!loaded() && limit.elapsed() < 60000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const int64_t end = MonotonicNs();
  if (!loaded()) {
    return Fail(window.Map().View() ? "the page did not load in 60 s" : "no map view was made");
  }
  std::printf("open %.3f page %.3f stall %.3f\n", (opened - start) * 1e-6, (end - start) * 1e-6,
              stallNs * 1e-6);
  std::fflush(stdout);
  window.OnStop();
  return 0;
}

void BM_MapFirstPageLoad(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) return state.SkipWithError(kNeedsDisplay);
  setenv("ROADKEEP_BIN", BinDir().c_str(), 0);  // where make-card finds roadkeep-tool
  roadkeep::test::MadeCard card(2);
  if (!card.ok) return state.SkipWithError("roadkeep-tool make-card failed");
  std::vector<double> open, page, stall;
  for (auto _ : state) {
    for (int i = 0; i < Runs(5); ++i) {
      const std::string output = CommandOutput(
          "env " + std::string(kChildVariable) + "=" + Quoted(card.dir.Path().string()) +
          (state.range(0) ? " " + std::string(kPlatformNetVariable) + "=1" : std::string()) +
          " QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy " +
          Quoted((BinDir() / "map_bench").string()) + " 2>/dev/null");
      double o = 0, p = 0, s = 0;
      const size_t at = output.find("open ");
      if (at == std::string::npos ||
          std::sscanf(output.c_str() + at, "open %lf page %lf stall %lf", &o, &p, &s) != 3) {
        return state.SkipWithError("the map page did not load in the child");
      }
      open.push_back(o);
      page.push_back(p);
      stall.push_back(s);
    }
  }
  state.counters["open_ms"] = Median(open);
  state.counters["page_ms"] = Median(page);
  state.counters["page_worst_ms"] = *std::max_element(page.begin(), page.end());
  state.counters["stall_ms"] = Median(stall);
  state.counters["runs"] = static_cast<double>(page.size());
}
BENCHMARK(BM_MapFirstPageLoad)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  PrepareMapEnvironment();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  if (const char* cardDir = std::getenv(kChildVariable)) return RunFirstLoadChild(cardDir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
