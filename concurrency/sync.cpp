#include "concurrency/sync.h"

CSync::CSync(const char*) {}
CSync::~CSync() = default;
// Holders keep the lock for a short copy at most, so a brief spin usually gets it without
// the cost of sleeping and being woken.
void CSync::Lock() {
  for (int spin = 0; spin < 200; ++spin) {
    if (m_mutex.try_lock()) return;
#if defined(__x86_64__)
    __builtin_ia32_pause();
#endif
  }
  m_mutex.lock();
}
void CSync::Unlock() { m_mutex.unlock(); }
