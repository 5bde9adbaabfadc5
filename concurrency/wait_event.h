// An event with a timed wait, used for the reader pause handshake: the controller clears a
// reader's running flag and waits; the reader signals on its next idle turn.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class CWaitEvent {
 public:
  static constexpr unsigned kInfinite = 0xFFFFFFFF;

  CWaitEvent();
  virtual ~CWaitEvent();
  CWaitEvent(const CWaitEvent&) = delete;
  CWaitEvent& operator=(const CWaitEvent&) = delete;

  // Wakes every thread waiting in WaitEvent.
  void SetEvent();

  // Waits for a SetEvent that happens after this call begins, or for the timeout
  // (kInfinite: no limit). A signal given before the wait does not count, so a stale
  // signal from an earlier idle period cannot end the handshake while the reader is busy.
  // Returns 0 when signalled, kTimeout otherwise.
  static constexpr unsigned kTimeout = 0x102;
  unsigned WaitEvent(unsigned milliseconds);

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  uint64_t m_generation = 0;  // guarded by m_mutex; counts SetEvent calls
};
