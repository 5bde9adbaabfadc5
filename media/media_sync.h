// CMediaSync: the audio queue between the player and the output. Its "MediaSync" thread
// hands each queued chunk to the output, which blocks while the device's buffers are full;
// the player waits in WaitForAudio before each front frame, so the device's pace paces video.
//
// Locks: m_playLock (held by the thread from taking a chunk until the output has it) ->
// m_lock (the list) and -> the output's own locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>

#include "media/single_thread.h"
#include "media/sync.h"

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
  // Returns true once fewer than 2 chunks are queued (checked every 10 ms), or at once when
  // the thread is not running (nothing would ever take them); false as soon as *giveUp is
  // above zero. Player thread.
  bool WaitForAudio(const std::atomic<int32_t>* giveUp = nullptr);
  int Count() const { return m_count.load(); }

  void StartThread();
  // Returns after the last step; safe when never started.
  void StopThread();

  // One turn of the thread: plays the oldest chunk, or sleeps 1 ms when there is none.
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

  // Guarded by m_lock; m_count mirrors the size for the unlocked checks.
  CSync m_lock{"none"};
  std::deque<PcmRecord> m_list;
  std::atomic<int> m_count{0};

  // "MediaSync" thread only.
  PcmRecord m_staging;
};
