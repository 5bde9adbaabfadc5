#include "app/playback_controller.h"

#include <QFile>
#include <QMetaObject>

CPlaybackController::CPlaybackController(QObject* parent) : QObject(parent) {
  m_player.SetStatusCallback(&CPlaybackController::OnPlayerStatus, this);
  m_player.SetTextCallback(&CTextData::TextCallback, &m_samples);
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

void CPlaybackController::Open(const QString& name) {
  m_player.PausePlayback();
  m_player.StopMedia();
  m_samples.Clear();
  m_open = true;
  m_player.SetParser(IsFileName(name) ? static_cast<VMediaParser*>(&m_fileParser) : &m_parser);
  m_player.OpenMedia(IsFileName(name) ? QFile::encodeName(name).constData()
                                      : name.toLocal8Bit().constData());
  m_positionTimer.start();
}

void CPlaybackController::Play() { m_player.ResumePlayback(); }
void CPlaybackController::Pause() { m_player.PausePlayback(); }

void CPlaybackController::Stop() {
  m_player.PausePlayback();
  m_player.StopMedia();
  m_positionTimer.stop();
  m_open = false;
}

void CPlaybackController::SeekToMs(int ms) { m_player.SeekToMs(ms); }

void CPlaybackController::ReleaseCard() { m_parser.OnCardRemoved(); }
