#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "concurrency/single_thread.h"
#include "concurrency/sync.h"
#include "concurrency/wait_event.h"

namespace {

using namespace std::chrono_literals;

// Waits for a condition with a generous timeout.
template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

struct Worker {
  std::atomic<int> steps{0};
  std::atomic<bool> inStep{false};
  std::string name;
  static bool Step(void* self) {
    auto* w = static_cast<Worker*>(self);
    w->inStep = true;
    if (w->steps == 0) {
      char buf[32] = {};
      pthread_getname_np(pthread_self(), buf, sizeof buf);
      w->name = buf;
    }
    std::this_thread::sleep_for(2ms);
    ++w->steps;
    w->inStep = false;
    return true;
  }
};

TEST(SingleThread, CallsTheStepAgainAndAgainUnderItsName) {
  Worker w;
  CSingleThread thread("TATParser");
  ASSERT_TRUE(thread.BeginThread(&Worker::Step, &w, 0, 0));
  ASSERT_TRUE(WaitFor([&] { return w.steps >= 5; }));
  thread.StopThread();
  EXPECT_EQ(w.name, "TATParser");
}

TEST(SingleThread, StopReturnsOnlyAfterTheLastStep) {
  for (int round = 0; round < 20; ++round) {
    Worker w;
    CSingleThread thread(nullptr);
    thread.BeginThread(&Worker::Step, &w, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
    thread.StopThread();
    const int steps = w.steps;
    EXPECT_FALSE(w.inStep);
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(w.steps, steps);
  }
}

TEST(SingleThread, StopIsSafeOnAThreadNeverBegunAndTwice) {
  CSingleThread thread("MediaSync");
  thread.StopThread();
  Worker w;
  ASSERT_TRUE(thread.BeginThread(&Worker::Step, &w, 0, 0));
  thread.StopThread();
  thread.StopThread();
  EXPECT_FALSE(thread.IsRunning());
  // It can be begun again after a stop.
  ASSERT_TRUE(thread.BeginThread(&Worker::Step, &w, 0, 0));
}

TEST(SingleThread, AStepReturningFalseEndsTheThread) {
  std::atomic<int> calls{0};
  auto step = [](void* c) { return ++*static_cast<std::atomic<int>*>(c) < 3; };
  CSingleThread thread(nullptr);
  thread.BeginThread(step, &calls, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return calls >= 3; }));
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(calls, 3);
  thread.StopThread();
}

TEST(WaitEvent, TimesOutWithoutASignal) {
  CWaitEvent event;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.WaitEvent(30), CWaitEvent::kTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(WaitEvent, ASignalGivenBeforeTheWaitDoesNotCount) {
  CWaitEvent event;
  event.SetEvent();
  EXPECT_EQ(event.WaitEvent(20), CWaitEvent::kTimeout);
}

TEST(WaitEvent, WakesAnUnlimitedWaitFromAnotherThread) {
  CWaitEvent event;
  std::atomic<bool> stop{false};
  std::thread signaller([&] {
    while (!stop) {
      event.SetEvent();
      std::this_thread::sleep_for(1ms);
    }
  });
  EXPECT_EQ(event.WaitEvent(CWaitEvent::kInfinite), 0u);
  stop = true;
  signaller.join();
}

TEST(Sync, ExcludesOtherHolders) {
  CSync sync("none");
  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 100000; ++i) {
      CSyncGuard guard(sync);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 200000);
}

}  // namespace
