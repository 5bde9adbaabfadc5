// mp4: writes recordings of a card as MP4 files (H.264 copied, audio as AAC) through FFmpeg's
// muxer; --overlay re-encodes the video with the facts band burned in, --side-by-side
// re-encodes the front and the rear into one picture. A progress line with the time left on
// standard error (a terminal only) and one line per recording on standard output. A file
// already in OUT_DIR is never replaced. --trip N writes the card's trip N (numbered as
// `trips DIR` numbers them, the default gap) as one copied file, "trip-N.mp4".
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "concurrency/trace.h"
#include "containers/mp4_export.h"
#include "platform/safe_text.h"
#include "sensors/recording_track.h"
#include "tat/card.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tat/trips.h"
#include "platform/time_left.h"
#include "tools/commands.h"
#include "tools/overlay_band.h"

using roadkeep::platform::TerminalText;

namespace {

// "NAME.avi" becomes "NAME.mp4"; a name without that ending gets ".mp4" added.
std::string Mp4FileName(const std::string& name) {
  const size_t dot = name.rfind('.');
  const bool avi = dot != std::string::npos && dot > 0 && name.size() - dot == 4 &&
                   (name.compare(dot, 4, ".avi") == 0 || name.compare(dot, 4, ".AVI") == 0);
  return (avi ? name.substr(0, dot) : name) + ".mp4";
}

// Each recording of the names given (all of a name the card holds more than once, those after
// the first numbered as the AVI export numbers them); *recordings gets the card's facts of
// each job, none for a name the card does not hold.
std::vector<Mp4Job> JobsFor(TatHandle* handle, const std::string& folder,
                            const std::vector<std::string>& names,
                            std::vector<std::optional<Recording>>* recordings) {
  // PlanExportFiles names each file after the job's name: the planned names are the files'.
  std::vector<ExportJob> planned;
  std::vector<std::string> shown;
  std::vector<bool> audio;
  for (const std::string& name : names) {
    const std::vector<Recording> named = RecordingsNamed(handle, name);
    for (const Recording& r : named) {
      planned.push_back({r.Identity(), Mp4FileName(r.name), {}, false});
      shown.push_back(r.name);
      audio.push_back(r.counts.audio > 0);
      recordings->push_back(r);
    }
    if (named.empty()) {  // reported as unreadable
      planned.push_back({MediaSource::Named(name), Mp4FileName(name), {}, false});
      shown.push_back(name);
      audio.push_back(false);
      recordings->push_back(std::nullopt);
    }
  }
  // Repeated names are numbered; a file in the folder stays and its recording is refused.
  PlanExportFiles(folder, ExistingFiles::kRefuse, &planned);
  std::vector<Mp4Job> jobs;
  for (size_t i = 0; i < planned.size(); ++i) {
    jobs.push_back({planned[i].source, shown[i], planned[i].fileName, audio[i]});
  }
  return jobs;
}

// "[2/5] NAME 120/240 frames, 0:14 left" on standard error, one line rewritten in place, when
// it is a terminal; the time left from the recording's rate so far.
class CMp4ProgressLine {
 public:
  void Start(int index, int count, const std::string& name) {
    m_index = index;
    m_count = count;
    m_name = name;
    m_start = m_shown = std::chrono::steady_clock::now();
    Print(0, 0, "");
  }
  bool OnFrame(int done, int total) {
    const auto now = std::chrono::steady_clock::now();
    if (!m_tty || now - m_shown < std::chrono::milliseconds(250)) return true;
    m_shown = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const std::string time = TimeLeftText(seconds, total > 0 ? static_cast<double>(done) / total : 0);
    Print(done, total, time.empty() ? time : ", " + time + " left");
    return true;
  }
  void Done() const {
    if (m_tty) std::fputc('\n', stderr);
  }

 private:
  void Print(int done, int total, const std::string& left) const {
    if (!m_tty) return;
    // \033[K clears what a longer line before left behind.
    std::fprintf(stderr, "\r[%d/%d] %s %d/%d frames%s\033[K", m_index + 1, m_count,
                 TerminalText(m_name).c_str(),
                 done, total, left.c_str());
  }
  bool m_tty = isatty(STDERR_FILENO) != 0;
  int m_index = 0, m_count = 0;
  std::string m_name;
  std::chrono::steady_clock::time_point m_start, m_shown;
};


constexpr char kUsage[] =
    "usage: roadkeep-tool mp4 DIR OUT_DIR (NAME... | --trip N) [--overlay] [--side-by-side]\n";

// Trip text (from 1) as an index into trips; -1 when it names none.
long TripIndex(const std::string& text, size_t trips) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text.c_str(), &end, 10);
  const bool whole = !text.empty() && *end == '\0' && errno == 0;
  return whole && n >= 1 && static_cast<size_t>(n) <= trips ? n - 1 : -1;
}

// Writes the card's trip (its text as given) into folder as one file: one line, 0 or 1.
int WriteTrip(TatHandle* handle, const std::string& folder, const std::string& number) {
  const std::vector<roadkeep::tat::Trip> trips = CardTrips(handle);
  const long index = TripIndex(number, trips.size());
  if (index < 0) {
    std::fprintf(stderr, "roadkeep-tool: no trip %s on the card (it has %zu)\n",
                 TerminalText(number).c_str(),
                 trips.size());
    return 1;
  }
  std::vector<Mp4Job> jobs;
  for (const Recording& r : trips[static_cast<size_t>(index)].recordings) {
    jobs.push_back({r.Identity(), r.name, {}, r.counts.audio > 0});
  }
  const std::string name = "trip " + std::to_string(index + 1);
  const std::string fileName = "trip-" + std::to_string(index + 1) + ".mp4";
  CTATParser parser;
  parser.SetLibrary(handle);
  parser.Start();
  CMp4ProgressLine line;
  line.Start(0, 1, name);
  const Mp4Result r = CMp4Export(parser).ExportTrip(
      folder, fileName, name, jobs, [&line](int done, int total) { return line.OnFrame(done, total); });
  line.Done();
  parser.Stop();
  const std::string as = r.path.empty() ? "" : " (" + fileName + ")";
  std::printf("%s\n", TerminalText(name + ": " + DescribeMp4Result(r) + as).c_str());
  return r.outcome == ExportOutcome::kComplete ? 0 : 1;
}

}  // namespace

int Mp4Command(int argc, char** argv) {
  std::vector<char*> args;
  bool overlay = false, sideBySide = false;
  const char* trip = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--trip") == 0) {
      trip = i + 1 < argc ? argv[++i] : "";
    } else if (std::strcmp(argv[i], "--overlay") == 0) {
      overlay = true;
    } else if (std::strcmp(argv[i], "--side-by-side") == 0) {
      sideBySide = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  argc = static_cast<int>(args.size());
  argv = args.data();
  // A trip is joined only as a copy: re-encoded stretches would need one encoder across them.
  const bool tripOk = trip == nullptr || (argc == 2 && !overlay && !sideBySide);
  if (argc < (trip ? 2 : 3) || argv[1][0] == '\0' || !tripOk || (trip && *trip == '\0')) {
    std::fprintf(stderr, "%s", kUsage);
    if (!tripOk) {
      std::fprintf(stderr, "--trip takes no NAMEs, --overlay or --side-by-side\n");
    }
    return 2;
  }
  roadkeep::SetTraceEnabled(false);  // standard output holds one line per recording
  av_log_set_level(AV_LOG_ERROR);    // the muxer's notes on its second pass are noise here
  std::string problem;
  TatHandle* handle = OpenCardAt(argv[0], &problem);
  if (handle == nullptr) {
    std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(problem).c_str());
    return 1;
  }
  TatOnCardFound(handle);
  const std::string folder = argv[1];
  if (trip != nullptr) {
    const int status = WriteTrip(handle, folder, trip);
    TatRelease(handle);
    return status;
  }
  std::vector<std::optional<Recording>> recordings;
  std::vector<Mp4Job> jobs =
      JobsFor(handle, folder, std::vector<std::string>(argv + 2, argv + argc), &recordings);
  int problems = 0;
  {
    // Fonts for the band; none loaded unless it is drawn.
    std::unique_ptr<COverlayFonts> fonts;
    if (overlay) fonts = std::make_unique<COverlayFonts>();
    CTATParser parser;
    parser.SetLibrary(handle);
    parser.Start();
    CMp4Export exporter(parser);
    CMp4ProgressLine line;
    for (size_t i = 0; i < jobs.size(); ++i) {
      Mp4Job& job = jobs[i];
      job.video = sideBySide ? Mp4Video::kSideBySide
                  : overlay  ? Mp4Video::kReencode
                             : Mp4Video::kCopy;
      std::unique_ptr<COverlayBand> band;
      const std::shared_ptr<CCard> card = TatCurrentCard(handle);
      if (overlay && recordings[i] && card) band = MakeOverlayBand(*card, *recordings[i]);
      job.overlay = band.get();
      line.Start(static_cast<int>(i), static_cast<int>(jobs.size()), job.name);
      const Mp4Result r =
          exporter
              .ExportAll(folder, {job},
                         [&line](int done, int total) { return line.OnFrame(done, total); })
              .front();
      line.Done();
      const std::string as = r.path.empty() ? "" : " (" + job.fileName + ")";
      std::printf("%s\n", TerminalText(r.name + ": " + DescribeMp4Result(r) + as).c_str());
      problems += r.outcome == ExportOutcome::kComplete ? 0 : 1;
    }
    parser.Stop();
  }
  TatRelease(handle);
  return problems == 0 ? 0 : 1;
}
