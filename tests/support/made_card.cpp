#include "tests/support/made_card.h"

#include <cstdio>
#include <cstdlib>

namespace roadkeep::test {

std::string BinPath(const std::string& program) {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/" + program;
}

MadeCard::MadeCard(int seconds_, const std::string& front, const std::string& rear, bool text)
    : seconds(seconds_) {
  const std::string cmd = BinPath("roadkeep-tool") + " make-card " + dir.Path().string() +
                          " --per-kind 1 --seconds " + std::to_string(seconds) + " --front " +
                          front + " --rear " + rear + " --front-only-every 2 --seed 5" +
                          (text ? "" : " --no-text") + " >/dev/null";
  ok = RunCommand(cmd) == 0;
}

FillerCard::FillerCard(const std::string& options) {
  ok = RunCommand(BinPath("roadkeep-tool") + " make-card " + Root() +
                  " --filler --front 320x180@10 --rear 160x90@10 --seed 4 " + options + " >/dev/null") == 0;
}

std::string MadeCard::Name(int recording) const {
  static const char* const kinds[4] = {"REC", "EVENT", "PARKING", "MANUAL"};
  const int start = recording * (seconds + 5);
  char name[64];
  std::snprintf(name, sizeof name, "%s_20140301_09%02d%02d_%c.avi", kinds[recording % 4],
                30 + start / 60, start % 60, recording % 2 == 0 ? 'D' : 'F');
  return name;
}

}  // namespace roadkeep::test
