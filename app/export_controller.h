// CExportController: the window's export of recordings to AVI files. It owns the export
// thread (CExportWorker) and the export's own reader of the card, so an export never touches
// playback, and tells the window what happens through signals.
//
// Threads: every operation is for the GUI thread; the export runs on "Export", which reaches
// the controller only by queued calls, so every signal is emitted on the GUI thread.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

#include "app/export_worker.h"
#include "containers/recording_export.h"
#include "tat/tat_parser.h"
#include "tat/tat_parser.h"

struct TatHandle;

class CExportController : public QObject {
  Q_OBJECT

 public:
  explicit CExportController(QObject* parent = nullptr);
  ~CExportController() override;  // Shutdown
  CExportController(const CExportController&) = delete;
  CExportController& operator=(const CExportController&) = delete;

  // Starts the export thread; recordings are read from library's current card (not owned).
  void Start(TatHandle* library);
  // Cuts a running export short (its file ends valid) and ends the thread. Safe twice.
  void Shutdown();

  // Copies the jobs' recordings into folder (a local 8-bit path) as their files
  // (PlanExportFiles). False while an export runs.
  bool Begin(const QString& folder, std::vector<ExportJob> jobs);
  // The export stops before the next frame; the file in hand ends valid and short.
  void Cancel() { m_cancelled = true; }
  // Asked on the export thread before each frame: false cancels (the progress dialog's
  // Cancel). Set before Start.
  void SetGoOn(std::function<bool()> goOn) { m_goOn = std::move(goOn); }
  // The card has gone: the export stops and its reader lets go of the card's files.
  void ReleaseCard();

  bool IsBusy() { return m_worker.Busy().load(); }
  CExportWorker& Worker() { return m_worker; }

 signals:
  void started(int count);
  void fileStarted(int index, int count, QString name);
  // frame of total in the file in hand (total 0 when the recording does not say).
  void progress(int frame, int total);
  // Every file tried (complete) or the export stopped; the results of the files tried.
  void finished(std::vector<ExportResult> results, bool complete);

 private:
  class CView;

  CTATParser m_parser;  // the export's own reader
  std::atomic<bool> m_cancelled{false};
  std::function<bool()> m_goOn;
  CExportWorker m_worker;  // last: its thread stops before the parser goes
  bool m_shutDown = false;
};
