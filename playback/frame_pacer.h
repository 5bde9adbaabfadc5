// CFramePacer: spaces front frames evenly. Each frame has a deadline one period after the
// previous frame's; a frame that comes early waits for it, a frame that comes late is shown
// at once and the schedule restarts from it. The period is 1000 / rate truncated, a hair
// shorter than the true one, so the audio device (which holds frames back while its queue
// is full) stays the master clock and the schedule never runs ahead of the sound.
//
// Each frame prints "[00] dif %2d, mean %2d : %2d msec": the time since the previous frame
// (limited to 0..60 ms), the running mean of the last 24 of those, and the pause taken.
#pragma once

#include <cstdint>
#include <functional>

class CFramePacer {
 public:
  static constexpr int kHistory = 24;
  static constexpr int kMaxElapsedMs = 60;

  // now: a millisecond tick; sleep: waits that many ms. The defaults use the steady clock.
  CFramePacer();
  CFramePacer(std::function<int64_t()> now, std::function<void(int)> sleep);

  // Paces one front frame at frameRate (30 when 0 or less): returns after the frame's
  // deadline. Returns the pause taken (0 when the frame was due or late).
  int Pace(int frameRate);

 private:
  std::function<int64_t()> m_now;
  std::function<void(int)> m_sleep;

  // Player thread only.
  int64_t m_lastTickMs = -1;  // when the previous front frame was let through; -1 before
  int64_t m_deadlineMs = -1;  // when the next front frame is due; -1 before the first
  int m_history[kHistory] = {};
  int m_count = 0;
  int m_next = 0;
};
