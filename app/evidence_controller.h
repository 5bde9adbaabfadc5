// CEvidenceController: the window's evidence package (tools/evidence_maker.h) of recordings,
// made on a thread "Evidence" of its own, which reads the card through a parser and readers
// of its own, so playback goes on; tells the window what happens through signals.
//
// Threads: every operation is for the GUI thread; the package is made on "Evidence", which
// reaches the controller only by queued calls, so every signal is emitted on the GUI thread.
// The thread never waits for the GUI thread, so Shutdown while the window closes cannot
// deadlock.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "concurrency/single_thread.h"
#include "tat/card.h"
#include "tools/evidence_maker.h"

struct TatHandle;

class CEvidenceController : public QObject {
  Q_OBJECT

 public:
  explicit CEvidenceController(QObject* parent = nullptr);
  ~CEvidenceController() override;  // Shutdown
  CEvidenceController(const CEvidenceController&) = delete;
  CEvidenceController& operator=(const CEvidenceController&) = delete;

  // Makes the package of recordings (of library's current card; library not owned, kept
  // until Shutdown) with their MP4s in folder, a new empty folder (a local 8-bit path).
  // False while a package is being made.
  bool Begin(TatHandle* library, const QString& folder, std::vector<Recording> recordings);
  // The package stops at its next frame or file, incomplete. Safe when none is made.
  void Cancel() { m_cancelled = true; }
  // Asked on the thread at each step: false cancels (the progress dialog's Cancel).
  void SetGoOn(std::function<bool()> goOn) { m_goOn = std::move(goOn); }
  // Cancels a package being made and waits for its thread; nothing is emitted after it (the
  // window's parts may be gone). Safe twice.
  void Shutdown();
  bool IsBusy() const { return m_busy.load(); }
  // A cancel was asked for (Cancel, Shutdown) since the package began. Any thread.
  bool CancelRequested() const { return m_cancelled.load(); }

  // For tests: called on the thread at each step before the window hears of it. Set while
  // no package is being made.
  void SetStepProbe(std::function<void(const std::string& step, double done)> probe) {
    m_probe = std::move(probe);
  }

 signals:
  // The step in hand and the share of the package done, 0..1; not for every frame.
  void progress(QString step, double done);
  // The package ended: complete (SHA256SUMS written) or not, and why not.
  void finished(QString folder, bool complete, bool cancelled, QString failure);

 private:
  static bool Step(void* self);
  void Run();
  bool GoOn(const std::string& step, double done);

  // Set by Begin while no package is made, read by the thread.
  TatHandle* m_library = nullptr;
  std::string m_folder;
  std::vector<Recording> m_recordings;
  std::function<bool()> m_goOn;
  std::function<void(const std::string&, double)> m_probe;
  bool m_shutDown = false;  // GUI thread only

  // Any thread.
  std::atomic<bool> m_busy{false};  // set by Begin, cleared as finished is emitted
  std::atomic<bool> m_cancelled{false};

  // The thread only.
  std::string m_lastStep;
  int m_lastPermille = -1;

  CSingleThread m_thread{"Evidence"};  // last: stopped before the members it uses go
};
