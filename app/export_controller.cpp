#include "app/export_controller.h"

#include <QFile>
#include <QMetaObject>
#include <algorithm>

// The worker's view: every call queues a signal of the controller to the GUI thread and
// never waits for it.
class CExportController::CView : public CExportWorker::View {
 public:
  explicit CView(CExportController* controller) : m_controller(controller) {}

  void OnExportStart() override {}

  void OnFileStart(int index, int count, const std::string& name) override {
    if (index == 0) Emit([count](CExportController* c) { emit c->started(count); });
    const QString text = QString::fromUtf8(name);
    Emit([index, count, text](CExportController* c) { emit c->fileStarted(index, count, text); });
  }

  bool OnFrame(int frame, int total) override {
    if (m_controller->m_cancelled.load()) return false;
    if (m_controller->m_goOn && !m_controller->m_goOn()) return false;
    if (frame == 0) m_step = std::max(1, (total > 0 ? total : 1000) / 500);
    // A few hundred steps show every change a bar can draw, without a queued call for each
    // frame of a long recording.
    if (frame % m_step == 0 || frame + 1 >= total) {
      Emit([frame, total](CExportController* c) { emit c->progress(frame, total); });
    }
    return true;
  }

  void OnExportEnd(const std::vector<ExportResult>& results, bool finished) override {
    Emit([results, finished](CExportController* c) { emit c->finished(results, finished); });
  }

 private:
  template <typename F>
  void Emit(F emitIt) {
    CExportController* controller = m_controller;
    QMetaObject::invokeMethod(
        controller, [controller, emitIt] { emitIt(controller); }, Qt::QueuedConnection);
  }

  CExportController* m_controller;
  int m_step = 1;  // export thread only
};

CExportController::CExportController(QObject* parent) : QObject(parent) {
  qRegisterMetaType<std::vector<ExportResult>>();
  m_worker.SetParser(&m_parser);
  m_worker.SetView(std::make_unique<CView>(this));
}

CExportController::~CExportController() { Shutdown(); }

void CExportController::Start(TatHandle* library) {
  m_parser.SetLibrary(library);
  m_parser.Start();
  m_worker.Busy() = false;
  m_worker.Start();
}

void CExportController::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  m_worker.Busy() = false;
  m_worker.Stop();
  m_parser.Stop();
  m_parser.OnCardRemoved();
}

bool CExportController::Begin(const QString& folder, std::vector<ExportJob> jobs) {
  if (IsBusy()) return false;
  m_cancelled = false;
  m_worker.Arm(QFile::encodeName(folder).toStdString(), std::move(jobs));
  m_worker.Busy() = true;
  return true;
}

void CExportController::ReleaseCard() {
  m_worker.Busy() = false;
  m_parser.OnCardRemoved();
}
