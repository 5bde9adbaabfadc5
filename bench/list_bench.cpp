// The card watch noticing a card of 10,000 recordings (2,500 of each kind, every one above
// the 512 KiB floor) and listing all kinds, on the GUI thread of a shown main window
// (offscreen Qt: build/bin/list_bench).
//
// BM_CardArrival: one PollCard that finds the card (the parser's arrival step, OPEN, the
// four listings, the sort and the fill of the list) plus the event processing it leaves
// behind (the list's layout and paint), in ms: "median_ms" and "worst_ms" of the runs (goal
// under 100). "listing_ms" is the card-store library listing the same four kinds alone in
// the same run, "x_listing" the arrival against it: what the window adds to the listing.
//
// The card is made once and kept in bench-cards/ next to bin/. Its recordings are written
// through the recorder-side store writer with one large zero-filled chunk each, whose bytes
// are then punched out of the file: the store is valid and every size is real, but the card
// takes tens of megabytes of disk instead of 6 GB. Listing reads only the entry headers.
// ROADKEEP_BENCH_RECORDINGS changes the recording count (10000).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QAbstractItemModel>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "app/main_window.h"
#include "app/window_controls.h"
#include "tat/recording_list.h"
#include "tat/store_writer.h"
#include "tat/tat_library.h"
#include "tests/app/viewer_rig.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::bench::EnvInt;
using roadkeep::bench::MonotonicNs;
using roadkeep::bench::BinDir;
using namespace roadkeep::tat;

constexpr uint32_t kRecordingBytes = 600000;
constexpr int64_t kFirstStart = 1393666200;  // 2014-03-01 09:30:00

std::string NameOf(int kind, int64_t start) {
  const std::time_t t = static_cast<std::time_t>(start);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &parts);
  return std::string(KindWord(kind)) + "_" + stamp + (kind % 2 == 0 ? "_D.avi" : "_F.avi");
}

// One recording of exactly kRecordingBytes: a small front key frame and one zero chunk,
// whose whole 4 KiB blocks are then given back to the file system.
bool WriteRecording(const fs::path& card, int kind, int64_t start) {
  EntryHeader header;
  header.kindCode = static_cast<uint8_t>(kind);
  header.frontFps = 30;
  header.startTime = static_cast<uint32_t>(start);
  std::snprintf(header.name, sizeof header.name, "%s", NameOf(kind, start).c_str());
  CTatStoreWriter writer;
  if (!writer.BeginRecording(card.string(), header, nullptr)) return false;
  static const std::vector<uint8_t> zeros(kMaxChunkSize, 0);
  if (!writer.AddChunk(kTypeFrontVideo, 0, true, 0, zeros.data(), 1000)) return false;
  const uint32_t rest = kRecordingBytes - writer.SizeIfFinishedNow() - kChunkHeaderSize;
  // The next chunk starts where the chunk area ends, 16 bytes (the seek table of one unit)
  // before the size if finished now; its payload follows its header.
  const int64_t payload =
      writer.EntryPosition() + writer.SizeIfFinishedNow() - 16 + kChunkHeaderSize;
  if (!writer.AddChunk(kTypeText, 0, true, 0, zeros.data(), rest) ||
      writer.FinishRecording(1000) != kRecordingBytes) {
    return false;
  }
  const int64_t from = (payload + 4095) & ~int64_t{4095};
  const int64_t to = (payload + rest) & ~int64_t{4095};
  const fs::path store = card / kStoreFolder / StoreFileName(kind);
  const int fd = ::open(store.c_str(), O_WRONLY);
  if (fd < 0) return false;
  if (to > from) fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, from, to - from);
  ::close(fd);
  return true;
}

// The card, made into a side folder and renamed when complete so that an interrupted make
// is never taken for a card. "" when it cannot be made.
std::string CachedCard(int recordings) {
  const fs::path dir =
      BinDir().parent_path() / "bench-cards" / ("list-" + std::to_string(recordings));
  if (fs::is_directory(dir)) return dir.string();
  const fs::path part = dir.string() + ".part";
  std::error_code error;
  fs::remove_all(part, error);
  fs::create_directories(part, error);
  if (!FormatCard(part.string(), 0x5EED, nullptr)) return "";
  const int order[4] = {kKindDriving, kKindEvent, kKindParking, kKindManual};
  for (int i = 0; i < recordings; ++i) {
    if (!WriteRecording(part, order[i % 4], kFirstStart + 61LL * i)) return "";
  }
  fs::rename(part, dir, error);
  return error ? "" : dir.string();
}

// The four kinds listed by the library alone, on a handle that has just found the card.
double ListingMs(TatHandle* handle, char letter) {
  TatOnCardFound(handle);
  const int64_t begin = MonotonicNs();
  size_t names = 0;
  for (int kind = 0; kind < 4; ++kind) names += CollectRecordings(handle, letter, kind).size();
  benchmark::DoNotOptimize(names);
  return static_cast<double>(MonotonicNs() - begin) / 1e6;
}

void BM_CardArrival(benchmark::State& state) {
  const int recordings = EnvInt("ROADKEEP_BENCH_RECORDINGS", 10000);
  const std::string card = CachedCard(recordings);
  if (card.empty()) {
    state.SkipWithError("cannot make the bench card");
    return;
  }
  roadkeep::test::ScopedWorkDir work;
  roadkeep::test::TempDir emptySlot;
  CZarezeRadidaDlg window(0x09);
  window.show();
  QCoreApplication::processEvents();
  QTreeView* list = window.Controls().List();

  std::vector<double> arrivals, listings;
  for (auto _ : state) {
    // Out without the removal path (its message would wait for an answer), then back in.
    state.PauseTiming();
    setenv("ROADKEEP_CARD_DIRS", emptySlot.Path().c_str(), 1);
    TatPollCard(window.Library(), &window.State().cardLetter);  // the arrival refills every row
    QCoreApplication::processEvents();
    setenv("ROADKEEP_CARD_DIRS", card.c_str(), 1);
    state.ResumeTiming();

    const int64_t begin = MonotonicNs();
    window.PollCard();
    QCoreApplication::processEvents();
    arrivals.push_back(static_cast<double>(MonotonicNs() - begin) / 1e6);

    state.PauseTiming();
    listings.push_back(ListingMs(window.Library(), window.State().cardLetter));
    state.ResumeTiming();
  }
  std::sort(arrivals.begin(), arrivals.end());
  std::sort(listings.begin(), listings.end());
  const double median = arrivals[arrivals.size() / 2];
  const double listing = listings[listings.size() / 2];
  state.counters["rows"] = list->model()->rowCount();
  state.counters["median_ms"] = median;
  state.counters["worst_ms"] = arrivals.back();
  state.counters["listing_ms"] = listing;
  state.counters["x_listing"] = listing > 0 ? median / listing : 0;
  if (list->model()->rowCount() != recordings) state.SkipWithError("the list is not complete");
}
BENCHMARK(BM_CardArrival)->Unit(benchmark::kMillisecond)->Iterations(15)->UseRealTime();

}  // namespace
