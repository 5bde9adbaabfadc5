// Playback speeds: the steps a user moves through (1/8x to 16x, each twice the one before),
// the range in which sound plays (1/2x to 2x, its pitch kept), and their names ("1/4x",
// "2x"). Shared by the player, the window and roadkeep-tool play.
#pragma once

#include <string>

namespace roadkeep {

inline constexpr double kSpeeds[] = {0.125, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0};

// The next step up or down from speed (itself at either end of the range).
double FasterSpeed(double speed);
double SlowerSpeed(double speed);
// Sound plays from 1/2x to 2x; outside it, playback is silent.
bool SpeedIsAudible(double speed);
// "1/8x", "1/2x", "1x", "16x" (the nearest step's name).
std::string SpeedName(double speed);
// "0.25", "1/4", "4", "4x": one of the steps; false for anything else.
bool ParseSpeed(const std::string& text, double* speed);

}  // namespace roadkeep
