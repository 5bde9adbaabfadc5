#include "app/evidence_controller.h"

#include <QFile>
#include <QMetaObject>

CEvidenceController::CEvidenceController(QObject* parent) : QObject(parent) {}

CEvidenceController::~CEvidenceController() { Shutdown(); }

bool CEvidenceController::Begin(TatHandle* library, const QString& folder,
                                std::vector<Recording> recordings) {
  if (m_busy.load() || m_shutDown || library == nullptr) return false;
  m_thread.StopThread();  // the last package's thread, already past its one step
  m_library = library;
  m_folder = QFile::encodeName(folder).toStdString();
  m_recordings = std::move(recordings);
  m_cancelled = false;
  m_lastStep.clear();
  m_lastPermille = -1;
  m_busy = true;
  if (!m_thread.BeginThread(&CEvidenceController::Step, this, 0, 0)) {
    m_busy = false;
    return false;
  }
  return true;
}

void CEvidenceController::Shutdown() {
  m_shutDown = true;  // what the thread queued before it ended is not told any more
  m_cancelled = true;
  m_thread.StopThread();
  m_busy = false;
}

bool CEvidenceController::Step(void* self) {
  static_cast<CEvidenceController*>(self)->Run();
  return false;  // one package a thread
}

bool CEvidenceController::GoOn(const std::string& step, double done) {
  if (m_probe) m_probe(step, done);
  if (m_cancelled.load() || (m_goOn && !m_goOn())) return false;
  // A queued call per step and per thousandth, not per frame.
  const int permille = static_cast<int>(done * 1000);
  if (step != m_lastStep || permille != m_lastPermille) {
    m_lastStep = step;
    m_lastPermille = permille;
    const QString text = QString::fromUtf8(step);
    QMetaObject::invokeMethod(
        this,
        [this, text, done] {
          if (!m_shutDown) emit progress(text, done);
        },
        Qt::QueuedConnection);
  }
  return true;
}

void CEvidenceController::Run() {
  EvidenceOptions options;
  options.mp4 = true;
  options.maker = "Roadkeep";
  const EvidenceResult result = MakeEvidencePackage(
      m_library, m_folder, m_recordings, options,
      [this](const std::string& step, double done) { return GoOn(step, done); });
  const QString folder = QFile::decodeName(m_folder.c_str());
  const QString failure = QString::fromUtf8(result.failure);
  const bool complete = result.complete, cancelled = result.cancelled;
  // Busy until the window hears of the end, so a second package cannot begin before it.
  QMetaObject::invokeMethod(
      this,
      [this, folder, complete, cancelled, failure] {
        if (m_shutDown) return;
        m_busy = false;
        emit finished(folder, complete, cancelled, failure);
      },
      Qt::QueuedConnection);
}
