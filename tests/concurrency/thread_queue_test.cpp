#include "concurrency/thread_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <random>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(int n, uint8_t seed) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<uint8_t>(seed + i);
  return v;
}

TEST(ThreadQueue, RefusesPushThatWouldReachCapacity) {
  CThreadQueue q;
  q.Init(16);
  const auto data = Bytes(16, 0);
  EXPECT_TRUE(q.Push(data.data(), 10, 1));
  EXPECT_FALSE(q.Push(data.data(), 6, 2));  // 10 + 6 >= 16
  EXPECT_EQ(q.Count(), 1);
  EXPECT_TRUE(q.Push(data.data(), 5, 3));
  EXPECT_EQ(q.BytesQueued(), 15);
}

// A producer waiting for room in a full queue is woken at once by WakeProducer (a reader
// being paused for a seek), not at the end of its time limit.
TEST(ThreadQueue, WakeProducerEndsAWaitForSpaceOnAFullQueue) {
  CThreadQueue q;
  q.Init(16);
  const auto data = Bytes(15, 0);
  ASSERT_TRUE(q.Push(data.data(), 15, 1));
  bool roomCame = true;
  std::chrono::steady_clock::duration waited{};
  std::thread producer([&] {
    const auto start = std::chrono::steady_clock::now();
    roomCame = q.WaitForSpace(8, 30000);
    waited = std::chrono::steady_clock::now() - start;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  q.WakeProducer();
  producer.join();
  EXPECT_FALSE(roomCame);
  EXPECT_LT(waited, std::chrono::seconds(10));
}

TEST(ThreadQueue, RecordsComeOutInOrderWithTheirSizesAndTags) {
  CThreadQueue q;
  q.Init(1024);
  const int sizes[] = {3, 0, 17, 1, 64};
  for (int i = 0; i < 5; ++i) {
    const auto data = Bytes(sizes[i], static_cast<uint8_t>(i * 10));
    ASSERT_TRUE(q.Push(data.data(), sizes[i], 100 + i));
  }
  std::vector<uint8_t> out(1024);
  for (int i = 0; i < 5; ++i) {
    void* dst = out.data();
    int size = -1, tag = -1;
    ASSERT_TRUE(q.Pop(&dst, &size, &tag));
    EXPECT_EQ(size, sizes[i]);
    EXPECT_EQ(tag, 100 + i);
    const auto want = Bytes(sizes[i], static_cast<uint8_t>(i * 10));
    EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin()));
  }
}

TEST(ThreadQueue, PopWithIdSplitsOffTheId) {
  CThreadQueue q;
  q.Init(64);
  ASSERT_TRUE(q.Push("00dc", 4, 7));
  ASSERT_TRUE(q.Push("01dcABC", 7, 8));
  char id[4];
  char out[16] = {};
  void* dst = out;
  int size = -1, tag = -1;
  ASSERT_TRUE(q.PopWithId(id, &dst, &size, &tag));
  EXPECT_EQ(std::string(id, 4), "00dc");
  EXPECT_EQ(size, 0);
  EXPECT_EQ(tag, 7);
  ASSERT_TRUE(q.PopWithId(id, &dst, &size, &tag));
  EXPECT_EQ(std::string(id, 4), "01dc");
  EXPECT_EQ(size, 3);
  EXPECT_EQ(std::string(out, 3), "ABC");
}

TEST(ThreadQueue, BoundedPopDropsARecordLargerThanTheBuffer) {
  CThreadQueue q;
  q.Init(64);
  ASSERT_TRUE(q.Push("00dc0123456789", 14, 1));
  ASSERT_TRUE(q.Push("02wbxy", 6, 2));
  char id[4];
  char out[4];
  void* dst = out;
  int size = 4, tag = 0;
  EXPECT_FALSE(q.PopWithId(id, &dst, &size, &tag, 4));
  EXPECT_EQ(size, 10);
  size = 4;
  EXPECT_TRUE(q.PopWithId(id, &dst, &size, &tag, 4));
  EXPECT_EQ(std::string(out, 2), "xy");
}

TEST(ThreadQueue, ClearEmptiesAndPopReportsEmpty) {
  CThreadQueue q;
  q.Init(64);
  ASSERT_TRUE(q.Push("abcd", 4, 1));
  q.Clear();
  char out[8];
  void* dst = out;
  int size = 0, tag = 0;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(q.Pop(&dst, &size, &tag));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[CThreadQueue] Pop Empty\n");
  EXPECT_EQ(q.Capacity(), 64);
}

// Interleaved pushes and pops of random sizes against a plain model of the queue: the
// ring's wrapping must never lose, reorder or corrupt a record.
TEST(ThreadQueue, MatchesAModelUnderInterleavedTraffic) {
  CThreadQueue q;
  q.Init(4096);
  std::deque<std::vector<uint8_t>> model;
  int modelBytes = 0;
  std::mt19937 rng(42);
  std::vector<uint8_t> out(4096);
  for (int step = 0; step < 20000; ++step) {
    if (rng() % 3 != 0) {
      const int n = static_cast<int>(rng() % 700);
      const auto data = Bytes(n, static_cast<uint8_t>(step));
      const bool pushed = q.Push(data.data(), n, step);
      // Never past the capacity; refused below it only for want of contiguous room in the
      // ring, which an empty queue always has.
      if (pushed) {
        ASSERT_LT(modelBytes + n, 4096);
      }
      if (model.empty()) {
        ASSERT_TRUE(pushed);
      }
      if (pushed) {
        model.push_back(data);
        modelBytes += n;
      }
    } else if (!model.empty()) {
      void* dst = out.data();
      int size = -1, tag = -1;
      ASSERT_TRUE(q.Pop(&dst, &size, &tag));
      ASSERT_EQ(size, static_cast<int>(model.front().size()));
      ASSERT_TRUE(std::equal(model.front().begin(), model.front().end(), out.begin()));
      modelBytes -= size;
      model.pop_front();
    }
  }
  EXPECT_EQ(q.BytesQueued(), modelBytes);
}

// The in-place push: records read straight into a reservation, queued together; the room
// of a popped record is not handed out again while the consumer may still be copying it
// (until its next pop), and a Clear drops a reservation made before it.
TEST(ThreadQueue, InPlacePushesKeepTheirBytesUntilTakenAndCopied) {
  CThreadQueue q;
  q.Init(100);
  uint8_t* room = q.ReservePush(60);
  ASSERT_NE(room, nullptr);
  for (int i = 0; i < 60; ++i) room[i] = static_cast<uint8_t>(i);
  const CThreadQueue::Pushed batch[] = {{0, 10, 1}, {10, 0, 2}, {10, 50, 3}};
  q.CommitPush(batch, 3);
  EXPECT_EQ(q.Count(), 3);
  EXPECT_EQ(q.BytesQueued(), 60);
  uint8_t out[64];
  void* dst = out;
  int size = -1, tag = -1;
  for (const auto& want : batch) {
    ASSERT_TRUE(q.Pop(&dst, &size, &tag));
    EXPECT_EQ(size, want.size);
    EXPECT_EQ(tag, want.tag);
  }
  EXPECT_EQ(out[0], 10);  // the third record started at byte 10 of the room
  EXPECT_EQ(out[49], 59);
  // The last record [10, 60) is held: 50 bytes fit neither behind it nor before it.
  EXPECT_EQ(q.ReservePush(50), nullptr);
  EXPECT_NE(q.ReservePush(40), nullptr);   // behind it
  q.CommitPush(-1, 0);                     // given back
  EXPECT_FALSE(q.Pop(&dst, &size, &tag));  // the consumer's next pop lets it go
  EXPECT_NE(q.ReservePush(50), nullptr);
  q.Clear();
  q.CommitPush(50, 9);  // reserved before the Clear: dropped
  EXPECT_EQ(q.Count(), 0);
  // The largest record a queue takes is one byte under its capacity.
  EXPECT_EQ(q.ReservePush(100), nullptr);
  EXPECT_NE(q.ReservePush(99), nullptr);
  q.CommitPush(99, 4);
  EXPECT_EQ(q.BytesQueued(), 99);
}

TEST(ThreadQueue, ProducerAndConsumerThreadsPassEveryRecord) {
  CThreadQueue q;
  q.Init(1000);
  constexpr int kRecords = 5000;
  std::thread producer([&] {
    for (int i = 0; i < kRecords; ++i) {
      const auto data = Bytes(1 + i % 300, static_cast<uint8_t>(i));
      while (!q.Push(data.data(), static_cast<int>(data.size()), i)) std::this_thread::yield();
    }
  });
  std::vector<uint8_t> out(1000);
  testing::internal::CaptureStdout();  // empty pops print
  for (int i = 0; i < kRecords;) {
    void* dst = out.data();
    int size = 0, tag = 0;
    if (!q.Pop(&dst, &size, &tag)) continue;
    ASSERT_EQ(tag, i);
    ASSERT_EQ(size, 1 + i % 300);
    ASSERT_EQ(out[0], static_cast<uint8_t>(i));
    ++i;
  }
  producer.join();
  testing::internal::GetCapturedStdout();
}

}  // namespace
