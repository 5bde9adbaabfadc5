// CZarezeRadidaDlg: the viewer's one main window, a borderless, fully skinned 975 x 635
// player. It owns the card-store library handle, the controllers (playback, export), every
// child control and the window's parts; its handlers are a few lines that call them:
//   playback_controller.* the engine that plays a recording, with signals for the window
//   export_controller.*   the export to AVI files on a thread and card reader of its own
//   evidence_controller.*, evidence_window.cpp   the evidence package on a thread of its own
//   window_lifecycle.cpp  initialisation, setup, close question, destruction order
//   window_layout.*       where the controls stand in each display mode, label repaints
//   pane_layout.*, pane_states.*, panes.cpp   which view each pane holds, full screen
//   video_pane.*          the camera panes (VideoSurface)
//   viewer_config.cpp     config.cfg in $XDG_CONFIG_HOME/roadkeep (brightness, volume)
//   transport.cpp         playback controls (STOP, volume, brightness)
//   map_pane.*            the map (control 1106): its page loaded at the first open
//   zoom_dlg.*            the magnifier
//   settings_button.cpp   the recorder settings dialog on the card (button 1016, F3)
// Threads: everything here runs on the GUI thread. The engine's threads reach the window only
// through the controllers' queued signals; panes take frames under their own lock
// (video_pane.h).
#pragma once

#include <QBasicTimer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "app/evidence_controller.h"
#include "app/export_controller.h"
#include "app/playback_controller.h"
#include "app/recording_model.h"
#include "app/key_help.h"
#include "app/trip_views.h"
#include "app/window_state.h"
#include "containers/avi_extractor.h"
#include "tat/tat_parser.h"
#include "resources/resources.h"
#include "tat/tat_library.h"
#include "sensors/gsensor_graph.h"
#include "sensors/text_data.h"

class CCardWatch;
class CMapPane;
class CTelemetryView;
class CPaneLayout;
class CProgressDlg;
class CWindowControls;
class CWindowLayout;
class CZoomDlg;
class QPushButton;
class QToolButton;
class QSizeGrip;
class QTreeView;
struct TatHandle;

constexpr int kCardWatchMs = 1000;        // timer 102
constexpr int kVolumeKeyStep = 5;         // Up and Down

class CZarezeRadidaDlg : public QWidget {
 public:
  // langId: the platform language identifier that chooses the text set.
  explicit CZarezeRadidaDlg(unsigned langId = SystemLangId());
  ~CZarezeRadidaDlg() override;
  CZarezeRadidaDlg(const CZarezeRadidaDlg&) = delete;
  CZarezeRadidaDlg& operator=(const CZarezeRadidaDlg&) = delete;

  // Layout and painting.
  void ApplyWindowLayout(int mode);
  void ApplyPaneLayout();
  // The background bitmap back, the window at its size and centred on the screen.
  void LoadBackground();
  void SetLabelText(int id, const QString& text);
  void SetStaticBitmap(int id, int bitmapId);

  // Panes, full screen, mirror and zoom. Pane operations do nothing during an export.
  void OnSwapCameras();
  void OnSmallPaneMap();
  void OnSmallPaneCamera();
  void OnMapButton();
  void OnFullScreen();
  void OnWindowed();
  void OnMirrorRear();
  void OnZoom();

  // Start-up and shut-down.
  void LoadViewerConfig();
  void SaveViewerConfig();
  // The close button: closes the window, which first asks (closeEvent).
  void OnCloseButton();
  // Saves, stops and asks the quit question; true on Yes.
  bool ConfirmQuit();
  void OnMinimize();

  // Playback controls (transport.cpp, input_filter.cpp).
  // Opens name on the card and plays it in the panes; false only during an export. Without
  // a card it does nothing and reports success.
  bool OpenRecording(const QString& name);
  void OnPlay();
  void OnPause();
  void OnStop();
  void OnNext();      // towards the newer recordings; also at a recording's end
  void OnPrevious();  // towards the older recordings
  void SkipBack();
  void SkipForward();
  void RefreshPosition();  // timer 100
  // The map page, requested once per run at the first opening while online (map_pane.h).
  void LoadMapPage();
  void UpdateTimeLabels(int64_t positionSeconds, int64_t lengthSeconds);
  // A slider (1002, 1004, 1112) was let go at position.
  void OnSliderMoved(int id, int position);
  void OnMute();
  // The capture button (snapshot.cpp): saves the picture of each camera as a JPEG file under
  // a name the user picks, pausing playback while the dialog is open.
  void OnCapture();
  // A snapshot of the first picture of row's recording, which need not be playing; playback
  // goes on meanwhile.
  void OnRowSnapshot(int row);
  // The settings button (1016) and F3 (settings_button.cpp): pauses playback, finds the
  // recorder's settings file on the card in use and runs the settings dialog on it; without
  // one it says so. False when no dialog ran (also during an export, which it leaves alone).
  bool LocateSettingsFile();
  void OnSettingsButton() { LocateSettingsFile(); }
  void ApplyVolume(int value);
  void ApplyBrightness(int value);
  // A key pressed anywhere in the application while this window is active; true when it
  // was consumed (every key is, while the window handles keys).
  bool HandleKey(int key);
  // Up, Down and Enter while the list has the focus; false for any other key or focus.
  bool HandleListKey(int key);
  // Full screen from the normal window, the normal window from full screen.
  void ToggleFullScreen();
  // Paused (a step pauses first): the frame delta frames from the one on screen.
  void StepFrame(int delta);
  void RefreshPositionSoon();
  // The wheel turned by notches (up positive) over the slider of sliderId: the volume and the
  // brightness move by a key's step a notch, the position seeks kWheelSeekMs a notch. False
  // over anything else.
  bool HandleWheel(int sliderId, int notches);

  // Recording list and card watch (recording_list.cpp).
  // Looks for the card now, on this thread (tests, and the card watch's first look).
  void PollCard();
  // Timer 102: asks the card watch to look, off this thread.
  void RequestCardPoll();
  // The folders looked at for cards besides the mount table: the opened ones, then
  // ROADKEEP_CARD_DIRS (colon-separated).
  std::string CardFolders() const;
  void OnOpen();
  // Kind codes: 0 event, 1 driving, 2 parking, 3 manual, 4 all.
  void OnKindButton(int kind);
  void ShowKindPressed(int kind);  // that kind's button pressed, the others not (-1: none)
  bool FillRecordingList(int kind);
  // Every recording of the card, read afresh, recordings under 512 KiB left out.
  std::vector<Recording> CollectRecordings();
  void OnSelectAll();
  void OnListItemChanged();
  void OnListDoubleClick(int row);
  // The names of the checked rows, from row 0, into the export list.
  void CollectCheckedNames();
  const QStringList& ExportList() const { return m_exportList; }

  // Export (export_window.cpp). FileDownload (1143): stops playback, takes the checked
  // names and asks for the folder; the export thread then copies them.
  void OnFileDownload();
  // The folder dialog; on a choice it remembers the folder and arms the export. False when
  // the dialog was cancelled.
  bool ChooseExportFolder();
  // Asks for a folder to write into, starting at the last one chosen, and remembers the
  // answer as the new one; false when the user cancels.
  bool AskTargetFolder(const QString& title, const QString& objectName);
  // After an export that saved every recording: how many, where, and a button that opens the
  // folder in the desktop's file manager.
  void ShowExportDone(const std::vector<ExportResult>& results);
  // A message box of text with OK and "Open folder", which opens folder in the desktop's file
  // manager.
  void ShowFolderMessage(QMessageBox::Icon icon, const QString& objectName, const QString& text,
                         const QString& folder);
  // After a dialog that paused playback: it plays on when it played before (statusBefore, a
  // CQMVMediaPlayer status).
  void ResumeAfterDialog(int statusBefore);
  // The map's buttons while a recording is open that has given a position, and the small
  // pane's camera and map choice when it has both cameras; off otherwise.
  void UpdatePaneButtons();
  // A line over the picture's place that says what went wrong, until the next opening, or
  // what was done, for hideAfterMs when that is positive.
  void ShowStatusLine(const QString& text, int hideAfterMs = 0);
  // Marks the kind buttons of store files that could not be read and says why.
  void MarkUnreadableStores();
  // Replace, skip or keep both for files of the export's names already in its folder;
  // nothing for Cancel.
  std::optional<ExistingFiles> AskAboutExistingFiles(const QStringList& files);
  CExportWorker& ExportWorker() { return m_export.Worker(); }

  // Evidence package (evidence_window.cpp). The folder dialog ("EvidenceFolderDialog"); on a
  // choice a new folder "evidence-YYYYMMDD-HHMMSS" is made in it and the package of
  // recordings (of the card in use) with their MP4s is made there on the thread "Evidence",
  // the progress dialog shown. False when cancelled, refused (one is being made) or the
  // folder cannot be made (said in a message).
  bool ChooseEvidenceFolder(std::vector<Recording> recordings);
  // Where the package is and whether it is complete, or why not.
  void ShowEvidenceDone(const QString& folder, bool complete, bool cancelled,
                        const QString& failure);
  CEvidenceController& Evidence() { return m_evidence; }
  CProgressDlg* EvidenceProgressWindow() const { return m_evidenceProgress.get(); }
  CExportController& Export() { return m_export; }

  WindowState& State() { return m_state; }
  const WindowState& State() const { return m_state; }
  CWindowControls& Controls() { return *m_controls; }
  CMapPane& Map() { return *m_map; }
  CTelemetryView& Telemetry() { return *m_telemetry; }
  // The recording of the row named name (the row in hand when it bears it, else the first),
  // or for a name no row bears the first of that name on the card in use; none for a file.
  std::vector<Recording> RecordingsNamed(const QString& name) const;
  // Played time ms of the recording or trip that is open, exactly.
  void SeekPlayed(int64_t ms);
  // Asks for a file (dialog "TrackFileDialog") and writes the recordings' GPS track (GPX) or
  // sensor data (CSV) into it, read on the pool; the status line says how it ended. A
  // recording that cannot be read to its end writes nothing.
  void SaveTrackFile(std::vector<Recording> recordings, bool gpx);
  CPlaybackController& Playback() { return m_playback; }
  CCardWatch* CardWatch() { return m_cardWatch.get(); }
  // The recording in hand; empty when stopped.
  const QString& CurrentName() const { return m_currentName; }
  // The card's recordings behind the list (the list shows them through a kind filter).
  CRecordingModel& Recordings() { return *m_recordings; }
  CQMVMediaPlayer& Player() { return m_playback.Player(); }
  CTextData& Samples() { return m_playback.Samples(); }
  TatHandle* Library() const { return m_library; }
  UiLanguage Language() const { return m_language; }
  unsigned LangId() const { return m_langId; }
  const QString& TargetFolder() const { return m_targetFolder; }
  CZoomDlg* ZoomWindow() const { return m_zoom.get(); }
  CProgressDlg* ProgressWindow() const { return m_progress.get(); }
  bool HasBackground() const { return !m_background.isNull(); }
  bool ExportBusy() { return m_export.IsBusy(); }
  void ExportWorkerBusy(bool busy) { m_export.Worker().Busy() = busy; }
  // The application's window: closing it ends the event loop.
  void SetQuitOnClose(bool quit) { m_quitOnClose = quit; }
  // Counts folders holding a card store (the command line's, a drop's) as inserted cards,
  // ahead of the removable volumes, and looks at once.
  void OpenCardFolders(const std::vector<std::string>& folders);
  // Lists AVI files (absolute paths that AviFileProblem passed) beside the card's recordings,
  // under All, and plays the first one.
  void OpenFiles(const std::vector<std::string>& paths);
  // Cards and AVI files a user named (a drop, Ctrl+O): a folder opens the card in it, above
  // or below it; an AVI file is listed and played; a file inside a card opens the card.
  // Anything else is named in the status line with why.
  void OpenPaths(const QStringList& paths);
  // Ctrl+O: the desktop's file dialog for AVI files or a card (any file on it).
  void OpenWithDialog();
  static constexpr int kRefusedNoteMs = 6000;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnInitDialog();
  void Setup();
  void ConnectControls();
  void ConnectTransportControls();  // transport.cpp
  void ConnectListControls();       // recording_list.cpp
  void ConnectExportControls();     // export_window.cpp
  void ConnectEvidenceControls();   // evidence_window.cpp
  void ConnectContextMenus();       // context_menus.cpp
  // The right-click menus of list row `row` and of the video, at global point at.
  void ShowRowMenu(int row, const QPoint& at);
  // Asks where a snapshot of the moment `when` goes and returns the files for cameraCount
  // cameras (after the user agreed to replace any that exist); empty when cancelled.
  QStringList AskSnapshotFiles(QDateTime when, int cameraCount);
  void ShowVideoMenu(const QPoint& at);
  // The list's column-1 text (the recording's name) of row; empty when there is no row.
  QString RowName(int row) const;
  int RowCount() const;
  void ShowCardMessage();
  // What the card watch found in the folders it was given.
  void OnCardsFound(const std::string& cardDirs, const std::vector<TatVolume>& cards);
  // The card's letter now (0: none): arrival, removal or another card.
  void OnCardLetter(char letter);
  // The card in use has gone: its rows, playback and export end, an evidence package stops
  // incomplete; sayIt: the message too.
  void OnCardGone(bool sayIt);
  // Transport helpers (transport.cpp).
  void ShowPlaying(bool playing);  // PAUSE shown while playing, else PLAY
  void SelectRow(int row);         // the only selected row, current and scrolled into view
  void StepRow(int next);          // plays shown row next; past either end, stops
  int CurrentShownRow() const;     // the shown row of the recording in hand
  void SetVolumeFromSlider(int value);
  void Destroy();
  void ChangePanes(PaneStates next);
  int CameraCount() const;
  // The open recording could not be read: said in the window, playback stops.
  void OnPlaybackFailed();
  // Trips (trips.cpp).
  void SetUpTrips();
  void SetUpSpeedControl();
  // Plays at speed (one of the steps) from now on; the button and the front picture show it.
  void SetPlaySpeed(double speed);
  double PlaySpeed() const;
  void FollowStandIns();
  void OnTripsButton(bool on);
  void FillTrips();
  // Plays trip (oldest-first number) as one journey from its recording.
  void PlayTrip(size_t trip, int recording);
  void OnTripMoved(int index);
  // NEXT (+1) and PRE (-1) while a trip plays: its next or previous recording, at its ends
  // the newer or older trip. False when no trip plays.
  bool StepInTrip(int direction);
  bool HandleTripListKey(int key);
  // The trip of the trip list's current row (the newest when none) plays; false for none.
  bool PlayTripInHand();
  void LeaveTrip();  // what a trip showed goes when a recording or nothing plays
  // Telemetry (telemetry_window.cpp): the impacts button and the seeks it and the map ask for.
  void SetUpTelemetry();
  // Reads the telemetry of what opens: recording i at offsetsMs[i] in played time; none for
  // an AVI file.
  void LoadTelemetry(const std::vector<Recording>& recordings, const std::vector<int64_t>& offsetsMs);

  // The engine, set up by Setup and shut down by Destroy.
  CPlaybackController m_playback;
  CAVIExtractor m_aviExtractor;  // constructed, not used for playback
  TatHandle* m_library = nullptr;

  // GUI thread only.
  unsigned m_langId;
  UiLanguage m_language;
  WindowState m_state;
  QImage m_background;  // released in full screen
  bool m_placed = false;  // placed on a screen once: later placements keep to its screen
  QSize m_normalSize;     // the normal window's last size
  QSize m_windowedSize;   // its size when full screen began: the size to come back to
  QRect m_normalPlace;    // and its last place on the screen, saved at the end
  QSizeGrip* m_sizeGrip = nullptr;  // the normal window's corner for resizing (a child)
  QString m_targetFolder;
  std::unique_ptr<CWindowControls> m_controls;
  std::unique_ptr<CWindowLayout> m_layout;
  std::unique_ptr<CPaneLayout> m_paneLayout;
  std::unique_ptr<CMapPane> m_map;
  GSensorTraces m_traces;        // the three traces and the last second drawn
  int64_t m_lengthSeconds = 60;  // of the open recording: the position slider's maximum
  QStringList m_exportList;      // filled by CollectCheckedNames for the export
  std::vector<Recording> m_exportRecordings;  // the same rows' recordings
  CRecordingModel* m_recordings = new CRecordingModel(this);  // the card's recordings
  CKindFilter* m_shown = new CKindFilter(m_recordings, this);  // those the list shows
  CTripModel* m_trips = new CTripModel(this);  // the trips of the listed recordings
  QTreeView* m_tripList = nullptr;             // over the list while trips are shown
  CTripTimeline* m_timeline = nullptr;         // over the position slider while a trip plays
  QPushButton* m_tripsButton = nullptr;
  QToolButton* m_speedButton = nullptr;
  CTelemetryView* m_telemetry = nullptr;  // a child QObject
  std::vector<CStandIn*> m_standIns;
  CKeySheet* m_keySheet = nullptr;  // ? and F1
  bool m_tripMode = false;
  size_t m_playingTrip = 0;    // the trip that plays, while one does
  int m_tripDistanceRun = 0;   // which filling the distances on their way belong to
  QString m_currentName;  // the recording in hand; empty when stopped
  bool m_checkingAll = false;  // Select All is setting the rows' boxes
  std::unique_ptr<CZoomDlg> m_zoom;
  std::unique_ptr<QObject> m_inputFilter;  // application-wide: sees every key first
  std::unique_ptr<CProgressDlg> m_progress;
  CExportController m_export;
  std::unique_ptr<CProgressDlg> m_evidenceProgress;  // the evidence package's
  QElapsedTimer m_evidenceStarted;  // since the package began: the time left
  CEvidenceController m_evidence;
  QBasicTimer m_cardWatchTimer;  // 102
  std::unique_ptr<CCardWatch> m_cardWatch;
  bool m_destroyed = false;
  bool m_quitOnClose = false;
  std::vector<std::string> m_openedCards;  // OpenCardFolders', first given first
  std::vector<Recording> m_openedFiles;     // OpenFiles', as list rows
  std::vector<std::string> m_otherCards;    // roots of the cards beside the one in use
  bool m_asking = false;         // the quit question is open
  bool m_quitConfirmed = false;  // answered Yes: the next close goes through
  bool m_dragging = false;  // moving the window by hand where the platform cannot
  QPoint m_dragOffset;
};
