// Writes a recorder card as the recorder does: the store with recordings of the four
// kinds, and SETTING/blackbox.cfg with the factory settings.
#pragma once

#include <cstdint>
#include <string>

namespace roadkeep::tools {

// The pause that ends a trip on a card made with tripEvery.
inline constexpr int kTripPauseSeconds = 600;

struct CardOptions {
  int perKind = 2;          // recordings of each kind
  int count = 0;            // recordings in all, kinds taking turns; 0: perKind * 4
  int seconds = 20;         // length of each recording
  int frontOnlyEvery = 3;   // every n-th recording has no rear camera (0: none)
  int frontWidth = 1280, frontHeight = 720, frontFps = 30;
  int rearWidth = 640, rearHeight = 360, rearFps = 30;
  uint32_t seed = 1;
  bool filler = false;      // chunks of realistic sizes without encoding
  bool text = true;         // the sensor text stream (GPS fixes, G-sensor samples)
  bool audio = true;        // the sound chunks
  int64_t startTime = 1393666200;  // 2014-03-01 09:30:00 UTC, the first recording's start
  int gapSeconds = 5;       // from the end of one recording to the start of the next
  int tripEvery = 0;        // after every n-th recording a pause of kTripPauseSeconds (0: none)
  // Each event recording holds an impact at its middle: a spike of this size (1 g is the
  // resting reading's 64 units) from this side, 0 front, 1 rear, 2 left, 3 right.
  double impactG = 1.5;
  int impactSide = 0;
};

// An impact's size is kept to what the axis bytes can carry beside gravity and noise.
inline constexpr double kMaxImpactG = 1.9;

// False with a one-line reason in *error.
bool MakeCard(const std::string& dir, const CardOptions& options, std::string* error);

}  // namespace roadkeep::tools
