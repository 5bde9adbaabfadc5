// roadkeep-tool avi-copy: never empties its own input, never reports a copy of nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "containers/avi_extractor.h"
#include "containers/avi_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::ReadAll;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

std::string Tool() {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/roadkeep-tool";
}

// A one-camera recording of frames front chunks and one audio chunk (no chunk at all when
// frames is 0).
void WriteRecording(const std::string& path, int frames) {
  CAVIWriter writer;
  writer.SetVideoSize(0, 320, 240);
  writer.SetFrameRate(0, 30);
  ASSERT_TRUE(writer.Open(path.c_str()));
  const std::vector<uint8_t> payload(static_cast<size_t>(100 + frames), 0x42);
  for (int i = 0; i < frames; ++i) {
    ASSERT_TRUE(writer.AddData(payload.data(), 100 + i, CAVIWriter::kSlotFront));
  }
  if (frames > 0) {
    ASSERT_TRUE(writer.AddData(payload.data(), 64, CAVIWriter::kSlotAudio));
  }
  writer.Close();
}

TEST(AviCopy, CopiesEveryChunkToANewFile) {
  TempDir dir;
  WriteRecording(dir.File("in.avi"), 2);
  const std::string out = CommandOutput(Tool() + " avi-copy " + dir.File("in.avi") + " " +
                                        dir.File("out.avi"));
  EXPECT_NE(out.find("copied 3 chunks (one camera)\n"), std::string::npos) << out;
  EXPECT_EQ(ReadAll(dir.File("out.avi")), ReadAll(dir.File("in.avi")));
}

TEST(AviCopy, RefusesAnOutputThatIsTheInputAndLeavesItWhole) {
  TempDir dir;
  const std::string in = dir.File("in.avi");
  WriteRecording(in, 3);
  const auto before = ReadAll(in);
  std::filesystem::create_hard_link(in, dir.File("hard.avi"));
  std::filesystem::create_symlink(in, dir.File("soft.avi"));
  const std::string outputs[] = {in, dir.Path().string() + "/./in.avi", dir.File("hard.avi"),
                                 dir.File("soft.avi")};
  for (const std::string& output : outputs) {
    const std::string cmd = Tool() + " avi-copy " + in + " " + output;
    EXPECT_EQ(RunCommand(cmd + " >/dev/null 2>&1"), 1) << output;
    EXPECT_EQ(CommandOutput(cmd + " 2>&1 >/dev/null"),
              "roadkeep-tool: " + output + ": the output is the input file\n");
    EXPECT_EQ(ReadAll(in), before) << output;
  }
}

TEST(AviCopy, FailsWhenNothingWasCopied) {
  TempDir dir;
  WriteRecording(dir.File("empty.avi"), 0);
  const std::string cmd = Tool() + " avi-copy " + dir.File("empty.avi") + " " + dir.File("o.avi");
  EXPECT_EQ(RunCommand(cmd + " >/dev/null 2>&1"), 1);
  const std::string out = CommandOutput(cmd + " 2>/dev/null");
  EXPECT_EQ(out.find("copied"), std::string::npos) << out;
}

}  // namespace
