// mp4: writes recordings of a card as MP4 files (H.264 copied, audio as AAC) through FFmpeg's
// muxer; a progress line on standard error and one line per recording on standard output. A
// file already in OUT_DIR is never replaced.
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "concurrency/trace.h"
#include "containers/mp4_export.h"
#include "tat/card.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tools/commands.h"

namespace {

// "NAME.avi" becomes "NAME.mp4"; a name without that ending gets ".mp4" added.
std::string Mp4FileName(const std::string& name) {
  const size_t dot = name.rfind('.');
  const bool avi = dot != std::string::npos && dot > 0 && name.size() - dot == 4 &&
                   (name.compare(dot, 4, ".avi") == 0 || name.compare(dot, 4, ".AVI") == 0);
  return (avi ? name.substr(0, dot) : name) + ".mp4";
}

// Each recording of the names given (all of a name the card holds more than once, those after
// the first numbered as the AVI export numbers them).
std::vector<Mp4Job> JobsFor(TatHandle* handle, const std::string& folder,
                            const std::vector<std::string>& names) {
  // PlanExportFiles names each file after the job's name: the planned names are the files'.
  std::vector<ExportJob> planned;
  std::vector<std::string> shown;
  std::vector<bool> audio;
  for (const std::string& name : names) {
    const std::vector<Recording> named = RecordingsNamed(handle, name);
    for (const Recording& r : named) {
      planned.push_back({r.Source(), Mp4FileName(r.name), {}, false});
      shown.push_back(r.name);
      audio.push_back(r.counts.audio > 0);
    }
    if (named.empty()) {  // reported as unreadable
      planned.push_back({name, Mp4FileName(name), {}, false});
      shown.push_back(name);
      audio.push_back(false);
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

}  // namespace

int Mp4Command(int argc, char** argv) {
  if (argc < 3 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: roadkeep-tool mp4 DIR OUT_DIR NAME...\n");
    return 2;
  }
  roadkeep::SetTraceEnabled(false);  // standard output holds one line per recording
  av_log_set_level(AV_LOG_ERROR);    // the muxer's notes on its second pass are noise here
  std::string problem;
  TatHandle* handle = OpenCardAt(argv[0], &problem);
  if (handle == nullptr) {
    std::fprintf(stderr, "roadkeep-tool: %s\n", problem.c_str());
    return 1;
  }
  TatOnCardFound(handle);
  const std::string folder = argv[1];
  const std::vector<Mp4Job> jobs =
      JobsFor(handle, folder, std::vector<std::string>(argv + 2, argv + argc));
  int problems = 0;
  {
    CTATParser parser;
    parser.SetLibrary(handle);
    parser.Start();
    CMp4Export exporter(parser);
    const bool tty = isatty(STDERR_FILENO) != 0;
    for (const Mp4Job& job : jobs) {
      const auto progress = [&](int done, int total) {
        if (tty && done % 30 == 0) {
          std::fprintf(stderr, "\r%s %d/%d frames   ", job.name.c_str(), done, total);
        }
        return true;
      };
      const Mp4Result r = exporter.ExportAll(folder, {job}, progress).front();
      if (tty) std::fputc('\n', stderr);
      const std::string as = r.path.empty() ? "" : " (" + job.fileName + ")";
      std::printf("%s: %s%s\n", r.name.c_str(), DescribeMp4Result(r).c_str(), as.c_str());
      problems += r.outcome == ExportOutcome::kComplete ? 0 : 1;
    }
    parser.Stop();
  }
  TatRelease(handle);
  return problems == 0 ? 0 : 1;
}
