// The wave-out device: a PCM sink fed with whole buffers (headers) that reports each buffer
// once the device has played it, through a done callback on the device's thread. The Linux
// implementation sits on SDL2 audio (SDL_AUDIODRIVER=dummy or disk for headless runs).
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <deque>

// Device result codes (0 success; the error numbers of the platform's wave-out API).
constexpr int kWaveOk = 0;
constexpr int kWaveError = 1;
constexpr int kWaveInvalidHandle = 5;
constexpr int kWaveNoDriver = 6;
constexpr int kWaveNoMemory = 7;
constexpr int kWaveInvalidParam = 11;
constexpr int kWaveBadFormat = 32;
constexpr int kWaveStillPlaying = 33;
constexpr int kWaveUnprepared = 34;

// Message passed to the done callback when a buffer has been played.
constexpr int kWaveMsgDone = 957;

struct WaveFormat {
  int formatTag = 1;  // PCM
  int channels = 1;
  int samplesPerSecond = 0;
  int bytesPerSecond = 0;
  int blockAlign = 0;
  int bitsPerSample = 0;
};

struct WaveHeader {
  uint8_t* data = nullptr;
  int length = 0;         // bytes to play
  bool prepared = false;  // writer thread only
  bool queued = false;    // guarded by the device's lock: written and not yet played
};

// Runs on the device's thread; must not call back into the device.
using WaveDoneFn = void (*)(int message, void* instance);

class VWaveOut {
 public:
  virtual ~VWaveOut() = default;
  // Opens the default output for format; callback(kWaveMsgDone, instance) per played buffer.
  virtual int Open(const WaveFormat& format, WaveDoneFn callback, void* instance) = 0;
  // Buffers still queued are reported done (as a reset would), then the device closes.
  virtual int Close() = 0;
  virtual int Prepare(WaveHeader* header) = 0;
  // kWaveStillPlaying while the header is queued.
  virtual int Unprepare(WaveHeader* header) = 0;
  // Queues a prepared header; its data must stay valid until it is reported done.
  virtual int Write(WaveHeader* header) = 0;
  // Takes back the queued headers the device has not begun to play, reporting each done;
  // the one it plays goes on.
  virtual int Discard() = 0;
};

// The default output device on SDL2, mono 8- or 16-bit PCM. The output volume (below) is
// applied as a gain while the device consumes a buffer.
class CSdlWaveOut : public VWaveOut {
 public:
  CSdlWaveOut() = default;
  ~CSdlWaveOut() override;
  CSdlWaveOut(const CSdlWaveOut&) = delete;
  CSdlWaveOut& operator=(const CSdlWaveOut&) = delete;

  int Open(const WaveFormat& format, WaveDoneFn callback, void* instance) override;
  int Close() override;
  int Prepare(WaveHeader* header) override;
  int Unprepare(WaveHeader* header) override;
  int Write(WaveHeader* header) override;
  int Discard() override;

 private:
  static void FillThunk(void* self, Uint8* stream, int length);
  void Fill(uint8_t* stream, int length);

  // Set by Open and Close (writer thread), read by the device thread while it runs.
  SDL_AudioDeviceID m_device = 0;
  WaveFormat m_format;
  WaveDoneFn m_callback = nullptr;
  void* m_instance = nullptr;
  uint8_t m_silence = 0;

  // Guarded by the SDL device lock (held by SDL while Fill runs).
  std::deque<WaveHeader*> m_queue;
  int m_offset = 0;  // bytes of the front header already played
};

// The process-wide output volume: (right << 16) | left, each 0..0xFFFF; 0xFFFFFFFF at start.
void SetWaveOutVolume(uint32_t value);
uint32_t GetWaveOutVolume();

// Without SDL_AUDIODRIVER set: keeps SDL's default when it finds an output device, else
// chooses the "dummy" driver, so playback keeps its pace on a machine without sound.
void ChooseAudioDriver();
