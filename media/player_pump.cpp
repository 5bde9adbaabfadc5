// The player's worker: ThreadStep and the pump that moves chunks from the parser through
// the packet queue to the decoder, the media clock and the text callback.
#include <chrono>
#include <cstring>
#include <thread>

#include "media/media_decoder.h"
#include "media/media_parser.h"
#include "media/player.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IsKeyFrame(const uint8_t* data, int size) { return size > 4 && data[4] != 0x41; }

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
  {
    CSyncGuard guard(m_lock);
    // Read again under the lock: a StopMedia or OpenMedia that held it may have idled the
    // command, and a status written now would overwrite theirs.
    const int command = m_command;
    if (!IsActive(command)) return;
    more = Pump();
    if (!more) {
      m_status = kStopped;
      m_command = kIdle;
    } else if (command == kPlay) {
      m_status = kPlaying;
    }
  }
  if (!more && m_statusCallback) m_statusCallback(m_statusUser, 1, 0, 0);
  SleepMs(1);
}

bool CQMVMediaPlayer::Pump() {
  while (m_command != kIdle) {
    if (const int step = m_stepRequest.exchange(0); step != 0) {
      SeekToFrame(m_currentFrame + step);
    }
    if (const int seek = m_seekRequest.exchange(-1); seek >= 0) SeekToFrame(seek);
    char id[4] = {};
    int size = kBufferBytes;
    const int rc = m_parser ? m_parser->ReadChunk(id, m_readBuffer.data(), &size) : -1;
    bool ready = false;
    if (rc < 0) {
      ready = true;  // end or error: drain what is queued
    } else if (rc > 0) {
      if (!HandleChunk(id, size, &ready)) return true;
      if (m_preBuffering) return true;
    }
    if (ready && !OutputOne()) return false;
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
    if (m_awaitFrontKey) return false;
    if (m_command != kShowOneFrame) m_mediaSync.PushPcm(m_readBuffer.data(), size);
    return true;
  }
  return false;
}

bool CQMVMediaPlayer::HandleVideo(int camera, int size, bool* ready) {
  const bool key = IsKeyFrame(m_readBuffer.data(), size);
  if (m_awaitFrontKey) {
    if (camera != 0 || !key) return false;
    m_packets.Clear();
    m_framesQueued = 0;
    m_preBuffering = true;
    m_awaitFrontKey = false;
  }
  if (camera == 0) {
    m_packets.Push(CPacketQueue::kFront, m_readBuffer.data(), size);
    ++m_framesQueued;
    if (m_preBuffering) {
      if (m_framesQueued < kPreBufferMs * m_frontRate / 1000) return false;
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
  *ready = true;
  return true;
}

bool CQMVMediaPlayer::OutputOne() {
  for (;;) {
    int size = 0;
    int32_t kind = 0;
    if (!m_packets.Pop(m_frameBuffer.data(), kBufferBytes, &size, &kind)) return false;
    if (kind == CPacketQueue::kText) {
      if (m_textCallback) {
        m_textCallback(m_textUser, reinterpret_cast<const char*>(m_frameBuffer.data()), size,
                       TimeOfFrameMs(m_currentFrame));
      }
      continue;
    }
    if (kind == CPacketQueue::kRear) {
      OutputRear(size);
    } else {
      OutputFront(size);
    }
    return true;
  }
}

void CQMVMediaPlayer::OutputRear(int size) {
  const bool show = m_command != kShowOneFrame;
  if (m_decoder == nullptr ||
      !m_decoder->DecodeAndShow(1, m_rearSurface, m_frameBuffer.data(), size, show)) {
    return;
  }
  if (m_command == kShowOneFrame) {
    m_status = kStill;
    m_decoder->RedrawFrame(0, m_frontSurface);
    m_decoder->RedrawFrame(1, m_rearSurface);
    m_command = kIdle;
  }
}

void CQMVMediaPlayer::OutputFront(int size) {
  const bool show = m_command != kShowOneFrame;
  m_mediaSync.WaitForAudio();
  m_pacer.Pace(m_frontRate);
  ++m_currentFrame;
  if (m_decoder == nullptr ||
      !m_decoder->DecodeAndShow(0, m_frontSurface, m_frameBuffer.data(), size, show)) {
    return;
  }
  if (m_command == kShowOneFrame && !m_twoCameraName) {
    m_status = kStopped;
    m_decoder->RedrawFrame(0, m_frontSurface);
    m_command = kIdle;
  }
}
