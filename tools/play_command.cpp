// play: plays recordings of a card headless through the real parser, decoder and SDL audio,
// and prints what was shown, what the text stream held and how each recording ended.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "decoding/decoder.h"
#include "platform/safe_text.h"
#include "playback/player.h"
#include "playback/recording_sequence.h"
#include "tat/card.h"
#include "tat/tat_parser.h"
#include "concurrency/trace.h"
#include "playback/wave_box.h"
#include "platform/video_surface.h"
#include "platform/wave_out.h"
#include "sensors/text_data.h"
#include "playback/play_speed.h"
#include "tat/tat_library.h"
#include "tat/trips.h"
#include "tools/commands.h"

using roadkeep::platform::TerminalText;

namespace {

using Clock = std::chrono::steady_clock;

struct PlayOptions {
  std::string dir;
  std::vector<std::string> names;
  int frontWidth = 640, frontHeight = 360, rearWidth = 320, rearHeight = 170;
  int seekSeconds = -1;     // seek once playback has started
  int pauseAtSeconds = -1;  // pause there, then step
  int steps = 0;            // one-frame moves of a second each while paused
  double maxSeconds = 0;    // per recording; 0: duration + 30 s
  bool trace = false;
  int trip = 0;             // a trip's number (from 1, oldest first); 0: the names
  double speed = 1.0;       // one of the player's speed steps
};

// A surface that also times the frames it is given.
class CTimedSurface : public CHeadlessSurface {
 public:
  using CHeadlessSurface::CHeadlessSurface;
  void ShowFrame(const cv::Mat& frame) override {
    const auto now = Clock::now();
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_shown > 0) {
        const double ms = std::chrono::duration<double, std::milli>(now - m_last).count();
        m_sumMs += ms;
        m_worstMs = std::max(m_worstMs, ms);
        m_intervals.push_back(ms);
      }
      ++m_shown;
      m_last = now;
      m_times.push_back(now);
    }
    CHeadlessSurface::ShowFrame(frame);
  }
  void Reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_shown = 0;
    m_sumMs = m_worstMs = 0;
    m_intervals.clear();
    m_times.clear();
  }
  // The longest interval between shown frames among the few around each moment given: the
  // last frames before it and the first ones after it.
  double LongestGapAround(const std::vector<Clock::time_point>& moments) {
    std::lock_guard<std::mutex> guard(m_mutex);
    double longest = 0;
    for (const Clock::time_point moment : moments) {
      const auto after = std::lower_bound(m_times.begin(), m_times.end(), moment);
      const auto from = after - std::min<std::ptrdiff_t>(after - m_times.begin(), 3);
      const auto to = after + std::min<std::ptrdiff_t>(m_times.end() - after, 3);
      for (auto t = from; t + 1 < to; ++t) {
        longest = std::max(longest, std::chrono::duration<double, std::milli>(t[1] - t[0]).count());
      }
    }
    return longest;
  }
  // The interval that 95 in 100 intervals do not exceed.
  double Percentile95() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_intervals.empty()) return 0;
    std::vector<double> sorted = m_intervals;
    const size_t at = sorted.size() * 95 / 100;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(at), sorted.end());
    return sorted[at];
  }
  void Stats(int* shown, double* meanMs, double* worstMs) {
    std::lock_guard<std::mutex> guard(m_mutex);
    *shown = m_shown;
    *meanMs = m_shown > 1 ? m_sumMs / (m_shown - 1) : 0;
    *worstMs = m_worstMs;
  }

 private:
  std::mutex m_mutex;
  int m_shown = 0;
  double m_sumMs = 0, m_worstMs = 0;
  std::vector<double> m_intervals;  // ms between shown frames
  std::vector<Clock::time_point> m_times;  // of each shown frame
  Clock::time_point m_last;
};

// The end-of-recording event, posted by the status callback to the command's thread.
struct EndEvent {
  std::mutex mutex;
  std::condition_variable cond;
  int pending = 0;
  bool failed = false;  // the last end came because the recording could not be read
  static void Post(void* user, int code, int a, int) {
    auto* e = static_cast<EndEvent*>(user);
    if (code != 1) return;
    std::lock_guard<std::mutex> guard(e->mutex);
    ++e->pending;
    e->failed = a != 0;
    e->cond.notify_all();
  }
  // True when an end came within ms; *failed tells how it came.
  bool Wait(int ms, bool* failed) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!cond.wait_for(lock, std::chrono::milliseconds(ms), [&] { return pending > 0; })) {
      return false;
    }
    --pending;
    *failed = this->failed;
    return true;
  }
};

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 100000) return false;
  *value = static_cast<int>(v);
  return true;
}

bool ParsePane(const char* text, int* w, int* h) {
  char tail = 0;
  return std::sscanf(text, "%dx%d%c", w, h, &tail) == 2 && *w >= 0 && *h >= 0 && *w <= 8192 &&
         *h <= 8192;
}

int Usage() {
  std::fprintf(stderr,
               "usage: roadkeep-tool play DIR NAME [NAME...] [--pane WxH] [--rear-pane WxH] "
               "[--seek S] [--pause-at S] [--step N] [--audio DRIVER] [--audio-file FILE] "
               "[--speed X] [--max-seconds S] [--trace]\n"
               "       roadkeep-tool play DIR --trip N [--pane WxH] [...]\n");
  return 2;
}

bool ParseArgs(int argc, char** argv, PlayOptions* o) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    bool ok = true;
    if (arg == "--pane") ok = ParsePane(value, &o->frontWidth, &o->frontHeight), ++i;
    else if (arg == "--rear-pane") ok = ParsePane(value, &o->rearWidth, &o->rearHeight), ++i;
    else if (arg == "--seek") ok = ParseInt(value, &o->seekSeconds), ++i;
    else if (arg == "--pause-at") ok = ParseInt(value, &o->pauseAtSeconds), ++i;
    else if (arg == "--step") ok = ParseInt(value, &o->steps), ++i;
    else if (arg == "--audio") ok = *value && setenv("SDL_AUDIODRIVER", value, 1) == 0, ++i;
    else if (arg == "--audio-file") ok = *value && setenv("SDL_DISKAUDIOFILE", value, 1) == 0, ++i;
    else if (arg == "--max-seconds") {
      int s = 0;
      ok = ParseInt(value, &s), ++i;
      o->maxSeconds = s;
    } else if (arg == "--trip") {
      ok = ParseInt(value, &o->trip) && o->trip > 0, ++i;
    } else if (arg == "--speed") {
      ok = roadkeep::ParseSpeed(value, &o->speed), ++i;
    } else if (arg == "--trace") o->trace = true;
    else if (arg.rfind("--", 0) == 0) ok = false;
    else if (o->dir.empty()) o->dir = arg;
    else o->names.push_back(arg);
    if (!ok) {
      std::fprintf(stderr, "roadkeep-tool: play: bad argument '%s'\n", TerminalText(arg).c_str());
      return false;
    }
  }
  return !o->dir.empty() && (o->trip > 0) != !o->names.empty();
}

}  // namespace

namespace {

// The moments the output passed into the next recording of a trip, posted by the player's
// next-callback to the command's thread.
struct Boundaries {
  std::mutex mutex;
  std::vector<std::pair<int, Clock::time_point>> entered;  // tag, when
  size_t handled = 0;
  static void Post(void* user, int tag) {
    auto* b = static_cast<Boundaries*>(user);
    std::lock_guard<std::mutex> guard(b->mutex);
    b->entered.emplace_back(tag, Clock::now());
  }
  // Tags posted since the last call.
  std::vector<int> Take() {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<int> tags;
    for (; handled < entered.size(); ++handled) tags.push_back(entered[handled].first);
    return tags;
  }
};

// The parts the viewer's main window wires together, without the window.
struct Engine {
  CTATParser parser;
  CTATParser spare;  // a trip's next recording, opened ahead
  CDecoder decoder;
  CWaveBox audio;
  CTextData text;
  CTimedSurface front, rear;
  EndEvent ended;
  Boundaries boundaries;
  CQMVMediaPlayer player;
  CRecordingSequence sequence{player, parser, spare};
  double playedSeconds = 0;  // wall time of the last recording played

  Engine(const PlayOptions& o)
      : front(o.frontWidth, o.frontHeight), rear(o.rearWidth, o.rearHeight) {
    player.SetParser(&parser);
    player.SetDecoder(&decoder);
    player.SetAudio(&audio);
    player.SetTextCallback(&CTextData::TextCallback, &text);
    player.SetStatusCallback(&EndEvent::Post, &ended);
    player.SetNextCallback(&Boundaries::Post, &boundaries);
  }
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Pauses, then moves a second forward `steps` times, each showing one frame.
void PauseAndStep(Engine& e, int steps) {
  e.player.PausePlayback();
  std::printf("paused at %d ms\n", e.player.GetPositionMs());
  for (int i = 0; i < steps; ++i) {
    e.player.SeekToMs(e.player.GetPositionMs() + 1000);
    const auto start = Clock::now();
    while (e.player.CommandValue() != CQMVMediaPlayer::kIdle && SecondsSince(start) < 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("step %d: position %d ms, status %d\n", i + 1, e.player.GetPositionMs(),
                e.player.Status());
  }
  e.player.ResumePlayback();
}

enum class Ending { kEnd, kUnreadable, kTimeLimit };

// Plays one recording until its end event or the time limit.
Ending PlayOne(Engine& e, const PlayOptions& o, const MediaSource& source) {
  e.text.Clear();
  e.front.Reset();
  e.rear.Reset();
  e.player.PausePlayback();  // as the window's open does before it opens the next
  e.player.StopMedia();
  e.player.OpenMedia(source);
  const double limit =
      o.maxSeconds > 0 ? o.maxSeconds : e.player.DurationMs() / 1000.0 / o.speed + 30;
  const auto start = Clock::now();
  bool sought = o.seekSeconds < 0, paused = o.pauseAtSeconds < 0;
  for (;;) {
    bool failed = false;
    e.playedSeconds = SecondsSince(start);
    if (e.ended.Wait(10, &failed)) return failed ? Ending::kUnreadable : Ending::kEnd;
    if (SecondsSince(start) > limit) return Ending::kTimeLimit;
    if (e.player.Status() != CQMVMediaPlayer::kPlaying) continue;
    if (!sought) {
      e.player.SeekToMs(o.seekSeconds * 1000);
      sought = true;
    } else if (!paused && e.player.GetPositionMs() >= o.pauseAtSeconds * 1000) {
      PauseAndStep(e, o.steps);
      paused = true;
    }
  }
}

const char* EndingText(Ending ending);

// Plays a trip's recordings in a row until the end of the last one or the time limit, and
// says how long the picture stood still at the boundaries between them.
Ending PlayTrip(Engine& e, const PlayOptions& o, const roadkeep::tat::Trip& trip) {
  e.text.Clear();
  e.front.Reset();
  e.rear.Reset();
  std::vector<MediaSource> sources;
  for (const Recording& r : trip.recordings) sources.push_back(r.Identity());
  e.sequence.SetSkipped([&](size_t index) {
    std::fprintf(stderr, "roadkeep-tool: play: %s could not be opened: skipped\n",
                 TerminalText(trip.recordings[index].name).c_str());
  });
  e.sequence.Open(std::move(sources), 0, 0);
  const double limit = o.maxSeconds > 0 ? o.maxSeconds : trip.lengthMs / 1000.0 / o.speed + 30;
  const auto start = Clock::now();
  Ending ending = Ending::kTimeLimit;
  for (;;) {
    for (const int tag : e.boundaries.Take()) e.sequence.Entered(tag);
    bool failed = false;
    if (e.ended.Wait(10, &failed)) {
      ending = failed ? Ending::kUnreadable : Ending::kEnd;
      break;
    }
    if (SecondsSince(start) > limit) break;
  }
  std::vector<Clock::time_point> moments;
  {
    std::lock_guard<std::mutex> guard(e.boundaries.mutex);
    for (const auto& entered : e.boundaries.entered) moments.push_back(entered.second);
  }
  int shown = 0;
  double mean = 0, worst = 0;
  e.front.Stats(&shown, &mean, &worst);
  std::printf("trip %d: %zu recordings, %lld ms\n", o.trip, trip.recordings.size(),
              static_cast<long long>(trip.lengthMs));
  std::printf("  frames shown: front %d\n", shown);
  std::printf("  front interval: mean %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n", mean,
              e.front.Percentile95(), worst);
  std::printf("  ended: %s\n", EndingText(ending));
  std::printf("trip boundaries: %zu, longest gap between frames: %.0f ms\n", moments.size(),
              e.front.LongestGapAround(moments));
  std::fflush(stdout);
  return ending;
}

const char* EndingText(Ending ending) {
  switch (ending) {
    case Ending::kEnd: return "end of recording";
    case Ending::kUnreadable: return "could not be read";
    case Ending::kTimeLimit: return "time limit";
  }
  return "";
}

void PrintSummary(Engine& e, const std::string& name, Ending ending) {
  int frontShown = 0, rearShown = 0;
  double mean = 0, worst = 0, rearMean = 0, rearWorst = 0;
  e.front.Stats(&frontShown, &mean, &worst);
  e.rear.Stats(&rearShown, &rearMean, &rearWorst);
  std::printf("%s\n", TerminalText(name).c_str());
  std::printf("  frames shown: front %d, rear %d\n", frontShown, rearShown);
  std::printf("  duration: %d ms, position at end: %d ms\n", e.player.DurationMs(),
              e.player.GetPositionMs());
  std::printf("  front interval: mean %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n", mean,
              e.front.Percentile95(), worst);
  std::printf("  speed: %s, played in %.1f s%s\n", roadkeep::SpeedName(e.player.Speed()).c_str(),
              e.playedSeconds, e.player.ShowsKeyFramesOnly() ? ", key frames only" : "");
  std::printf("  records: GPS %d, G-sensor %d\n", e.text.GpsCount(), e.text.GSensorCount());
  std::printf("  ended: %s (status %d)\n", EndingText(ending), e.player.Status());
  std::fflush(stdout);
}

}  // namespace

int PlayCommand(int argc, char** argv) {
  PlayOptions o;
  if (!ParseArgs(argc, argv, &o)) return Usage();
  roadkeep::SetTraceSink(o.trace ? &roadkeep::TraceToStdout : nullptr);
  std::string cardProblem;
  TatHandle* library = OpenCardAt(o.dir, &cardProblem);
  if (library == nullptr) {
    std::fprintf(stderr, "roadkeep-tool: play: %s\n", TerminalText(cardProblem).c_str());
    return 1;
  }
  // Each recording of a name the card holds more than once.
  struct Source {
    std::string name;    // as the user gave it
    MediaSource opened;
    bool onCard;
  };
  std::vector<Source> sources;
  for (const std::string& name : o.names) {
    const std::vector<Recording> named = RecordingsNamed(library, name);
    for (const Recording& r : named) sources.push_back({name, r.Identity(), true});
    if (named.empty()) sources.push_back({name, MediaSource::Named(name), false});
  }
  ChooseAudioDriver();
  int failures = 0;
  {
    auto engine = std::make_unique<Engine>(o);
    engine->parser.SetLibrary(library);
    engine->spare.SetLibrary(library);
    engine->spare.Start();
    engine->player.StartEngine(&engine->front, &engine->rear);
    engine->player.SetSpeed(o.speed);
    if (!engine->audio.IsReady()) {
      std::fprintf(stderr, "roadkeep-tool: play: the audio output could not be opened\n");
      ++failures;
    }
    if (o.trip > 0) {
      const std::vector<roadkeep::tat::Trip> trips = CardTrips(library);
      if (static_cast<size_t>(o.trip) > trips.size()) {
        std::fprintf(stderr, "roadkeep-tool: play: the card has %zu trips, no trip %d\n",
                     trips.size(), o.trip);
        ++failures;
      } else if (PlayTrip(*engine, o, trips[static_cast<size_t>(o.trip) - 1]) != Ending::kEnd) {
        std::fprintf(stderr, "roadkeep-tool: play: trip %d did not play to its end\n", o.trip);
        ++failures;
      }
    }
    for (const Source& source : sources) {
      const std::string& name = source.name;
      const Ending ending = PlayOne(*engine, o, source.opened);
      PrintSummary(*engine, name, ending);
      int shown = 0;
      double mean = 0, worst = 0;
      engine->front.Stats(&shown, &mean, &worst);
      const char* problem = nullptr;
      if (ending == Ending::kUnreadable) {
        problem = source.onCard ? "the recording could not be read" : "no such recording on the card";
      } else if (ending == Ending::kTimeLimit) {
        problem = "the recording did not end within the time limit";
      } else if (shown == 0) {
        problem = "no frame of the recording could be shown";
      } else if (!engine->audio.IsReady()) {
        problem = "the audio output failed";
      }
      if (problem != nullptr) {
        std::fprintf(stderr, "roadkeep-tool: play: %s: %s\n", TerminalText(name).c_str(), problem);
        ++failures;
      }
    }
    engine->sequence.Stop();
    engine->player.Shutdown();
    engine->spare.Stop();
  }
  TatRelease(library);
  return failures == 0 ? 0 : 1;
}
