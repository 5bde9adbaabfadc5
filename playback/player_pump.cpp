// The player's worker: ThreadStep and the pump that moves chunks from the parser through
// the packet queue to the decoder, the media clock and the text callback.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "decoding/media_decoder.h"
#include "containers/media_parser.h"
#include "playback/player.h"
#include "platform/video_surface.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IsKeyFrame(const uint8_t* data, int size) { return size > 4 && data[4] != 0x41; }

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool IsActive(int command) {
  return command == CQMVMediaPlayer::kPlay || command == CQMVMediaPlayer::kShowOneFrame;
}

int CameraOf(const char id[4]) {
  if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return -1;
  return (id[0] - '0') * 10 + (id[1] - '0');
}

}  // namespace

bool CQMVMediaPlayer::ThreadStep(void* self) {
  static_cast<CQMVMediaPlayer*>(self)->Step();
  return true;
}

void CQMVMediaPlayer::Step() {
  if (!IsActive(m_command)) {
    SleepMs(10);
    m_stepRequest = 0;  // requests made while idle are dropped
    m_seekRequest = -1;
    return;
  }
  bool more = true;
  bool ended = false;
  bool failed = false;  // ended because the recording could not be read
  {
    CSyncGuard guard(m_lock);
    // Read again under the lock: a StopMedia or OpenMedia that held it may have idled the
    // command, and a status written now would overwrite theirs.
    const int command = m_command;
    if (!IsActive(command)) return;
    // After StopMedia there is nothing to play (a resume or a seek on a stopped player):
    // the parser is closed, and running out of it is no end of a recording.
    more = m_open && Pump();
    if (!more) {
      ended = m_open;
      failed = ended && m_readError;
      m_status = kStopped;
      m_command = kIdle;
    } else if (command == kPlay) {
      m_status = kPlaying;
    }
  }
  if (ended && m_statusCallback) m_statusCallback(m_statusUser, 1, failed ? 1 : 0, 0);
  SleepMs(1);
}

bool CQMVMediaPlayer::Pump() {
  while (m_command != kIdle) {
    // An owner call waits for the lock: let the step release it.
    if (m_ownersWaiting.load() > 0) return true;
    if (m_speed.load() != m_playedSpeed) TakeSpeed();
    if (m_command == kPlay) LeaveSteps();
    if (const int step = m_stepRequest.exchange(0); step != 0) {
      MoveToFrame(m_currentFrame + step, false);
    }
    if (const int seek = m_seekRequest.exchange(-1); seek >= 0) MoveToFrame(seek / 2, seek % 2 != 0);
    // A front packet held back for an owner is this turn's output.
    if (m_heldFrontSize > 0) {
      if (!OutputHeldFront()) return true;
      continue;
    }
    char id[4] = {};
    int size = kBufferBytes;
    const ChunkStatus read =
        m_parser ? m_parser->NextChunk(id, m_readBuffer.data(), &size) : ChunkStatus::kEnd;
    // A card that gives nothing for a while has not ended: wait for it at the next turn.
    if (read == ChunkStatus::kNoData) return true;
    bool ready = false;
    if (read != ChunkStatus::kChunk && m_next.parser != nullptr) {
      // The recording queued after this one is read on at once; a read error ends this
      // one as its end would (the window names it).
      ReadOnFromNext();
      continue;
    }
    if (read != ChunkStatus::kChunk) {
      m_readError = read == ChunkStatus::kError;
      ready = true;  // end or error: drain what is queued
    } else {
      if (!HandleChunk(id, size, &ready)) return true;
      if (m_preBuffering) return true;
    }
    if (ready) {
      // While the read side is ahead in the next recording, which may have another camera
      // count, one front frame read lets out the shown one's packets up to a front frame:
      // so reading keeps the pace of the picture, and the sound read with it too.
      const Output output = OutputOne(read == ChunkStatus::kChunk && m_entering.parser != nullptr);
      if (output == Output::kEmpty) return false;
      if (output == Output::kHeld) return true;
    }
  }
  return true;
}

bool CQMVMediaPlayer::HandleChunk(const char id[4], int size, bool* ready) {
  // A text chunk gets a zero byte after it, so every chunk must leave room for one.
  if (size < 0 || size >= kBufferBytes) return false;
  if (id[2] == 't' && id[3] == 'x') {
    m_readBuffer[static_cast<size_t>(size)] = 0;
    m_packets.Push(CPacketQueue::kText, m_readBuffer.data(), size + 1);
    return false;
  }
  if (size == 0) return false;
  if (id[2] == 'd' && id[3] == 'c') {
    const int camera = CameraOf(id);
    return camera >= 0 && HandleVideo(camera, size, ready);
  }
  if (id[2] == 'w' && id[3] == 'b') {
    // Sound goes with the frames read before it: none before the target of an exact seek.
    if (m_awaitFrontKey || m_frontRead < m_showFrom) return false;
    if (m_command != kShowOneFrame) PushSound(m_readBuffer.data(), size);
    return true;
  }
  return false;
}

void CQMVMediaPlayer::LeaveSteps() {
  if (m_keptPictures) {
    m_decoder->ForgetKeptPictures();
    m_keptPictures = false;
  }
  if (m_pipelineAhead) MoveToFrame(static_cast<int32_t>(m_shownPlace.load() & 0xFFFFFFFF) + 1, true);
}

void CQMVMediaPlayer::TakeSpeed() {
  m_playedSpeed = m_speed.load();
  m_stretch.SetSpeed(m_playedSpeed);
  m_mediaSync.Clear();
  m_pacer.Restart();
}

void CQMVMediaPlayer::PushSound(const uint8_t* pcm, int size) {
  if (m_playedSpeed == 1.0) {
    m_mediaSync.PushPcm(pcm, size);
    return;
  }
  m_stretched.clear();
  if (!m_stretch.Process(pcm, size, &m_stretched)) return;
  for (size_t at = 0; at < m_stretched.size(); at += CMediaSync::kMaxPcmBytes) {
    const size_t piece = std::min<size_t>(CMediaSync::kMaxPcmBytes, m_stretched.size() - at);
    m_mediaSync.PushPcm(m_stretched.data() + at, static_cast<int>(piece));
  }
}

bool CQMVMediaPlayer::HandleVideo(int camera, int size, bool* ready) {
  const bool key = IsKeyFrame(m_readBuffer.data(), size);
  if (m_awaitFrontKey) {
    if (camera == 0 && !key) {
      // A front frame before the first key frame (the unit's key frame was damaged and
      // skipped): it cannot be shown, and the frames counted start after it.
      ++m_currentFrame;
      ++m_frontRead;
      m_droppedBeforeKey = true;
    }
    if (camera != 0 || !key) return false;
    const int unit = m_parser != nullptr ? m_parser->UnitFrames() : 0;
    if (m_droppedBeforeKey && unit > 0) {
      // Key frames begin the units: the damaged one was counted by none of the frames.
      m_currentFrame = (m_currentFrame + unit - 1) / unit * unit;
      m_frontRead = m_currentFrame - 1;
    }
    m_droppedBeforeKey = false;
    m_packets.Clear();
    m_framesQueued = 0;
    m_preBuffering = true;
    m_awaitFrontKey = false;
  }
  if (camera == 0) {
    ++m_frontRead;
    m_packets.Push(CPacketQueue::kFront, m_readBuffer.data(), size);
    ++m_framesQueued;
    if (m_preBuffering) {
      // A single frame needs no store of frames ahead, only the front frame after it, so
      // that the rear frames written behind it are read too.
      const int ahead = m_command == kPlay ? kPreBufferMs * m_frontRate / 1000 : 2;
      if (m_framesQueued < ahead) return false;
      m_preBuffering = false;
    }
    *ready = true;
    return true;
  }
  if (m_awaitRearKey) {
    if (!key) return false;
    m_awaitRearKey = false;
  }
  m_packets.Push(CPacketQueue::kRear, m_readBuffer.data(), size);
  if (m_entering.parser != nullptr) return false;  // see Pump: front frames set the pace
  *ready = true;
  return true;
}

CQMVMediaPlayer::Output CQMVMediaPlayer::OutputOne(bool untilFront) {
  if (m_ahead.empty() && DecodesAhead()) FillAhead();
  for (;;) {
    if (!m_ahead.empty()) {
      const Output output = OutputAhead(untilFront);
      if (output != Output::kEmpty) return output;
      continue;
    }
    int size = 0;
    int32_t kind = 0;
    if (!m_packets.Pop(m_frameBuffer.data(), kBufferBytes, &size, &kind)) return Output::kEmpty;
    if (kind == CPacketQueue::kNextRecording) {
      EnterNext();
      continue;
    }
    if (kind == CPacketQueue::kText) {
      DeliverText(m_frameBuffer.data(), size);
      continue;
    }
    if (kind == CPacketQueue::kRear) {
      OutputRear(size);
      if (untilFront) continue;
      return Output::kShown;
    }
    m_heldFrontSize = size;
    return OutputHeldFront() ? Output::kShown : Output::kHeld;
  }
}

bool CQMVMediaPlayer::DecodesAhead() const {
  if (m_command != kPlay || m_playedSpeed > 1.0 || m_keyOnly || m_entering.parser != nullptr ||
      m_currentFrame <= m_showFrom || m_decoder == nullptr || m_frontSurface == nullptr) {
    return false;
  }
  int width = 0, height = 0, rearWidth = 0, rearHeight = 0;
  m_frontSurface->GetSize(&width, &height);
  if (m_rearSurface != nullptr) m_rearSurface->GetSize(&rearWidth, &rearHeight);
  const int64_t bytes = (static_cast<int64_t>(width) * height + static_cast<int64_t>(rearWidth) * rearHeight) * 4;
  return bytes * kFramesAhead <= kAheadBytes;
}

void CQMVMediaPlayer::FillAhead() {
  const auto start = std::chrono::steady_clock::now();
  int fronts = 0;
  while (fronts < kFramesAhead) {
    int size = 0;
    int32_t kind = 0;
    // A marker stays in the queue: the read side has begun the next recording only after
    // the burst was taken, and the packets before it come out of the queue as they are.
    if (m_packets.NextKind() == CPacketQueue::kNextRecording) break;
    if (!m_packets.Pop(m_frameBuffer.data(), kBufferBytes, &size, &kind)) break;
    Ahead& entry = m_ahead.emplace_back();
    entry.kind = kind;
    if (kind == CPacketQueue::kText) {
      entry.bytes.assign(m_frameBuffer.begin(), m_frameBuffer.begin() + size);
      continue;
    }
    const bool front = kind == CPacketQueue::kFront;
    const int frame = m_currentFrame + fronts;
    // As for single frames, the pictures are kept, so that a pause can show the decoder's
    // pictures of the frame on screen again (SettleAhead).
    if (front && frame > 0 && m_cameraCount == 2) m_decoder->KeepPicture(1, PlaceOf(frame - 1));
    m_decoder->DecodeToFrame(front ? 0 : 1, front ? m_frontSurface : m_rearSurface,
                             m_frameBuffer.data(), size, &entry.picture);
    if (front) {
      m_decoder->KeepPicture(0, PlaceOf(frame));
      ++fronts;
    }
  }
  if (fronts > 0) m_decodeCostMs = 0.7 * m_decodeCostMs + 0.3 * MsSince(start) / fronts;
}

CQMVMediaPlayer::Output CQMVMediaPlayer::OutputAhead(bool untilFront) {
  while (!m_ahead.empty()) {
    Ahead& head = m_ahead.front();
    if (head.kind == CPacketQueue::kText) {
      DeliverText(head.bytes.data(), static_cast<int>(head.bytes.size()));
      m_ahead.pop_front();
      continue;
    }
    if (head.kind == CPacketQueue::kRear) {
      if (!head.picture.empty()) m_rearSurface->ShowFrame(head.picture);
      m_ahead.pop_front();
      if (untilFront) continue;
      return Output::kShown;
    }
    if (!m_mediaSync.WaitForAudio(&m_ownersWaiting)) return Output::kHeld;
    if (m_pacer.Pace(m_frontRate, m_playedSpeed, &m_ownersWaiting) < 0) return Output::kHeld;
    SetShownFrame(m_currentFrame.fetch_add(1));
    if (!head.picture.empty()) m_frontSurface->ShowFrame(head.picture);
    m_ahead.pop_front();
    return Output::kShown;
  }
  return Output::kEmpty;
}

bool CQMVMediaPlayer::OutputHeldFront() {
  // The device's pace sets the frames' pace; an owner waiting for the lock ends the wait,
  // and the packet is shown at the next turn. Frames decoded unseen wait for nothing.
  const int size = m_heldFrontSize;
  if (m_currentFrame >= m_showFrom) {
    if (!m_mediaSync.WaitForAudio(&m_ownersWaiting)) return false;
    if (LeavesOutFront(IsKeyFrame(m_frameBuffer.data(), size))) {
      m_heldFrontSize = 0;
      ++m_currentFrame;
      m_pacer.Skip(m_frontRate, m_playedSpeed);
      return true;
    }
    // A single frame (a step, a seek while paused) is shown as soon as it is decoded.
    if (m_command == kPlay && m_pacer.Pace(m_frontRate, m_playedSpeed, &m_ownersWaiting) < 0) {
      return false;
    }
  }
  m_heldFrontSize = 0;
  OutputFront(size);
  return true;
}

bool CQMVMediaPlayer::LeavesOutFront(bool key) {
  if (m_command != kPlay) return false;
  if (key) {
    // Decided at each key frame, so a run of frames is either all decoded or all left out
    // after it, and the codec never meets a frame whose reference it did not see. While key
    // frames only are shown, every 16th run is decoded whole to measure the cost again.
    const double period = CFramePacer::PeriodMs(m_frontRate, m_playedSpeed);
    const bool behind = m_playedSpeed > 1.0 && m_decodeCostMs > 0.9 * period;
    m_keyOnlyRuns = behind && m_keyOnly ? m_keyOnlyRuns + 1 : 0;
    m_keyOnly = behind && m_keyOnlyRuns % 16 != 15;
    return false;
  }
  return m_keyOnly;
}

bool CQMVMediaPlayer::LeavesOutRear(bool key) {
  if (m_command != kPlay) return false;
  if (key) {
    m_rearLeftOut = m_keyOnly;
    return false;
  }
  if (m_keyOnly) m_rearLeftOut = true;
  return m_rearLeftOut;
}

void CQMVMediaPlayer::OutputRear(int size) {
  // Unseen while the front has not reached the target of an exact seek.
  const bool reached = m_currentFrame > m_showFrom;
  const bool show = m_command != kShowOneFrame && reached;
  if (LeavesOutRear(IsKeyFrame(m_frameBuffer.data(), size))) return;
  const auto start = std::chrono::steady_clock::now();
  if (m_decoder == nullptr ||
      !m_decoder->DecodeAndShow(1, m_rearSurface, m_frameBuffer.data(), size, show)) {
    return;
  }
  if (show) m_rearCostMs += MsSince(start);
  // One frame: both cameras at the front frame's time, so the rear frames written behind it
  // too.
  if (m_command == kShowOneFrame && reached && m_packets.NextKind() != CPacketQueue::kRear) {
    ShowStill();
  }
}

void CQMVMediaPlayer::ShowStill() {
  m_decoder->KeepPicture(1, m_shownPlace);
  m_keptPictures = true;
  m_status = kStill;
  m_decoder->RedrawFrame(0, m_frontSurface);
  m_decoder->RedrawFrame(1, m_rearSurface);
  m_command = kIdle;
}

void CQMVMediaPlayer::OutputFront(int size) {
  const int frame = m_currentFrame.fetch_add(1);
  const bool unseen = frame < m_showFrom;  // before the target of an exact seek
  const bool show = m_command != kShowOneFrame && !unseen;
  if (!unseen) SetShownFrame(frame);
  // Single frames keep their pictures, so that steps back among them need no decoding: the
  // rear picture as it stands behind the frame before, the front one once decoded.
  const bool keep = m_command == kShowOneFrame && m_decoder != nullptr;
  if (keep && frame > 0 && m_cameraCount == 2) m_decoder->KeepPicture(1, PlaceOf(frame - 1));
  const auto start = std::chrono::steady_clock::now();
  if (m_decoder == nullptr ||
      !m_decoder->DecodeAndShow(0, m_frontSurface, m_frameBuffer.data(), size, show)) {
    return;
  }
  if (keep) {
    m_decoder->KeepPicture(0, PlaceOf(frame));
    m_keptPictures = true;
  }
  if (show && !m_keyOnly) {
    // What showing every frame costs, from the frames shown while all of them are.
    m_decodeCostMs = 0.9 * m_decodeCostMs + 0.1 * (MsSince(start) + m_rearCostMs);
  }
  m_rearCostMs = 0;
  if (m_command != kShowOneFrame || unseen) return;
  if (m_cameraCount != 2) {
    m_status = kStopped;
    m_decoder->RedrawFrame(0, m_frontSurface);
    m_command = kIdle;
  } else if (frame >= m_showFrom && m_packets.NextKind() != CPacketQueue::kRear) {
    // The target of an exact seek with no rear frame written behind it: the rear camera's
    // picture is its last one up to it. Else the rear frames behind it end the step.
    ShowStill();
  }
}
