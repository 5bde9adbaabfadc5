// A trip's recordings joined into one MP4 by the export: each camera's packet times and NAL
// units against the recordings' AVI exports, the sound's length, and what stops a trip.
#include <gtest/gtest.h>

#include "containers/mp4_export.h"
#include "tat/trips.h"
#include "tests/containers/mp4_test_util.h"

namespace roadkeep::test {
namespace {

std::vector<double> PacketTimes(const std::string& file, const std::string& track) {
  std::istringstream lines(CommandOutput("ffprobe -v error -select_streams " + track +
                                         " -show_entries packet=pts_time -of csv=p=0 " +
                                         Quote(file)));
  std::vector<double> times;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) times.push_back(std::atof(line.c_str()));
  }
  return times;
}

// Frame times a trip's recordings, in the order given, give a camera: each recording starts
// where the front frames before it end; a recording without the camera adds none.
std::vector<double> JoinedTimes(const std::vector<Recording>& order, int camera) {
  std::vector<double> times;
  double start = 0;
  for (const Recording& r : order) {
    const uint32_t frames = camera == 0 ? r.counts.front : r.counts.rear;
    const int fps = camera == 0 ? r.frontFps : r.rearFps;
    for (uint32_t i = 0; i < frames; ++i) times.push_back(start + static_cast<double>(i) / fps);
    start += static_cast<double>(r.counts.front) / r.frontFps;
  }
  return times;
}

// Checks the file holds the recordings joined: each camera's packets at the joined times,
// its NAL units those of the recordings' AVI exports one after another, AAC of the summed
// length, everything decodable.
void ExpectJoined(const std::string& file, const std::vector<Recording>& order,
                  const std::string& avi) {
  const std::vector<Track> tracks = Probe(file);
  ASSERT_EQ(tracks.size(), 3u);
  double seconds = 0;
  for (const Recording& r : order) seconds += r.durationMs / 1000.0;
  for (int camera = 0; camera < 2; ++camera) {
    SCOPED_TRACE(camera == 0 ? "front" : "rear");
    const std::vector<double> want = JoinedTimes(order, camera);
    EXPECT_EQ(tracks[static_cast<size_t>(camera)].codec, "h264");
    EXPECT_EQ(tracks[static_cast<size_t>(camera)].packets, static_cast<long>(want.size()));
    const std::vector<double> got = PacketTimes(file, "v:" + std::to_string(camera));
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_NEAR(got[i], want[i], 0.002) << "packet " << i;
    }
    std::vector<std::string> units;
    for (const Recording& r : order) {
      if (camera == 1 && r.CameraCount() == 1) continue;
      const std::vector<std::string> more = NalUnits(avi + "/" + r.name, camera);
      units.insert(units.end(), more.begin(), more.end());
    }
    EXPECT_TRUE(units == NalUnits(file, camera));
  }
  EXPECT_NEAR(tracks[0].seconds, seconds, 0.1);
  EXPECT_EQ(tracks[2].codec, "aac");
  EXPECT_NEAR(tracks[2].seconds, seconds, 0.1);
  EXPECT_EQ(CommandOutput("ffmpeg -nostdin -v error -i " + Quote(file) + " -map 0 -f null - 2>&1"),
            "");
}

// A card of one trip: three two-camera recordings of 3 s, one after another.
class Mp4Trip : public Mp4Export {
 protected:
  static void SetUpTestSuite() { MakeCard("--front-only-every 0"); }
  static void MakeCard(const std::string& options) {
    SetTraceEnabled(false);
    av_log_set_level(AV_LOG_ERROR);
    s_tripCard = new TempDir;
    s_card = s_tripCard;
    s_made = RunCommand(BinPath("roadkeep-tool") + " make-card " + Quote(s_tripCard->Path()) +
                        " --count 3 --seconds 3 --front 320x180@30 --rear 160x90@30 --gap 0 " +
                        options + " >/dev/null") == 0;
  }
  static void TearDownTestSuite() {
    delete s_tripCard;
    s_tripCard = nullptr;
    s_card = nullptr;
  }

  // The card's recordings in time order: its one trip.
  std::vector<Recording> TripOrder() const {
    const std::vector<tat::Trip> trips = tat::BuildTrips(m_recordings);
    return trips.size() == 1 ? trips[0].recordings : std::vector<Recording>{};
  }
  std::string AviExport() {
    const std::string avi = m_dir.File("avi");
    fs::create_directory(avi);
    EXPECT_EQ(RunCommand(BinPath("roadkeep-tool") + " export " + Quote(s_card->Path()) + " " +
                         Quote(avi) + " >/dev/null"),
              0);
    return avi;
  }
  int RunTrip(const std::string& options, std::string* out) {
    const std::string status = m_dir.File("status");
    *out = CommandOutput(BinPath("roadkeep-tool") + " mp4 " + Quote(s_card->Path()) + " " +
                         Quote(m_out) + " " + options + " 2>&1; echo $? > " + Quote(status));
    return std::atoi(ReadText(status).c_str());
  }

  static TempDir* s_tripCard;
};

TempDir* Mp4Trip::s_tripCard = nullptr;

TEST_F(Mp4Trip, ToolJoinsTheTripIntoOneFileWithoutAGap) {
  const std::string listed =
      CommandOutput(BinPath("roadkeep-tool") + " trips " + Quote(s_card->Path()));
  ASSERT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1) << listed;
  const std::vector<Recording> order = TripOrder();
  ASSERT_EQ(order.size(), 3u);
  for (const Recording& r : order) ASSERT_EQ(r.CameraCount(), 2) << r.name;
  std::string out;
  ASSERT_EQ(RunTrip("--trip 1", &out), 0) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  ASSERT_EQ(FilesIn(m_out), std::vector<std::string>{"trip-1.mp4"});
  const std::string file = m_out + "/trip-1.mp4";
  ExpectJoined(file, order, AviExport());
  // The front's steps are one frame each: no gap where a recording ends.
  const std::vector<Track> tracks = Probe(file);
  EXPECT_EQ(tracks[0].packets, 3 * 90);
  EXPECT_EQ(tracks[1].packets, 3 * 90);
  EXPECT_NEAR(tracks[0].seconds, 9.0, 0.1);
  const std::vector<double> front = PacketTimes(file, "v:0");
  for (size_t i = 1; i < front.size(); ++i) {
    ASSERT_NEAR(front[i] - front[i - 1], 1.0 / 30, 0.001) << "packet " << i;
  }

  // Written again, the file there is kept as it was.
  const std::string before = ReadText(file);
  EXPECT_EQ(RunTrip("--trip 1", &out), 1) << out;
  EXPECT_EQ(ReadText(file), before);
}

TEST_F(Mp4Trip, ToolRefusesABadTripAndWritesNothing) {
  const std::string name = m_recordings.front().name;
  const struct {
    std::string options;
    int status;
  } cases[] = {
      {"--trip 0", 1},  {"--trip 2", 1},          {"--trip -1", 1},
      {"--trip x", 1},  {"--trip 1x", 1},         {"--trip", 2},
      {"--trip 1 " + Quote(name), 2},  {"--trip 1 --overlay", 2},
      {"--trip 1 --side-by-side", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    std::string out;
    EXPECT_EQ(RunTrip(c.options, &out), c.status) << out;
    if (c.status == 1) {
      EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
    EXPECT_TRUE(FilesIn(m_out).empty());
  }
}

// The real parser, but the front picture of one recording stated at another size or rate:
// a trip that cannot be one MP4 track.
class CResizedParser : public CForwardingParser {
 public:
  CResizedParser(VMediaParser& real, MediaSource source, int grow, int fps)
      : CForwardingParser(real), m_source(std::move(source)), m_grow(grow), m_fps(fps) {}
  int OpenSource(const MediaSource& source, MediaInfo* info) override {
    m_changed = m_source == source;
    const int opened = m_real.OpenSource(source, info);
    if (m_changed) info->frontFrameRate += m_fps;
    return opened;
  }
  int* GetVideoSize(int out[2], int stream) override {
    m_real.GetVideoSize(out, stream);
    if (m_changed && stream == 0) out[0] += m_grow;
    return out;
  }

 private:
  const MediaSource m_source;
  const int m_grow, m_fps;
  bool m_changed = false;
};

// One trip of three recordings, the middle one from the front camera alone.
class Mp4TripFrontOnly : public Mp4Trip {
 protected:
  static void SetUpTestSuite() { MakeCard("--front-only-every 2"); }
};

TEST_F(Mp4TripFrontOnly, JoinsInAnyOrderAndStopsAtAPictureThatDiffers) {
  OpenLibrary();
  const std::vector<Recording> trip = TripOrder();
  ASSERT_EQ(trip.size(), 3u);
  ASSERT_EQ(trip[1].CameraCount(), 1);
  const std::string avi = AviExport();
  const struct {
    const char* what;
    std::vector<int> order;  // of the trip's recordings
    int changed;             // the recording whose front is stated otherwise; -1 none
    int grow, fps;           // its width and frame rate that much larger
    ExportOutcome outcome;
  } cases[] = {
      {"the rear stops for the middle one", {0, 1, 2}, -1, 0, 0, ExportOutcome::kComplete},
      {"the rear begins with the second", {1, 0, 2}, -1, 0, 0, ExportOutcome::kComplete},
      {"a wider picture", {0, 1, 2}, 2, 16, 0, ExportOutcome::kNotCreated},
      {"another frame rate", {0, 1, 2}, 1, 0, 5, ExportOutcome::kNotCreated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    std::vector<Recording> order;
    std::vector<Mp4Job> jobs;
    for (int i : c.order) {
      const Recording& r = trip[static_cast<size_t>(i)];
      order.push_back(r);
      jobs.push_back({r.Identity(), r.name, {}, r.counts.audio > 0});
    }
    const MediaSource changed =
        c.changed < 0 ? MediaSource() : trip[static_cast<size_t>(c.changed)].Identity();
    CResizedParser parser(m_parser, changed, c.grow, c.fps);
    CMp4Export exporter(parser);
    const Mp4Result result = exporter.ExportTrip(m_out, "joined.mp4", "joined", jobs, {});
    EXPECT_EQ(result.outcome, c.outcome) << DescribeMp4Result(result);
    if (c.outcome != ExportOutcome::kComplete) {
      EXPECT_EQ(result.recording, trip[static_cast<size_t>(c.changed)].name);
      EXPECT_TRUE(FilesIn(m_out).empty());
      continue;
    }
    uint32_t front = 0, rear = 0;
    for (const Recording& r : order) front += r.counts.front, rear += r.counts.rear;
    EXPECT_EQ(result.framesCopied, static_cast<int>(front));
    EXPECT_EQ(result.rearCopied, static_cast<int>(rear));
    ExpectJoined(m_out + "/joined.mp4", order, avi);
  }
}

}  // namespace
}  // namespace roadkeep::test
