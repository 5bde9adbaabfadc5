// Audio and video stay together: with SDL's disk driver (which writes what it plays at the
// device's pace), each second's click in the played audio and that second's white flash
// among the shown front frames come within 80 ms of each other; and after a stop or a seek
// no old audio plays on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/playback/player_rig.h"

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

// A stop, or a seek while paused, empties the audio queue: the device plays on at most the
// buffer it had begun (200 ms of audio and one device period), not the second or so of old
// audio that was queued behind it.
TEST(PlayerSync, StopAndPausedSeekLeaveNoOldAudioQueued) {
  MadeCard card(4, "160x120@30", "160x120@15");
  ASSERT_TRUE(card.ok);
  struct Case {
    const char* what;
    void (*act)(CQMVMediaPlayer&);
  } cases[] = {
      {"stop",
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.StopMedia();
       }},
      {"seek-while-paused",
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.SeekToMs(500);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string played = card.dir.File(std::string(c.what) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
    Clock::time_point opened, acted, closed;
    {
      auto rig = std::make_unique<PlayerRig>(card.dir.Path().string());
      opened = Clock::now();
      rig->player.OpenMedia(card.Name(0).c_str());
      ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig->player.GetPositionMs() >= 1500; }, 30s));
      c.act(rig->player);
      acted = Clock::now();
      std::this_thread::sleep_for(1500ms);  // what was left plays out
      rig->player.Shutdown();
      closed = Clock::now();
    }
    const std::vector<uint8_t> pcm = ReadAll(played);
    const double scale = Ms(closed - opened) / (pcm.size() / 2 * 1000.0 / kRate);
    size_t last = 0;  // one past the last sound
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
      if (pcm[i] != 0 || pcm[i + 1] != 0) last = i / 2 + 1;
    }
    const double actedMs = Ms(acted - opened);
    const double lastMs = last * 1000.0 / kRate * scale;
    std::printf("%s: sound until %.0f ms after it\n", c.what, lastMs - actedMs);
    EXPECT_GT(lastMs, actedMs - 200) << "the recording was playing";
    EXPECT_LT(lastMs, actedMs + 350);
  }
}

}  // namespace
