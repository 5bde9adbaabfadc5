#include "playback/frame_pacer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "concurrency/trace.h"

namespace {

int64_t TickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

constexpr int kSleepSliceMs = 20;  // a long pause looks at giveUp this often

}  // namespace

CFramePacer::CFramePacer() : CFramePacer(&TickMs, &SleepMs) {}

CFramePacer::CFramePacer(std::function<int64_t()> now, std::function<void(int)> sleep)
    : m_now(std::move(now)), m_sleep(std::move(sleep)) {}

double CFramePacer::PeriodMs(int frameRate, double speed) {
  const double rate = (frameRate > 0 ? frameRate : 30) * (speed > 0 ? speed : 1.0);
  // A hair under the true period (to 10 µs), so the audio device stays the master clock.
  return std::floor(100000.0 / rate) / 100.0;
}

void CFramePacer::Skip(int frameRate, double speed) {
  if (m_deadlineMs >= 0) m_deadlineMs += PeriodMs(frameRate, speed);
}

int CFramePacer::Pace(int frameRate, double speed, const std::atomic<int32_t>* giveUp) {
  const double period = PeriodMs(frameRate, speed);
  int64_t now = m_now();
  // Early frames wait for their deadline; a late one (or the first, or one after a restart)
  // is due now.
  const double due = m_deadlineMs < 0 ? static_cast<double>(now) : std::max<double>(now, m_deadlineMs);
  const int pause = static_cast<int>(std::ceil(due - static_cast<double>(now)));
  for (int left = pause; left > 0; left = static_cast<int>(std::ceil(due - static_cast<double>(now)))) {
    if (giveUp != nullptr && giveUp->load() > 0) return -1;
    m_sleep(giveUp != nullptr ? std::min(left, kSleepSliceMs) : left);
    now = m_now();
  }
  const int elapsed = m_lastTickMs < 0 ? kMaxElapsedMs
                                       : static_cast<int>(std::clamp<int64_t>(
                                             now - m_lastTickMs, 0, kMaxElapsedMs));
  m_history[m_next] = elapsed;
  m_next = (m_next + 1) % kHistory;
  m_count = std::min(m_count + 1, kHistory);
  int sum = 0;
  for (int i = 0; i < m_count; ++i) sum += m_history[i];
  roadkeep::Trace(roadkeep::kTracePlayer, "[%02d] dif %2d, mean %2d : %2d msec\n", 0, elapsed,
                  sum / m_count, pause);
  m_lastTickMs = now;
  // The next is due a period after this one was: on time, after its deadline, so the cadence
  // holds however the sleeps round; late, after now, with no catch-up burst.
  m_deadlineMs = due + period;
  return pause;
}
