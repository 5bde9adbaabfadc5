// The export worker: a thread that idles in 100 ms sleeps and runs an export while the
// window's export-busy flag is set. The export itself is connected by the export part.
#pragma once

#include <atomic>

#include "media/single_thread.h"

class CExportWorker {
 public:
  CExportWorker() = default;
  CExportWorker(const CExportWorker&) = delete;
  CExportWorker& operator=(const CExportWorker&) = delete;

  // Starts the thread "Export"; false when it already runs.
  bool Start();
  // Returns after the thread's last step. Safe when never started.
  void Stop() { m_thread.StopThread(); }
  bool IsRunning() const { return m_thread.IsRunning(); }

  // Set by the GUI thread to start an export, cleared by the worker when it ends.
  std::atomic<bool>& Busy() { return m_busy; }

 private:
  static bool Step(void* self);

  std::atomic<bool> m_busy{false};
  CSingleThread m_thread{"Export"};
};
