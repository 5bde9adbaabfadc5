// Audio and video stay together: with SDL's disk driver (which writes what it plays at the
// device's pace), each second's click in the played audio and that second's white flash
// among the shown front frames come within 80 ms of each other.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/media/player_rig.h"

namespace {

using namespace std::chrono_literals;
using roadkeep::test::Clock;
using roadkeep::test::MadeCard;
using roadkeep::test::PlayerRig;
using roadkeep::test::ReadAll;

constexpr int kRate = 8000;           // samples per second, 16-bit mono
constexpr double kToleranceMs = 80;

// Sample indexes where a click starts: a loud sample after at least half a second of quiet.
std::vector<size_t> ClickOnsets(const std::vector<uint8_t>& pcm) {
  std::vector<size_t> onsets;
  size_t lastLoud = 0;
  bool any = false;
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    int16_t s;
    std::memcpy(&s, pcm.data() + i, 2);
    if (std::abs(s) < 20000) continue;
    const size_t sample = i / 2;
    if (!any || sample - lastLoud > kRate / 2) onsets.push_back(sample);
    lastLoud = sample;
    any = true;
  }
  return onsets;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

TEST(PlayerSync, EachSecondsClickAndFlashComeTogether) {
  MadeCard card(5, "160x120@30", "160x120@15");
  ASSERT_TRUE(card.ok);
  const std::string played = card.dir.File("played.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);

  Clock::time_point opened, closed;
  std::vector<roadkeep::test::CTimedSurface::Shown> frames;
  {
    auto rig = std::make_unique<PlayerRig>(card.dir.Path().string());
    opened = Clock::now();  // the device opened at the end of StartEngine
    rig->player.OpenMedia(card.Name(0).c_str());
    ASSERT_TRUE(rig->WaitForEnd(30s));
    frames = rig->front.Frames();
    std::this_thread::sleep_for(1s);  // the audio still queued plays out
    rig->player.Shutdown();  // closes the device: the file is complete
    closed = Clock::now();
  }
  const std::vector<uint8_t> pcm = ReadAll(played);
  ASSERT_GT(pcm.size(), 5u * 2 * kRate);  // 5 s of recording and the second after
  // The driver paces itself with sleeps; spread any drift evenly over the file.
  const double fileMs = pcm.size() / 2 * 1000.0 / kRate;
  const double scale = Ms(closed - opened) / fileMs;

  std::vector<double> clicks;
  for (size_t s : ClickOnsets(pcm)) clicks.push_back(s * 1000.0 / kRate * scale);
  std::vector<double> flashes;
  for (const auto& f : frames) {
    if (f.brightness > 200) flashes.push_back(Ms(f.at - opened));
  }
  ASSERT_EQ(frames.size(), 150u);
  ASSERT_EQ(clicks.size(), 5u);
  ASSERT_EQ(flashes.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    std::printf("second %zu: click %.0f ms, flash %.0f ms, flash - click %+.0f ms\n", k,
                clicks[k], flashes[k], flashes[k] - clicks[k]);
    EXPECT_NEAR(flashes[k], clicks[k], kToleranceMs) << "second " << k;
  }
}

}  // namespace
