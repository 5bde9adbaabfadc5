// CPlaybackController: the window's playback. It owns the engine that plays a recording of
// the card, or an AVI file, in the two camera panes (its own card reader and file reader, the decoder, the audio output, the
// sensor samples and the player) and tells the window what happens through signals.
//
// Threads: every operation is for the GUI thread. The player's worker reaches the controller
// only through its status callback, which queues the end or the failure to the GUI thread;
// the signals are all emitted there. The text callback appends to the samples under their
// own lock (sensors/text_data.h).
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "containers/avi_extractor.h"
#include "decoding/decoder.h"
#include "playback/player.h"
#include "playback/recording_sequence.h"
#include "tat/tat_parser.h"
#include "playback/wave_box.h"
#include "sensors/text_data.h"
#include "tat/trips.h"

struct TatHandle;
class VideoSurface;

class CPlaybackController : public QObject {
  Q_OBJECT

 public:
  // While a recording is open, positionChanged comes this often.
  static constexpr int kPositionRefreshMs = 1000;

  explicit CPlaybackController(QObject* parent = nullptr);
  ~CPlaybackController() override;  // Shutdown
  CPlaybackController(const CPlaybackController&) = delete;
  CPlaybackController& operator=(const CPlaybackController&) = delete;

  // Starts the engine: the card's recordings come from library's current card (not owned),
  // the pictures go to the panes (not owned; they must outlive Shutdown).
  void Start(TatHandle* library, VideoSurface* front, VideoSurface* rear);
  // Stops playback and the engine's threads. Safe to call twice.
  void Shutdown();

  // Stops what plays, empties the samples and plays name from its start: an AVI file named by
  // its absolute path (IsFileName), or the first recording of that whole name on the card in
  // use. A recording that cannot be read plays nothing and fails.
  void Open(const QString& name);
  // The same for a recording of a card, opened by its identity (its name is never read).
  void Open(const Recording& recording);
  // Whether name is an AVI file's path rather than a recording of the card.
  static bool IsFileName(const QString& name) { return name.startsWith(QLatin1Char('/')); }
  void Play();
  void Pause();
  // Closes the recording: nothing plays and nothing ends until the next Open.
  void Stop();
  void SeekToMs(int ms);  // exactly: the frame at ms
  // The card has gone: its reader lets go of its files.
  void ReleaseCard();

  // Plays the trip's recordings one after another without a stop, from recording first at
  // withinMs into it. The recording after the one playing is opened ahead in a second card
  // reader and queued in the player; one that cannot be opened is skipped (skipped).
  void OpenTrip(const roadkeep::tat::Trip& trip, size_t first, int64_t withinMs);
  // Played time in the trip (its first recording's start is 0); a time in another recording
  // than the one playing opens that one there.
  void SeekTrip(int64_t ms);
  bool InTrip() const { return !m_trip.recordings.empty(); }
  const roadkeep::tat::Trip& CurrentTrip() const { return m_trip; }
  // The trip's recording on screen and the played time in the trip; -1 / 0 outside a trip.
  int TripRecording() const;
  int64_t TripPositionMs() const;

  bool IsOpen() const { return m_open; }
  int PositionMs() const { return m_player.GetPositionMs(); }
  int DurationMs() const { return m_player.DurationMs(); }
  int CameraCount() const { return m_player.GetCameraCount(); }

  // Plays at speed from now on, across recordings; above 1x the position is reported more
  // often (at most 8 times a second), so the labels, graph and map keep up with it.
  void SetSpeed(double speed);
  CQMVMediaPlayer& Player() { return m_player; }
  const CQMVMediaPlayer& Player() const { return m_player; }
  CTextData& Samples() { return m_samples; }

 signals:
  // The position of the picture on screen, once a second while a recording is open.
  void positionChanged(qint64 ms);
  // The open recording has played to its end.
  void ended();
  // The open recording could not be read (why: a short sentence in the user's language is
  // the window's to choose; this is the engine's reason).
  void failed(QString why);
  // In a trip: the trip's recording index is the one that plays now (opened, or passed into
  // without a stop).
  void tripMoved(int index);
  // In a trip: the recording named could not be opened and is left out; the trip goes on.
  void skipped(QString name);

 private:
  static void OnPlayerStatus(void* self, int code, int a, int b);
  static void OnNextRecording(void* self, int tag);
  // Stops what plays and forgets the trip: later reports of it are dropped.
  void StopSequence();
  // Open's steps: source played through parser (not owned) from its start.
  void OpenSource(VMediaParser* parser, const MediaSource& source);

  // The engine. m_player last: it is shut down before the parts it uses go.
  CTATParser m_parser;
  CTATParser m_spareParser;  // a trip's next recording, opened ahead; then they swap roles
  CAVIExtractor m_fileParser;  // AVI files opened by path
  CDecoder m_decoder;
  CWaveBox m_audio;
  CTextData m_samples;
  CQMVMediaPlayer m_player;
  CRecordingSequence m_tripPlayer{m_player, m_parser, m_spareParser};

  // GUI thread only.
  QTimer m_positionTimer;
  bool m_open = false;
  bool m_shutDown = false;
  roadkeep::tat::Trip m_trip;  // empty outside a trip
  // Counts sequences (each Open, OpenTrip, Stop); a report queued by an older one is dropped.
  std::atomic<int> m_sequence{0};
};
