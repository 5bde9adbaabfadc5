// A card written by roadkeep-tool make-card into its own temporary folder, with real H.264
// from two cameras, audio and sensor text.
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace roadkeep::test {

// Path of a program built beside the tests (ROADKEEP_BIN, else build/bin).
std::string BinPath(const std::string& program);

// One recording of each kind, `seconds` long. Recording r (0..3) is named
// KIND_20140301_0930SS_X.avi with SS = r * (seconds + 5); recordings 0 and 2 have both cameras
// (X = D), 1 and 3 the front one only. Without text, the recordings have no sensor stream.
struct MadeCard {
  TempDir dir;
  int seconds = 3;
  bool ok = false;
  explicit MadeCard(int seconds, const std::string& front = "320x180@30",
                    const std::string& rear = "320x180@30", bool text = true);
  std::string Name(int recording) const;
};

// A card of chunks of realistic sizes without encoded pictures (make-card --filler, 320x180
// and 160x90 at 10 fps), with further make-card options, in its own temporary folder.
struct FillerCard {
  TempDir dir;
  bool ok = false;
  explicit FillerCard(const std::string& options);
  std::string Root() const { return dir.Path().string(); }
};

}  // namespace roadkeep::test
