// The MP4 export of a 30 s two-camera recording (1920x1080 front, 1280x720 rear, 30 fps, real
// H.264 from make-card) from the card, against FFmpeg alone turning the AVI export of the
// same recording into an MP4 (both video tracks copied, the sound to AAC, faststart). Wall
// seconds of each and their ratio; each iteration runs both, so drift on a shared machine
// touches both alike. BM_Mp4OverlayEncode: the re-encode of the same recording (both cameras
// decoded, an overlay drawn, libx264 at CRF 18 veryfast) in frames per second, against ffmpeg
// alone re-encoding the AVI with the same encoder settings.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_util.h"
#include "concurrency/trace.h"
#include "containers/frame_overlay.h"
#include "containers/mp4_export.h"
#include "tat/card.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::bench::Quoted;

struct BenchCard {
  std::string dir, error;
  Recording recording;
  std::string avi;  // the recording exported by roadkeep-tool export
  roadkeep::test::TempDir out;
};

BenchCard& Card() {
  static BenchCard card;
  static const bool made = [](BenchCard& c) {
    c.dir = roadkeep::bench::CachedCard(
        "mp4-1080p-30s",
        "--count 1 --seconds 30 --front 1920x1080@30 --rear 1280x720@30 --front-only-every 0",
        &c.error);
    if (c.dir.empty()) return false;
    CCard card(c.dir);
    for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
      for (const Recording& r : card.Recordings(kind)) c.recording = r;
    }
    const std::string avi = c.out.File("avi");
    fs::create_directory(avi);
    const std::string cmd = Quoted((roadkeep::bench::BinDir() / "roadkeep-tool").string()) +
                            " export " + Quoted(c.dir) + " " + Quoted(avi) + " >/dev/null";
    if (roadkeep::test::RunCommand(cmd) != 0) c.error = "roadkeep-tool export failed";
    c.avi = avi + "/" + c.recording.name;
    return c.error.empty();
  }(card);
  (void)made;
  return card;
}

// Seconds the shell command took; negative when it failed.
double SecondsOf(const std::string& command) {
  const int64_t start = roadkeep::bench::MonotonicNs();
  const int status = roadkeep::test::RunCommand(command);
  const double seconds = static_cast<double>(roadkeep::bench::MonotonicNs() - start) / 1e9;
  return status == 0 ? seconds : -1;
}

// The library on the bench's card, or null with the state told why.
TatHandle* OpenCard(benchmark::State& state, const BenchCard& card) {
  if (!card.error.empty() || card.recording.name.empty()) {
    state.SkipWithError(card.error.empty() ? "no recording" : card.error.c_str());
    return nullptr;
  }
  roadkeep::SetTraceEnabled(false);
  av_log_set_level(AV_LOG_ERROR);
  setenv("ROADKEEP_CARD_DIRS", card.dir.c_str(), 1);
  TatHandle* library = TatCreate();
  char letter = 0;
  TatPollCard(library, &letter);
  TatOnCardFound(library);
  return library;
}

void BM_Mp4ExportAgainstFfmpeg(benchmark::State& state) {
  BenchCard& card = Card();
  TatHandle* library = OpenCard(state, card);
  if (library == nullptr) return;
  double ours = 0, ffmpeg = 0;
  {
    CTATParser parser;
    parser.SetLibrary(library);
    parser.Start();
    CMp4Export exporter(parser);
    const std::string mine = card.out.File("ours.mp4"), theirs = card.out.File("ffmpeg.mp4");
    const Mp4Job job{card.recording.Identity(), card.recording.name, "ours.mp4", true};
    for (auto _ : state) {
      fs::remove(mine);
      int64_t start = roadkeep::bench::MonotonicNs();
      const Mp4Result result = exporter.ConvertRecording(job, mine, nullptr);
      const double oursS = static_cast<double>(roadkeep::bench::MonotonicNs() - start) / 1e9;
      if (result.outcome != ExportOutcome::kComplete) {
        state.SkipWithError(DescribeMp4Result(result).c_str());
        break;
      }
      const double ffmpegS = SecondsOf(
          "ffmpeg -nostdin -v error -y -i " + Quoted(card.avi) +
          " -map 0:v -map 0:a -c:v copy -c:a aac -movflags +faststart " + Quoted(theirs));
      if (ffmpegS < 0) {
        state.SkipWithError("ffmpeg failed");
        break;
      }
      state.SetIterationTime(oursS);
      ours += oursS;
      ffmpeg += ffmpegS;
    }
    parser.Stop();
  }
  TatRelease(library);
  const double n = static_cast<double>(state.iterations());
  if (n > 0 && ffmpeg > 0) {
    state.counters["ours_s"] = ours / n;
    state.counters["ffmpeg_s"] = ffmpeg / n;
    state.counters["x_ffmpeg"] = ours / ffmpeg;
  }
  state.counters["frames"] =
      static_cast<double>(card.recording.counts.front + card.recording.counts.rear);
}
BENCHMARK(BM_Mp4ExportAgainstFfmpeg)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A band of the bottom twelfth filled grey: the pixel work of an overlay without Qt (the
// band's text is tools/overlay_band, outside what this benchmark links).
class CGreyBand : public VFrameOverlay {
 public:
  void Draw(uint8_t* pixels, int width, int height, int stride, int, int64_t) override {
    for (int y = height - std::max(24, height / 12); y < height; ++y) {
      std::fill(pixels + static_cast<ptrdiff_t>(y) * stride, pixels + y * stride + width * 4,
                uint8_t{0x40});
    }
  }
};

void BM_Mp4OverlayEncode(benchmark::State& state) {
  BenchCard& card = Card();
  TatHandle* library = OpenCard(state, card);
  if (library == nullptr) return;
  double ours = 0, ffmpeg = 0;
  const double frames =
      static_cast<double>(card.recording.counts.front + card.recording.counts.rear);
  {
    CTATParser parser;
    parser.SetLibrary(library);
    parser.Start();
    CMp4Export exporter(parser);
    CGreyBand band;
    const std::string mine = card.out.File("overlay.mp4"), theirs = card.out.File("x264.mp4");
    const Mp4Job job{card.recording.Identity(), card.recording.name,
                     "overlay.mp4",           true,
                     Mp4Video::kReencode,     &band};
    for (auto _ : state) {
      fs::remove(mine);
      fs::remove(theirs);
      int64_t start = roadkeep::bench::MonotonicNs();
      const Mp4Result result = exporter.ConvertRecording(job, mine, nullptr);
      const double oursS = static_cast<double>(roadkeep::bench::MonotonicNs() - start) / 1e9;
      if (result.outcome != ExportOutcome::kComplete) {
        state.SkipWithError(DescribeMp4Result(result).c_str());
        break;
      }
      const double ffmpegS = SecondsOf(
          "ffmpeg -nostdin -v error -y -i " + Quoted(card.avi) +
          " -map 0:v -map 0:a -c:v libx264 -preset veryfast -crf 18 -g 60 -c:a aac"
          " -movflags +faststart " +
          Quoted(theirs));
      if (ffmpegS < 0) {
        state.SkipWithError("ffmpeg failed");
        break;
      }
      state.SetIterationTime(oursS);
      ours += oursS;
      ffmpeg += ffmpegS;
    }
    parser.Stop();
  }
  TatRelease(library);
  const double n = static_cast<double>(state.iterations());
  if (n > 0 && ours > 0 && ffmpeg > 0) {
    state.counters["fps"] = frames * n / ours;
    state.counters["ffmpeg_fps"] = frames * n / ffmpeg;
    state.counters["x_ffmpeg"] = ours / ffmpeg;
  }
  state.counters["frames"] = frames;
}
BENCHMARK(BM_Mp4OverlayEncode)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
