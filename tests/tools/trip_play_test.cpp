// play --trip: a trip of a card whose recordings follow each other back to back plays to its
// end as one, and the picture never stands still long at the boundaries. The bound is
// generous (a loaded machine); the figure itself is a benchmark's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::BinPath;
using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

TEST(PlayTrip, BackToBackRecordingsPlayWithoutAStandstillAtTheBoundaries) {
  TempDir card;
  // Six recordings of 2 s in two trips of three; the third of each has no rear camera.
  ASSERT_EQ(RunCommand(BinPath("roadkeep-tool") + " make-card " + card.Path().string() +
                       " --count 6 --seconds 2 --gap 0 --trip-every 3 --front-only-every 3"
                       " --front 320x180@30 --rear 160x90@30 >/dev/null"),
            0);
  const struct {
    const char* trip;
    int status;
    int boundaries;  // -1: no summary line
  } cases[] = {{"1", 0, 2}, {"2", 0, 2}, {"3", 1, -1}};
  for (const auto& c : cases) {
    const std::string command = "SDL_AUDIODRIVER=dummy " + BinPath("roadkeep-tool") + " play " +
                                card.Path().string() + " --trip " + c.trip;
    SCOPED_TRACE(command);
    const std::string out = CommandOutput(command + " 2>&1; echo status $?");
    EXPECT_NE(out.find("status " + std::to_string(c.status) + "\n"), std::string::npos) << out;
    std::smatch match;
    const bool summed = std::regex_search(
        out, match, std::regex("trip boundaries: ([0-9]+), longest gap between frames: ([0-9]+) ms"));
    if (c.boundaries < 0) {
      EXPECT_FALSE(summed) << out;
      continue;
    }
    ASSERT_TRUE(summed) << out;
    EXPECT_EQ(std::stoi(match[1]), c.boundaries);
    EXPECT_LT(std::stoi(match[2]), 250) << "at 30 fps a frame lasts 33 ms";
    EXPECT_NE(out.find("frames shown: front 180"), std::string::npos) << out;
  }
}

}  // namespace
