// export: copies recordings of a card into AVI files, as the viewer's FileDownload does, with
// the same copy code; a progress line on standard error and one line per recording on
// standard output. A file already in OUT_DIR is kept (that recording is refused) unless
// --overwrite.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "containers/recording_export.h"
#include "platform/safe_text.h"
#include "tat/card.h"
#include "tat/card_export.h"
#include "tat/store_format.h"
#include "concurrency/trace.h"
#include "tat/tat_library.h"
#include "tools/commands.h"

using roadkeep::platform::TerminalText;

namespace {

// What to copy: every recording of the card in the library's order of kinds, or each
// recording of the names given (all of a name the card holds more than once).
std::vector<ExportJob> JobsFor(TatHandle* handle, const std::vector<std::string>& names) {
  std::vector<ExportJob> jobs;
  const auto add = [&](const Recording& r) {
    jobs.push_back({r.Identity(), r.name, r.name, false});
  };
  if (names.empty()) {
    const std::shared_ptr<CCard> card = TatCurrentCard(handle);
    for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
      for (const Recording& r : card->Recordings(kind)) add(r);
    }
    return jobs;
  }
  for (const std::string& name : names) {
    const std::vector<Recording> named = RecordingsNamed(handle, name);
    for (const Recording& r : named) add(r);
    if (named.empty()) jobs.push_back({MediaSource::Named(name), name, name, false});  // unreadable
  }
  return jobs;
}

// Says which store files of the card cannot be read; their number.
int ReportUnreadableStores(TatHandle* handle) {
  const std::shared_ptr<CCard> card = TatCurrentCard(handle);
  int unreadable = 0;
  for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
    if (card->Refresh(kind) >= 0) continue;
    const auto path = std::filesystem::path(card->Root()) / roadkeep::tat::kStoreFolder /
                      roadkeep::tat::StoreFileName(kind);
    std::fprintf(stderr, "roadkeep-tool: cannot read %s: %s\n", TerminalText(path.string()).c_str(),
                 StoreErrorText(card->StoreError(kind)).c_str());
    ++unreadable;
  }
  return unreadable;
}

class CProgressLine : public CRecordingExport::Observer {
 public:
  void OnFileStart(int index, int count, const std::string& name) override {
    m_index = index;
    m_count = count;
    m_name = name;
    Print(0, 0);
  }
  bool OnFrame(int frame, int total) override {
    if (frame % 30 == 0) Print(frame, total);
    return true;
  }
  void Done() const {
    if (m_tty) std::fputc('\n', stderr);
  }

 private:
  void Print(int frame, int total) const {
    if (!m_tty) return;
    std::fprintf(stderr, "\r[%d/%d] %s %d/%d frames   ", m_index + 1, m_count,
                 TerminalText(m_name).c_str(),
                 frame, total);
  }
  bool m_tty = isatty(STDERR_FILENO) != 0;
  int m_index = 0, m_count = 0;
  std::string m_name;
};

}  // namespace

int ExportCommand(int argc, char** argv) {
  std::vector<std::string> args;
  bool overwrite = false;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--overwrite") == 0) {
      overwrite = true;
    } else {
      args.emplace_back(argv[i]);
    }
  }
  if (args.size() < 2 || args[1].empty()) {
    std::fprintf(stderr, "usage: roadkeep-tool export CARD_DIR OUT_DIR [NAME...] [--overwrite]\n");
    return 2;
  }
  roadkeep::SetTraceEnabled(false);  // standard output holds one line per recording
  std::string problem;
  TatHandle* handle = OpenCardAt(args[0], &problem);
  if (handle == nullptr) {
    std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(problem).c_str());
    return 1;
  }
  TatOnCardFound(handle);
  int problems = ReportUnreadableStores(handle);
  std::vector<ExportJob> jobs =
      JobsFor(handle, std::vector<std::string>(args.begin() + 2, args.end()));
  // A file already there is kept unless --overwrite: the export of it is refused.
  PlanExportFiles(args[1], overwrite ? ExistingFiles::kReplace : ExistingFiles::kRefuse, &jobs);
  {
    CProgressLine progress;
    const std::vector<ExportResult> results = ExportFromCard(handle, args[1], jobs, progress);
    progress.Done();
    for (size_t i = 0; i < results.size(); ++i) {
      const ExportResult& r = results[i];
      // The file's own name where it differs from the recording's.
      const std::string& file = jobs[i].fileName;
      std::string as = !r.path.empty() && file != r.name ? " (as " + file + ")" : "";
      if (r.outcome == ExportOutcome::kExists) as = " (--overwrite replaces it)";
      std::printf("%s\n", TerminalText(r.name + ": " + DescribeExportResult(r) + as).c_str());
      problems += IsExportProblem(r) ? 1 : 0;
    }
  }
  TatRelease(handle);
  return problems == 0 ? 0 : 1;
}
