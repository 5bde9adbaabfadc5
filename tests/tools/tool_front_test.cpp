// The started roadkeep-tool: list and dump run in a program that loads none of the media
// libraries, and every other command reaches roadkeep-tool-full with its arguments and
// comes back with its exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

std::string Bin(const std::string& program) {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/" + program;
}

// Exit status of a shell command (RunCommand gives the wait status's exit code).
int Status(const std::string& command) { return RunCommand(command + " >/dev/null 2>&1"); }

TEST(ToolFront, TheStartedProgramNeedsNoMediaLibraries) {
  const std::string needed = CommandOutput("readelf -d " + Bin("roadkeep-tool") + " | grep NEEDED");
  ASSERT_NE(needed.find("libc.so"), std::string::npos) << needed;
  for (const char* heavy : {"libavcodec", "libavutil", "libswscale", "libSDL2", "libopencv",
                            "libturbojpeg", "libQt", "libx264"}) {
    EXPECT_EQ(needed.find(heavy), std::string::npos) << heavy << " in\n" << needed;
  }
}

TEST(ToolFront, OtherCommandsReachTheFullProgramWithTheirArgumentsAndStatus) {
  TempDir dir;
  const std::string tool = Bin("roadkeep-tool");
  // Usage and help are the full program's; a command it runs gets the same arguments.
  EXPECT_NE(CommandOutput(tool + " --help").find("make-card"), std::string::npos);
  EXPECT_EQ(Status(tool + " list --help"), 0);
  EXPECT_EQ(Status(tool + " no-such-command"),
            Status(Bin("roadkeep-tool-full") + " no-such-command"));
  const std::string missing = "'" + dir.File("no such file.avi") + "'";
  EXPECT_EQ(CommandOutput(tool + " avi-info " + missing + " 2>&1"),
            CommandOutput(Bin("roadkeep-tool-full") + " avi-info " + missing + " 2>&1"));
  EXPECT_NE(Status(tool + " avi-info " + missing), 0);
  // list and dump run in the front with the full program's messages and statuses.
  EXPECT_EQ(CommandOutput(tool + " list " + dir.Path().string() + " 2>&1"),
            CommandOutput(Bin("roadkeep-tool-full") + " list " + dir.Path().string() + " 2>&1"));
  EXPECT_NE(Status(tool + " list " + dir.Path().string()), 0);
  EXPECT_EQ(Status(tool + " dump"), 2);
}

}  // namespace
