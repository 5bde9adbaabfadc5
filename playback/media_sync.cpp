#include "playback/media_sync.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "playback/audio.h"

CMediaSync::CMediaSync() = default;

CMediaSync::~CMediaSync() { StopThread(); }

bool CMediaSync::PushPcm(const void* data, int size) {
  const int length = data == nullptr ? 0 : std::clamp(size, 0, kMaxPcmBytes);
  CSyncGuard guard(m_lock);
  PcmRecord& record = m_list.emplace_back();
  if (length > 0) std::memcpy(record.payload, data, static_cast<size_t>(length));
  record.length = length;
  m_count.store(static_cast<int>(m_list.size()));
  m_queued.notify_one();
  return true;
}

bool CMediaSync::PopPcm(void* destination, int* length) {
  if (m_count.load() == 0 || destination == nullptr || length == nullptr) return false;
  CSyncGuard guard(m_lock);
  if (m_list.empty()) return false;  // cleared since the check
  const PcmRecord& record = m_list.front();
  std::memcpy(destination, record.payload, static_cast<size_t>(record.length));
  *length = record.length;
  m_list.pop_front();
  m_count.store(static_cast<int>(m_list.size()));
  m_taken.notify_all();
  return true;
}

void CMediaSync::Clear() {
  VAudio* audio = m_audio.load();
  // The output drops what it has not begun, and a chunk on its way is not written.
  if (audio) audio->SetDiscard(true);
  CSyncGuard playing(m_playLock);
  {
    CSyncGuard guard(m_lock);
    m_list.clear();
    m_count.store(0);
    m_taken.notify_all();
  }
  if (audio) audio->SetDiscard(false);
}

bool CMediaSync::WaitForAudio(const std::atomic<int32_t>* giveUp) {
  if (m_count.load() < 2) return true;
  CSyncGuard guard(m_lock);
  for (;;) {
    if (m_list.size() < 2 || !m_thread.IsRunning()) return true;
    if (giveUp != nullptr && giveUp->load() > 0) return false;
    // The timeout only bounds a wake-up that was missed; normally PopPcm, Clear or
    // WakeWaiters end the wait.
    m_taken.wait_for(m_lock, std::chrono::milliseconds(100));
  }
}

void CMediaSync::WakeWaiters() {
  CSyncGuard guard(m_lock);
  m_taken.notify_all();
}

void CMediaSync::StartThread() {
  {
    CSyncGuard guard(m_lock);
    m_stopping = false;
  }
  m_thread.BeginThread(&CMediaSync::Step, this, 0, 0);
}

void CMediaSync::StopThread() {
  {
    CSyncGuard guard(m_lock);
    m_stopping = true;
    m_queued.notify_all();
  }
  m_thread.StopThread();
}

bool CMediaSync::SyncStep() {
  {
    CSyncGuard playing(m_playLock);
    int length = 0;
    if (PopPcm(m_staging.payload, &length)) {
      if (VAudio* audio = m_audio.load()) audio->Play(m_staging.payload, length);
      return true;
    }
  }
  // Outside the play lock, so that Clear never waits for this wait.
  CSyncGuard guard(m_lock);
  if (m_list.empty() && !m_stopping) m_queued.wait_for(m_lock, std::chrono::milliseconds(100));
  return true;
}
