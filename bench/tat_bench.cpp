// The card store: listing a 2,000-recording card, grouping 10,000 recordings into trips,
// opening a recording, and chunk throughput of TatRead and of the TAT parser against a plain
// sequential read of the same store bytes, all from the page cache and measured in the same
// run; the run ends with each throughput as a share of the plain read's (the goal is at least
// 60%).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tat/tat_parser.h"
#include "concurrency/trace.h"
#include "tat/recording_list.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tat/trips.h"
#include "tools/card_maker.h"

namespace {

namespace fs = std::filesystem;
using namespace roadkeep::tat;

// Two cards: many short recordings for listing, a few long ones for throughput.
struct Cards {
  std::string listing, playing;
  Cards() {
    const fs::path base = fs::temp_directory_path() / ("roadkeep-tat-bench-" + std::to_string(getpid()));
    listing = (base / "listing").string();
    playing = (base / "playing").string();
    roadkeep::tools::CardOptions many;
    many.perKind = 500;
    many.seconds = 1;
    many.filler = true;
    many.frontWidth = 320, many.frontHeight = 240, many.rearWidth = 160, many.rearHeight = 120;
    roadkeep::tools::CardOptions few;
    few.perKind = 1;
    few.seconds = 30;
    few.filler = true;
    few.frontWidth = 1920, few.frontHeight = 1080, few.rearWidth = 1280, few.rearHeight = 720;
    std::string error;
    if (!roadkeep::tools::MakeCard(listing, many, &error) || !roadkeep::tools::MakeCard(playing, few, &error)) {
      std::fprintf(stderr, "cannot make the cards: %s\n", error.c_str());
      std::exit(1);
    }
  }
  ~Cards() { fs::remove_all(fs::path(listing).parent_path()); }
};

Cards& GetCards() {
  static Cards cards;
  return cards;
}

TatHandle* PolledHandle(const std::string& dir, char* letter) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  TatHandle* h = TatCreate();
  TatPollCard(h, letter);
  return h;
}

void BM_ListTwoThousandRecordings(benchmark::State& state) {
  char letter = 0;
  TatHandle* h = PolledHandle(GetCards().listing, &letter);
  size_t listed = 0;
  for (auto _ : state) {
    listed = 0;
    for (int kind = 0; kind < kKindCount; ++kind) listed += ListRecordings(h, letter, kind).size();
  }
  state.counters["recordings"] = static_cast<double>(listed);
  TatRelease(h);
}

void BM_OpenRecording(benchmark::State& state) {
  char letter = 0;
  TatHandle* h = PolledHandle(GetCards().listing, &letter);
  const auto names = ListRecordings(h, letter, kKindDriving);
  uint8_t header[kTatHeaderSize];
  uint32_t counts[2];
  char stats[kTatStatsSize];
  size_t i = 0;
  for (auto _ : state) {
    const char* name = names[i++ % names.size()].name.c_str();
    TatOpenByName(h, name, header, counts, nullptr, stats, nullptr);
    TatSelect(h, kKindDriving, 0, TatFindByName(h, kKindDriving, name));
  }
  TatRelease(h);
}

std::string PlayingStore() { return (fs::path(GetCards().playing) / "TAT" / "REC.TAT").string(); }

void BM_PlainRead(benchmark::State& state) {
  std::vector<uint8_t> buffer(1 << 16);
  int64_t bytes = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(PlayingStore().c_str(), "rb");
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes += static_cast<int64_t>(n);
    std::fclose(f);
  }
  state.SetBytesProcessed(bytes);
}

void BM_TatRead(benchmark::State& state) {
  char letter = 0;
  TatHandle* h = PolledHandle(GetCards().playing, &letter);
  std::vector<uint8_t> buffer(kTatReadCapacity);
  int64_t bytes = 0;
  for (auto _ : state) {
    TatSelect(h, kKindDriving, 0, 0);
    uint8_t camera, type, key;
    int size = kTatReadCapacity;
    while (TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr) == kTatReadOk) {
      bytes += size;
      size = kTatReadCapacity;
    }
  }
  state.SetBytesProcessed(bytes);
  TatRelease(h);
}

void BM_ParserReadChunk(benchmark::State& state) {
  char letter = 0;
  TatHandle* h = PolledHandle(GetCards().playing, &letter);
  CTATParser parser;
  parser.SetLibrary(h);
  parser.Start();
  std::vector<uint8_t> buffer(CTATParser::kQueueCapacity);
  const auto names = ListRecordings(h, letter, kKindDriving);
  roadkeep::SetTraceEnabled(false);  // end-of-recording traces
  int64_t bytes = 0;
  for (auto _ : state) {
    parser.Open(names[0].name.c_str(), nullptr);
    for (;;) {
      char id[4];
      int size = static_cast<int>(buffer.size());
      if (parser.ReadChunk(id, buffer.data(), &size) != 4) break;
      bytes += size;
    }
  }
  state.SetBytesProcessed(bytes);
  parser.Stop();
  TatRelease(h);
}

// 10,000 one-minute recordings as a card lists them (kind by kind, so out of time order), in
// trips of range(0) recordings with an hour's pause between trips: one trip, or 10,000. Each
// iteration copies the list in, as a caller that keeps its own does (goal: under 50 ms).
void BM_BuildTrips(benchmark::State& state) {
  constexpr int kRecordings = 10000;
  const int perTrip = static_cast<int>(state.range(0));
  std::vector<Recording> recordings(kRecordings);
  int64_t start = 1393666200;  // 2014-03-01 09:30:00
  for (int i = 0; i < kRecordings; ++i) {
    Recording& r = recordings[static_cast<size_t>(i % kKindCount * (kRecordings / kKindCount) +
                                                  i / kKindCount)];
    r.kindCode = i % kKindCount;
    r.index = i / kKindCount;
    r.durationMs = 60000;
    r.startTime = static_cast<uint32_t>(start);
    r.name = std::string(KindWord(r.kindCode)) + "_20140301_093000_D.avi";
    start += 60 + ((i + 1) % perTrip == 0 ? 3600 : 1);
  }
  size_t trips = 0;
  for (auto _ : state) {
    trips = BuildTrips(recordings).size();
    benchmark::DoNotOptimize(trips);
  }
  state.counters["trips"] = static_cast<double>(trips);
}

BENCHMARK(BM_ListTwoThousandRecordings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildTrips)->Arg(10000)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRecording)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(1)->UseRealTime();
BENCHMARK(BM_TatRead)->Unit(benchmark::kMillisecond)->MinTime(1)->UseRealTime();
BENCHMARK(BM_ParserReadChunk)->Unit(benchmark::kMillisecond)->MinTime(1)->UseRealTime();

// The console report, remembering each benchmark's bytes per second (the median when
// repeated) for the closing shares.
class ShareReporter : public benchmark::ConsoleReporter {
 public:
  ShareReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      const bool median = run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        m_rates[run.run_name.function_name] = rate->second.value;
      }
    }
  }
  void PrintShares() const {
    const auto plain = m_rates.find("BM_PlainRead");
    if (plain == m_rates.end() || plain->second <= 0) return;
    for (const char* name : {"BM_TatRead", "BM_ParserReadChunk"}) {
      const auto rate = m_rates.find(name);
      if (rate == m_rates.end()) continue;
      std::printf("%s: %.0f%% of a plain read\n", name, 100.0 * rate->second / plain->second);
    }
  }

 private:
  std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  GetCards();
  ShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintShares();
  return 0;
}
