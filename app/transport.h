// Helpers of the playback controls that need no window.
#pragma once

#include <QString>
#include <cstdint>

constexpr int kSkipMs = 10000;  // the -10 s and +10 s buttons
constexpr int kWheelSeekMs = 5000;  // a wheel notch over the position slider

// The output volume for a volume slider value v (0..99): both 16-bit halves
// a = v * 655.35, truncated.
uint32_t OutputVolumeFor(int value);
// "%02d:%02d:%02d" of a whole-second count.
QString TimeText(int64_t seconds);
// A recording's length in whole seconds from its duration; 60 when that gives 0 or less.
int64_t LengthSeconds(int durationMs);
// Where -10 s and +10 s seek from positionMs: back to the start within the first 10 s; -1
// forward within the last 10 s of a slider ending at sliderMaxSeconds (the recording's end).
int64_t SkipBackTarget(int64_t positionMs);
int64_t SkipForwardTarget(int64_t positionMs, int sliderMaxSeconds);
