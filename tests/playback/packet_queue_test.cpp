// The player's packet queue and its frame pacing.
#include "playback/packet_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <cstring>
#include <string>

#include "playback/frame_pacer.h"

namespace {

TEST(PacketQueue, KeepsOrderKindAndBytes) {
  CPacketQueue queue;
  queue.Push(CPacketQueue::kFront, "front", 5);
  queue.Push(CPacketQueue::kText, "t\0", 2);
  queue.Push(CPacketQueue::kRear, "rear!", 5);
  queue.Push(CPacketQueue::kRear, "ignored", 0);
  queue.Push(CPacketQueue::kRear, "ignored", -3);
  queue.Push(CPacketQueue::kRear, nullptr, 4);
  EXPECT_EQ(queue.Count(), 3);
  const struct {
    int32_t kind;
    std::string bytes;
  } expected[] = {{0, "front"}, {2, std::string("t\0", 2)}, {1, "rear!"}};
  for (const auto& e : expected) {
    char out[16] = {};
    int size = -1;
    int32_t kind = -1;
    ASSERT_TRUE(queue.Pop(out, sizeof out, &size, &kind));
    EXPECT_EQ(kind, e.kind);
    EXPECT_EQ(std::string(out, static_cast<size_t>(size)), e.bytes);
  }
  char out[4];
  int size = 0;
  int32_t kind = 0;
  EXPECT_FALSE(queue.Pop(out, sizeof out, &size, &kind));
}

TEST(PacketQueue, DropsPacketsLargerThanTheDestination) {
  CPacketQueue queue;
  queue.Push(0, "0123456789", 10);
  queue.Push(1, "abc", 3);
  char out[4] = {};
  int size = 0;
  int32_t kind = 0;
  ASSERT_TRUE(queue.Pop(out, sizeof out, &size, &kind));
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(std::string(out, 3), "abc");
  queue.Push(0, "0123456789", 10);
  EXPECT_FALSE(queue.Pop(out, sizeof out, &size, &kind));
  EXPECT_FALSE(queue.Pop(nullptr, 100, &size, &kind));
}

TEST(PacketQueue, ClearEmptiesAndStorageIsReused) {
  CPacketQueue queue;
  std::string big(100000, 'x');
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 100; ++i) queue.Push(i % 3, big.data(), static_cast<int>(big.size()) - i);
    queue.Clear();
    EXPECT_EQ(queue.Count(), 0);
  }
  queue.Push(2, "z", 1);
  char out[1];
  int size = 0;
  int32_t kind = 0;
  ASSERT_TRUE(queue.Pop(out, 1, &size, &kind));
  EXPECT_EQ(size, 1);
  EXPECT_EQ(out[0], 'z');
}

TEST(FramePacer, FirstFramePassesAtOnceAndPrintsTheTraceLine) {
  CFramePacer pacer;
  testing::internal::CaptureStdout();
  EXPECT_EQ(pacer.Pace(30), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[00] dif 60, mean 60 :  0 msec\n");
}

// A simulated clock: the audio device lets frames through in bursts (six at a time, every
// 200 ms, as 200 ms audio chunks do); the pacer must spread them evenly.
TEST(FramePacer, SpreadsFramesThatTheAudioReleasesInBursts) {
  int64_t clock = 1000;
  CFramePacer pacer([&] { return clock; }, [&](int ms) { clock += ms; });
  std::vector<int64_t> shown;
  testing::internal::CaptureStdout();
  for (int frame = 0; frame < 300; ++frame) {
    const int64_t released = 1000 + (frame / 6) * 200;  // the audio gate for this frame
    clock = std::max(clock + 3, released);             // 3 ms of reading and decoding
    pacer.Pace(30);
    shown.push_back(clock);
  }
  testing::internal::GetCapturedStdout();
  int worst = 0, best = 1000;
  for (size_t i = 30; i < shown.size(); ++i) {
    worst = std::max<int>(worst, static_cast<int>(shown[i] - shown[i - 1]));
    best = std::min<int>(best, static_cast<int>(shown[i] - shown[i - 1]));
  }
  EXPECT_LE(worst, 40);
  EXPECT_GE(best, 30);
  // The audio stays the master: the frames keep to its pace.
  EXPECT_NEAR(static_cast<double>(shown.back() - shown[30]) / (shown.size() - 31), 33.3, 0.5);
}

// Late frames (a slow decode, a seek, a pause) are shown at once and do not make the next
// ones rush.
TEST(FramePacer, ALateFrameRestartsTheSchedule) {
  int64_t clock = 0;
  CFramePacer pacer([&] { return clock; }, [&](int ms) { clock += ms; });
  testing::internal::CaptureStdout();
  pacer.Pace(25);
  clock += 5;
  EXPECT_EQ(pacer.Pace(25), 35);  // early: waits for its 40 ms slot
  clock += 500;                    // a long stall
  EXPECT_EQ(pacer.Pace(25), 0);
  clock += 10;
  EXPECT_EQ(pacer.Pace(25), 30);  // one period after the late frame, not a catch-up burst
  testing::internal::GetCapturedStdout();
}

// Frames at each speed keep the period over the speed, and frames left out (key frames
// only) keep their time: the next one shown waits for it. An owner waiting makes a long wait
// give up without letting the frame through.
TEST(FramePacer, SpacesFramesAtTheSpeedAndKeepsTheTimeOfFramesLeftOut) {
  struct Case {
    double speed;
    int shownEvery;  // 1: every frame shown; n: one in n, the others skipped
  } cases[] = {{0.125, 1}, {1, 1}, {4, 1}, {16, 1}, {16, 24}};
  testing::internal::CaptureStdout();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.speed << "x, one in " << c.shownEvery);
    int64_t clock = 0;
    CFramePacer pacer([&] { return clock; }, [&](int ms) { clock += ms; });
    for (int frame = 0; frame <= 240; ++frame) {
      clock += 1;  // reading and decoding
      if (frame % c.shownEvery == 0) {
        pacer.Pace(30, c.speed);
      } else {
        pacer.Skip(30, c.speed);
      }
    }
    EXPECT_NEAR(static_cast<double>(clock), 240 * 1000.0 / 30 / c.speed, 240 / 30.0 / c.speed * 5 + 1);
  }
  int64_t clock = 0;
  std::atomic<int32_t> owners{0};
  bool ownerComes = true;
  CFramePacer pacer([&] { return clock; }, [&](int ms) {
    clock += ms;
    if (ownerComes) owners = 1;  // while the frame waits
    ownerComes = false;
  });
  pacer.Pace(30, 0.125, &owners);
  EXPECT_EQ(pacer.Pace(30, 0.125, &owners), -1);
  EXPECT_LE(clock, 20);
  owners = 0;
  pacer.Pace(30, 0.125, &owners);  // the same deadline: 266 ms after the first frame
  EXPECT_EQ(clock, 267);
  testing::internal::GetCapturedStdout();
}

}  // namespace
