// The export worker: the thread "Export" that idles in 100 ms sleeps and, while the
// export-busy flag is set, copies the armed recordings into the armed folder with
// CRecordingExport, telling a View what happens. It owns the process's AVI writer and the
// one 1 MiB chunk buffer (inside the exporter).
//
// Threads: Arm, SetView, SetParser and SetFrameProbe on the GUI thread while no export runs;
// the View is called on the export thread and must not touch widgets itself (the window's
// view queues every change to the GUI thread). The worker never waits for the GUI thread,
// so stopping it while the window closes cannot deadlock.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "containers/avi_writer.h"
#include "containers/recording_export.h"
#include "concurrency/single_thread.h"

class VMediaParser;

class CExportWorker {
 public:
  // What the export shows, called on the export thread.
  class View : public CRecordingExport::Observer {
   public:
    // The busy flag was seen set: the export begins.
    virtual void OnExportStart() = 0;
    // The export ended; finished: every name was tried (nothing cancelled or stopped).
    virtual void OnExportEnd(const std::vector<ExportResult>& results, bool finished) = 0;
  };

  CExportWorker() = default;
  ~CExportWorker() { Stop(); }
  CExportWorker(const CExportWorker&) = delete;
  CExportWorker& operator=(const CExportWorker&) = delete;

  void SetParser(VMediaParser* parser);
  void SetView(std::unique_ptr<View> view) { m_view = std::move(view); }
  // The recordings and folder of the next export; the busy flag then starts it. The flag
  // set without an armed export is left as it is.
  void Arm(std::string folder, std::vector<ExportJob> jobs);

  // Starts the thread "Export"; false when it already runs.
  bool Start();
  // Returns after the thread's last step. Clear the busy flag first to cut a running copy
  // short at its next chunk. Safe when never started.
  void Stop() { m_thread.StopThread(); }
  bool IsRunning() const { return m_thread.IsRunning(); }

  // Set by the GUI thread to start an export; cleared by the worker when it ends, by a
  // cancel, and by the card watch when the card goes.
  std::atomic<bool>& Busy() { return m_busy; }

  // For tests: called on the export thread before each front frame's callback with the
  // file's index in the export and the frame's index.
  void SetFrameProbe(std::function<void(int file, int frame)> probe) { m_probe = std::move(probe); }

 private:
  class CProbedView;
  static bool Step(void* self);
  void RunExport();

  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_armed{false};  // a busy flag set without Arm finds nothing to do
  VMediaParser* m_parser = nullptr;
  std::unique_ptr<View> m_view;
  std::string m_folder;
  std::vector<ExportJob> m_jobs;
  std::function<void(int, int)> m_probe;
  CAVIWriter m_writer;
  std::unique_ptr<CRecordingExport> m_export;
  CSingleThread m_thread{"Export"};  // last: stopped before the members it uses go
};
