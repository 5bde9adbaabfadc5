// The MP4 export from a made card (real H.264 from two cameras, PCM, sensor text), checked with
// ffprobe / ffmpeg: tracks, sizes, frame counts, the front track default, AAC of the
// recording's length, the video NAL units against the AVI export's, and copies that cannot
// finish (cancel, full disk, a folder that cannot be written, a file already there). The
// re-encode: the band burned in by `roadkeep-tool mp4 --overlay` (the picture above it within
// PSNR of the source), the side-by-side track, and what the overlay is handed. A trip's
// recordings joined into one file: each camera's packet times and units, and what stops it.
#include "containers/mp4_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "concurrency/trace.h"
#include "containers/frame_overlay.h"
#include "tat/card.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tat/trips.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

struct Track {
  std::string type, codec;
  int width = 0, height = 0, isDefault = 0;
  long packets = 0;
  double seconds = 0;
};

std::vector<Track> Probe(const std::string& path) {
  std::istringstream lines(CommandOutput(
      "ffprobe -v error -count_packets -show_entries stream=codec_type,codec_name,width,height,"
      "nb_read_packets,duration:stream_disposition=default -of compact=p=0 " +
      Quote(path)));
  std::vector<Track> tracks;
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> f;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '|');) {
      const size_t eq = part.find('=');
      if (eq != std::string::npos) f[part.substr(0, eq)] = part.substr(eq + 1);
    }
    tracks.push_back({f["codec_type"], f["codec_name"], std::atoi(f["width"].c_str()),
                      std::atoi(f["height"].c_str()), std::atoi(f["disposition:default"].c_str()),
                      std::atol(f["nb_read_packets"].c_str()), std::atof(f["duration"].c_str())});
  }
  return tracks;
}

// The NAL units of a camera's track as an Annex B stream, start codes and the zero bytes
// before them dropped: FFmpeg writes a track out of an MP4 with start codes of its own
// lengths, so the units, not the separators, are what must match.
std::vector<std::string> NalUnits(const std::string& file, int camera) {
  const std::string stream =
      CommandOutput("ffmpeg -nostdin -v error -i " + Quote(file) +
                    " -map 0:v:" + std::to_string(camera) + " -c copy -f h264 -");
  std::vector<std::string> units;
  size_t begin = std::string::npos;
  const auto close = [&](size_t end) {
    while (end > begin && stream[end - 1] == '\0') --end;
    units.push_back(stream.substr(begin, end - begin));
  };
  for (size_t i = 0; i + 3 <= stream.size();) {
    if (stream.compare(i, 3, std::string("\0\0\1", 3)) != 0) {
      ++i;
      continue;
    }
    if (begin != std::string::npos) close(i);
    begin = i += 3;
  }
  if (begin != std::string::npos) close(stream.size());
  return units;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Mp4Name(const Recording& r) { return r.name.substr(0, r.name.size() - 4) + ".mp4"; }

class Mp4Export : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetTraceEnabled(false);
    av_log_set_level(AV_LOG_ERROR);
    s_card = new TempDir;
    s_made = RunCommand(BinPath("roadkeep-tool") + " make-card " + Quote(s_card->Path()) +
                        " --count 4 --seconds 4 --front 320x180@30 --rear 160x90@30"
                        " >/dev/null") == 0;
  }
  static void TearDownTestSuite() {
    delete s_card;
    s_card = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_made) << "roadkeep-tool make-card failed";
    if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    CCard card(s_card->Path().string());
    for (int kind = 0; kind < tat::kKindCount; ++kind) {
      for (const Recording& r : card.Recordings(kind)) m_recordings.push_back(r);
    }
    m_out = m_dir.File("out");
    fs::create_directory(m_out);
  }

  // A parser on the made card, for the exporter called directly.
  void OpenLibrary() {
    m_library = TatCreate();
    setenv("ROADKEEP_CARD_DIRS", s_card->Path().c_str(), 1);
    char letter = 0;
    TatPollCard(m_library, &letter);
    ASSERT_NE(letter, 0);
    TatOnCardFound(m_library);
    m_parser.SetLibrary(m_library);
    m_parser.Start();
  }
  void TearDown() override {
    m_parser.Stop();
    if (m_library != nullptr) TatRelease(m_library);
  }

  int RunTool(const std::vector<std::string>& names, std::string* out) {
    std::string command =
        BinPath("roadkeep-tool") + " mp4 " + Quote(s_card->Path()) + " " + Quote(m_out);
    for (const std::string& name : names) command += " " + Quote(name);
    const std::string status = m_dir.File("status");
    *out = CommandOutput(command + "; echo $? > " + Quote(status));
    return std::atoi(ReadText(status).c_str());
  }

  static TempDir* s_card;
  static bool s_made;
  TempDir m_dir;
  std::string m_out;
  std::vector<Recording> m_recordings;
  TatHandle* m_library = nullptr;
  CTATParser m_parser;
};

TempDir* Mp4Export::s_card = nullptr;
bool Mp4Export::s_made = false;

TEST_F(Mp4Export, WritesEachCameraAsItsH264AndTheSoundAsAac) {
  ASSERT_EQ(m_recordings.size(), 4u);
  std::vector<std::string> names;
  int frontOnly = 0;
  for (const Recording& r : m_recordings) {
    names.push_back(r.name);
    frontOnly += r.CameraCount() == 1 ? 1 : 0;
  }
  ASSERT_GE(frontOnly, 1) << "the card needs a front-only recording";
  ASSERT_LT(frontOnly, 4) << "the card needs a two-camera recording";
  std::string lines;
  ASSERT_EQ(RunTool(names, &lines), 0) << lines;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
  const std::string avi = m_dir.File("avi");
  fs::create_directory(avi);
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " export " + Quote(s_card->Path()) + " " +
                       Quote(avi) + " >/dev/null"),
            0);

  for (const Recording& r : m_recordings) {
    SCOPED_TRACE(r.name);
    const std::string file = m_out + "/" + Mp4Name(r);
    const std::vector<Track> tracks = Probe(file);
    const int cameras = r.CameraCount();
    ASSERT_EQ(tracks.size(), static_cast<size_t>(cameras + 1));
    const struct {
      int width, height;
      uint32_t frames;
      int isDefault;
    } video[2] = {{r.frontWidth, r.frontHeight, r.counts.front, 1},
                  {r.rearWidth, r.rearHeight, r.counts.rear, 0}};
    for (int c = 0; c < cameras; ++c) {
      const Track& t = tracks[static_cast<size_t>(c)];
      EXPECT_EQ(t.type, "video");
      EXPECT_EQ(t.codec, "h264");
      EXPECT_EQ(t.width, video[c].width);
      EXPECT_EQ(t.height, video[c].height);
      EXPECT_EQ(t.packets, static_cast<long>(video[c].frames));
      EXPECT_EQ(t.isDefault, video[c].isDefault);
      const std::vector<std::string> units = NalUnits(file, c);
      EXPECT_GE(units.size(), video[c].frames);
      EXPECT_TRUE(units == NalUnits(avi + "/" + r.name, c)) << "camera " << c;
    }
    const Track& sound = tracks.back();
    EXPECT_EQ(sound.type, "audio");
    EXPECT_EQ(sound.codec, "aac");
    EXPECT_NEAR(sound.seconds, r.durationMs / 1000.0, 0.1);
    // Every track decodes to its end.
    EXPECT_EQ(
        CommandOutput("ffmpeg -nostdin -v error -i " + Quote(file) + " -map 0 -f null - 2>&1"), "");
  }

  // A second run refuses every file already there and changes none of them.
  const std::string before = ReadText(m_out + "/" + Mp4Name(m_recordings[0]));
  EXPECT_EQ(RunTool(names, &lines), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
  EXPECT_EQ(FilesIn(m_out).size(), 4u);
  EXPECT_EQ(ReadText(m_out + "/" + Mp4Name(m_recordings[0])), before);
}

TEST_F(Mp4Export, LeavesNoFileWhenTheCopyCannotFinish) {
  OpenLibrary();
  const Recording* dual = nullptr;
  for (const Recording& r : m_recordings) dual = r.CameraCount() == 2 ? &r : dual;
  ASSERT_NE(dual, nullptr);
  const struct {
    const char* what;
    int cancelAt;         // video frames written when the progress cancels; -1 never
    long fileSizeLimit;   // bytes a file may grow to; 0 for no limit
    bool readOnlyFolder;  // the folder without write permission (not for root)
    bool folderIsAFile;   // the destination folder is a regular file
    bool fileThere;       // a file of the name is there already
    ExportOutcome outcome;
  } cases[] = {
      {"cancelled at the first frame", 0, 0, false, false, false, ExportOutcome::kCancelled},
      {"cancelled midway", 150, 0, false, false, false, ExportOutcome::kCancelled},
      {"disk full", -1, 20000, false, false, false, ExportOutcome::kWriteFailed},
      {"folder not writable", -1, 0, true, false, false, ExportOutcome::kNotCreated},
      {"folder is a file", -1, 0, false, true, false, ExportOutcome::kNotCreated},
      {"file already there", -1, 0, false, false, true, ExportOutcome::kExists},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.readOnlyFolder && ::geteuid() == 0) continue;  // root writes anyway
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    std::string folder = m_out;
    if (c.folderIsAFile) {
      folder = m_out + "/plain";
      WriteText(folder, "not a folder");
    }
    const std::string name = Mp4Name(*dual);
    if (c.fileThere) WriteText(m_out + "/" + name, "older");
    const std::vector<std::string> before = FilesIn(m_out);
    if (c.readOnlyFolder) fs::permissions(m_out, fs::perms::owner_read | fs::perms::owner_exec);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    if (c.fileSizeLimit > 0) {
      struct rlimit small = old;
      small.rlim_cur = static_cast<rlim_t>(c.fileSizeLimit);
      signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &small);
    }
    int calls = 0;
    const Mp4Progress progress = [&](int done, int total) {
      ++calls;
      EXPECT_EQ(total, static_cast<int>(dual->counts.front + dual->counts.rear));
      return c.cancelAt < 0 || done < c.cancelAt;
    };
    CMp4Export exporter(m_parser);
    const std::vector<Mp4Result> results =
        exporter.ExportAll(folder, {{dual->Source(), dual->name, name, true}}, progress);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    fs::permissions(m_out, fs::perms::owner_all);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, c.outcome) << DescribeMp4Result(results[0]);
    EXPECT_TRUE(results[0].path.empty());
    EXPECT_EQ(FilesIn(m_out), before);
    if (c.fileThere) {
      EXPECT_EQ(ReadText(m_out + "/" + name), "older");
    }
    if (c.cancelAt >= 0) {
      EXPECT_EQ(results[0].framesCopied + results[0].rearCopied, c.cancelAt);
    }
  }
}

// PSNR (the average of Y, U and V, in dB) of a video track against the reference's track,
// each through its filter (a region cropped, the reference scaled). -1 when ffmpeg gives none.
double Psnr(const std::string& file, int track, const std::string& filter, const std::string& ref,
            int refTrack, const std::string& refFilter) {
  const std::string out = CommandOutput("ffmpeg -nostdin -v info -i " + Quote(file) + " -i " +
                                        Quote(ref) + " -lavfi '[0:v:" + std::to_string(track) +
                                        "]" + filter + "[a];[1:v:" + std::to_string(refTrack) +
                                        "]" + refFilter + "[b];[a][b]psnr' -f null - 2>&1");
  const size_t at = out.find("average:");
  return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 8);
}

std::string Crop(int width, int height, int x, int y) {
  return "crop=" + std::to_string(width) + ":" + std::to_string(height) + ":" + std::to_string(x) +
         ":" + std::to_string(y);
}

// A card of two short two-camera recordings, re-encoded through the tool and the exporter.
class Mp4Reencode : public Mp4Export {
 protected:
  static void SetUpTestSuite() {
    SetTraceEnabled(false);
    av_log_set_level(AV_LOG_ERROR);
    s_small = new TempDir;
    s_smallMade = RunCommand(BinPath("roadkeep-tool") + " make-card " + Quote(s_small->Path()) +
                             " --count 2 --seconds 3 --front 320x180@30 --rear 160x90@30"
                             " >/dev/null") == 0;
    s_card = s_small;
    s_made = s_smallMade;
  }
  static void TearDownTestSuite() {
    delete s_small;
    s_small = nullptr;
    s_card = nullptr;
  }
  static TempDir* s_small;
  static bool s_smallMade;
};

TempDir* Mp4Reencode::s_small = nullptr;
bool Mp4Reencode::s_smallMade = false;

TEST_F(Mp4Reencode, BurnsTheBandInAndKeepsThePictureAboveIt) {
  ASSERT_EQ(m_recordings.size(), 2u);
  const std::string avi = m_dir.File("avi");
  fs::create_directory(avi);
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " export " + Quote(s_card->Path()) + " " +
                       Quote(avi) + " >/dev/null"),
            0);
  const struct {
    const char* options;
    bool band, sideBySide;
  } cases[] = {
      {"--overlay", true, false},
      {"--side-by-side", false, true},
      {"--overlay --side-by-side", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    std::string command =
        BinPath("roadkeep-tool") + " mp4 " + Quote(s_card->Path()) + " " + Quote(m_out);
    for (const Recording& r : m_recordings) command += " " + Quote(r.name);
    ASSERT_EQ(RunCommand(command + " " + c.options + " >/dev/null 2>&1"), 0);
    for (const Recording& r : m_recordings) {
      SCOPED_TRACE(r.name);
      ASSERT_EQ(r.CameraCount(), 2);
      const std::string file = m_out + "/" + Mp4Name(r);
      const std::string source = avi + "/" + r.name;
      const std::vector<Track> tracks = Probe(file);
      const size_t videos = c.sideBySide ? 1 : 2;
      ASSERT_EQ(tracks.size(), videos + 1);
      EXPECT_EQ(tracks.back().codec, "aac");
      const int rearWide = r.rearWidth * r.frontHeight / r.rearHeight;
      const struct {
        int width, height;
        uint32_t frames;
      } expected[2] = {
          {r.frontWidth + (c.sideBySide ? rearWide : 0), r.frontHeight, r.counts.front},
          {r.rearWidth, r.rearHeight, r.counts.rear}};
      for (size_t t = 0; t < videos; ++t) {
        EXPECT_EQ(tracks[t].codec, "h264");
        EXPECT_EQ(tracks[t].width, expected[t].width);
        EXPECT_EQ(tracks[t].height, expected[t].height);
        EXPECT_EQ(tracks[t].packets, static_cast<long>(expected[t].frames));
      }
      // Each camera's picture as its own track or the left side of the one track; the band
      // is at least 24 rows and at most a twelfth of the picture beyond that, so the top two
      // thirds are outside it and the bottom 12 rows inside it.
      const int cameras = c.sideBySide ? 1 : 2;
      for (int cam = 0; cam < cameras; ++cam) {
        const int w = cam == 0 ? r.frontWidth : r.rearWidth;
        const int h = cam == 0 ? r.frontHeight : r.rearHeight;
        const double above =
            Psnr(file, cam, Crop(w, h * 2 / 3, 0, 0), source, cam, Crop(w, h * 2 / 3, 0, 0));
        std::printf("  %s %s camera %d: PSNR above the band %.2f dB\n", c.options, r.name.c_str(),
                    cam, above);
        EXPECT_GE(above, 40.0) << "camera " << cam;
        const double band =
            Psnr(file, cam, Crop(w, 12, 0, h - 12), source, cam, Crop(w, 12, 0, h - 12));
        if (c.band) {
          EXPECT_LT(band, 25.0) << "camera " << cam;
        } else {
          EXPECT_GE(band, 40.0) << "camera " << cam;
        }
      }
      if (c.sideBySide) {
        // The rear beside the front: the source's rear scaled to the front's height, the
        // frame of the same time (a frame off is some 20 dB lower on the made scene).
        const int h = r.frontHeight * 2 / 3;
        const double rear =
            Psnr(file, 0, Crop(rearWide, h, r.frontWidth, 0), source, 1,
                 "scale=" + std::to_string(rearWide) + ":" + std::to_string(r.frontHeight) +
                     ":flags=bicubic," + Crop(rearWide, h, 0, 0));
        std::printf("  %s %s rear beside the front: PSNR %.2f dB\n", c.options, r.name.c_str(),
                    rear);
        EXPECT_GE(rear, 40.0);
      }
    }
  }
}

// Records what the exporter hands it and paints nothing.
class CSeenFrames : public VFrameOverlay {
 public:
  struct Seen {
    int camera, width, height, stride;
    int64_t ms;
  };
  void Draw(uint8_t*, int width, int height, int stride, int camera, int64_t ms) override {
    seen.push_back({camera, width, height, stride, ms});
  }
  std::vector<Seen> seen;
};

TEST_F(Mp4Reencode, HandsEachPictureToTheOverlayAtItsTime) {
  OpenLibrary();
  const Recording& r = m_recordings.front();
  ASSERT_EQ(r.CameraCount(), 2);
  const struct {
    const char* what;
    Mp4Video video;
    int cancelAt;  // video frames read when the progress cancels; -1 never
    ExportOutcome outcome;
  } cases[] = {
      {"a track per camera", Mp4Video::kReencode, -1, ExportOutcome::kComplete},
      {"side by side", Mp4Video::kSideBySide, -1, ExportOutcome::kComplete},
      {"cancelled midway", Mp4Video::kReencode, 100, ExportOutcome::kCancelled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    CSeenFrames overlay;
    CMp4Export exporter(m_parser);
    const Mp4Progress progress = [&](int done, int) { return c.cancelAt < 0 || done < c.cancelAt; };
    const Mp4Job job{r.Source(), r.name, Mp4Name(r), true, c.video, &overlay};
    const Mp4Result result = exporter.ExportAll(m_out, {job}, progress).front();
    EXPECT_EQ(result.outcome, c.outcome) << DescribeMp4Result(result);
    if (c.cancelAt >= 0) {
      EXPECT_TRUE(FilesIn(m_out).empty());
      continue;
    }
    // Per camera (or the one picture): the pictures in order, frame i at i / the rate.
    std::map<int, std::vector<CSeenFrames::Seen>> byCamera;
    for (const CSeenFrames::Seen& s : overlay.seen) byCamera[s.camera].push_back(s);
    const std::map<int, std::pair<uint32_t, int>> want =
        c.video == Mp4Video::kSideBySide
            ? std::map<int, std::pair<uint32_t, int>>{{VFrameOverlay::kSideBySide,
                                                       {r.counts.front, r.frontFps}}}
            : std::map<int, std::pair<uint32_t, int>>{{0, {r.counts.front, r.frontFps}},
                                                      {1, {r.counts.rear, r.rearFps}}};
    ASSERT_EQ(byCamera.size(), want.size());
    for (const auto& entry : want) {
      const std::vector<CSeenFrames::Seen>& frames = byCamera[entry.first];
      ASSERT_EQ(frames.size(), entry.second.first) << "camera " << entry.first;
      for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].ms, static_cast<int64_t>(i) * 1000 / entry.second.second);
        EXPECT_GE(frames[i].stride, frames[i].width * 4);
      }
      EXPECT_EQ(frames[0].height, entry.first == 1 ? r.rearHeight : r.frontHeight);
    }
    EXPECT_EQ(Probe(m_out + "/" + Mp4Name(r)).size(), c.video == Mp4Video::kSideBySide ? 2u : 3u);
  }
}


// Each packet's time (pts_time, in seconds) of a track ("v:0", "v:1", "a:0"), in file order.
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
class CResizedParser : public VMediaParser {
 public:
  CResizedParser(VMediaParser& real, std::string source, int grow, int fps)
      : m_real(real), m_source(std::move(source)), m_grow(grow), m_fps(fps) {}
  bool Start() override { return m_real.Start(); }
  void Stop() override { m_real.Stop(); }
  int Open(const char* path, MediaInfo* info) override {
    m_changed = m_source == path;
    const int opened = m_real.Open(path, info);
    if (m_changed) info->frontFrameRate += m_fps;
    return opened;
  }
  void Close() override { m_real.Close(); }
  int ReadNext(void* buffer, int* size) override { return m_real.ReadNext(buffer, size); }
  int ReadChunk(char id[4], void* buffer, int* size) override {
    return m_real.ReadChunk(id, buffer, size);
  }
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override {
    return m_real.NextChunk(id, buffer, size);
  }
  bool BuildIndex(const char* path, MediaInfo* info) override {
    return m_real.BuildIndex(path, info);
  }
  void Hook(int value) override { m_real.Hook(value); }
  int* GetVideoSize(int out[2], int stream) override {
    m_real.GetVideoSize(out, stream);
    if (m_changed && stream == 0) out[0] += m_grow;
    return out;
  }
  int GetFrameRate(int stream) override { return m_real.GetFrameRate(stream); }
  void GetAudioFormat(int* bits, int* rate) override { m_real.GetAudioFormat(bits, rate); }
  int Read(void* buffer, int count) override { return m_real.Read(buffer, count); }
  int Seek(int offset, int origin) override { return m_real.Seek(offset, origin); }
  int Tell() override { return m_real.Tell(); }
  int GetTotalFrames() override { return m_real.GetTotalFrames(); }
  int SeekToTime(float seconds) override { return m_real.SeekToTime(seconds); }
  bool SeekReportsTime() override { return m_real.SeekReportsTime(); }
  bool ReadFailed() override { return m_real.ReadFailed(); }

 private:
  VMediaParser& m_real;
  const std::string m_source;
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
      jobs.push_back({r.Source(), r.name, {}, r.counts.audio > 0});
    }
    const std::string changed = c.changed < 0 ? "" : trip[static_cast<size_t>(c.changed)].Source();
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

// A recording without sound: its cameras' tracks and no audio track, not a silent one.
TEST(Mp4WithoutSound, HasVideoTracksOnly) {
  if (!HaveProgram("ffprobe")) GTEST_SKIP() << "needs ffprobe";
  const TempDir card, out;
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " make-card " + Quote(card.Path()) +
                       " --count 1 --seconds 2 --front 320x180@30 --rear 160x90@30 --no-audio"
                       " >/dev/null"),
            0);
  const Recording r = CCard(card.Path().string()).Recordings(tat::kKindDriving).at(0);
  ASSERT_EQ(r.counts.audio, 0u);
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " mp4 " + Quote(card.Path()) + " " +
                       Quote(out.Path()) + " " + r.name + " >/dev/null"),
            0);
  const std::vector<Track> tracks = Probe(out.File(Mp4Name(r)));
  ASSERT_EQ(tracks.size(), 2u);
  for (const Track& t : tracks) EXPECT_EQ(t.type, "video");
}

}  // namespace
}  // namespace roadkeep::test
