// frame: the frame the tool writes is the one FFmpeg decodes at that index from the same
// recording exported as AVI (PSNR against ffmpeg's select filter, the JPEG's loss allowed
// for), at the unit boundaries and the ends; numbers outside the recording are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>

#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::BinPath;
using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

// PSNR of a against b (dB) as ffmpeg's psnr filter gives it; 0 when it could not tell.
double Psnr(const std::string& a, const std::string& b) {
  const std::string out = CommandOutput("ffmpeg -hide_banner -nostats -i " + a + " -i " + b +
                                        " -lavfi psnr -f null - 2>&1");
  std::smatch match;
  if (std::regex_search(out, match, std::regex("average:(inf|[0-9.]+)"))) {
    return match[1] == "inf" ? 99.0 : std::stod(match[1]);
  }
  return 0;
}

TEST(FrameCommand, WritesTheFrameFfmpegDecodesAtThatIndex) {
  TempDir work;
  const std::string card = (work.Path() / "card").string(), out = (work.Path() / "out").string();
  const std::string tool = BinPath("roadkeep-tool");
  ASSERT_EQ(RunCommand(tool + " make-card " + card + " --count 1 --seconds 11 --front 320x180@30" +
                       " --rear 160x90@30 >/dev/null"),
            0);
  std::filesystem::create_directory(out);
  ASSERT_EQ(RunCommand(tool + " export " + card + " " + out + " >/dev/null"), 0);
  const std::string name = "REC_20140301_093000_D.avi", avi = out + "/" + name;
  const struct {
    int frame;
    const char* camera;
    int stream;  // the AVI's video stream of that camera
  } cases[] = {{0, "front", 0},   {1, "front", 0},   {23, "front", 0}, {24, "front", 0},
               {25, "front", 0},  {299, "front", 0}, {329, "front", 0}, {25, "rear", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.frame) + " " + c.camera);
    const std::string jpg = (work.Path() / "tool.jpg").string();
    const std::string png = (work.Path() / "ffmpeg.png").string();
    ASSERT_EQ(RunCommand(tool + " frame " + card + " " + name + " --frame " +
                         std::to_string(c.frame) + " --out " + jpg + " --camera " + c.camera +
                         " >/dev/null"),
              0);
    ASSERT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -y -i " + avi + " -map 0:v:" +
                         std::to_string(c.stream) + " -vf 'select=eq(n\\," +
                         std::to_string(c.frame) + ")' -frames:v 1 " + png),
              0);
    EXPECT_GE(Psnr(jpg, png), 40.0);
    // A neighbouring frame differs: the match is the frame, not any frame.
    if (c.frame == 24 || c.frame == 299) {
      const std::string other = (work.Path() / "other.png").string();
      ASSERT_EQ(RunCommand("ffmpeg -hide_banner -loglevel error -y -i " + avi + " -map 0:v:0" +
                           " -vf 'select=eq(n\\," + std::to_string(c.frame + 1) +
                           ")' -frames:v 1 " + other),
                0);
      EXPECT_LT(Psnr(jpg, other), Psnr(jpg, png));
    }
  }
  // Outside the recording, not a number, no such recording: one line, exit 1.
  for (const char* bad : {"-1", "330", "99999999999999999999", "x"}) {
    const std::string said = CommandOutput(tool + " frame " + card + " " + name + " --frame " +
                                           bad + " --out " + out + "/bad.jpg 2>&1; echo status $?");
    EXPECT_NE(said.find("status 1\n"), std::string::npos) << bad << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
  }
}

}  // namespace
