// The player's packet queue and its frame pacing.
#include "media/packet_queue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "media/frame_pacer.h"

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

TEST(FramePacer, FirstFrameCountsAsSixtyMillisecondsAndPrintsTheTraceLine) {
  CFramePacer pacer;
  testing::internal::CaptureStdout();
  EXPECT_EQ(pacer.Pace(30), 33 - 60 - 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[00] dif 60, mean 60 : -29 msec\n");
  CFramePacer noRate;
  testing::internal::CaptureStdout();
  EXPECT_EQ(noRate.Pace(0), 33 - 60 - 2);  // a rate of 0 counts as 30
  testing::internal::GetCapturedStdout();
}

}  // namespace
