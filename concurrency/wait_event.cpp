#include "concurrency/wait_event.h"

#include <chrono>

CWaitEvent::CWaitEvent() = default;
CWaitEvent::~CWaitEvent() = default;

void CWaitEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
  }
  m_cond.notify_all();
}

unsigned CWaitEvent::WaitEvent(unsigned milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const uint64_t start = m_generation;
  auto signalled = [&] { return m_generation != start; };
  if (milliseconds == kInfinite) {
    m_cond.wait(lock, signalled);
    return 0;
  }
  return m_cond.wait_for(lock, std::chrono::milliseconds(milliseconds), signalled) ? 0 : kTimeout;
}
