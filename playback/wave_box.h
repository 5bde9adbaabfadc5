// CWaveBox: audio output through the wave-out device with two 3840-byte buffers. The device
// reports each played buffer on its own thread, which returns the buffer to the free count.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "playback/audio.h"
#include "concurrency/sync.h"
#include "platform/wave_out.h"

class CWaveBox : public VAudio {
 public:
  static constexpr int kBufferBytes = 3840;  // 240 ms of 16-bit mono at 8000 Hz
  static constexpr int kBuffers = 2;
  static constexpr int kMaxAttempts = 50;  // 10 ms apart: about half a second

  // On the default SDL output.
  CWaveBox();
  // On the given device (not null).
  explicit CWaveBox(std::unique_ptr<VWaveOut> device);
  ~CWaveBox() override;
  CWaveBox(const CWaveBox&) = delete;
  CWaveBox& operator=(const CWaveBox&) = delete;

  bool OpenOutput(int bits, int rate) override;
  int CloseOutput() override;
  void ReopenOutput() override;
  void Play(const void* data, int size) override;
  void SetDiscard(bool on) override;
  int CheckResult(int code) override;

  bool IsReady() const override { return m_ready.load(); }
  int FreeBuffers() const;
  const WaveFormat& Format() const { return m_format; }

  // The process-wide output volume, (a << 16) | a with a = 0..0xFFFF; applied as a gain.
  static void SetOutputVolume(uint32_t value) { SetWaveOutVolume(value); }

 protected:
  // One try at handing data to the device: 1 written (or nothing to write while a buffer is
  // busy), 2 no free buffer (after waiting up to 10 ms for one), -1 nothing written (also
  // while discarding). Play's thread only.
  virtual int WriteBuffer(const void* data, int size);

 private:
  // WriteBuffer's work under m_writeLock; *pause asks for the 10 ms sleep after it.
  int WriteLocked(const void* data, int size, bool* pause);
  struct Block {
    WaveHeader headers[kBuffers];
    uint8_t buffers[kBuffers][kBufferBytes];
  };
  static void OnDeviceMessage(int message, void* instance);
  bool OpenDevice();
  // Returns once the device has a free buffer, or after 10 ms.
  void WaitForFreeBuffer();

  // Set at construction.
  std::unique_ptr<VWaveOut> m_device;
  std::unique_ptr<Block> m_block;

  // Guarded by the process-wide wave lock: the device thread increments, writing decrements.
  int m_free = kBuffers;

  // Guarded by m_writeLock (Play's thread and SetDiscard): the next header, the headers
  // while not queued, and whether writes are dropped. Order: m_writeLock -> device lock ->
  // wave lock.
  CSync m_writeLock{"none"};
  int m_next = 0;
  bool m_discard = false;

  // Owner's thread (open, close) and Play's thread (give-up, recovery).
  std::atomic<bool> m_ready{true};
  std::atomic<bool> m_stalled{false};  // not ready because no buffer came back in time
  WaveFormat m_format;
};
