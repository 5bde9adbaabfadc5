// CWaveBox on SDL2's disk driver (the file holds exactly what the device played, at real-time
// pace) and on a device that never hands a buffer back.
#include "playback/wave_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using roadkeep::test::ReadAll;
using roadkeep::test::TempDir;

void UseDiskDriver(const std::string& file) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
}

// 16-bit samples in which no byte is zero, so they stand out from silence.
std::vector<uint8_t> Pattern(int bytes, int seed) {
  std::vector<uint8_t> out(static_cast<size_t>(bytes));
  for (int i = 0; i < bytes; ++i)
    out[static_cast<size_t>(i)] = static_cast<uint8_t>(1 + (i * 7 + seed) % 120);
  return out;
}

bool WaitAllFree(const CWaveBox& box) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (box.FreeBuffers() < CWaveBox::kBuffers) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Checks that file is silence, then exactly want, then silence.
void ExpectPlayed(const std::vector<uint8_t>& file, const std::vector<uint8_t>& want) {
  const auto at = std::search(file.begin(), file.end(), want.begin(), want.end());
  ASSERT_NE(at, file.end()) << "played bytes not found in " << file.size() << " bytes";
  EXPECT_TRUE(std::all_of(file.begin(), at, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(at + static_cast<long>(want.size()), file.end(),
                          [](uint8_t b) { return b == 0; }));
}

// Counts the tries Play makes.
class CountingWaveBox : public CWaveBox {
 public:
  using CWaveBox::CWaveBox;
  int writes = 0;

 protected:
  int WriteBuffer(const void* data, int size) override {
    ++writes;
    return CWaveBox::WriteBuffer(data, size);
  }
};

// A device that takes buffers and never reports one played.
class StuckDevice : public VWaveOut {
 public:
  int written = 0;
  int Open(const WaveFormat&, WaveDoneFn, void*) override { return kWaveOk; }
  int Close() override { return kWaveOk; }
  int Prepare(WaveHeader* h) override { return h->prepared = true, kWaveOk; }
  int Unprepare(WaveHeader* h) override { return h->queued ? kWaveStillPlaying : kWaveOk; }
  int Write(WaveHeader* h) override { return h->queued = true, ++written, kWaveOk; }
  int Discard() override { return kWaveOk; }  // gives nothing back either
};

TEST(WaveBox, FileHoldsWhatWasPlayedAtRealTimePace) {
  TempDir dir;
  UseDiskDriver(dir.File("out.raw"));
  CWaveBox::SetOutputVolume(0xFFFFFFFF);
  CWaveBox box;
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  EXPECT_EQ(box.Format().blockAlign, 2);
  EXPECT_EQ(box.Format().bytesPerSecond, 16000);
  std::vector<std::vector<uint8_t>> chunks = {Pattern(5000, 0)};
  for (int i = 1; i <= 5; ++i) chunks.push_back(Pattern(3840, i));
  chunks.push_back(Pattern(1000, 9));
  std::vector<uint8_t> want;
  const auto start = Clock::now();
  for (const auto& chunk : chunks) {
    box.Play(chunk.data(), static_cast<int>(chunk.size()));
    const size_t kept = std::min<size_t>(chunk.size(), 3840);  // a 5000-byte chunk plays 3840
    want.insert(want.end(), chunk.begin(), chunk.begin() + static_cast<long>(kept));
  }
  ASSERT_TRUE(WaitAllFree(box));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_TRUE(box.IsReady());
  EXPECT_EQ(box.CloseOutput(), 1);
  ExpectPlayed(ReadAll(dir.File("out.raw")), want);
  const double rate = static_cast<double>(want.size()) / seconds;
  std::cout << want.size() << " bytes in " << seconds << " s: " << rate << " bytes/s\n";
  EXPECT_NEAR(rate, 16000.0, 1600.0);
}

TEST(WaveBox, OutputVolumeIsAppliedAsGain) {
  TempDir dir;
  struct Case {
    uint32_t volume;
    int gain;
  };
  const Case cases[] = {{0xFD6FFD6F, 64879},  // slider at 99
                        {0, 0}};
  for (const Case& c : cases) {
    const std::string file = dir.File("gain" + std::to_string(c.gain) + ".raw");
    UseDiskDriver(file);
    CWaveBox::SetOutputVolume(c.volume);
    CWaveBox box;
    ASSERT_TRUE(box.OpenOutput(16, 8000));
    std::vector<int16_t> samples(1920);
    for (size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<int16_t>((i % 2 ? -1 : 1) * (300 + 17 * static_cast<int>(i)));
    }
    box.Play(samples.data(), 3840);
    ASSERT_TRUE(WaitAllFree(box));
    box.CloseOutput();
    const auto bytes = ReadAll(file);
    ASSERT_GE(bytes.size(), 3840u);
    if (c.gain == 0) {
      EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
      continue;
    }
    std::vector<uint8_t> want(3840);
    for (size_t i = 0; i < samples.size(); ++i) {
      const auto scaled = static_cast<int16_t>(samples[i] * c.gain / 65535);
      std::memcpy(want.data() + 2 * i, &scaled, 2);
    }
    ExpectPlayed(bytes, want);
  }
  CWaveBox::SetOutputVolume(0xFFFFFFFF);
}

TEST(WaveBox, WithoutAUsableDeviceOpenFailsAndPlayReturnsAtOnce) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  CountingWaveBox box;
  EXPECT_FALSE(box.OpenOutput(16, 8000));
  EXPECT_FALSE(box.IsReady());
  const uint8_t pcm[64] = {1};
  box.Play(pcm, sizeof pcm);
  EXPECT_EQ(box.writes, 0);
  EXPECT_EQ(box.CloseOutput(), -1);
  // Formats the output cannot take fail the same way.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  for (auto [bits, rate] : {std::pair{12, 8000}, {16, 0}, {16, -8000}, {0x7FFFFFFF, 0x7FFFFFFF}}) {
    EXPECT_FALSE(box.OpenOutput(bits, rate)) << bits << " " << rate;
    EXPECT_FALSE(box.IsReady());
  }
}

TEST(WaveBox, GivesUpAfter51TriesWhenNoBufferComesBack) {
  auto device = std::make_unique<StuckDevice>();
  StuckDevice* stuck = device.get();
  CountingWaveBox box(std::move(device));
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  const auto pcm = Pattern(3840, 1);
  box.Play(pcm.data(), 3840);
  box.Play(pcm.data(), 3840);
  EXPECT_EQ(box.writes, 2);
  EXPECT_EQ(box.FreeBuffers(), 0);
  box.Play(pcm.data(), 3840);
  EXPECT_EQ(box.writes, 2 + 51);
  EXPECT_FALSE(box.IsReady());
  box.Play(pcm.data(), 3840);
  EXPECT_EQ(box.writes, 2 + 51);
  EXPECT_EQ(stuck->written, 2);
}

TEST(WaveBox, CheckResultEndsOutputOnlyOnDeviceErrors) {
  struct Case {
    int code;
    bool ends;
  };
  const Case cases[] = {{kWaveOk, false},        {kWaveInvalidHandle, true},
                        {kWaveNoDriver, true},   {kWaveNoMemory, true},
                        {kWaveUnprepared, true}, {kWaveStillPlaying, false},
                        {kWaveError, false},     {kWaveInvalidParam, false}};
  for (const Case& c : cases) {
    CWaveBox box(std::make_unique<StuckDevice>());
    ASSERT_TRUE(box.OpenOutput(16, 8000));
    EXPECT_EQ(box.CheckResult(c.code), c.code);
    EXPECT_EQ(box.IsReady(), !c.ends) << c.code;
  }
}

TEST(WaveBox, EmptyOrBadChunksWriteNothing) {
  auto device = std::make_unique<StuckDevice>();
  StuckDevice* stuck = device.get();
  CountingWaveBox box(std::move(device));
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  const uint8_t pcm[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  box.Play(nullptr, 100);
  box.Play(pcm, 0);
  box.Play(pcm, -3);
  EXPECT_EQ(box.writes, 3);  // one try each, nothing to write
  EXPECT_EQ(stuck->written, 0);
  EXPECT_TRUE(box.IsReady());
  box.Play(pcm, 8);
  EXPECT_EQ(stuck->written, 1);
}

// Discarding takes back the buffer the device has not begun and writes nothing until it is
// turned off; the buffer already playing (if the device had begun it) plays on whole.
TEST(WaveBox, DiscardDropsWhatTheDeviceHasNotBegun) {
  TempDir dir;
  UseDiskDriver(dir.File("discard.raw"));
  CWaveBox::SetOutputVolume(0xFFFFFFFF);
  CWaveBox box;
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  const auto a = Pattern(3840, 1), b = Pattern(3840, 2), c = Pattern(3840, 3),
             d = Pattern(3840, 4);
  box.Play(a.data(), 3840);
  box.Play(b.data(), 3840);  // queued behind a (240 ms of sound each)
  box.SetDiscard(true);
  EXPECT_GE(box.FreeBuffers(), 1);  // b came back at once
  box.Play(c.data(), 3840);
  box.SetDiscard(false);
  box.Play(d.data(), 3840);
  ASSERT_TRUE(WaitAllFree(box));
  box.CloseOutput();
  const auto file = ReadAll(dir.File("discard.raw"));
  const auto found = [&](const std::vector<uint8_t>& want) {
    return std::search(file.begin(), file.end(), want.begin(), want.end()) != file.end();
  };
  EXPECT_FALSE(found(b));
  EXPECT_FALSE(found(c));
  EXPECT_TRUE(found(d));
  // Of a, all of it or none: the device either had begun it or gave it back.
  const auto nonZero = std::count_if(file.begin(), file.end(), [](uint8_t v) { return v != 0; });
  EXPECT_EQ(nonZero, found(a) ? 2 * 3840 : 3840);
}

TEST(WaveBox, DiscardingEndsAWaitingPlayWithoutGivingUpTheOutput) {
  auto device = std::make_unique<StuckDevice>();
  StuckDevice* stuck = device.get();
  CountingWaveBox box(std::move(device));
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  const auto pcm = Pattern(3840, 1);
  box.Play(pcm.data(), 3840);
  box.Play(pcm.data(), 3840);  // both buffers busy from now on
  std::thread player([&] { box.Play(pcm.data(), 3840); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // it waits for a buffer
  box.SetDiscard(true);
  player.join();  // within 10 ms of the discard, not after 51 tries
  EXPECT_TRUE(box.IsReady());
  EXPECT_LT(box.writes, 2 + 51);
  box.Play(pcm.data(), 3840);  // while discarding: one try that writes nothing
  EXPECT_EQ(stuck->written, 2);
  EXPECT_TRUE(box.IsReady());
}

TEST(WaveBox, ClosingWithBuffersQueuedReturnsThemAndReopenPlaysAgain) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  CountingWaveBox box;
  ASSERT_TRUE(box.OpenOutput(16, 8000));
  const auto pcm = Pattern(3840, 2);
  box.Play(pcm.data(), 3840);
  box.Play(pcm.data(), 3840);
  EXPECT_EQ(box.CloseOutput(), 1);
  EXPECT_FALSE(box.IsReady());
  EXPECT_EQ(box.FreeBuffers(), 2);
  box.ReopenOutput();
  ASSERT_TRUE(box.IsReady());
  const int before = box.writes;
  box.Play(pcm.data(), 3840);
  EXPECT_EQ(box.writes, before + 1);
}

// A device that plays nothing until the test gives its buffers back; closing or opening it
// again gives back what it holds, as a device reset does.
class StallingDevice : public VWaveOut {
 public:
  int written = 0;
  int Open(const WaveFormat&, WaveDoneFn callback, void* instance) override {
    GiveBack();
    m_callback = callback;
    m_instance = instance;
    return kWaveOk;
  }
  int Close() override {
    GiveBack();
    return kWaveOk;
  }
  int Prepare(WaveHeader* h) override { return h->prepared = true, kWaveOk; }
  int Unprepare(WaveHeader* h) override { return h->queued ? kWaveStillPlaying : kWaveOk; }
  int Write(WaveHeader* h) override {
    h->queued = true;
    m_queued.push_back(h);
    ++written;
    return kWaveOk;
  }
  int Discard() override { return kWaveOk; }
  void GiveBack() {
    for (WaveHeader* h : m_queued) {
      h->queued = false;
      m_callback(kWaveMsgDone, m_instance);
    }
    m_queued.clear();
  }

 private:
  WaveDoneFn m_callback = nullptr;
  void* m_instance = nullptr;
  std::vector<WaveHeader*> m_queued;
};

// After giving up on a stalled device the output is not dead for good: it plays again once
// the device gives a buffer back, or once it is opened again.
TEST(WaveBox, StalledOutputPlaysAgainWhenTheDeviceRecoversOrIsReopened) {
  struct Case {
    const char* what;
    std::function<void(CWaveBox&, StallingDevice&)> recover;
  } cases[] = {
      {"the device gives its buffers back", [](CWaveBox&, StallingDevice& d) { d.GiveBack(); }},
      {"ReopenOutput", [](CWaveBox& box, StallingDevice&) { box.ReopenOutput(); }},
      {"OpenOutput", [](CWaveBox& box, StallingDevice&) { box.OpenOutput(16, 8000); }},
  };
  const auto pcm = Pattern(3840, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto owned = std::make_unique<StallingDevice>();
    StallingDevice& device = *owned;
    CountingWaveBox box(std::move(owned));
    ASSERT_TRUE(box.OpenOutput(16, 8000));
    for (int i = 0; i < 3; ++i) box.Play(pcm.data(), 3840);  // the third gives up
    ASSERT_FALSE(box.IsReady());
    const int tries = box.writes;
    box.Play(pcm.data(), 3840);  // still stalled: returns at once
    EXPECT_EQ(box.writes, tries);
    c.recover(box, device);
    box.Play(pcm.data(), 3840);
    EXPECT_EQ(device.written, 3);
    EXPECT_TRUE(box.IsReady());
  }
}

}  // namespace
