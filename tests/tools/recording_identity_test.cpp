// A recording's name is data, never its identity: on a card whose entries are renamed to
// names with commas, blanks, "@" and repeats, roadkeep-tool export, mp4 and evidence each
// write every entry's own recording, the same bytes as the export of that entry under its
// first name on an untouched copy of the card.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tat/card.h"
#include "tests/support/made_card.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;
using namespace roadkeep::tat;

std::string Tool(const std::string& args) {
  return "SDL_AUDIODRIVER=dummy timeout 120 " + BinPath("roadkeep-tool") + " " + args;
}
std::string Quote(const std::string& s) { return "'" + s + "'"; }
std::string Mp4Of(const std::string& avi) { return avi.substr(0, avi.size() - 4) + ".mp4"; }

// Video packets per stream and each stream's hash, as ffprobe and ffmpeg read the file.
std::string VideoStreams(const std::string& path) {
  return CommandOutput("ffprobe -v error -count_packets -select_streams v -show_entries "
                       "stream=codec_name,width,nb_read_packets -of csv=p=0 " + Quote(path)) +
         CommandOutput("ffmpeg -v error -i " + Quote(path) +
                       " -map 0:v -c copy -f streamhash -hash md5 -");
}

TEST(RecordingIdentity, EachNameWritesItsOwnEntryWhateverItHolds) {
  if (!HaveProgram("ffprobe") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
  const TempDir original, hostile, reference, out;
  // Three of each kind; every third recording from the front camera alone, so the entries of
  // a kind differ in their cameras, and every picture shows its recording's name and time.
  ASSERT_EQ(RunCommand(Tool("make-card " + original.Path().string() +
                            " --per-kind 3 --seconds 1 --front 160x96@10 --rear 128x80@10"
                            " --front-only-every 3 --seed 3 >/dev/null")),
            0);
  fs::copy(original.Path(), hostile.Path(), fs::copy_options::recursive);
  const struct Case {
    int kindCode, index;
    const char* name;  // given to the entry on the hostile card
    const char* file;  // what the export names its file
    bool evidence;     // packaged too (a repeated name is not)
  } cases[] = {
      {kKindEvent, 1, "EVENT_x,0.avi", "EVENT_x,0.avi", true},
      {kKindEvent, 2, "EVENT_a 1.avi", "EVENT_a 1.avi", true},
      {kKindManual, 2, "M @ tmp.avi", "M @ tmp.avi", true},
      {kKindDriving, 1, "REC_1, 2 @ x.avi", "REC_1, 2 @ x.avi", true},
      {kKindParking, 0, "PARKING_same.avi", "PARKING_same.avi", false},
      {kKindParking, 1, "PARKING_same.avi", "PARKING_same (2).avi", false},
  };
  CCard card(original.Path().string());
  std::string names, evidenceNames, originalNames;
  std::vector<Recording> entries;
  for (const Case& c : cases) {
    const std::vector<Recording> kind = card.Recordings(c.kindCode);
    ASSERT_LT(static_cast<size_t>(c.index), kind.size());
    const Recording& r = kind[static_cast<size_t>(c.index)];
    entries.push_back(r);
    ASSERT_TRUE(EditEntryHeader(hostile.Path().string(), c.kindCode, r.name,
                                [&c](EntryHeader& h) {
                                  std::snprintf(h.name, sizeof h.name, "%s", c.name);
                                }))
        << c.name;
    if (names.find(Quote(c.name)) == std::string::npos) names += " " + Quote(c.name);
    if (c.evidence) evidenceNames += " " + Quote(c.name);
    originalNames += " " + Quote(r.name);
  }
  // The entries the hostile names point at, read as they were, first.
  const std::string ref = reference.Path().string();
  ASSERT_EQ(RunCommand(Tool("export " + original.Path().string() + " " + ref + originalNames +
                            " >/dev/null 2>&1")),
            0);
  ASSERT_EQ(RunCommand(Tool("mp4 " + original.Path().string() + " " + ref + originalNames +
                            " >/dev/null 2>&1")),
            0);
  const std::string card2 = hostile.Path().string();
  const std::string avi = out.File("avi"), mp4 = out.File("mp4"), package = out.File("package");
  fs::create_directory(avi);
  fs::create_directory(mp4);
  ASSERT_EQ(RunCommand(Tool("export " + card2 + " " + avi + names + " >/dev/null 2>&1")), 0);
  ASSERT_EQ(RunCommand(Tool("mp4 " + card2 + " " + mp4 + names + " >/dev/null 2>&1")), 0);
  ASSERT_EQ(RunCommand(Tool("evidence " + card2 + " " + package + evidenceNames +
                            " --mp4 >/dev/null 2>&1")),
            0);

  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string own = ref + "/" + entries[i].name;
    SCOPED_TRACE(std::string(c.name) + " on entry " + std::to_string(c.index) + " of " +
                 entries[i].name);
    const std::vector<uint8_t> expected = ReadAll(own);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadAll(avi + "/" + c.file) == expected) << "the AVI export";
    const std::string streams = VideoStreams(Mp4Of(own));
    ASSERT_NE(streams.find("h264"), std::string::npos) << streams;
    EXPECT_EQ(VideoStreams(mp4 + "/" + Mp4Of(c.file)), streams) << "the MP4 export";
    if (!c.evidence) continue;
    EXPECT_TRUE(ReadAll(package + "/" + c.file) == expected) << "the package's AVI";
    EXPECT_EQ(VideoStreams(package + "/" + Mp4Of(c.file)), streams) << "the package's MP4";
  }
  // The entries of a kind are told apart by what they hold: a front-only one among them.
  const Recording first = card.Recordings(kKindEvent)[0];
  EXPECT_TRUE(ReadAll(ref + "/" + entries[0].name) != ReadAll(ref + "/" + first.name));
  EXPECT_NE(entries[0].CameraCount(), first.CameraCount());
}

}  // namespace
}  // namespace roadkeep::test
