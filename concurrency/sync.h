// The in-house lock. Every lock in the program is constructed with the name "none".
#pragma once

#include <mutex>

class CSync {
 public:
  explicit CSync(const char* name = "none");
  virtual ~CSync();
  CSync(const CSync&) = delete;
  CSync& operator=(const CSync&) = delete;

  // Blocks until this thread holds the lock. Not re-entrant.
  void Lock();
  // REQUIRES: the calling thread holds the lock.
  void Unlock();
  // The standard lock names, so std::condition_variable_any can wait on a CSync.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
  std::mutex m_mutex;
};

// Holds a CSync for the lifetime of the guard.
class CSyncGuard {
 public:
  explicit CSyncGuard(CSync& sync) : m_sync(sync) { m_sync.Lock(); }
  ~CSyncGuard() { m_sync.Unlock(); }
  CSyncGuard(const CSyncGuard&) = delete;
  CSyncGuard& operator=(const CSyncGuard&) = delete;

 private:
  CSync& m_sync;
};
