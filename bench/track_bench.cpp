// A recording's whole track read from the card (its text chunks only), and the impact search
// over a thousand recordings' tracks.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sensors/impacts.h"
#include "sensors/recording_track.h"
#include "tat/card.h"
#include "tools/card_maker.h"

namespace fs = std::filesystem;
using namespace roadkeep::sensors;

namespace {

// One event recording of a minute, 1080p + 720p at 30 fps in chunks of real sizes.
struct MinuteCard {
  std::string dir;
  MinuteCard() {
    dir = (fs::temp_directory_path() / ("roadkeep-track-bench-" + std::to_string(getpid()))).string();
    roadkeep::tools::CardOptions o;
    o.count = 2;  // driving, then the event
    o.seconds = 60;
    o.filler = true;
    o.frontWidth = 1920, o.frontHeight = 1080, o.rearWidth = 1280, o.rearHeight = 720;
    std::string error;
    if (!roadkeep::tools::MakeCard(dir, o, &error)) {
      std::fprintf(stderr, "cannot make the card: %s\n", error.c_str());
      std::exit(1);
    }
  }
  ~MinuteCard() { fs::remove_all(dir); }
  Recording Event() const { return CCard(dir).Recordings(roadkeep::tat::kKindEvent).at(0); }
};

MinuteCard& Card() {
  static MinuteCard card;
  return card;
}

void BM_ReadMinuteTrack(benchmark::State& state) {
  CCard card(Card().dir);
  const Recording event = Card().Event();
  size_t samples = 0;
  for (auto _ : state) {
    RecordingTrack track;
    if (!ReadRecordingTrack(card, event, &track)) state.SkipWithError("unreadable");
    samples = track.fixes.size() + track.samples.size();
  }
  state.counters["samples"] = static_cast<double>(samples);
}

void BM_FindImpactsInThousandRecordings(benchmark::State& state) {
  CCard card(Card().dir);
  RecordingTrack track;
  ReadRecordingTrack(card, Card().Event(), &track);
  const std::vector<RecordingTrack> tracks(1000, track);
  size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const RecordingTrack& t : tracks) found += FindImpacts(t, kDefaultImpactThresholdG).size();
  }
  state.counters["impacts"] = static_cast<double>(found);
}

}  // namespace

BENCHMARK(BM_ReadMinuteTrack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindImpactsInThousandRecordings)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
