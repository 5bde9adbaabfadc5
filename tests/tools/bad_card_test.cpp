// roadkeep-tool's list, dump, play and export on damaged and odd cards: each command ends
// with the right status (none hangs), and every file export reports as written holds the
// frames the report claims, for every camera (counted by ffprobe).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "tat/store_format.h"
#include "tests/support/made_card.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;
using namespace roadkeep::tat;

// Two of each kind, one second each; driving and parking recordings have both cameras.
constexpr char kDriving[] = "REC_20140301_093000_D.avi";
constexpr char kDrivingOther[] = "REC_20140301_093024_D.avi";
constexpr char kEvent[] = "EVENT_20140301_093006_F.avi";

std::string Tool() { return BinPath("roadkeep-tool"); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Video packets per stream in file order, as ffprobe reads them.
std::vector<long> VideoPackets(const std::string& path) {
  std::istringstream lines(CommandOutput(
      "ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets "
      "-of csv=p=0 " + Quote(path)));
  std::vector<long> packets;
  for (std::string line; std::getline(lines, line);) packets.push_back(std::atol(line.c_str()));
  return packets;
}

struct Statuses {
  int list, dump, play, exportAll;
  bool operator==(const Statuses&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Statuses& s) {
  return out << "list " << s.list << ", dump " << s.dump << ", play " << s.play << ", export "
             << s.exportAll;
}

class BadCard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_template = new TempDir();
    s_made = RunCommand(Tool() + " make-card " + s_template->Path().string() +
                        " --per-kind 2 --seconds 1 --front 160x96@30 --rear 128x80@30"
                        " --front-only-every 2 --seed 5 >/dev/null") == 0;
  }
  static void TearDownTestSuite() { delete s_template; }
  void SetUp() override {
    ASSERT_TRUE(s_made) << "make-card failed";
    if (!HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffprobe";
  }

  // The exit status of the tool with args, at most a minute (a hang reads as 124). A sound
  // card is "mounted" meanwhile: the tool must keep to the folder it is given.
  static int Run(const std::string& args, std::string* output = nullptr) {
    const std::string command = "SDL_AUDIODRIVER=dummy ROADKEEP_CARD_DIRS=" +
                                Quote(s_template->Path().string()) + " timeout 60 " + Tool() +
                                " " + args + " 2>/dev/null";
    if (output != nullptr) {
      const std::string file = (fs::temp_directory_path() / "roadkeep-bad-card.txt").string();
      const int status = RunCommand(command + " > " + Quote(file));
      const std::vector<uint8_t> bytes = ReadAll(file);
      output->assign(bytes.begin(), bytes.end());
      fs::remove(file);
      return status;
    }
    return RunCommand(command + " > /dev/null");
  }

  static TempDir* s_template;
  static bool s_made;
};
TempDir* BadCard::s_template = nullptr;
bool BadCard::s_made = false;

void ReplaceStore(const fs::path& card, int kind, const std::function<void(const fs::path&)>& put) {
  const fs::path store = card / kStoreFolder / StoreFileName(kind);
  fs::remove(store);
  put(store);
}

TEST_F(BadCard, EveryCommandEndsAsItShouldAndEverySavedFileHoldsWhatItSays) {
  const auto header = [](const char* name, std::function<void(EntryHeader&)> change) {
    return [name, change](const fs::path& card) {
      ASSERT_TRUE(EditEntryHeader(card.string(), KindCodeOfName(name), name, change));
    };
  };
  const auto entrySize = [&](uint32_t size) {
    return header(kDriving, [size](EntryHeader& h) { h.entrySize = size; });
  };
  const struct Case {
    const char* what;
    std::function<void(const fs::path&)> damage;
    const char* name;  // dumped and played
    Statuses statuses;
    int saved;  // files the export writes
  } cases[] = {
      {"sound card", [](const fs::path&) {}, kDriving, {0, 0, 0, 0}, 8},
      {"rear rate 0", header(kDriving, [](EntryHeader& h) { h.rearFps = 0; }), kDriving,
       {0, 0, 0, 0}, 8},
      {"counts and length all ones", header(kDriving, [](EntryHeader& h) {
         h.frontFrames = h.rearFrames = h.audioChunks = h.durationMs = 0xFFFFFFFF;
       }), kDriving, {0, 0, 0, 0}, 8},
      {"picture size 65535", header(kDriving, [](EntryHeader& h) {
         h.frontWidth = h.frontHeight = 65535;
       }), kDriving, {0, 0, 0, 1}, 7},
      {"zeroed block", [](const fs::path& card) {
         const fs::path store = card / kStoreFolder / StoreFileName(kKindDriving);
         std::vector<uint8_t> bytes = ReadAll(store.string());
         std::fill(bytes.begin() + 4096, bytes.begin() + 8192, 0);
         WriteAll(store.string(), bytes);
       }, kDriving, {0, 0, 0, 1}, 8},
      {"same name twice", header(kDrivingOther, [](EntryHeader& h) {
         std::snprintf(h.name, sizeof h.name, "%s", kDriving);
       }), kDriving, {0, 0, 0, 0}, 8},
      {"FIFO", [](const fs::path& card) {
         ReplaceStore(card, kKindEvent, [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); });
       }, kEvent, {1, 1, 1, 1}, 6},
      {"folder", [](const fs::path& card) {
         ReplaceStore(card, kKindEvent, [](const fs::path& p) { fs::create_directory(p); });
       }, kEvent, {1, 1, 1, 1}, 6},
      {"/dev/zero", [](const fs::path& card) {
         ReplaceStore(card, kKindEvent, [](const fs::path& p) { fs::create_symlink("/dev/zero", p); });
       }, kEvent, {1, 1, 1, 1}, 6},
      {"no volume record", [](const fs::path& card) {
         fs::remove(card / kStoreFolder / kVolumeFile);
       }, kDriving, {1, 1, 1, 1}, 0},
      {"entry size 0xFFFFFFFF", entrySize(0xFFFFFFFF), kDriving, {0, 0, 0, 0}, 8},
      {"entry size 0x7FFFFFFF", entrySize(0x7FFFFFFF), kDriving, {0, 0, 0, 0}, 8},
      {"entry size 0xFFFFFF00", entrySize(0xFFFFFF00), kDriving, {0, 0, 0, 0}, 8},
      {"entry size 0x80000000", entrySize(0x80000000), kDriving, {0, 0, 0, 0}, 8},
  };
  // "NAME: saved, 30 of 30 front and 30 of 30 rear frames (as FILE)" and the like.
  const std::regex claim(
      R"(^(\S+): (saved|incomplete[^,]*), (\d+) of \d+(?: front and (\d+) of \d+ rear)? frames(?: \(as (.+)\))?$)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path card = dir.Path() / "card", out = dir.Path() / "out";
    fs::copy(s_template->Path(), card, fs::copy_options::recursive);
    fs::create_directory(out);
    ASSERT_NO_FATAL_FAILURE(c.damage(card));

    std::string report;
    const std::string at = Quote(card.string()) + " ";
    const Statuses got = {
        Run("list " + at), Run("dump " + at + c.name), Run("play " + at + c.name),
        Run("export " + at + Quote(out.string()), &report)};
    EXPECT_EQ(got, c.statuses) << report;

    int saved = 0;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      if (!std::regex_match(line, m, claim)) continue;
      ++saved;
      const fs::path file = out / (m[5].matched ? m[5].str() : m[1].str());
      std::vector<long> claimed = {std::stol(m[3])};
      if (m[4].matched) claimed.push_back(std::stol(m[4]));
      EXPECT_EQ(VideoPackets(file.string()), claimed) << line;
    }
    EXPECT_EQ(saved, c.saved) << report;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) files += entry.is_regular_file();
    EXPECT_EQ(files, static_cast<size_t>(c.saved)) << "a file no line claims, or a part left";
  }
}

}  // namespace
}  // namespace roadkeep::test
