#include "app/export_worker.h"

#include <chrono>
#include <thread>

// Passes everything to the view, with the test probe before each frame.
class CExportWorker::CProbedView : public CRecordingExport::Observer {
 public:
  CProbedView(View& view, const std::function<void(int, int)>& probe)
      : m_view(view), m_probe(probe) {}
  void OnFileStart(int index, int count, const std::string& name) override {
    m_file = index;
    m_view.OnFileStart(index, count, name);
  }
  bool OnFrame(int frame, int total) override {
    if (m_probe) m_probe(m_file, frame);
    return m_view.OnFrame(frame, total);
  }

 private:
  View& m_view;
  const std::function<void(int, int)>& m_probe;
  int m_file = 0;
};

void CExportWorker::SetParser(VMediaParser* parser) {
  m_parser = parser;
  m_export = parser != nullptr ? std::make_unique<CRecordingExport>(*parser, m_writer, m_busy)
                               : nullptr;
}

void CExportWorker::Arm(std::string folder, std::vector<ExportJob> jobs) {
  m_folder = std::move(folder);
  m_jobs = std::move(jobs);
  m_armed = true;
}

bool CExportWorker::Start() { return m_thread.BeginThread(&CExportWorker::Step, this, 0, 0); }

bool CExportWorker::Step(void* self) {
  auto* worker = static_cast<CExportWorker*>(self);
  if (worker->m_busy.load()) worker->RunExport();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return true;
}

void CExportWorker::RunExport() {
  if (!m_armed.exchange(false)) return;
  if (m_export == nullptr || m_view == nullptr) {
    m_busy = false;
    return;
  }
  m_view->OnExportStart();
  CProbedView view(*m_view, m_probe);
  const std::vector<ExportResult> results = m_export->ExportAll(m_folder, m_jobs, view);
  const bool finished = m_busy.exchange(false);
  m_view->OnExportEnd(results, finished);
}
