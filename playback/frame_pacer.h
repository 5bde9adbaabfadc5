// CFramePacer: spaces front frames evenly at the frame rate times the playback speed. Each
// frame has a deadline one period after the previous one's; a frame that comes early waits
// for it, a frame that comes late is shown at once and the schedule restarts from it. A frame
// left out (key frames only, at high speeds) moves the next deadline one period on. The audio
// device, when it plays, holds frames back while its queue is full and so stays the master
// clock; the pacer only spreads what it lets through.
//
// Each frame prints "[00] dif %2d, mean %2d : %2d msec": the time since the previous frame
// (limited to 0..60 ms), the running mean of the last 24 of those, and the pause taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class CFramePacer {
 public:
  static constexpr int kHistory = 24;
  static constexpr int kMaxElapsedMs = 60;

  // now: a millisecond tick; sleep: waits that many ms. The defaults use the steady clock.
  CFramePacer();
  CFramePacer(std::function<int64_t()> now, std::function<void(int)> sleep);

  // Paces one front frame at frameRate (30 when 0 or less) times speed: returns after the
  // frame's deadline with the pause taken (0 when the frame was due or late). A wait longer
  // than a few milliseconds looks at *giveUp between short sleeps and returns -1 once it is
  // above zero: the frame was not let through and its deadline stands for the next call.
  int Pace(int frameRate, double speed = 1.0, const std::atomic<int32_t>* giveUp = nullptr);
  // A frame not shown: the next one is due a period later.
  void Skip(int frameRate, double speed = 1.0);
  // Forgets the schedule: the next frame passes at once (a seek, a new speed).
  void Restart() { m_deadlineMs = -1; }
  // The period in ms at frameRate times speed.
  static double PeriodMs(int frameRate, double speed);

 private:
  std::function<int64_t()> m_now;
  std::function<void(int)> m_sleep;

  // Player thread only.
  int64_t m_lastTickMs = -1;   // when the previous front frame was let through; -1 before
  double m_deadlineMs = -1;    // when the next front frame is due; -1 before the first
  int m_history[kHistory] = {};
  int m_count = 0;
  int m_next = 0;
};
