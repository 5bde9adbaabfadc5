#include "platform/wave_out.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<uint32_t> g_volume{0xFFFFFFFFu};

// out = in * gain / 65535, truncated toward zero; 8-bit samples are offset by 128.
void ApplyGain(uint8_t* out, const uint8_t* in, int n, int bits, uint32_t volume) {
  const int64_t gain = ((volume & 0xFFFF) + (volume >> 16)) / 2;
  if (gain == 0xFFFF) {
    std::memcpy(out, in, static_cast<size_t>(n));
    return;
  }
  if (bits == 8) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(128 + (in[i] - 128) * gain / 0xFFFF);
    return;
  }
  for (int i = 0; i + 1 < n; i += 2) {
    int16_t s;
    std::memcpy(&s, in + i, 2);
    s = static_cast<int16_t>(s * gain / 0xFFFF);
    std::memcpy(out + i, &s, 2);
  }
}

// About 30 ms of audio per device period, a power of two as SDL prefers.
Uint16 PeriodSamples(int rate) {
  Uint16 samples = 128;
  while (samples < 4096 && samples * 1000 / rate < 30) samples = static_cast<Uint16>(samples * 2);
  return samples;
}

// SDL would otherwise turn SIGINT and SIGTERM into quit events that nobody reads, and the
// process could no longer be ended by them.
void InitAudio() { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); }

}  // namespace

void SetWaveOutVolume(uint32_t value) { g_volume.store(value); }
uint32_t GetWaveOutVolume() { return g_volume.load(); }

CSdlWaveOut::~CSdlWaveOut() { Close(); }

int CSdlWaveOut::Open(const WaveFormat& format, WaveDoneFn callback, void* instance) {
  if (m_device != 0) Close();
  const bool bitsOk = format.bitsPerSample == 8 || format.bitsPerSample == 16;
  if (!bitsOk || format.channels != 1 || format.samplesPerSecond <= 0 ||
      format.samplesPerSecond > 384000 || callback == nullptr) {
    return kWaveBadFormat;
  }
  InitAudio();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return kWaveNoDriver;
  SDL_AudioSpec want{};
  want.freq = format.samplesPerSecond;
  want.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
  want.channels = 1;
  want.samples = PeriodSamples(format.samplesPerSecond);
  want.callback = &CSdlWaveOut::FillThunk;
  want.userdata = this;
  SDL_AudioSpec have{};
  m_format = format;
  m_callback = callback;
  m_instance = instance;
  m_silence = format.bitsPerSample == 8 ? 0x80 : 0;
  m_offset = 0;
  m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (m_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return kWaveNoDriver;
  }
  SDL_PauseAudioDevice(m_device, 0);
  return kWaveOk;
}

int CSdlWaveOut::Close() {
  if (m_device == 0) return kWaveInvalidHandle;
  SDL_CloseAudioDevice(m_device);  // returns after the device thread has ended
  m_device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // Buffers the device never played come back as done, so the owner's count stays true.
  while (!m_queue.empty()) {
    m_queue.front()->queued = false;
    m_queue.pop_front();
    m_callback(kWaveMsgDone, m_instance);
  }
  m_offset = 0;
  return kWaveOk;
}

int CSdlWaveOut::Prepare(WaveHeader* header) {
  if (m_device == 0) return kWaveInvalidHandle;
  if (header == nullptr || header->data == nullptr || header->length < 0) return kWaveInvalidParam;
  header->prepared = true;
  return kWaveOk;
}

int CSdlWaveOut::Unprepare(WaveHeader* header) {
  if (m_device == 0) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  SDL_LockAudioDevice(m_device);
  const bool queued = header->queued;
  SDL_UnlockAudioDevice(m_device);
  if (queued) return kWaveStillPlaying;
  header->prepared = false;
  return kWaveOk;
}

int CSdlWaveOut::Write(WaveHeader* header) {
  if (m_device == 0) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  if (!header->prepared) return kWaveUnprepared;
  int result = kWaveOk;
  SDL_LockAudioDevice(m_device);
  if (header->queued) {
    result = kWaveStillPlaying;
  } else {
    // Whole samples only, so buffers stay sample-aligned back to back.
    const int align = std::max(1, m_format.blockAlign);
    header->length -= header->length % align;
    header->queued = true;
    m_queue.push_back(header);
  }
  SDL_UnlockAudioDevice(m_device);
  return result;
}

int CSdlWaveOut::Discard() {
  if (m_device == 0) return kWaveInvalidHandle;
  SDL_LockAudioDevice(m_device);
  const size_t begun = !m_queue.empty() && m_offset > 0 ? 1 : 0;
  while (m_queue.size() > begun) {
    m_queue.back()->queued = false;
    m_queue.pop_back();
    m_callback(kWaveMsgDone, m_instance);
  }
  SDL_UnlockAudioDevice(m_device);
  return kWaveOk;
}

void CSdlWaveOut::FillThunk(void* self, Uint8* stream, int length) {
  static_cast<CSdlWaveOut*>(self)->Fill(stream, length);
}

void CSdlWaveOut::Fill(uint8_t* stream, int length) {
  const uint32_t volume = GetWaveOutVolume();
  while (length > 0 && !m_queue.empty()) {
    WaveHeader* header = m_queue.front();
    const int n = std::min(length, header->length - m_offset);
    ApplyGain(stream, header->data + m_offset, n, m_format.bitsPerSample, volume);
    stream += n;
    length -= n;
    m_offset += n;
    if (m_offset >= header->length) {
      header->queued = false;
      m_queue.pop_front();
      m_offset = 0;
      m_callback(kWaveMsgDone, m_instance);
    }
  }
  if (length > 0) std::memset(stream, m_silence, static_cast<size_t>(length));
}

void ChooseAudioDriver() {
  if (std::getenv("SDL_AUDIODRIVER") != nullptr) return;
  bool haveDevice = false;
  InitAudio();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    haveDevice = SDL_GetNumAudioDevices(0) > 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  if (!haveDevice) setenv("SDL_AUDIODRIVER", "dummy", 1);
}
