// The export's copy from a real made card through the card-store parser into AVI files, each
// checked with ffprobe / ffmpeg: streams, frame counts, audio length, a file cut short by a
// damaged recording, names that must not become paths, destinations that cannot be written,
// and `roadkeep-tool export` on a card whose names were tampered with. Cancel and stops are
// the window's journeys (tests/app/export_journey_test.cpp).
#include "containers/recording_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "containers/avi_writer.h"
#include "tat/tat_parser.h"
#include "concurrency/trace.h"
#include "tat/card.h"
#include "tat/crc32c.h"
#include "tat/tat_library.h"
#include "tests/support/ffprobe.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 4;
constexpr int kFrames = kSeconds * 30;

using Stream = ProbedStream;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::vector<Stream> Probe(const std::string& path) { return ProbeStreams(path); }

// Bytes of audio in the file (16-bit mono at 8000 Hz: 16000 a second).
long AudioBytes(const std::string& path) {
  std::istringstream sizes(CommandOutput("ffprobe -v error -select_streams a -show_entries "
                                         "packet=size -of csv=p=0 " + Quote(path)));
  long total = 0;
  for (std::string line; std::getline(sizes, line);) total += std::atol(line.c_str());
  return total;
}

// What ffmpeg says when it decodes every stream to the end; empty when all is well.
std::string DecodeErrors(const std::string& path) {
  return CommandOutput("ffmpeg -nostdin -v error -i " + Quote(path) + " -f null - 2>&1");
}

long CountOf(const std::vector<Stream>& streams, const std::string& type) {
  long packets = 0;
  for (const Stream& s : streams) packets += s.type == type ? s.packets : 0;
  return packets;
}

// Jobs for names as they are, files named alike.
std::vector<ExportJob> ExportJobsFor(const std::vector<std::string>& names) {
  std::vector<ExportJob> jobs;
  for (const std::string& name : names) jobs.push_back({MediaSource::Named(name), name, name, false});
  return jobs;
}

// Runs step for each front frame; answers what step returns.
class CScriptedObserver : public CRecordingExport::Observer {
 public:
  std::function<bool(int file, int frame)> step = [](int, int) { return true; };
  std::vector<std::string> started;
  std::vector<int> totals;
  void OnFileStart(int index, int count, const std::string& name) override {
    m_file = index;
    started.push_back(std::to_string(index) + "/" + std::to_string(count) + " " + name);
  }
  bool OnFrame(int frame, int total) override {
    if (frame == 0) totals.push_back(total);
    return step(m_file, frame);
  }

 private:
  int m_file = 0;
};

class RecordingExport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetTraceEnabled(false);
    s_card = new MadeCard(kSeconds);
  }
  static void TearDownTestSuite() {
    delete s_card;
    s_card = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_card->ok) << "roadkeep-tool make-card failed";
    if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    setenv("ROADKEEP_CARD_DIRS", s_card->dir.Path().c_str(), 1);
    m_library = TatCreate();
    char letter = 0;
    TatPollCard(m_library, &letter);
    ASSERT_NE(letter, 0);
    TatOnCardFound(m_library);
    m_parser.SetLibrary(m_library);
    m_parser.Start();
    m_out = m_dir.File("out");
    fs::create_directory(m_out);
  }
  void TearDown() override {
    m_parser.Stop();
    if (m_library != nullptr) TatRelease(m_library);
  }

  std::vector<ExportResult> Export(const std::vector<std::string>& names) {
    m_busy = true;
    return m_export.ExportAll(m_out, ExportJobsFor(names), m_observer);
  }
  std::string Out(const std::string& name) const { return m_out + "/" + name; }
  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
      files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
  }

  static MadeCard* s_card;
  TempDir m_dir;
  std::string m_out;
  TatHandle* m_library = nullptr;
  CTATParser m_parser;
  CAVIWriter m_writer;
  std::atomic<bool> m_busy{false};
  CRecordingExport m_export{m_parser, m_writer, m_busy};
  CScriptedObserver m_observer;
};

MadeCard* RecordingExport::s_card = nullptr;

TEST(ExportNames, OnlyPlainNamesBecomeFilesInTheFolder) {
  const struct {
    std::string name;
    bool safe;
  } cases[] = {
      {"REC_20140301_093000_D.avi", true}, {"event one.avi", true}, {".hidden", true},
      {"", false}, {".", false}, {"..", false}, {" . ", false}, {"../x.avi", false},
      {"a/b.avi", false}, {"/etc/passwd", false}, {"a\\b", false}, {"x..y", false},
      {std::string("a\x01.avi"), false}, {"tab\t.avi", false}, {"del\x7f", false},
      {std::string(255, 'n'), true}, {std::string(256, 'n'), false},
      // Bytes a terminal or file manager would not show as they are.
      {"\xff\xfe.avi", false}, {"\xc0\xaf.avi", false}, {"a\xc2\x85.avi", false},
      {"a\xe2\x80\xa8.avi", false}, {"\xe2\x80\xae" "iva.avi", false},
      {"\xec\xa3\xbc\xed\x96\x89.avi", true}, {"car \xf0\x9f\x9a\x97.avi", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeExportName(c.name), c.safe) << "'" << c.name << "'";
  EXPECT_EQ(JoinExportPath("/media/out", "A.avi"), "/media/out/A.avi");
  EXPECT_EQ(JoinExportPath("/", "A.avi"), "/A.avi");
  EXPECT_EQ(JoinExportPath("", "A.avi"), "A.avi");
}

TEST_F(RecordingExport, CopiesEveryRecordingWithItsStreamsAndItsSensorRecords) {
  CCard card(s_card->dir.Path().string());
  std::vector<std::string> names;
  for (int r = 0; r < 4; ++r) names.push_back(s_card->Name(r));
  const std::vector<ExportResult> results = Export(names);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(FilesIn(m_out), (std::vector<std::string>{names[1], names[3], names[2], names[0]}));
  EXPECT_EQ(m_observer.started.front(), "0/4 " + names[0]);
  EXPECT_EQ(m_observer.totals, std::vector<int>(4, kFrames));
  for (int r = 0; r < 4; ++r) {
    SCOPED_TRACE(names[static_cast<size_t>(r)]);
    const ExportResult& result = results[static_cast<size_t>(r)];
    EXPECT_EQ(result.outcome, ExportOutcome::kComplete) << DescribeExportResult(result);
    EXPECT_EQ(result.framesCopied, kFrames);
    const std::vector<Stream> streams = Probe(result.path);
    const bool dual = r % 2 == 0;  // recordings 0 and 2 have both cameras
    ASSERT_GE(streams.size(), dual ? 3u : 2u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].width, 320);
    EXPECT_EQ(streams[0].height, 180);
    EXPECT_EQ(streams[0].packets, kFrames);
    if (dual) {
      EXPECT_EQ(streams[1].codec, "h264");
      EXPECT_EQ(streams[1].packets, kFrames);
    }
    EXPECT_EQ(CountOf(streams, "video"), dual ? 2 * kFrames : kFrames);
    EXPECT_EQ(streams[dual ? 2 : 1].codec, "pcm_s16le");
    EXPECT_NEAR(AudioBytes(result.path), kSeconds * 16000, 3200);
    // The GPS and G-sensor records go along, one packet each, as in the recorder's own files.
    const int kind = CCard::KindOfName(names[static_cast<size_t>(r)]);
    const RecordingCounts counts = card.Recordings(kind).at(0).counts;
    ASSERT_GT(counts.gps + counts.acc, 0u);
    EXPECT_EQ(CountOf(streams, "subtitle"), static_cast<long>(counts.gps + counts.acc));
    EXPECT_EQ(DecodeErrors(result.path), "");
  }
}

TEST_F(RecordingExport, UnusableNamesAndDestinationsAreSkippedAndReported) {
  const std::string good = s_card->Name(1);
  const std::string outside = m_dir.File("outside.avi");
  fs::create_directory(Out(s_card->Name(0)));           // a folder where the file would go
  fs::create_symlink(outside, Out(s_card->Name(2)));    // a link leading out of the folder
  const std::vector<ExportResult> results =
      Export({"../" + good, "sub/" + good, "", "NOT_ON_THE_CARD_20140301_000000_D.avi",
              s_card->Name(0), s_card->Name(2), good});
  ASSERT_EQ(results.size(), 7u);
  const ExportOutcome expected[] = {ExportOutcome::kBadName,    ExportOutcome::kBadName,
                                    ExportOutcome::kBadName,    ExportOutcome::kNotOpened,
                                    ExportOutcome::kNotCreated, ExportOutcome::kNotCreated,
                                    ExportOutcome::kComplete};
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].outcome, expected[i]) << i << ": " << DescribeExportResult(results[i]);
    EXPECT_EQ(IsExportProblem(results[i]), i < 6) << i;
  }
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_EQ(FilesIn(m_dir.Path().string()), (std::vector<std::string>{"out"}));
  EXPECT_EQ(FilesIn(m_out), (std::vector<std::string>{good, s_card->Name(2), s_card->Name(0)}));
  EXPECT_TRUE(fs::is_directory(Out(s_card->Name(0))));

  m_out = m_dir.File("missing");  // a folder that is not there
  const std::vector<ExportResult> missing = Export({good});
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].outcome, ExportOutcome::kNotCreated);
  EXPECT_NE(DescribeExportResult(missing[0]).find(std::strerror(ENOENT)), std::string::npos);

  m_out.clear();  // no folder at all: never the current one
  EXPECT_EQ(Export({good})[0].outcome, ExportOutcome::kNotCreated);
  EXPECT_FALSE(fs::exists(good));
}

// A neighbour who plants links in a shared export folder, at the names parts had (process id
// and a count) or at names of the present form, gets nothing written through them, and the
// links are neither followed nor removed.
TEST_F(RecordingExport, LinksPlantedAtPartNamesAreNeverWrittenThrough) {
  const std::string victim = m_dir.File("victim");
  WriteText(victim, "private");
  ::chmod(victim.c_str(), 0600);
  std::vector<std::string> planted;
  for (int n = 0; n < 8; ++n) {
    planted.push_back(".rk-export-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".part");
    planted.push_back(".rk-export-" + std::string(9, 'a') + std::to_string(n) + ".part");
  }
  for (const std::string& name : planted) fs::create_symlink(victim, Out(name));
  const std::string good = s_card->Name(1);
  const std::vector<ExportResult> results = Export({good});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].outcome, ExportOutcome::kComplete) << DescribeExportResult(results[0]);
  EXPECT_EQ(ReadText(victim), "private");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out(good))));
  for (const std::string& name : planted) EXPECT_TRUE(fs::is_symlink(Out(name))) << name;
  EXPECT_EQ(FilesIn(m_out).size(), planted.size() + 1);
}

// Where a file of the name is already there, or an earlier recording of the batch took it.
TEST_F(RecordingExport, ExistingFilesAreKeptReplacedOrKeptBesideANumberedOne) {
  const std::string a = s_card->Name(1), b = s_card->Name(3);
  const std::string a2 = a.substr(0, a.size() - 4) + " (2).avi";
  const std::string a3 = a.substr(0, a.size() - 4) + " (3).avi";
  const struct {
    ExistingFiles existing;
    std::vector<std::string> files;  // each job's file
    ExportOutcome first;
  } cases[] = {
      {ExistingFiles::kRefuse, {a, a2, b}, ExportOutcome::kExists},
      {ExistingFiles::kReplace, {a, a2, b}, ExportOutcome::kComplete},
      {ExistingFiles::kKeepBoth, {a2, a3, b}, ExportOutcome::kComplete},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.existing));
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    WriteAll(Out(a), {1, 2, 3});  // an earlier export of the first recording
    std::vector<ExportJob> jobs = ExportJobsFor({a, a, b});
    PlanExportFiles(m_out, c.existing, &jobs);
    std::vector<std::string> files;
    for (const ExportJob& job : jobs) files.push_back(job.fileName);
    EXPECT_EQ(files, c.files);
    m_busy = true;
    const std::vector<ExportResult> results = m_export.ExportAll(m_out, jobs, m_observer);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].outcome, c.first) << DescribeExportResult(results[0]);
    EXPECT_EQ(results[1].outcome, ExportOutcome::kComplete);
    EXPECT_EQ(ReadAll(Out(a)).size() == 3, c.existing != ExistingFiles::kReplace);
    for (size_t i = 1; i < 3; ++i) EXPECT_EQ(Probe(Out(files[i]))[0].packets, kFrames) << files[i];
  }
}

// A file size limit fails writes past it as a full disk does: nothing partial is left, and
// an older copy the export was to replace is still whole.
TEST_F(RecordingExport, AFullDiskLeavesNoPartialFileAndTheOlderCopyWhole) {
  const std::string name = s_card->Name(0);
  for (const bool older : {false, true}) {
    SCOPED_TRACE(older ? "an older copy" : "no older copy");
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    std::vector<ExportJob> jobs = ExportJobsFor({name});
    if (older) {
      ASSERT_EQ(Export({name})[0].outcome, ExportOutcome::kComplete);
      jobs[0].replace = true;
    }
    const std::vector<uint8_t> before = older ? ReadAll(Out(name)) : std::vector<uint8_t>();
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 20000;
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    m_busy = true;
    const std::vector<ExportResult> results = m_export.ExportAll(m_out, jobs, m_observer);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, ExportOutcome::kWriteFailed);
    EXPECT_TRUE(results[0].path.empty());
    EXPECT_TRUE(IsExportProblem(results[0]));
    EXPECT_EQ(FilesIn(m_out), older ? std::vector<std::string>{name} : std::vector<std::string>{});
    if (older) {
      EXPECT_EQ(ReadAll(Out(name)), before);
    }
  }
}

// The store file of kind, the entry of name in it, and its header's CRC made good again
// after change.
void EditEntry(const fs::path& card, const char* kind, const std::string& name,
               const std::function<void(std::vector<uint8_t>&, size_t entry)>& change) {
  const std::string store = (card / "TAT" / (std::string(kind) + ".TAT")).string();
  std::vector<uint8_t> bytes = ReadAll(store);
  const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
  ASSERT_NE(at, bytes.end()) << name;
  const size_t entry = static_cast<size_t>(at - bytes.begin()) - 56;
  change(bytes, entry);
  const uint32_t crc = roadkeep::tat::Crc32c(0, bytes.data() + entry, 208);
  std::memcpy(bytes.data() + entry + 208, &crc, 4);
  WriteAll(store, bytes);
}

TEST_F(RecordingExport, AFrameLostToDamageIsCountedAndReported) {
  MadeCard card(kSeconds);
  ASSERT_TRUE(card.ok);
  // A byte in the middle of the second recording's chunks: that chunk fails its check and is
  // left out.
  EditEntry(card.dir.Path(), "EVENT", card.Name(1), [](std::vector<uint8_t>& b, size_t entry) {
    uint32_t size = 0;
    std::memcpy(&size, b.data() + entry + 8, 4);
    b[entry + size / 2] ^= 0x5A;
  });
  const std::string out = m_dir.File("damaged");
  fs::create_directory(out);
  const std::string report =
      CommandOutput(BinPath("roadkeep-tool") + " export " + card.dir.Path().string() + " " + out +
                    " " + card.Name(1) + " " + card.Name(0));
  EXPECT_NE(report.find(card.Name(1) + ": incomplete: frames lost to damage, 119 of 120 frames"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(card.Name(0) + ": saved, 120 of 120 front and 120 of 120 rear frames"),
            std::string::npos)
      << report;
  EXPECT_EQ(Probe(out + "/" + card.Name(1))[0].packets, kFrames - 1);
}

TEST_F(RecordingExport, TheToolSkipsNamesFromTheCardThatWouldLeaveTheFolder) {
  MadeCard card(kSeconds);
  ASSERT_TRUE(card.ok);
  // Names the card's own listing then reports: same length, so nothing else moves.
  const std::string a = card.Name(0), b = card.Name(1);
  std::string upward = a, nested = b;
  upward.replace(0, 9, "../../../");
  nested.replace(5, 1, "/");
  EditEntry(card.dir.Path(), "REC", a, [&](std::vector<uint8_t>& bytes, size_t entry) {
    std::memcpy(bytes.data() + entry + 56, upward.data(), upward.size());
  });
  EditEntry(card.dir.Path(), "EVENT", b, [&](std::vector<uint8_t>& bytes, size_t entry) {
    std::memcpy(bytes.data() + entry + 56, nested.data(), nested.size());
  });
  const std::string out = m_dir.File("deep/er/out");
  fs::create_directories(out);
  const int status = RunCommand(BinPath("roadkeep-tool") + " export " + card.dir.Path().string() +
                                " " + out + " > " + m_dir.File("report.txt"));
  const std::vector<uint8_t> text = ReadAll(m_dir.File("report.txt"));
  const std::string report(text.begin(), text.end());
  EXPECT_NE(status, 0);
  EXPECT_NE(report.find(upward + ": skipped: the name cannot be a file name"), std::string::npos)
      << report;
  EXPECT_NE(report.find(nested + ": skipped"), std::string::npos) << report;
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{card.Name(3), card.Name(2)}));
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(m_dir.Path()))
    files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 3u) << "the two exported files and the report, nothing else";
}

}  // namespace
}  // namespace roadkeep::test
