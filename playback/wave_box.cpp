#include "playback/wave_box.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "concurrency/sync.h"

namespace {

constexpr auto kTryMs = std::chrono::milliseconds(10);

// The one process-wide lock around every CWaveBox's free-buffer count.
CSync& WaveLock() {
  static CSync lock("none");
  return lock;
}

// Signalled under WaveLock whenever a device gives a buffer back.
std::condition_variable_any& BufferReturned() {
  static std::condition_variable_any returned;
  return returned;
}

void Sleep10ms() { std::this_thread::sleep_for(kTryMs); }

}  // namespace

CWaveBox::CWaveBox() : CWaveBox(std::make_unique<CSdlWaveOut>()) {}

CWaveBox::CWaveBox(std::unique_ptr<VWaveOut> device)
    : m_device(std::move(device)), m_block(std::make_unique<Block>()) {
  for (int i = 0; i < kBuffers; ++i) {
    m_block->headers[i].data = m_block->buffers[i];
    m_block->headers[i].length = kBufferBytes;
  }
}

CWaveBox::~CWaveBox() {
  // The device thread must be gone before the count and the buffers it touches.
  if (m_device) m_device->Close();
}

void CWaveBox::OnDeviceMessage(int message, void* instance) {
  if (message != kWaveMsgDone) return;
  CSyncGuard guard(WaveLock());
  ++*static_cast<int*>(instance);
  BufferReturned().notify_all();
}

int CWaveBox::FreeBuffers() const {
  CSyncGuard guard(WaveLock());
  return m_free;
}

bool CWaveBox::OpenOutput(int bits, int rate) {
  if ((bits != 8 && bits != 16) || rate <= 0 || rate > 384000) {
    m_device->Close();
    m_ready = false;
    return false;
  }
  m_format = WaveFormat{};
  m_format.channels = 1;
  m_format.samplesPerSecond = rate;
  m_format.bitsPerSample = bits;
  m_format.blockAlign = bits / 8;
  m_format.bytesPerSecond = bits / 8 * rate;
  return OpenDevice();
}

bool CWaveBox::OpenDevice() {
  CSyncGuard guard(m_writeLock);  // not while a write is under way
  const bool opened = m_device->Open(m_format, &CWaveBox::OnDeviceMessage, &m_free) == kWaveOk;
  m_stalled = false;
  m_ready = opened;
  return opened;
}

int CWaveBox::CloseOutput() {
  CSyncGuard guard(m_writeLock);
  m_stalled = false;
  m_ready = false;
  return m_device->Close() == kWaveOk ? 1 : -1;
}

void CWaveBox::ReopenOutput() { OpenDevice(); }

int CWaveBox::CheckResult(int code) {
  if (code == kWaveInvalidHandle || code == kWaveNoDriver || code == kWaveNoMemory ||
      code == kWaveUnprepared) {
    m_ready = false;
  }
  return code;
}

void CWaveBox::Play(const void* data, int size) {
  // A device that stalled is fed again once it has given a buffer back.
  if (m_stalled.load() && FreeBuffers() > 0) {
    m_stalled = false;
    m_ready = true;
  }
  int attempts = 0;
  while (m_ready.load()) {
    const int result = WriteBuffer(data, size);
    if (result != 2) break;
    // No buffer came free for about half a second: the device is stuck, stop feeding it
    // until it recovers or the output is opened again.
    if (++attempts > kMaxAttempts) {
      m_stalled = true;
      m_ready = false;
    }
  }
}

void CWaveBox::WaitForFreeBuffer() {
  CSyncGuard guard(WaveLock());
  if (m_free <= 0) BufferReturned().wait_for(WaveLock(), kTryMs, [this] { return m_free > 0; });
}

void CWaveBox::SetDiscard(bool on) {
  CSyncGuard guard(m_writeLock);
  m_discard = on;
  if (!on) return;
  m_device->Discard();
  // Write next into the buffer given back, behind the one the device plays.
  WaveHeader& next = m_block->headers[m_next];
  if (next.prepared && m_device->Unprepare(&next) == kWaveStillPlaying) {
    m_next = (m_next + 1) % kBuffers;
  }
}

int CWaveBox::WriteBuffer(const void* data, int size) {
  bool pause = false;
  int result = -1;
  {
    CSyncGuard guard(m_writeLock);
    if (!m_discard) result = WriteLocked(data, size, &pause);
  }
  if (pause) {
    // Without a free buffer the try lasts until one comes back, 10 ms at most.
    if (result == 2) {
      WaitForFreeBuffer();
    } else {
      Sleep10ms();
    }
  }
  return result;
}

int CWaveBox::WriteLocked(const void* data, int size, bool* pause) {
  int free;
  {
    CSyncGuard guard(WaveLock());
    free = m_free;
  }
  if (free <= 0) {
    *pause = true;
    return 2;
  }
  WaveHeader& header = m_block->headers[m_next];
  if (header.prepared && CheckResult(m_device->Unprepare(&header)) == kWaveStillPlaying) {
    *pause = true;  // never write into a buffer the device still reads
    return 2;
  }
  const int length = data == nullptr ? 0 : std::clamp(size, 0, kBufferBytes);
  if (length == 0) {
    if (free < kBuffers) {
      *pause = true;
      return 1;
    }
    for (WaveHeader& h : m_block->headers) {
      if (h.prepared) {
        CheckResult(m_device->Unprepare(&h));
        break;
      }
    }
    return -1;
  }
  std::memcpy(header.data, data, static_cast<size_t>(length));
  header.length = length;
  // A buffer the device did not take is not counted as busy.
  if (CheckResult(m_device->Prepare(&header)) != kWaveOk) return -1;
  if (CheckResult(m_device->Write(&header)) != kWaveOk) return -1;
  {
    CSyncGuard guard(WaveLock());
    --m_free;
  }
  m_next = (m_next + 1) % kBuffers;
  *pause = true;
  return 1;
}
