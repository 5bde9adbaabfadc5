// Whole-process start-up of `roadkeep-tool list` on a small card (4 recordings of 1 s):
// from just before the process is started to its exit, standard output into /dev/null.
//
// BM_ToolListStartup: median, best and worst of the runs in ms (goal: median under 40), the
// shared libraries the started program loads ("libraries", from ldd), and the median start-up
// of /bin/true in the same run ("true_median_ms"), which shows how loaded the machine is.
// ROADKEEP_BENCH_RUNS sets the runs (50). The card is made once by roadkeep-tool make-card
// and kept in bench-cards/ next to bin/.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using roadkeep::bench::BinDir;
using roadkeep::bench::CachedCard;
using roadkeep::bench::MonotonicNs;
using roadkeep::bench::Quoted;

int Runs() { return roadkeep::bench::EnvInt("ROADKEEP_BENCH_RUNS", 50); }

// The small card, made once; empty with *error set when make-card fails.
std::string SmallCard(std::string* error) {
  return CachedCard("startup-small", "--count 4 --seconds 1 --front 320x180@30 --rear 320x180@30",
                    error);
}

// Milliseconds from just before args[0] is started to its exit; -1 when it could not run or
// exited with a failure.
double RunOnce(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int64_t start = MonotonicNs();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const int64_t end = MonotonicNs();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? static_cast<double>(end - start) * 1e-6
                                                       : -1;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int LibraryCount(const std::string& program) {
  const std::string out = roadkeep::test::CommandOutput("ldd " + Quoted(program));
  return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
}

void BM_ToolListStartup(benchmark::State& state) {
  std::string error;
  const std::string card = SmallCard(&error);
  if (card.empty()) return state.SkipWithError(error.c_str());
  const std::string tool = (BinDir() / "roadkeep-tool").string();
  const std::vector<std::string> list = {tool, "list", card};
  const std::vector<std::string> idle = {"/bin/true"};
  if (RunOnce(list) < 0) return state.SkipWithError("roadkeep-tool list failed");  // warms up
  std::vector<double> times, baseline;
  for (auto _ : state) {
    for (int i = 0; i < Runs(); ++i) {
      const double t = RunOnce(list), b = RunOnce(idle);
      if (t < 0 || b < 0) return state.SkipWithError("a run failed");
      times.push_back(t);
      baseline.push_back(b);
    }
  }
  state.counters["median_ms"] = Median(times);
  state.counters["best_ms"] = *std::min_element(times.begin(), times.end());
  state.counters["worst_ms"] = *std::max_element(times.begin(), times.end());
  state.counters["true_median_ms"] = Median(baseline);
  state.counters["libraries"] = LibraryCount(tool);
  state.counters["runs"] = static_cast<double>(times.size());
}
BENCHMARK(BM_ToolListStartup)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
