// CMediaSync's queue and its "MediaSync" thread, with a gate standing in for the output
// where the test is about the queue, and SDL's disk driver where it is about delivery.
#include "playback/media_sync.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>

#include "playback/wave_box.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

// An output whose Play blocks until the test opens the gate, or gives up while discarding.
class GatedAudio : public VAudio {
 public:
  bool OpenOutput(int, int) override { return true; }
  int CloseOutput() override { return 1; }
  void ReopenOutput() override {}
  bool IsReady() const override { return true; }
  int CheckResult(int code) override { return code; }
  void Play(const void*, int size) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_lengths.push_back(size);
    m_cond.notify_all();
    m_cond.wait(lock, [&] { return m_open || m_discard; });
    if (!m_discard) m_written.push_back(size);
  }
  void SetDiscard(bool on) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_discard = on;
    m_discards.push_back(on);
    m_cond.notify_all();
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_cond.notify_all();
  }
  bool WaitForPlays(size_t n) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, 10s, [&] { return m_lengths.size() >= n; });
  }
  std::vector<int> Lengths() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lengths;
  }
  std::vector<int> Written() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
  }
  std::vector<bool> Discards() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_discards;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_open = false;
  bool m_discard = false;
  std::vector<int> m_lengths;    // chunks Play was called with
  std::vector<int> m_written;    // chunks it let through
  std::vector<bool> m_discards;  // SetDiscard calls
};

bool Eventually(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(MediaSync, QueueKeepsAtMost3840BytesPerChunkOldestFirst) {
  CMediaSync sync;
  std::vector<uint8_t> big(5000), small = {7, 8, 9};
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
  EXPECT_TRUE(sync.PushPcm(big.data(), 5000));
  EXPECT_TRUE(sync.PushPcm(small.data(), 3));
  EXPECT_TRUE(sync.PushPcm(nullptr, 100));
  EXPECT_EQ(sync.Count(), 3);
  std::vector<uint8_t> out(CMediaSync::kMaxPcmBytes);
  int length = -1;
  ASSERT_TRUE(sync.PopPcm(out.data(), &length));
  ASSERT_EQ(length, 3840);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), big.begin()));
  ASSERT_TRUE(sync.PopPcm(out.data(), &length));
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 3), small);
  ASSERT_TRUE(sync.PopPcm(out.data(), &length));
  EXPECT_EQ(length, 0);
  EXPECT_FALSE(sync.PopPcm(out.data(), &length));
  sync.PushPcm(small.data(), 3);
  sync.PushPcm(small.data(), 3);
  sync.Clear();
  EXPECT_FALSE(sync.PopPcm(out.data(), &length));
  EXPECT_EQ(sync.Count(), 0);
}

TEST(MediaSync, WaitForAudioReturnsWithZeroOrOneChunkAndWaitsWithTwo) {
  GatedAudio audio;
  CMediaSync sync;
  sync.SetAudio(&audio);
  const uint8_t pcm[4] = {1, 2, 3, 4};
  sync.PushPcm(pcm, 4);
  sync.StartThread();
  ASSERT_TRUE(audio.WaitForPlays(1));  // the thread now holds the first chunk in Play
  sync.WaitForAudio();                 // 0 queued
  sync.PushPcm(pcm, 3);
  sync.WaitForAudio();  // 1 queued
  sync.PushPcm(pcm, 2);
  auto waiting = std::async(std::launch::async, [&] { sync.WaitForAudio(); });
  EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout) << "2 queued must wait";
  audio.Open();
  EXPECT_EQ(waiting.wait_for(10s), std::future_status::ready);
  ASSERT_TRUE(Eventually([&] { return sync.Count() == 0; }));
  sync.StopThread();
  EXPECT_EQ(audio.Lengths(), (std::vector<int>{4, 3, 2}));
}

TEST(MediaSync, ClearDropsTheQueueAndTheChunkOnItsWayToTheOutput) {
  GatedAudio audio;
  CMediaSync sync;
  sync.SetAudio(&audio);
  const uint8_t pcm[4] = {1, 2, 3, 4};
  for (int size = 1; size <= 3; ++size) sync.PushPcm(pcm, size);
  sync.StartThread();
  ASSERT_TRUE(audio.WaitForPlays(1));  // chunk 1 waits at the gate, 2 and 3 are queued
  sync.Clear();
  EXPECT_EQ(sync.Count(), 0);
  EXPECT_EQ(audio.Discards(), (std::vector<bool>{true, false}));
  sync.PushPcm(pcm, 4);
  audio.Open();
  ASSERT_TRUE(audio.WaitForPlays(2));
  ASSERT_TRUE(Eventually([&] { return sync.Count() == 0; }));
  sync.StopThread();
  // The thread may have taken 2 and 3 before the queue was emptied; nothing old got through.
  EXPECT_EQ(audio.Lengths().back(), 4);
  EXPECT_EQ(audio.Written(), (std::vector<int>{4}));
}

TEST(MediaSync, ThreadDeliversChunksToTheDeviceInOrder) {
  roadkeep::test::TempDir dir;
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", dir.File("sync.raw").c_str(), 1);
  CWaveBox box;
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  CMediaSync sync;
  sync.SetAudio(&box);
  std::vector<uint8_t> want;
  for (int k = 0; k < 4; ++k) {
    std::vector<uint8_t> chunk(k == 0 ? 4000 : 800);
    for (size_t i = 0; i < chunk.size(); ++i)
      chunk[i] = static_cast<uint8_t>(1 + (i + 31 * k) % 200);
    sync.PushPcm(chunk.data(), static_cast<int>(chunk.size()));
    want.insert(want.end(), chunk.begin(), chunk.begin() + std::min<long>(3840, chunk.size()));
  }
  sync.StartThread();
  ASSERT_TRUE(Eventually([&] { return sync.Count() == 0 && box.FreeBuffers() == 2; }));
  sync.StopThread();
  box.CloseOutput();
  const auto file = roadkeep::test::ReadAll(dir.File("sync.raw"));
  const auto at = std::search(file.begin(), file.end(), want.begin(), want.end());
  EXPECT_NE(at, file.end());
}

TEST(MediaSync, WithoutAnOutputChunksAreConsumedSilently) {
  CMediaSync sync;
  const uint8_t pcm[16] = {};
  for (int i = 0; i < 5; ++i) sync.PushPcm(pcm, 16);
  sync.WaitForAudio();  // the thread is not running: nothing would ever drain the queue
  sync.StartThread();
  EXPECT_TRUE(Eventually([&] { return sync.Count() == 0; }));
  sync.StopThread();
}

}  // namespace
