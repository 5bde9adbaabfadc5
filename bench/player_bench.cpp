// Playing a two-camera recording (1920x1080 front, 1280x720 rear, 30 fps) headless with the
// dummy audio driver into panes of 640x360 and 320x170, in CPU seconds of the whole process,
// against FFmpeg's single-threaded decode alone of the same two streams in the same run
// ("x_decode" is the ratio; the goal is at most 1.5 with every frame shown), and against
// decode plus FFmpeg's conversion to the panes ("x_decode_scale"); "switches_per_s" counts the
// process's voluntary context switches (wake-ups) while it plays. The paced baseline decodes
// and converts at the frame rate, a frame per wake-up ("x_paced"), the burst baseline a
// second ahead in one go ("x_burst"; the goal is at most 1.1). Playing at 2x to 16x. Frame
// steps forward and back while paused. A trip's boundaries. And ParseRmc in sentences per
// second against copying the sentence. ROADKEEP_BENCH_SECONDS shortens the
// recording (60 s by default).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "decoding/decoder.h"
#include "playback/player.h"
#include "playback/recording_sequence.h"
#include "tat/tat_parser.h"
#include "concurrency/trace.h"
#include "playback/wave_box.h"
#include "platform/video_surface.h"
#include "sensors/gps_data.h"
#include "sensors/text_data.h"
#include "tat/tat_library.h"
#include "tests/support/temp_dir.h"
#include "tools/card_maker.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Voluntary context switches of the whole process so far: each is a thread going to sleep,
// so their rate counts the wake-ups.
double ContextSwitches() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_nvcsw);
}

int RecordingSeconds() {
  const char* text = std::getenv("ROADKEEP_BENCH_SECONDS");
  const int s = text ? std::atoi(text) : 60;
  return s > 0 ? s : 60;
}

// The card with its one recording, and its two video streams read once through the parser.
struct Card {
  roadkeep::test::TempDir dir;
  TatHandle* library = nullptr;
  std::string name;
  std::vector<std::vector<uint8_t>> front, rear;
  bool ok = false;

  Card() {
    roadkeep::SetTraceEnabled(false);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    roadkeep::tools::CardOptions o;
    o.count = 1;
    o.seconds = RecordingSeconds();
    o.frontOnlyEvery = 0;
    o.frontWidth = 1920, o.frontHeight = 1080, o.frontFps = 30;
    o.rearWidth = 1280, o.rearHeight = 720, o.rearFps = 30;
    std::string error;
    if (!roadkeep::tools::MakeCard(dir.Path().string(), o, &error)) return;
    name = "REC_20140301_093000_D.avi";
    setenv("ROADKEEP_CARD_DIRS", dir.Path().c_str(), 1);
    library = TatCreate();
    char letter = 0;
    TatPollCard(library, &letter);
    ReadStreams();
    ok = letter != 0 && !front.empty();
  }
  void ReadStreams() {
    CTATParser parser;
    parser.SetLibrary(library);
    parser.Start();
    MediaInfo info;
    parser.Open(name.c_str(), &info);
    std::vector<uint8_t> buffer(CTATParser::kQueueCapacity);
    for (;;) {
      char id[4];
      int size = static_cast<int>(buffer.size());
      if (parser.ReadChunk(id, buffer.data(), &size) != 4) break;
      if (std::memcmp(id, "00dc", 4) == 0) front.emplace_back(buffer.begin(), buffer.begin() + size);
      if (std::memcmp(id, "01dc", 4) == 0) rear.emplace_back(buffer.begin(), buffer.begin() + size);
    }
    parser.Stop();
  }
};

Card& TheCard() {
  static Card card;
  return card;
}

double g_decodeCpu = 0;       // set by the baselines, which run first
double g_decodeScaleCpu = 0;
double g_pacedCpu = 0;        // decode and conversion paced a frame at a time
double g_burstCpu = 0;        // the same, a second ahead in bursts

// One stream decoded with FFmpeg alone, single-threaded as the player's decoder; with a pane
// size, each picture also converted to 32-bit BGRA at that size as the decoder does for a
// pane.
class PaneDecoder {
 public:
  PaneDecoder(int paneWidth = 0, int paneHeight = 0)
      : m_width(paneWidth),
        m_height(paneHeight),
        m_bgra(static_cast<size_t>(paneWidth) * paneHeight * 4) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    m_context = avcodec_alloc_context3(codec);
    m_context->thread_count = 1;  // as the player's decoder
    avcodec_open2(m_context, codec, nullptr);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
  }
  ~PaneDecoder() {
    sws_freeContext(m_scaler);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_context);
  }
  PaneDecoder(const PaneDecoder&) = delete;
  PaneDecoder& operator=(const PaneDecoder&) = delete;

  void Decode(const std::vector<uint8_t>& unit) {
    m_packet->data = const_cast<uint8_t*>(unit.data());
    m_packet->size = static_cast<int>(unit.size());
    avcodec_send_packet(m_context, m_packet);
    while (avcodec_receive_frame(m_context, m_frame) >= 0) {
      benchmark::DoNotOptimize(m_frame->data[0]);
      if (m_width <= 0) continue;
      if (m_scaler == nullptr) {
        m_scaler = sws_getContext(m_frame->width, m_frame->height,
                                  static_cast<AVPixelFormat>(m_frame->format), m_width, m_height,
                                  AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
      }
      uint8_t* planes[4] = {m_bgra.data(), nullptr, nullptr, nullptr};
      int strides[4] = {m_width * 4, 0, 0, 0};
      sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides);
    }
  }

 private:
  int m_width, m_height;
  std::vector<uint8_t> m_bgra;
  AVCodecContext* m_context = nullptr;
  AVPacket* m_packet = nullptr;
  AVFrame* m_frame = nullptr;
  SwsContext* m_scaler = nullptr;
};

void DecodeAll(const std::vector<std::vector<uint8_t>>& units, int paneWidth = 0,
               int paneHeight = 0) {
  PaneDecoder decoder(paneWidth, paneHeight);
  for (const auto& unit : units) decoder.Decode(unit);
}

void BM_FfmpegDecodeBothStreams(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  for (auto _ : state) {
    const double start = CpuSeconds();
    DecodeAll(card.front);
    DecodeAll(card.rear);
    g_decodeCpu = CpuSeconds() - start;
  }
  state.counters["cpu_s"] = g_decodeCpu;
  state.counters["frames"] = static_cast<double>(card.front.size() + card.rear.size());
}
BENCHMARK(BM_FfmpegDecodeBothStreams)->Iterations(1)->Unit(benchmark::kSecond);

// The same, plus FFmpeg's conversion of every picture to its pane: the work any player of
// these panes has to do.
void BM_FfmpegDecodeAndScaleBothStreams(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  for (auto _ : state) {
    const double start = CpuSeconds();
    DecodeAll(card.front, 640, 360);
    DecodeAll(card.rear, 320, 170);
    g_decodeScaleCpu = CpuSeconds() - start;
  }
  state.counters["cpu_s"] = g_decodeScaleCpu;
}
BENCHMARK(BM_FfmpegDecodeAndScaleBothStreams)->Iterations(1)->Unit(benchmark::kSecond);

// The same decode and conversion paced as playback paces it: one picture of each camera per
// frame period, asleep in between. What any player that shows each frame at its time pays
// on this machine, before any work of its own; "x_decode" against the decode alone. With an
// argument above 1, that many pictures of each camera are made in one go per wake-up (as a
// player decoding that far ahead would).
void BM_FfmpegDecodeAndScalePaced(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  double cpu = 0;
  for (auto _ : state) {
    PaneDecoder front(640, 360), rear(320, 170);
    const double start = CpuSeconds();
    auto due = std::chrono::steady_clock::now();
    for (size_t i = 0; i < card.front.size(); ++i) {
      front.Decode(card.front[i]);
      if (i < card.rear.size()) rear.Decode(card.rear[i]);
      due += std::chrono::microseconds(33333);
      if ((i + 1) % static_cast<size_t>(state.range(0)) == 0) std::this_thread::sleep_until(due);
    }
    cpu = CpuSeconds() - start;
  }
  state.counters["cpu_s"] = cpu;
  if (g_decodeCpu > 0) state.counters["x_decode"] = cpu / g_decodeCpu;
  if (g_decodeScaleCpu > 0) state.counters["x_decode_scale"] = cpu / g_decodeScaleCpu;
  (state.range(0) == 1 ? g_pacedCpu : g_burstCpu) = cpu;
}
BENCHMARK(BM_FfmpegDecodeAndScalePaced)
    ->Arg(1)
    ->Arg(30)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The card's recording played as the viewer plays it, headless, into panes of 640x360 and
// 320x170; ended turns true at the end of a recording.
struct BenchPlayer {
  CTATParser parser;
  CDecoder decoder;
  CWaveBox audio;
  CTextData text;
  CHeadlessSurface front{640, 360}, rear{320, 170};
  std::atomic<bool> ended{false};
  CQMVMediaPlayer player;

  explicit BenchPlayer(TatHandle* library) {
    parser.SetLibrary(library);
    player.SetParser(&parser);
    player.SetDecoder(&decoder);
    player.SetAudio(&audio);
    player.SetTextCallback(&CTextData::TextCallback, &text);
    player.SetStatusCallback([](void* user, int, int, int) {
      static_cast<std::atomic<bool>*>(user)->store(true);
    }, &ended);
    player.StartEngine(&front, &rear);
  }
  ~BenchPlayer() {
    player.StopMedia();
    player.Shutdown();
  }
  BenchPlayer(const BenchPlayer&) = delete;
  BenchPlayer& operator=(const BenchPlayer&) = delete;
};

void BM_PlayRecording(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  BenchPlayer bench(card.library);
  CQMVMediaPlayer& player = bench.player;
  std::atomic<bool>& ended = bench.ended;
  CHeadlessSurface& front = bench.front;
  CHeadlessSurface& rear = bench.rear;
  double cpu = 0, wall = 0, switches = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    const double switchesStart = ContextSwitches();
    const auto wallStart = std::chrono::steady_clock::now();
    player.OpenMedia(card.name.c_str());
    // The wait for the end sleeps in long steps, so that it adds few switches of its own.
    while (!ended.load()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cpu = CpuSeconds() - start;
    switches = ContextSwitches() - switchesStart;
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  }
  state.counters["cpu_s"] = cpu;
  state.counters["wall_s"] = wall;
  if (wall > 0) state.counters["switches_per_s"] = switches / wall;
  if (g_decodeCpu > 0) state.counters["x_decode"] = cpu / g_decodeCpu;
  if (g_decodeScaleCpu > 0) state.counters["x_decode_scale"] = cpu / g_decodeScaleCpu;
  // Against the paced and the burst baselines of the same run (the goal: x_burst <= 1.1).
  if (g_pacedCpu > 0) state.counters["x_paced"] = cpu / g_pacedCpu;
  if (g_burstCpu > 0) state.counters["x_burst"] = cpu / g_burstCpu;
  state.counters["front_shown"] = static_cast<double>(front.FrameCount());
  state.counters["rear_shown"] = static_cast<double>(rear.FrameCount());
  state.counters["front_frames"] = static_cast<double>(card.front.size());
  state.counters["rear_frames"] = static_cast<double>(card.rear.size());
}
BENCHMARK(BM_PlayRecording)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The same recording at 2x, 4x, 8x and 16x (the argument): the frames of each camera shown,
// the wall time against the recording's length over the speed ("x_clock", 1 when it keeps
// time), and whether it ended showing key frames only (decoding could not keep up).
void BM_PlayAtSpeed(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  BenchPlayer bench(card.library);
  CQMVMediaPlayer& player = bench.player;
  const double speed = static_cast<double>(state.range(0));
  player.SetSpeed(speed);
  double wall = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    player.OpenMedia(card.name.c_str());
    while (!bench.ended.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["key_frames_only"] = player.ShowsKeyFramesOnly() ? 1 : 0;
  state.counters["front_shown"] = static_cast<double>(bench.front.FrameCount());
  state.counters["rear_shown"] = static_cast<double>(bench.rear.FrameCount());
  state.counters["frames"] = static_cast<double>(card.front.size());
  state.counters["x_clock"] = wall / (card.front.size() / 30.0 / speed);
}
BENCHMARK(BM_PlayAtSpeed)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();


// A trip of three 5 s recordings back to back (1920x1080 + 1280x720, 30 fps), played as one:
// the time from the last front frame of one recording to the first of the next, the longest
// of the two boundaries ("boundary_gap_ms"; the goal is under two frame periods, 66.7 ms),
// against the longest interval between frames away from the boundaries ("worst_inside_ms").
class CFrameTimes : public CHeadlessSurface {
 public:
  using CHeadlessSurface::CHeadlessSurface;
  void ShowFrame(const cv::Mat& frame) override {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_times.push_back(std::chrono::steady_clock::now());
    }
    CHeadlessSurface::ShowFrame(frame);
  }
  std::vector<std::chrono::steady_clock::time_point> Times() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_times;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::chrono::steady_clock::time_point> m_times;
};

void BM_TripBoundary(benchmark::State& state) {
  roadkeep::test::TempDir dir;
  roadkeep::tools::CardOptions o;
  o.count = 3;
  o.seconds = 5;
  o.gapSeconds = 0;
  o.frontOnlyEvery = 0;
  o.frontWidth = 1920, o.frontHeight = 1080, o.frontFps = 30;
  o.rearWidth = 1280, o.rearHeight = 720, o.rearFps = 30;
  std::string error;
  if (!roadkeep::tools::MakeCard(dir.Path().string(), o, &error)) {
    return state.SkipWithError("no card (libx264 missing?)");
  }
  setenv("ROADKEEP_CARD_DIRS", dir.Path().c_str(), 1);
  TatHandle* library = TatCreate();
  char letter = 0;
  TatPollCard(library, &letter);
  CTATParser parser, spare;
  parser.SetLibrary(library);
  spare.SetLibrary(library);
  spare.Start();
  CDecoder decoder;
  CWaveBox audio;
  CFrameTimes front(640, 360), rear(320, 170);
  std::atomic<bool> ended{false};
  struct Entered {
    std::mutex mutex;
    std::vector<std::pair<int, size_t>> tags;  // tag, front frames shown before it
    CFrameTimes* front;
  } entered;
  entered.front = &front;
  CQMVMediaPlayer player;
  player.SetParser(&parser);
  player.SetDecoder(&decoder);
  player.SetAudio(&audio);
  player.SetStatusCallback([](void* user, int, int, int) {
    static_cast<std::atomic<bool>*>(user)->store(true);
  }, &ended);
  player.SetNextCallback([](void* user, int tag) {
    auto* e = static_cast<Entered*>(user);
    const size_t shown = e->front->Times().size();
    std::lock_guard<std::mutex> guard(e->mutex);
    e->tags.emplace_back(tag, shown);
  }, &entered);
  player.StartEngine(&front, &rear);
  CRecordingSequence sequence(player, parser, spare);
  const std::vector<MediaSource> names = {MediaSource::Named("REC_20140301_093000_D.avi"),
                                          MediaSource::Named("EVENT_20140301_093005_D.avi"),
                                          MediaSource::Named("PARKING_20140301_093010_D.avi")};
  for (auto _ : state) {
    sequence.Open(names, 0, 0);
    size_t handled = 0;
    while (!ended.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::vector<int> fresh;  // taken under the lock, acted on without it (the player's
      {                        // lock is taken inside it by the worker)
        std::lock_guard<std::mutex> guard(entered.mutex);
        for (; handled < entered.tags.size(); ++handled) fresh.push_back(entered.tags[handled].first);
      }
      for (const int tag : fresh) sequence.Entered(tag);
    }
  }
  sequence.Stop();
  player.Shutdown();
  spare.Stop();
  TatRelease(library);
  const auto times = front.Times();
  const auto ms = [&](size_t i) {
    return std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count();
  };
  double boundary = 0, inside = 0;
  std::vector<size_t> firsts;
  for (const auto& tag : entered.tags) firsts.push_back(tag.second);
  for (size_t i = 1; i < times.size(); ++i) {
    const bool atBoundary = std::find(firsts.begin(), firsts.end(), i) != firsts.end();
    (atBoundary ? boundary : inside) = std::max(atBoundary ? boundary : inside, ms(i));
  }
  state.counters["boundaries"] = static_cast<double>(firsts.size());
  state.counters["boundary_gap_ms"] = boundary;
  state.counters["worst_inside_ms"] = inside;
  state.counters["front_shown"] = static_cast<double>(times.size());
}
BENCHMARK(BM_TripBoundary)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Frame steps while paused on the card's 1080p + 720p recording, both cameras shown: one
// step forward (+1, the next frame out of the pipeline) or back (-1, from the key frame
// before), 48 in a row from frame 312, timed from the call until both pictures stand
// ("mean_ms", "worst_ms"; the goals are under 30 ms forward and under 120 ms back).
void BM_FrameStep(benchmark::State& state) {
  Card& card = TheCard();
  if (!card.ok) return state.SkipWithError("no card (libx264 missing?)");
  BenchPlayer bench(card.library);
  CQMVMediaPlayer& player = bench.player;
  using Clock = std::chrono::steady_clock;
  const auto waitIdle = [&](Clock::time_point start) {
    while (player.CommandValue() != CQMVMediaPlayer::kIdle && Clock::now() - start < std::chrono::seconds(10)) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  };
  player.OpenMedia(card.name.c_str());
  while (player.GetPositionMs() < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  player.PausePlayback();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int delta = static_cast<int>(state.range(0));
  double sum = 0, worst = 0;
  int steps = 0;
  for (auto _ : state) {
    player.SeekToFrame(312);
    waitIdle(Clock::now());
    for (int i = 0; i < 48; ++i) {
      const auto start = Clock::now();
      player.StepFrames(delta);  // a step shown from kept pictures is done when it returns
      const double ms = waitIdle(start);
      sum += ms;
      worst = std::max(worst, ms);
      ++steps;
    }
  }
  state.counters["mean_ms"] = sum / std::max(steps, 1);
  state.counters["worst_ms"] = worst;
  state.counters["end_frame"] = player.GetPositionMs() * 30 / 1000.0;
}
BENCHMARK(BM_FrameStep)->Arg(1)->Arg(-1)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr char kSentence[] =
    "G$GPRMC,123519.00,A,3733.9614,N,12658.6776,E,022.4,084.4,230394,003.1,W*6A";

void BM_CopySentence(benchmark::State& state) {
  char buffer[1024];
  for (auto _ : state) {
    std::memcpy(buffer, kSentence, sizeof kSentence);
    benchmark::DoNotOptimize(buffer);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopySentence);

void BM_ParseRmc(benchmark::State& state) {
  CGPSData gps;
  for (auto _ : state) {
    benchmark::DoNotOptimize(gps.ParseRmc(kSentence));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseRmc);

}  // namespace

BENCHMARK_MAIN();
