#include "app/playback_controller.h"

#include <algorithm>

#include <QFile>
#include <QMetaObject>

CPlaybackController::CPlaybackController(QObject* parent) : QObject(parent) {
  m_player.SetStatusCallback(&CPlaybackController::OnPlayerStatus, this);
  m_player.SetTextCallback(&CTextData::TextCallback, &m_samples);
  m_player.SetNextCallback(&CPlaybackController::OnNextRecording, this);
  m_tripPlayer.SetSkipped([this](size_t index) {
    emit skipped(QString::fromStdString(m_trip.recordings[index].name));
  });
  m_player.SetParser(&m_parser);
  m_player.SetDecoder(&m_decoder);
  m_player.SetAudio(&m_audio);
  m_positionTimer.setInterval(kPositionRefreshMs);
  connect(&m_positionTimer, &QTimer::timeout, this,
          [this] { emit positionChanged(m_player.GetPositionMs()); });
}

CPlaybackController::~CPlaybackController() { Shutdown(); }

void CPlaybackController::Start(TatHandle* library, VideoSurface* front, VideoSurface* rear) {
  m_parser.SetLibrary(library);
  m_spareParser.SetLibrary(library);
  m_spareParser.Start();
  m_fileParser.Start();
  m_player.StartEngine(front, rear);
}

void CPlaybackController::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  m_positionTimer.stop();
  // Stop first: the worker then leaves its pump turn at once, so the shutdown never waits
  // for a recording to play out.
  m_player.PausePlayback();
  m_player.StopMedia();
  m_player.SetParser(&m_parser);  // the one the engine started with, which it stops
  m_player.Shutdown();
  m_parser.OnCardRemoved();
  m_spareParser.Stop();
  m_spareParser.OnCardRemoved();
  m_fileParser.Stop();
  m_open = false;
}

void CPlaybackController::OnPlayerStatus(void* self, int code, int a, int) {
  if (code != 1) return;
  // On the player's worker: only queues; the controller acts on the GUI thread. A call
  // queued for a controller already gone is dropped.
  auto* controller = static_cast<CPlaybackController*>(self);
  QMetaObject::invokeMethod(
      controller,
      [controller, failed = a != 0] {
        // An end that a Stop or another Open overtook is not this recording's.
        if (!controller->m_open || controller->m_player.Status() != CQMVMediaPlayer::kStopped) {
          return;
        }
        controller->m_open = false;
        controller->m_positionTimer.stop();
        if (failed) {
          emit controller->failed(QStringLiteral("the recording could not be read"));
        } else {
          emit controller->ended();
        }
      },
      Qt::QueuedConnection);
}

void CPlaybackController::StopSequence() {
  m_tripPlayer.Stop();
  ++m_sequence;  // after the stop: no report of the old trip comes later than this
  m_trip = roadkeep::tat::Trip{};
}

void CPlaybackController::Open(const QString& name) {
  if (IsFileName(name)) {
    OpenSource(&m_fileParser, MediaSource::Named(QFile::encodeName(name).toStdString()));
  } else {
    OpenSource(&m_parser, MediaSource::Named(name.toLocal8Bit().toStdString()));
  }
}

void CPlaybackController::Open(const Recording& recording) {
  OpenSource(&m_parser, recording.Identity());
}

void CPlaybackController::OpenSource(VMediaParser* parser, const MediaSource& source) {
  StopSequence();
  m_samples.Clear();
  m_open = true;
  m_player.SetParser(parser);
  m_player.OpenMedia(source);
  m_positionTimer.start();
}

void CPlaybackController::OpenTrip(const roadkeep::tat::Trip& trip, size_t first, int64_t withinMs) {
  StopSequence();
  m_samples.Clear();
  if (trip.recordings.empty()) return;
  m_trip = trip;
  m_open = true;
  std::vector<MediaSource> sources;
  for (const Recording& recording : m_trip.recordings) sources.push_back(recording.Identity());
  const size_t playing = m_tripPlayer.Open(std::move(sources), first, static_cast<int>(withinMs));
  m_positionTimer.start();
  emit tripMoved(static_cast<int>(playing));
}

void CPlaybackController::OnNextRecording(void* self, int tag) {
  // On the player's worker, its lock held: the samples are the new recording's from here.
  auto* controller = static_cast<CPlaybackController*>(self);
  controller->m_samples.Clear();
  QMetaObject::invokeMethod(
      controller,
      [controller, tag, sequence = controller->m_sequence.load()] {
        if (sequence != controller->m_sequence || !controller->InTrip()) return;
        controller->m_tripPlayer.Entered(tag);
        emit controller->tripMoved(tag);
      },
      Qt::QueuedConnection);
}

int CPlaybackController::TripRecording() const {
  if (!InTrip()) return -1;
  int tag = 0;
  m_player.GetPlace(&tag);
  return std::clamp(tag, 0, static_cast<int>(m_trip.recordings.size()) - 1);
}

int64_t CPlaybackController::TripPositionMs() const {
  if (!InTrip()) return 0;
  int tag = 0;
  const int ms = m_player.GetPlace(&tag);
  if (tag < 0 || static_cast<size_t>(tag) >= m_trip.recordings.size()) return 0;
  return m_trip.OffsetMs(static_cast<size_t>(tag)) + ms;
}

void CPlaybackController::SeekTrip(int64_t ms) {
  if (!InTrip()) return;
  int64_t within = 0;
  const size_t index = m_trip.RecordingAt(ms, &within);
  if (static_cast<int>(index) == TripRecording() && m_open) {
    m_player.SeekToMs(static_cast<int>(within), true);
    return;
  }
  // Another recording: opened there, playing on when it played, else showing that frame.
  const bool paused = m_player.CommandValue() == CQMVMediaPlayer::kIdle;
  const roadkeep::tat::Trip trip = m_trip;
  OpenTrip(trip, index, paused ? 0 : within);
  if (paused) {
    m_player.PausePlayback();
    m_player.SeekToMs(static_cast<int>(within), true);
  }
}

void CPlaybackController::Play() { m_player.ResumePlayback(); }
void CPlaybackController::Pause() { m_player.PausePlayback(); }

void CPlaybackController::Stop() {
  StopSequence();
  m_positionTimer.stop();
  m_open = false;
}

void CPlaybackController::SeekToMs(int ms) { m_player.SeekToMs(ms, true); }

void CPlaybackController::ReleaseCard() {
  m_parser.OnCardRemoved();
  m_spareParser.OnCardRemoved();
}

void CPlaybackController::SetSpeed(double speed) {
  m_player.SetSpeed(speed);
  m_positionTimer.setInterval(std::max(125, static_cast<int>(kPositionRefreshMs / std::max(1.0, speed))));
}
