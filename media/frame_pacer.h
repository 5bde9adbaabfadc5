// CFramePacer: the tick-count correction between front frames. Each frame it measures the
// time since the previous one (limited to 0..60 ms), keeps the running mean of the last 24
// such values, and sleeps period - mean - 2 ms when that is positive, so that the frame
// interval settles near the period when nothing else (the audio device) paces the frames.
#pragma once

#include <cstdint>

class CFramePacer {
 public:
  static constexpr int kHistory = 24;
  static constexpr int kMaxElapsedMs = 60;

  // Paces one front frame at frameRate (30 when 0 or less) and prints
  // "[00] dif %2d, mean %2d : %2d msec". Returns the pause computed (may be negative).
  int Pace(int frameRate);

 private:
  // Player thread only.
  int64_t m_lastTickMs = -1;  // after the previous front frame; -1 before the first
  int m_history[kHistory] = {};
  int m_count = 0;
  int m_next = 0;
};
