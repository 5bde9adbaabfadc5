// The MP4 export from a made card (real H.264 from two cameras, PCM, sensor text), checked with
// ffprobe / ffmpeg: tracks, sizes, frame counts, the front track default, AAC of the
// recording's length, the video NAL units against the AVI export's, and copies that cannot
// finish (cancel, full disk, a folder that cannot be written, a file already there). The
// re-encode: the band burned in by `roadkeep-tool mp4 --overlay` (the picture above it within
// PSNR of the source), the side-by-side track, and what the overlay is handed.
#include "containers/mp4_export.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>

#include "containers/frame_overlay.h"
#include "tests/containers/mp4_test_util.h"

namespace roadkeep::test {
namespace {

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
        exporter.ExportAll(folder, {{dual->Identity(), dual->name, name, true}}, progress);
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
    const Mp4Job job{r.Identity(), r.name, Mp4Name(r), true, c.video, &overlay};
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

// The real parser, but one front frame's unit holds no picture (an access unit delimiter
// alone), as a damaged chunk may.
class CPictureless : public CForwardingParser {
 public:
  CPictureless(VMediaParser& real, int frame) : CForwardingParser(real), m_frame(frame) {}
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override {
    const ChunkStatus status = m_real.NextChunk(id, buffer, size);
    if (status == ChunkStatus::kChunk && ChunkKindOf(id) == kKindFrontVideo && m_front++ == m_frame) {
      static const uint8_t kDelimiter[] = {0, 0, 0, 1, 0x09, 0xF0};
      std::memcpy(buffer, kDelimiter, sizeof kDelimiter);
      *size = sizeof kDelimiter;
    }
    return status;
  }

 private:
  const int m_frame;
  int m_front = 0;
};

// A copy keeps the unit as the card holds it; a re-encode has no picture for it, and says a
// frame is missing rather than complete.
TEST_F(Mp4Reencode, AUnitWithoutAPictureIsCountedAsLost) {
  OpenLibrary();
  const Recording& r = m_recordings.front();
  const long front = static_cast<long>(r.counts.front);
  const struct {
    Mp4Video video;
    ExportOutcome outcome;
    long frontFrames;
  } cases[] = {
      {Mp4Video::kCopy, ExportOutcome::kComplete, front},
      {Mp4Video::kReencode, ExportOutcome::kFramesLost, front - 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.video));
    fs::remove_all(m_out);
    fs::create_directory(m_out);
    CPictureless parser(m_parser, 10);
    CMp4Export exporter(parser);
    const Mp4Job job{r.Identity(), r.name, Mp4Name(r), true, c.video, nullptr};
    const Mp4Result result = exporter.ExportAll(m_out, {job}, nullptr).front();
    EXPECT_EQ(result.outcome, c.outcome) << DescribeMp4Result(result);
    EXPECT_EQ(result.framesCopied, c.frontFrames);
    EXPECT_EQ(result.rearCopied, static_cast<long>(r.counts.rear));
    const std::vector<Track> tracks = Probe(m_out + "/" + Mp4Name(r));
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_EQ(tracks[0].packets, c.frontFrames);
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