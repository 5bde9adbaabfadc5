// roadkeep-tool gpx, csv and impacts on cards written by make-card, the files read back by
// GPX readers others use (gpsbabel, Debian's python3-gpxpy).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sensors/recording_track.h"
#include "tat/card.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace roadkeep::sensors;
using roadkeep::test::BinPath;
using roadkeep::test::CommandOutput;
using roadkeep::test::ReadText;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

struct Card : roadkeep::test::FillerCard {
  explicit Card(const std::string& options) : FillerCard(options) { EXPECT_TRUE(ok) << options; }
  Recording First(int kind) const {
    CCard card(Root());
    const std::vector<Recording> all = card.Recordings(kind);
    return all.empty() ? Recording() : all[0];
  }
  RecordingTrack Track(const Recording& r) const {
    CCard card(Root());
    RecordingTrack track;
    EXPECT_TRUE(ReadRecordingTrack(card, r, &track)) << r.name;
    return track;
  }
  std::string Tool(const std::string& args) const {
    return BinPath("roadkeep-tool") + " " + args;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(TelemetryCommands, GpxAndCsvHoldEveryFixAndSampleAndOthersReadThem) {
  // Two recordings of one trip; the receiver's first fixes have no position.
  const Card card("--count 2 --seconds 12 --gap 0");
  const Recording a = card.First(roadkeep::tat::kKindDriving);
  const Recording b = card.First(roadkeep::tat::kKindEvent);
  const RecordingTrack ta = card.Track(a), tb = card.Track(b);
  ASSERT_GT(ta.fixes.size(), 5u);
  ASSERT_GT(tb.fixes.size(), 5u);
  const TempDir out;
  const std::string gpx = out.File("route.gpx"), csv = out.File("route.csv");
  const std::string names = card.Root() + " " + a.name + " " + b.name;
  ASSERT_EQ(RunCommand(card.Tool("gpx " + names + " -o " + gpx)), 0);
  ASSERT_EQ(RunCommand(card.Tool("csv " + names + " -o " + csv)), 0);
  // A file that is there is not replaced.
  EXPECT_NE(RunCommand(card.Tool("gpx " + names + " -o " + gpx + " 2>/dev/null")), 0);

  // gpsbabel converts it without a word.
  const std::string babel = CommandOutput("gpsbabel -t -i gpx -f " + gpx + " -o unicsv -F " +
                                          out.File("babel.csv") + " 2>&1; echo exit=$?");
  EXPECT_EQ(babel, "exit=0\n");
  EXPECT_EQ(Lines(ReadText(out.File("babel.csv"))).size(), 1 + ta.fixes.size() + tb.fixes.size());

  // gpxpy reads every point: per track, the count and the first and last point.
  const std::string script =
      "import gpxpy,sys\n"
      "g=gpxpy.parse(open(sys.argv[1]))\n"
      "for t in g.tracks:\n"
      " p=[q for s in t.segments for q in s.points]\n"
      " print(t.name,len(p),'%.6f %.6f'%(p[0].latitude,p[0].longitude),p[0].time.isoformat(),"
      "'%.6f %.6f'%(p[-1].latitude,p[-1].longitude),p[-1].time.isoformat())\n";
  std::ofstream(out.File("read.py")) << script;
  const std::vector<std::string> tracks =
      Lines(CommandOutput("/usr/bin/python3 " + out.File("read.py") + " " + gpx + " 2>&1"));
  ASSERT_EQ(tracks.size(), 2u);
  const auto describe = [](const Recording& r, const RecordingTrack& t) {
    const auto point = [](const GpsFix& f) {
      char text[64];
      std::snprintf(text, sizeof text, "%.6f %.6f", f.latitude, f.longitude);
      // gpxpy writes UTC as +00:00.
      return std::string(text) + " " + IsoUtc(f.utcMs).substr(0, 19) + "+00:00";
    };
    return r.name + " " + std::to_string(t.fixes.size()) + " " + point(t.fixes.front()) + " " +
           point(t.fixes.back());
  };
  EXPECT_EQ(tracks[0], describe(a, ta));
  EXPECT_EQ(tracks[1], describe(b, tb));

  // CSV: one row per fix and per sample, under the header.
  const std::vector<std::string> rows = Lines(ReadText(csv));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], "time_utc,recording_ms,lat,lon,speed_kmh,course_deg,gx,gy,gz");
  EXPECT_EQ(rows.size(), 1 + ta.fixes.size() + ta.samples.size() + tb.fixes.size() + tb.samples.size());
}

TEST(TelemetryCommands, ImpactsAreFoundWhereTheCardMakerPutThemAtTheRecordersSensitivity) {
  const struct {
    const char* options;
    const char* accLevel;  // written into the card's settings file; null: the factory file
    const char* side;      // null: none found
    double peakG;
  } cases[] = {
      {"--impact-g 1.5", nullptr, "front", 1.5},
      {"--impact-g 1.2 --impact-from rear", nullptr, "rear", 1.2},
      {"--impact-g 0.9 --impact-from left", nullptr, "left", 0.9},
      {"--impact-g 1.0 --impact-from right", nullptr, "right", 1.0},
      {"--impact-g 0.4", "5", "front", 0},  // high: 0.3 g
      {"--impact-g 0.4", "1", nullptr, 0},  // low: 0.8 g
  };
  for (const auto& c : cases) {
    const Card card(std::string("--count 2 --seconds 8 ") + c.options);
    if (c.accLevel != nullptr) {
      std::ofstream(card.dir.Path() / "SETTING" / "blackbox.cfg", std::ios::trunc)
          << "[blackbox]\r\nacc_level=" << c.accLevel << "\r\n";
    }
    const std::vector<std::string> lines = Lines(CommandOutput(card.Tool("impacts " + card.Root())));
    const Recording event = card.First(roadkeep::tat::kKindEvent);
    if (c.side == nullptr) {
      EXPECT_TRUE(lines.empty()) << c.options;
      continue;
    }
    // Only the event recording holds one: NAME  MS ms  PEAK g  SIDE.
    ASSERT_EQ(lines.size(), 1u) << c.options;
    char name[128], side[16];
    long long ms = 0;
    double peak = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%127s %lld ms %lf g %15s", name, &ms, &peak, side), 4)
        << lines[0];
    EXPECT_EQ(name, event.name) << c.options;
    EXPECT_NEAR(ms, 4000, 100) << c.options;
    EXPECT_STREQ(side, c.side) << c.options;
    if (c.peakG > 0) {
      EXPECT_NEAR(peak, c.peakG, c.peakG * 0.1) << c.options;
    }
  }
}

TEST(TelemetryCommands, RecordingsWithoutSensorsGiveEmptyFilesAndNoImpacts) {
  const Card silent("--count 2 --seconds 3 --no-text");
  const Recording r = silent.First(roadkeep::tat::kKindDriving);
  const TempDir out;
  const std::string said =
      CommandOutput(silent.Tool("gpx " + silent.Root() + " " + r.name + " -o " + out.File("x.gpx") + " 2>&1"));
  EXPECT_EQ(said, r.name + ": no GPS in this recording\n");
  EXPECT_EQ(RunCommand("gpsbabel -i gpx -f " + out.File("x.gpx") + " -o unicsv -F /dev/null"), 0);
  EXPECT_EQ(CommandOutput(silent.Tool("impacts " + silent.Root())), "");
  // A name the card does not hold: one line, nothing written.
  EXPECT_NE(RunCommand(silent.Tool("csv " + silent.Root() + " NOPE -o " + out.File("y.csv") + " 2>/dev/null")), 0);
  EXPECT_FALSE(fs::exists(out.File("y.csv")));
}

}  // namespace
