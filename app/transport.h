// Helpers of the playback controls that need no window.
#pragma once

#include <QString>
#include <cstdint>

// The output volume for a volume slider value v (0..99): both 16-bit halves
// a = v * 655.35, truncated.
uint32_t OutputVolumeFor(int value);
// "%02d:%02d:%02d" of a whole-second count.
QString TimeText(int64_t seconds);
