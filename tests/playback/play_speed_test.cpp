// Playback at another speed: the speed steps and their names, the sound stretched with its
// pitch kept (real SoundTouch on a tone), and a real recording played through the player at
// speeds from 1/8x to 16x (position and wall time, the owner's calls at the slowest).
#include "playback/play_speed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "playback/time_stretch.h"
#include "tests/playback/player_rig.h"

namespace {

using namespace std::chrono_literals;
using roadkeep::test::Clock;
using roadkeep::test::MadeCard;
using roadkeep::test::PlayerRig;

TEST(PlaySpeed, StepsNamesAndParsing) {
  struct Case {
    const char* text;
    bool valid;
    const char* name;  // of the parsed speed
    double faster, slower;
  } cases[] = {
      {"1/8", true, "1/8x", 0.25, 0.125}, {"0.25", true, "1/4x", 0.5, 0.125},
      {"1", true, "1x", 2, 0.5},          {"4x", true, "4x", 8, 2},
      {"16", true, "16x", 16, 8},         {"3", false, "", 0, 0},
      {"1/0", false, "", 0, 0},           {"-2", false, "", 0, 0},
      {"", false, "", 0, 0},              {"fast", false, "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    double speed = 0;
    ASSERT_EQ(roadkeep::ParseSpeed(c.text, &speed), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(roadkeep::SpeedName(speed), c.name);
    EXPECT_EQ(roadkeep::FasterSpeed(speed), c.faster);
    EXPECT_EQ(roadkeep::SlowerSpeed(speed), c.slower);
  }
}

// A 440 Hz tone; its pitch read back as zero crossings per second of what came out.
std::vector<uint8_t> Tone(int bits, int rate, double seconds) {
  std::vector<uint8_t> pcm;
  for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * 440.0 * i / rate);
    if (bits == 8) {
      pcm.push_back(static_cast<uint8_t>(std::lround(v * 127) + 128));
    } else {
      const auto s = static_cast<int16_t>(std::lround(v * 32767));
      pcm.push_back(static_cast<uint8_t>(s & 0xFF));
      pcm.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  return pcm;
}

double CrossingsPerSecond(const std::vector<uint8_t>& pcm, int bits, int rate) {
  const size_t step = static_cast<size_t>(bits / 8);
  auto sample = [&](size_t i) {
    return bits == 8 ? pcm[i] - 128 : static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8));
  };
  int crossings = 0;
  for (size_t i = step; i + step <= pcm.size(); i += step) {
    if ((sample(i - step) < 0) != (sample(i) < 0)) ++crossings;
  }
  return crossings / (static_cast<double>(pcm.size() / step) / rate);
}

TEST(TimeStretch, KeepsThePitchAndScalesTheLengthOrIsSilent) {
  struct Case {
    int bits;
    double speed;
    double lengthRatio;  // of what comes out to what went in; 0: silent
  } cases[] = {
      {16, 1.0, 1.0}, {16, 0.5, 2.0}, {16, 2.0, 0.5}, {8, 0.5, 2.0},
      {8, 2.0, 0.5},  {16, 4.0, 0.0}, {16, 0.25, 0.0},
  };
  const int rate = 8000;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits at " << c.speed << "x");
    const std::vector<uint8_t> in = Tone(c.bits, rate, 4.0);
    CTimeStretch stretch;
    stretch.SetFormat(c.bits, rate);
    stretch.SetSpeed(c.speed);
    std::vector<uint8_t> out;
    for (size_t at = 0; at < in.size(); at += 3840) {  // in the chunks a recording holds
      stretch.Process(in.data() + at, static_cast<int>(std::min<size_t>(3840, in.size() - at)), &out);
    }
    if (c.lengthRatio == 0) {
      EXPECT_TRUE(out.empty());
      continue;
    }
    if (c.speed == 1.0) {
      EXPECT_EQ(out, in);
      continue;
    }
    // What is still inside the stretch is under a tenth of a second.
    EXPECT_NEAR(static_cast<double>(out.size()) / in.size(), c.lengthRatio, 0.1 * c.lengthRatio);
    EXPECT_NEAR(CrossingsPerSecond(out, c.bits, rate), 880.0, 880.0 * 0.03);
  }
}

// A 3 s two-camera recording played at each speed: it ends in about 3 s / speed (a speed
// above 1x never falls behind the clock: key frames only where decoding cannot keep up), and
// the position reaches the last frame.
TEST(PlayerSpeed, PlaysARecordingInItsLengthOverTheSpeed) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(3, "160x120@30", "160x120@30");
  ASSERT_TRUE(card.ok);
  for (const double speed : {0.5, 2.0, 4.0, 16.0}) {
    SCOPED_TRACE(roadkeep::SpeedName(speed));
    PlayerRig rig(card.dir.Path().string());
    rig.player.SetSpeed(speed);
    const auto start = Clock::now();
    rig.player.OpenMedia(card.Name(0).c_str());
    ASSERT_TRUE(rig.WaitForEnd(30s));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(seconds, 0.8 * 3.0 / speed);
    EXPECT_LT(seconds, 3.0 / speed + 1.5);
    EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);
    if (speed <= 4.0) {
      EXPECT_EQ(rig.front.FrameCount(), 90);
    }
  }
}

// At 1/8x a frame waits 266 ms for its time; the owner's calls still get the player within
// a short turn, and a new speed is taken at once.
TEST(PlayerSpeed, OwnerCallsAndSpeedChangesDoNotWaitForASlowFrame) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(3, "160x120@30", "160x120@30");
  ASSERT_TRUE(card.ok);
  PlayerRig rig(card.dir.Path().string());
  rig.player.SetSpeed(0.125);
  rig.player.OpenMedia(card.Name(0).c_str());
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= 2; }, 10s));
  auto start = Clock::now();
  rig.player.PausePlayback();
  rig.player.SeekToMs(1000);
  EXPECT_LT(Clock::now() - start, 150ms);
  ASSERT_TRUE(PlayerRig::WaitUntil(
      [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
  rig.player.ResumePlayback();
  rig.player.SetSpeed(16);
  start = Clock::now();
  ASSERT_TRUE(rig.WaitForEnd(30s));
  EXPECT_LT(Clock::now() - start, 2s);  // the last 2 s at 16x, not at 1/8x
}

}  // namespace
