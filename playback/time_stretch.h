// CTimeStretch: the recording's sound at another speed with its pitch kept (SoundTouch's
// overlap-add stretch, cheap enough for any rate a recorder writes). PCM in, PCM of the same
// format out; at 1x the bytes pass unchanged, outside 1/2x..2x nothing comes out (silent).
//
// One thread (the player's worker, under the player's lock).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

class CTimeStretch {
 public:
  CTimeStretch();
  ~CTimeStretch();
  CTimeStretch(const CTimeStretch&) = delete;
  CTimeStretch& operator=(const CTimeStretch&) = delete;

  // bits: 8 (unsigned) or 16 (signed little-endian), one channel; speed as played. Either
  // change drops what is held inside.
  void SetFormat(int bits, int rate);
  void SetSpeed(double speed);
  // Drops the sound held inside (a seek, a new recording).
  void Clear();
  // Appends to out the sound that size bytes of pcm make at the speed; some of it may come
  // out only with later input. Returns false (nothing appended) when the speed is silent.
  bool Process(const uint8_t* pcm, int size, std::vector<uint8_t>* out);

 private:
  std::unique_ptr<soundtouch::SoundTouch> m_stretch;
  std::vector<float> m_samples;
  int m_bits = 16;
  int m_rate = 8000;
  double m_speed = 1.0;
};
