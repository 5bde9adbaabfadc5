// The viewer's command line: which cards and files a line names, what it refuses, and the
// real program's exit codes and words (no window where there should be none).
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tat/store_writer.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;
using Action = CommandLine::Action;

// A mount tree with one card, an AVI file made by ffmpeg, and things that are neither.
class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Path("media/user/CARD"));
    fs::create_directories(Path("empty"));
    ASSERT_TRUE(roadkeep::tat::FormatCard(Path("media/user/CARD"), 7, nullptr));
    roadkeep::test::WriteText(Path("notes.txt"), "not a recording\n");
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=d=1:s=320x240:r=10 "
                         "-c:v libx264 -pix_fmt yuv420p '" + Path("clip.avi") + "'"),
              0);
  }
  std::string Path(const std::string& name) const { return (m_dir.Path() / name).string(); }

  TempDir m_dir;
};

TEST_F(CommandLineTest, PathsBecomeCardsOrFilesAndAnythingElseRefusesTheLine) {
  const std::string card = Path("media/user/CARD");
  const struct {
    const char* name;
    std::vector<std::string> args;
    Action action;
    std::vector<std::string> cards;
    size_t aviFiles;
  } cases[] = {
      {"nothing", {}, Action::kRun, {}, 0},
      {"the card", {card}, Action::kRun, {card}, 0},
      {"with a trailing slash", {card + "/"}, Action::kRun, {card}, 0},
      {"its mount folder's parent", {Path("media/user")}, Action::kRun, {card}, 0},
      {"two levels above", {Path("media")}, Action::kRun, {card}, 0},
      {"inside the card", {card + "/TAT"}, Action::kRun, {card}, 0},
      {"a card and an AVI file", {card, Path("clip.avi")}, Action::kRun, {card}, 1},
      {"after --, a path", {"--", Path("clip.avi")}, Action::kRun, {}, 1},
      {"help", {"--help", "junk"}, Action::kHelp, {}, 0},
      {"version", {"--version"}, Action::kVersion, {}, 0},
      {"a folder without a card", {Path("empty")}, Action::kRefuse, {}, 0},
      {"a text file", {Path("notes.txt")}, Action::kRefuse, {}, 0},
      {"a path that is not there", {Path("gone.avi")}, Action::kRefuse, {}, 0},
      {"an unknown option", {"--fullscreen"}, Action::kRefuse, {}, 0},
      {"a good path, then junk", {card, Path("notes.txt")}, Action::kRefuse, {}, 0},
      {"an empty word", {""}, Action::kRefuse, {}, 0},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action) << c.name;
    if (c.action == Action::kRefuse) {
      EXPECT_EQ(line.refusal.find('\n'), std::string::npos) << c.name << ": one line";
      EXPECT_EQ(line.refusal.rfind("roadkeep: ", 0), 0u) << c.name << ": " << line.refusal;
      continue;
    }
    EXPECT_EQ(line.cards, c.cards) << c.name;
    EXPECT_EQ(line.aviFiles.size(), c.aviFiles) << c.name;
  }
}

// The real program answers without a display: a window would need one and fail otherwise.
TEST_F(CommandLineTest, TheProgramAnswersAndRefusesWithoutOpeningAWindow) {
  const std::string viewer = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" +
                             roadkeep::test::BinPath("roadkeep") + "'";
  const struct {
    std::string args;
    int exitCode;
    const char* firstWords;  // of the first line printed, on standard output or error
  } cases[] = {
      {"--help", 0, "Usage: roadkeep [PATH...]"},
      {"--version", 0, "roadkeep 2.5.9"},
      {"--bogus", 2, "roadkeep: unknown option --bogus"},
      {"'" + Path("notes.txt") + "'", 2, "roadkeep: "},
      {"'" + Path("gone") + "'", 2, "roadkeep: "},
  };
  for (const auto& c : cases) {
    const std::string run = viewer + " " + c.args;
    EXPECT_EQ(RunCommand(run + " >/dev/null 2>&1"), c.exitCode) << c.args;
    const std::string said = CommandOutput(run + " 2>&1");
    EXPECT_EQ(said.rfind(c.firstWords, 0), 0u) << c.args << ": " << said;
    if (c.exitCode != 0) {
      EXPECT_EQ(said.find('\n'), said.size() - 1) << c.args << ": one line";
    }
  }
}

}  // namespace
