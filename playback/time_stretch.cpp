#include "playback/time_stretch.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

#include "playback/play_speed.h"

static_assert(sizeof(soundtouch::SAMPLETYPE) == sizeof(float), "SoundTouch built for float samples");

CTimeStretch::CTimeStretch() : m_stretch(std::make_unique<soundtouch::SoundTouch>()) {
  m_stretch->setChannels(1);
  m_stretch->setSampleRate(static_cast<unsigned>(m_rate));
}

CTimeStretch::~CTimeStretch() = default;

void CTimeStretch::SetFormat(int bits, int rate) {
  if (bits == m_bits && rate == m_rate) return;
  m_bits = bits == 8 ? 8 : 16;
  m_rate = std::clamp(rate, 1000, 192000);
  m_stretch->setSampleRate(static_cast<unsigned>(m_rate));
  Clear();
}

void CTimeStretch::SetSpeed(double speed) {
  if (speed == m_speed) return;
  m_speed = speed;
  if (roadkeep::SpeedIsAudible(speed)) m_stretch->setTempo(speed);
  Clear();
}

void CTimeStretch::Clear() { m_stretch->clear(); }

bool CTimeStretch::Process(const uint8_t* pcm, int size, std::vector<uint8_t>* out) {
  if (!roadkeep::SpeedIsAudible(m_speed) || pcm == nullptr || size <= 0) return false;
  const int bytesPerSample = m_bits / 8;
  if (m_speed == 1.0) {
    out->insert(out->end(), pcm, pcm + size);
    return true;
  }
  const int count = size / bytesPerSample;
  m_samples.resize(static_cast<size_t>(std::max(count, 4096)));
  for (int i = 0; i < count; ++i) {
    m_samples[static_cast<size_t>(i)] =
        m_bits == 8 ? (pcm[i] - 128) / 128.0F
                    : static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8)) / 32768.0F;
  }
  m_stretch->putSamples(m_samples.data(), static_cast<unsigned>(count));
  for (;;) {
    const unsigned got = m_stretch->receiveSamples(m_samples.data(), static_cast<unsigned>(m_samples.size()));
    if (got == 0) break;
    for (unsigned i = 0; i < got; ++i) {
      const float v = std::clamp(m_samples[i], -1.0F, 32767.0F / 32768.0F);
      if (m_bits == 8) {
        out->push_back(static_cast<uint8_t>(std::clamp<long>(std::lround(v * 128.0F) + 128, 0, 255)));
      } else {
        const auto s = static_cast<int16_t>(std::lround(v * 32768.0F));
        out->push_back(static_cast<uint8_t>(s & 0xFF));
        out->push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
      }
    }
  }
  return true;
}
