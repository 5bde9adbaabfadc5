// export: copies recordings of a card into AVI files, as the viewer's FileDownload does, with
// the same copy code; a progress line on standard error and one line per recording on
// standard output.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "containers/avi_writer.h"
#include "containers/recording_export.h"
#include "tat/tat_parser.h"
#include "concurrency/trace.h"
#include "tat/tat_library.h"
#include "tools/commands.h"

namespace {

// Every recording of the card, in the library's order of kinds.
std::vector<std::string> AllRecordings(TatHandle* handle, char letter) {
  std::vector<std::string> names;
  for (int kind = 0; kind < 4; ++kind) {
    const int count = TatCountRecordings(handle, letter, kind);
    if (count <= 0 || count > 1000000) continue;
    std::vector<char> text(static_cast<size_t>(count) * kTatNameSize, 0);
    std::vector<uint32_t> sizes(2 * (static_cast<size_t>(count) + 1), 0);
    std::vector<uint32_t> extra(static_cast<size_t>(count) + 2, 0);
    const int n = TatListRecordings(handle, letter, kind, count, text.data(), sizes.data(),
                                    extra.data());
    for (int i = 0; i < n && i < count; ++i) {
      const char* entry = text.data() + static_cast<size_t>(i) * kTatNameSize;
      names.emplace_back(entry, strnlen(entry, kTatNameSize));
    }
  }
  return names;
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
    std::fprintf(stderr, "\r[%d/%d] %s %d/%d frames   ", m_index + 1, m_count, m_name.c_str(),
                 frame, total);
  }
  bool m_tty = isatty(STDERR_FILENO) != 0;
  int m_index = 0, m_count = 0;
  std::string m_name;
};

}  // namespace

int ExportCommand(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: roadkeep-tool export CARD_DIR OUT_DIR [NAME...]\n");
    return 2;
  }
  roadkeep::SetTraceEnabled(false);  // standard output holds one line per recording
  setenv("ROADKEEP_CARD_DIRS", argv[0], 1);
  TatHandle* handle = TatCreate();
  char letter = 0;
  TatPollCard(handle, &letter);
  if (letter == 0) {
    std::fprintf(stderr, "roadkeep-tool: no card store in %s\n", argv[0]);
    TatRelease(handle);
    return 1;
  }
  TatOnCardFound(handle);
  std::vector<std::string> names;
  for (int i = 2; i < argc; ++i) names.emplace_back(argv[i]);
  if (names.empty()) names = AllRecordings(handle, letter);

  int problems = 0;
  {
    CTATParser parser;
    parser.SetLibrary(handle);
    parser.Start();
    CAVIWriter writer;
    std::atomic<bool> busy{true};
    CRecordingExport exporter(parser, writer, busy);
    CProgressLine progress;
    const std::vector<ExportResult> results = exporter.ExportAll(argv[1], names, progress);
    progress.Done();
    for (const ExportResult& r : results) {
      std::printf("%s: %s\n", r.name.c_str(), DescribeExportResult(r).c_str());
      problems += IsExportProblem(r) ? 1 : 0;
    }
    parser.Stop();
  }
  TatRelease(handle);
  return problems == 0 ? 0 : 1;
}
