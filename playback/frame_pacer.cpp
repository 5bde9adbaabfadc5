#include "playback/frame_pacer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "concurrency/trace.h"

namespace {

int64_t TickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

CFramePacer::CFramePacer() : CFramePacer(&TickMs, &SleepMs) {}

CFramePacer::CFramePacer(std::function<int64_t()> now, std::function<void(int)> sleep)
    : m_now(std::move(now)), m_sleep(std::move(sleep)) {}

int CFramePacer::Pace(int frameRate) {
  const int64_t now = m_now();
  const int elapsed = m_lastTickMs < 0 ? kMaxElapsedMs
                                       : static_cast<int>(std::clamp<int64_t>(
                                             now - m_lastTickMs, 0, kMaxElapsedMs));
  m_history[m_next] = elapsed;
  m_next = (m_next + 1) % kHistory;
  m_count = std::min(m_count + 1, kHistory);
  int sum = 0;
  for (int i = 0; i < m_count; ++i) sum += m_history[i];
  const int mean = sum / m_count;
  const int period = 1000 / (frameRate > 0 ? frameRate : 30);
  // Early frames wait for their deadline; a late one (or the first, or one after a pause or
  // a seek) is due now. A pause is never longer than one period.
  const int64_t due = m_deadlineMs < 0 ? now : std::max(now, m_deadlineMs);
  const int pause = static_cast<int>(std::min<int64_t>(due - now, period));
  roadkeep::Trace(roadkeep::kTracePlayer, "[%02d] dif %2d, mean %2d : %2d msec\n", 0, elapsed, mean, pause);
  if (pause > 0) m_sleep(pause);
  m_lastTickMs = m_now();
  m_deadlineMs = m_lastTickMs + period;
  return pause;
}
