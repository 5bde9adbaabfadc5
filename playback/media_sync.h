// CMediaSync: the audio queue between the player and the output. Its "MediaSync" thread
// hands each queued chunk to the output, which blocks while the device's buffers are full;
// the player waits in WaitForAudio before each front frame, so the device's pace paces video.
//
// Locks: m_playLock (held by the thread from taking a chunk until the output has it) ->
// m_lock (the list) and -> the output's own locks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>

#include "concurrency/single_thread.h"
#include "concurrency/sync.h"

class VAudio;

class CMediaSync {
 public:
  static constexpr int kMaxPcmBytes = 3840;

  CMediaSync();
  virtual ~CMediaSync();
  CMediaSync(const CMediaSync&) = delete;
  CMediaSync& operator=(const CMediaSync&) = delete;

  // The output chunks go to (not owned; null drops them). Set before StartThread.
  void SetAudio(VAudio* audio) { m_audio.store(audio); }

  // Queues a copy of at most 3840 bytes of data (the rest is dropped). Always true.
  bool PushPcm(const void* data, int size);
  // Takes the oldest chunk: copies its bytes to destination (room for 3840) and its length
  // to length. False when nothing is queued.
  bool PopPcm(void* destination, int* length);
  // Empties the queue, together with what the output holds and has not begun to play,
  // including the chunk the thread is handing over. Returns within a few milliseconds.
  void Clear();
  // Returns true once fewer than 2 chunks are queued (woken when the thread takes one), or at
  // once when the thread is not running (nothing would ever take them); false once *giveUp is
  // above zero and WakeWaiters has been called. Player thread.
  bool WaitForAudio(const std::atomic<int32_t>* giveUp = nullptr);
  // Wakes a WaitForAudio so that it looks at its giveUp counter again. Any thread.
  void WakeWaiters();
  int Count() const { return m_count.load(); }

  void StartThread();
  // Returns after the last step; safe when never started.
  void StopThread();

  // One turn of the thread: plays the oldest chunk, or waits until one is queued.
  bool SyncStep();

 private:
  struct PcmRecord {
    uint8_t payload[kMaxPcmBytes];
    int32_t length = 0;
  };
  static bool Step(void* self) { return static_cast<CMediaSync*>(self)->SyncStep(); }

  // Set before the thread starts.
  std::atomic<VAudio*> m_audio{nullptr};
  CSingleThread m_thread{"MediaSync"};

  // Held by the thread while it takes a chunk and hands it to the output; Clear takes it to
  // know that no chunk of the old queue is still on its way.
  CSync m_playLock{"none"};

  // Guarded by m_lock; m_count mirrors the size for the unlocked checks. The thread sleeps on
  // m_queued while the list is empty, the player on m_taken while it holds 2 or more, so
  // neither wakes without something to do.
  CSync m_lock{"none"};
  std::deque<PcmRecord> m_list;
  std::atomic<int> m_count{0};
  std::condition_variable_any m_queued;  // a chunk was pushed, or the thread is to stop
  std::condition_variable_any m_taken;   // a chunk was taken or cleared, or WakeWaiters
  bool m_stopping = false;

  // "MediaSync" thread only.
  PcmRecord m_staging;
};
