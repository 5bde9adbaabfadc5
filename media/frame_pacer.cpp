#include "media/frame_pacer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "media/trace.h"

namespace {

int64_t TickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int CFramePacer::Pace(int frameRate) {
  const int64_t now = TickMs();
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
  const int pause = period - mean - 2;
  roadkeep::Trace("[%02d] dif %2d, mean %2d : %2d msec\n", 0, elapsed, mean, pause);
  if (pause > 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::min(period, pause)));
  m_lastTickMs = TickMs();
  return pause;
}
