#include "playback/player.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "playback/audio.h"
#include "platform/video_surface.h"
#include "decoding/media_decoder.h"
#include "containers/media_parser.h"

// The timer resolution needs no raising here: sleeps are already millisecond-exact.
CQMVMediaPlayer::CQMVMediaPlayer()
    : m_readBuffer(kBufferBytes), m_frameBuffer(kBufferBytes) {}

CQMVMediaPlayer::~CQMVMediaPlayer() {
  ++m_ownersWaiting;
  m_mediaSync.WakeWaiters();
  m_worker.StopThread();
}

CQMVMediaPlayer::OwnerLock::OwnerLock(CQMVMediaPlayer& player) : m_player(player) {
  ++m_player.m_ownersWaiting;
  m_player.m_mediaSync.WakeWaiters();  // a front frame waiting for the audio is held instead
  m_player.m_lock.Lock();
  --m_player.m_ownersWaiting;
}

CQMVMediaPlayer::OwnerLock::~OwnerLock() { m_player.m_lock.Unlock(); }

void CQMVMediaPlayer::SetParser(VMediaParser* parser) {
  OwnerLock guard(*this);  // the worker reads through it under this lock
  m_parser = parser;
}

void CQMVMediaPlayer::SetNextCallback(NextCallback fn, void* user) {
  m_nextCallback = fn;
  m_nextUser = user;
}

void CQMVMediaPlayer::SetTextCallback(TextCallback fn, void* user) {
  m_textCallback = fn;
  m_textUser = user;
}

void CQMVMediaPlayer::SetStatusCallback(StatusCallback fn, void* user) {
  m_statusCallback = fn;
  m_statusUser = user;
}

bool CQMVMediaPlayer::StartEngine(VideoSurface* front, VideoSurface* rear) {
  m_frontSurface = front;
  m_rearSurface = rear;
  if (m_parser) m_parser->Start();
  if (m_decoder) {
    m_decoder->OpenCodecs();
    m_decoder->SetFramesAhead(kFramesAhead);
  }
  if (m_audio) m_audio->OpenOutput(m_audioBits, m_audioRate);
  m_mediaSync.SetAudio(m_audio);
  m_mediaSync.StartThread();
  m_worker.BeginThread(&CQMVMediaPlayer::ThreadStep, this, 0, 0);
  return true;
}

void CQMVMediaPlayer::Shutdown() {
  // Counted as a waiting owner, so a pump under way returns and the worker can end.
  ++m_ownersWaiting;
  m_mediaSync.WakeWaiters();
  m_worker.StopThread();
  --m_ownersWaiting;
  m_mediaSync.Clear();  // so its thread is not left waiting for the device
  m_mediaSync.StopThread();
  if (m_parser) m_parser->Stop();
  if (m_audio) m_audio->CloseOutput();
}

bool CQMVMediaPlayer::OpenMedia(const char* name, int tag) {
  return OpenMedia(MediaSource::Named(name ? name : ""), tag);
}

bool CQMVMediaPlayer::OpenMedia(const MediaSource& source, int tag) {
  m_command = kIdle;
  {
    OwnerLock guard(*this);
    m_open = true;  // even when the parser refuses it: the worker then reports the end
    ForgetQueued();
    m_shownTag = tag;
    MediaInfo info;
    if (m_parser && m_parser->OpenSource(source, &info) != 0) {
      int bits = m_audioBits, rate = m_audioRate;
      m_parser->GetAudioFormat(&bits, &rate);
      if (bits != m_audioBits || rate != m_audioRate) {
        m_audioBits = bits;
        m_audioRate = rate;
        if (m_audio) {
          m_audio->CloseOutput();
          m_audio->OpenOutput(bits, rate);
        }
      } else if (m_audio && !m_audio->IsReady()) {
        // A device that failed or stalled during an earlier recording gets another chance.
        m_audio->ReopenOutput();
      }
      m_stretch.SetFormat(m_audioBits, m_audioRate);
      TakeInfo(info);
      m_frontRate = m_parser->GetFrameRate(0);
      m_rearRate = m_parser->GetFrameRate(1);
    }
    m_currentFrame = 0;
    SetShownFrame(0);
    ResetPipeline();  // also empties the queues and restarts the pre-buffer
  }
  m_command = kPlay;
  return true;
}

void CQMVMediaPlayer::TakeInfo(const MediaInfo& info) {
  // Kept pictures are named by frame: they belong to the recording before.
  if (m_decoder) m_decoder->ForgetKeptPictures();
  m_keptPictures = false;
  m_pipelineAhead = false;
  // The recording's own streams decide, not its name.
  m_cameraCount = info.rearFrameCount > 0 ? 2 : 1;
  m_frontRate = info.frontFrameRate;
  m_rearRate = info.rearFrameRate;
  m_durationMs = 0;
  m_totalFrames = 0;
  if (info.frontFrameRate > 0) {
    // A header may promise any count: the length is held to what an int32 can carry.
    m_durationMs = static_cast<int32_t>(
        std::min(static_cast<double>(info.frontFrameCount) / info.frontFrameRate * 1000.0,
                 static_cast<double>(INT32_MAX)));
    m_totalFrames = info.frontFrameCount;
  }
}

void CQMVMediaPlayer::QueueNext(VMediaParser* parser, const MediaInfo& info, int tag) {
  OwnerLock guard(*this);
  if (!m_open || parser == nullptr) return;
  m_next = Queued{parser, info, tag};
  m_nextQueued = true;
}

void CQMVMediaPlayer::ForgetQueued() {
  m_next = Queued{};
  m_nextQueued = false;
  m_entering = Queued{};
  m_left = nullptr;
}

void CQMVMediaPlayer::StopMedia() {
  m_command = kIdle;
  OwnerLock guard(*this);
  m_status = kStopped;
  m_open = false;
  // Closes the one being read; a queued or left parser is the owner's to close.
  if (m_parser) m_parser->Close();
  if (m_entering.parser != nullptr) m_parser = m_left;
  ForgetQueued();
  ResetPipeline();
}

bool CQMVMediaPlayer::SeekToMs(int ms, bool exact) {
  const int frame = static_cast<int>(
      std::clamp<int64_t>(static_cast<int64_t>(m_frontRate) * ms / 1000, 0, INT32_MAX / 2 - 1));
  if (m_command != kIdle) {
    m_seekRequest = frame * 2 + (exact ? 1 : 0);
    return true;
  }
  {
    OwnerLock guard(*this);
    // A stopped player has nothing to show: its parser is closed.
    if (!m_open) return true;
    MoveToFrame(frame, exact);
  }
  m_command = kShowOneFrame;
  return true;
}

void CQMVMediaPlayer::SeekToFrame(int frame) {
  frame = std::clamp(frame, 0, INT32_MAX / 2 - 1);
  if (m_command != kIdle) {
    m_seekRequest = frame * 2 + 1;
    return;
  }
  {
    OwnerLock guard(*this);
    if (!m_open) return;
    MoveToFrame(frame, true);
  }
  m_command = kShowOneFrame;
}

void CQMVMediaPlayer::StepFrames(int delta) {
  if (m_command != kIdle || delta == 0) return;
  {
    OwnerLock guard(*this);
    if (!m_open || m_totalFrames <= 0) return;
    SettleAhead();
    const int shown = static_cast<int32_t>(m_shownPlace.load() & 0xFFFFFFFF);
    const int target = std::clamp(shown + delta, 0, m_totalFrames - 1);
    if (target == shown || ShowKept(target)) return;
    if (target == m_currentFrame && target == shown + 1 && !m_pipelineAhead) {
      // The next frame out of the pipeline: decoded as it comes, nothing read again.
      m_showFrom = target;
    } else {
      MoveToFrame(target, true);
    }
  }
  m_command = kShowOneFrame;
}

bool CQMVMediaPlayer::ShowKept(int target) {
  if (m_decoder == nullptr) return false;
  const int64_t place = PlaceOf(target);
  // The rear camera first: a front picture restored without it would pair it with another.
  if (m_cameraCount == 2 && !m_decoder->ShowKeptPicture(1, place, m_rearSurface)) return false;
  if (!m_decoder->ShowKeptPicture(0, place, m_frontSurface)) return false;
  SetShownFrame(target);
  m_pipelineAhead = target + 1 != m_currentFrame;
  m_status = kStill;
  return true;
}

void CQMVMediaPlayer::DeliverText(const uint8_t* bytes, int size) {
  if (m_textCallback) {
    m_textCallback(m_textUser, reinterpret_cast<const char*>(bytes), size, TimeOfFrameMs(m_currentFrame));
  }
}

int CQMVMediaPlayer::TimeOfFrameMs(int frame) const {
  const int rate = m_frontRate;
  return static_cast<int>(static_cast<int64_t>(frame) * 1000 / (rate != 0 ? rate : 30));
}

int CQMVMediaPlayer::GetPositionMs() const { return GetPlace(nullptr); }

int CQMVMediaPlayer::GetPlace(int* tag) const {
  const int64_t place = m_shownPlace;
  if (tag != nullptr) *tag = static_cast<int>(place >> 32);
  return TimeOfFrameMs(static_cast<int32_t>(place & 0xFFFFFFFF));
}

int CQMVMediaPlayer::GetCameraCount() const {
  const int count = m_cameraCount;
  if (count > 0) return count;
  return m_rearRate != 0 ? 2 : 1;
}

void CQMVMediaPlayer::RedrawStill() {
  if (m_command != kIdle || m_decoder == nullptr) return;
  OwnerLock guard(*this);
  SettleAhead();
  m_decoder->RedrawFrame(0, m_frontSurface);
  m_decoder->RedrawFrame(1, m_rearSurface);
}

bool CQMVMediaPlayer::SaveSnapshot(int camera, const char* path) {
  if (m_status == kStopped || m_decoder == nullptr) return false;
  OwnerLock guard(*this);
  if (m_command == kIdle) SettleAhead();
  return m_decoder->SaveFrame(camera, path);
}

void CQMVMediaPlayer::SetCameraBrightness(int camera, int level) {
  if (m_decoder) m_decoder->SetBrightness(camera, level);
}

void CQMVMediaPlayer::SetCameraFlip(int camera, int mode) {
  if (m_decoder) m_decoder->SetFlipMode(camera, mode);
}

void CQMVMediaPlayer::SettleAhead() {
  if (m_ahead.empty() || m_decoder == nullptr) return;
  // The next front frame out of the queue comes after the ones dropped.
  for (const Ahead& entry : m_ahead) {
    if (entry.kind == CPacketQueue::kFront) ++m_currentFrame;
  }
  // The rear picture on screen is the one behind the front frame on screen once its own
  // rear frames are out, else the one behind the frame before.
  const int shown = static_cast<int32_t>(m_shownPlace.load() & 0xFFFFFFFF);
  auto next = m_ahead.begin();
  while (next != m_ahead.end() && next->kind == CPacketQueue::kText) ++next;
  const bool rearBehind = next == m_ahead.end() || next->kind != CPacketQueue::kRear;
  m_ahead.clear();
  if (m_cameraCount == 2) m_decoder->ShowKeptPicture(1, PlaceOf(rearBehind ? shown : shown - 1), nullptr);
  m_decoder->ShowKeptPicture(0, m_shownPlace, nullptr);
  m_keptPictures = true;
  m_pipelineAhead = true;
}

void CQMVMediaPlayer::ResetPipeline() {
  m_ahead.clear();
  m_awaitFrontKey = true;
  m_awaitRearKey = true;
  m_droppedBeforeKey = false;
  m_packets.Clear();
  m_heldFrontSize = 0;
  m_framesQueued = 0;
  m_preBuffering = true;
  m_readError = false;
  m_showFrom = -1;
  m_frontRead = -1;
  if (m_decoder) {
    m_decoder->Flush(0);
    m_decoder->Flush(1);
  }
  // Audio of the old position must not play over the new one.
  m_stretch.Clear();
  m_mediaSync.Clear();
}

void CQMVMediaPlayer::MoveToFrame(int frame, bool exact) {
  if (m_totalFrames <= 0) return;
  m_pipelineAhead = false;
  TakeBackNext();
  const int rate = m_frontRate;
  int current = frame < 0 ? 0 : (frame >= m_totalFrames ? m_totalFrames - 1 : frame);
  const int target = current;
  m_currentFrame = current;
  if (m_parser && rate > 0) {
    const int reached = m_parser->SeekToTime(static_cast<float>(current) / static_cast<float>(rate));
    if (m_parser->SeekReportsTime()) {
      // The whole second reached is only a bound; the frame reached, when the parser knows
      // it, is the one about to be shown.
      const int reachedFrame = m_parser->FrameReached();
      current = reachedFrame >= 0 ? reachedFrame : reached * rate;
    }
  }
  m_currentFrame = current;
  ResetPipeline();
  if (exact && current < target) {
    // The unit's frames before the target are decoded unseen; the position is the target's.
    m_showFrom = target;
    m_frontRead = current - 1;
    current = target;
  }
  SetShownFrame(current);
}

void CQMVMediaPlayer::TakeBackNext() {
  if (m_entering.parser == nullptr) return;
  // The read side is ahead in the next recording while the old one is on screen: the seek
  // is in the one shown, and the next starts again from its beginning.
  m_entering.parser->SeekToTime(0.0F);
  m_next = std::move(m_entering);
  m_nextQueued = true;
  m_entering = Queued{};
  m_parser = m_left;
  m_left = nullptr;
}

void CQMVMediaPlayer::ReadOnFromNext() {
  m_left = m_parser;
  m_entering = std::move(m_next);
  m_next = Queued{};
  m_nextQueued = false;
  m_parser = m_entering.parser;
  m_readError = false;
  m_awaitRearKey = true;  // a rear camera starts again at its key frame
  static constexpr uint8_t kMarker = 1;
  m_packets.Push(CPacketQueue::kNextRecording, &kMarker, 1);
}

void CQMVMediaPlayer::EnterNext() {
  if (m_entering.parser == nullptr) return;
  TakeInfo(m_entering.info);
  m_shownTag = m_entering.tag;
  m_showFrom = -1;
  m_currentFrame = 0;
  SetShownFrame(0);
  m_entering = Queued{};
  m_left = nullptr;
  if (m_nextCallback) m_nextCallback(m_nextUser, m_shownTag);
}
