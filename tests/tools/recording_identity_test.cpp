// A recording's name is data, never its identity: on a card whose entries are renamed to names
// with commas, blanks, "@" and repeats, roadkeep-tool export, mp4 and evidence each write every
// entry's own recording, as exported under its first name from an untouched copy of the card.
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

using namespace roadkeep::tat;

std::string Quote(const std::string& s) { return "'" + s + "'"; }
std::string Mp4Of(const std::string& avi) { return avi.substr(0, avi.size() - 4) + ".mp4"; }
// roadkeep-tool COMMAND CARD FOLDER NAMES, quietly; true when it succeeds.
bool Tool(const std::string& command, const std::string& card, const std::string& folder,
          const std::string& names) {
  return RunCommand("SDL_AUDIODRIVER=dummy timeout 120 " + BinPath("roadkeep-tool") + " " +
                    command + " " + card + " " + folder + names + " >/dev/null 2>&1") == 0;
}
// The hash of each video stream's packets, as ffmpeg reads the file.
std::string VideoHash(const std::string& path) {
  return CommandOutput("ffmpeg -v error -i " + Quote(path) +
                       " -map 0:v -c copy -f streamhash -hash md5 -");
}

TEST(RecordingIdentity, EachNameWritesItsOwnEntryWhateverItHolds) {
  if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
  // Three of each kind, each picture showing its recording's name and time.
  const TempDir original, hostile, ref, out;
  ASSERT_TRUE(Tool("make-card", original.Path().string(), "",
                   "--per-kind 3 --seconds 1 --front 160x96@10 --rear 128x80@10"
                   " --front-only-every 3 --seed 3"));
  std::filesystem::copy(original.Path(), hostile.Path(), std::filesystem::copy_options::recursive);
  const struct {
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
  std::vector<std::string> first;
  for (const auto& c : cases) {
    first.push_back(card.Recordings(c.kindCode).at(static_cast<size_t>(c.index)).name);
    ASSERT_TRUE(EditEntryHeader(
        hostile.Path().string(), c.kindCode, first.back(),
        [&c](EntryHeader& h) { std::snprintf(h.name, sizeof h.name, "%s", c.name); }));
    if (names.find(Quote(c.name)) == std::string::npos) names += " " + Quote(c.name);
    if (c.evidence) evidenceNames += " " + Quote(c.name);
    originalNames += " " + Quote(first.back());
  }
  // AVI and MP4 exports share a folder: their files differ in their extension.
  const std::string package = out.File("package");
  for (const char* command : {"export", "mp4"}) {
    ASSERT_TRUE(Tool(command, original.Path().string(), ref.Path().string(), originalNames));
    ASSERT_TRUE(Tool(command, hostile.Path().string(), out.Path().string(), names));
  }
  ASSERT_TRUE(Tool("evidence", hostile.Path().string(), package, evidenceNames + " --mp4"));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(std::string(cases[i].name) + " on " + first[i]);
    const std::vector<uint8_t> bytes = ReadAll(ref.File(first[i]));
    const std::string hash = VideoHash(ref.File(Mp4Of(first[i])));
    ASSERT_TRUE(!bytes.empty() && hash.find("MD5=") != std::string::npos) << hash;
    for (const std::string& folder : {out.Path().string(), package}) {
      if (folder == package && !cases[i].evidence) continue;
      const std::string file = folder + "/" + cases[i].file;
      EXPECT_TRUE(ReadAll(file) == bytes) << file;
      EXPECT_EQ(VideoHash(Mp4Of(file)), hash) << Mp4Of(file);
    }
  }
}

}  // namespace
}  // namespace roadkeep::test
