// The player on scripted chunks: the chunks it drops, the camera count by name, the order of
// its writes and the end event, and the audio output reopened.
#include "playback/player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "playback/audio.h"
#include "decoding/media_decoder.h"
#include "containers/media_parser.h"
#include "tests/playback/player_rig.h"

namespace {

using namespace std::chrono_literals;
using roadkeep::test::PlayerRig;

// A parser that delivers a fixed list of chunks, then the end. Open always succeeds at
// 30 frames per second with the player's own audio format. Two ids are not chunks: "wait"
// gives no data for reportedSize ms, "err!" is a read error.
class ScriptedParser : public VMediaParser {
 public:
  struct Chunk {
    const char* id;
    std::vector<uint8_t> bytes;
    int reportedSize;  // the size ReadChunk reports; -1: the bytes' size
  };
  explicit ScriptedParser(std::vector<Chunk> chunks) : m_chunks(std::move(chunks)) {}

  bool Start() override { return true; }
  void Stop() override {}
  int Open(const char*, MediaInfo* info) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_next = 0;
    m_failed = false;
    info->frontFrameRate = 30;
    info->frontFrameCount = 30;
    info->rearFrameCount = rearFrames;
    return 1;
  }
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_next < m_chunks.size() && std::memcmp(m_chunks[m_next].id, "wait", 4) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (m_waitUntil == std::chrono::steady_clock::time_point{}) {
          m_waitUntil = now + std::chrono::milliseconds(m_chunks[m_next].reportedSize);
        }
        if (now < m_waitUntil) return ChunkStatus::kNoData;
        m_waitUntil = {};
        ++m_next;
      }
      if (m_next < m_chunks.size() && std::memcmp(m_chunks[m_next].id, "err!", 4) == 0) {
        m_failed = true;
        return ChunkStatus::kError;
      }
    }
    return VMediaParser::NextChunk(id, buffer, size);
  }
  bool ReadFailed() override { return m_failed; }
  void Close() override {}
  int ReadNext(void*, int*) override { return kKindOther; }
  int ReadChunk(char id[4], void* buffer, int* size) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_next >= m_chunks.size()) return -1;
    const Chunk& chunk = m_chunks[m_next++];
    ++reads;
    std::memcpy(id, chunk.id, 4);
    const int capacity = *size;
    const size_t copied = std::min(chunk.bytes.size(), static_cast<size_t>(capacity));
    if (copied > 0) std::memcpy(buffer, chunk.bytes.data(), copied);
    *size = chunk.reportedSize >= 0 ? chunk.reportedSize : static_cast<int>(chunk.bytes.size());
    return 4;
  }
  bool BuildIndex(const char*, MediaInfo*) override { return false; }
  void Hook(int) override {}
  int* GetVideoSize(int out[2], int) override {
    out[0] = out[1] = 0;
    return out;
  }
  int GetFrameRate(int) override { return 30; }
  void GetAudioFormat(int* bits, int* rate) override {
    *bits = 16;
    *rate = 8000;
  }
  int Read(void*, int) override { return 0; }
  int Seek(int, int) override { return 0; }
  int Tell() override { return 0; }
  int GetTotalFrames() override { return 30; }
  int SeekToTime(float) override { return 0; }
  bool SeekReportsTime() override { return false; }

  std::atomic<int> reads{0};  // chunks delivered
  int rearFrames = 0;         // what Open reports

 private:
  std::mutex m_mutex;
  std::vector<Chunk> m_chunks;
  size_t m_next = 0;
  bool m_failed = false;
  std::chrono::steady_clock::time_point m_waitUntil;
};

// A decoder that notes (camera, size) of every chunk it is given and decodes nothing.
class NotingDecoder : public VMediaDecoder {
 public:
  bool OpenCodecs() override { return true; }
  void CloseCodecs() override {}
  bool DecodeAndShow(int index, VideoSurface*, const uint8_t*, int size, bool) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_calls.empty() && parser != nullptr) readsAtFirst = parser->reads.load();
    m_calls.emplace_back(index, size);
    return true;
  }
  bool RedrawFrame(int, VideoSurface*) override { return true; }
  int Flush(int) override { return 0; }
  void SetContrast(int, int) override {}
  void SetBrightness(int, int) override {}
  int SetFlipMode(int, int mode) override { return mode; }
  bool SaveFrame(int, const char*) override { return false; }
  std::vector<std::pair<int, int>> Calls() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_calls;
  }
  const ScriptedParser* parser = nullptr;
  std::atomic<int> readsAtFirst{-1};  // chunks the parser had delivered at the first decode

 private:
  std::mutex m_mutex;
  std::vector<std::pair<int, int>> m_calls;
};

// Chunk bytes: an Annex-B start code, then a NAL header byte (0x65 IDR slice, 0x41 non-IDR
// slice), then filler up to size.
std::vector<uint8_t> Nal(uint8_t header, size_t size) {
  std::vector<uint8_t> bytes = {0, 0, 0, 1, header};
  bytes.resize(size, 0x5A);  // sizes below 5 cut the header off
  return bytes;
}

// A player wired to a scripted parser and a noting decoder, counting its ends.
struct ScriptedPlayer {
  explicit ScriptedPlayer(std::vector<ScriptedParser::Chunk> chunks) : parser(std::move(chunks)) {
    decoder.parser = &parser;
    player.SetParser(&parser);
    player.SetDecoder(&decoder);
    player.SetStatusCallback(&ScriptedPlayer::OnStatus, this);
    player.StartEngine(nullptr, nullptr);
  }
  ~ScriptedPlayer() { player.Shutdown(); }
  static void OnStatus(void* user, int code, int failed, int) {
    auto* self = static_cast<ScriptedPlayer*>(user);
    if (code != 1) return;
    self->failures += failed;
    if (self->onEnd) self->onEnd();
    ++self->ends;
  }
  ScriptedParser parser;
  NotingDecoder decoder;
  CQMVMediaPlayer player;
  std::function<void()> onEnd;  // runs on the worker before the end is counted
  std::atomic<int> ends{0};
  std::atomic<int> failures{0};  // ends that were read errors
};

// Front chunks that start output at 30 frames per second: a key frame, then non-key ones.
std::vector<ScriptedParser::Chunk> PreBuffer(int frames) {
  std::vector<ScriptedParser::Chunk> chunks = {{"00dc", Nal(0x65, 40), -1}};
  for (int i = 1; i < frames; ++i) chunks.push_back({"00dc", Nal(0x41, 30), -1});
  return chunks;
}

// Chunks that cannot be video (empty, or as large as the player's buffer or larger) never
// reach the decoder nor count towards the pre-buffer, and a chunk of 4 bytes or fewer is
// never taken for a key frame, even when the byte after it in the read buffer (left by the
// chunk before) looks like one.
TEST(PlayerChunks, EmptyOversizedAndShortChunksAreDropped) {
  const int kBuffer = CQMVMediaPlayer::kBufferBytes;
  using Chunk = ScriptedParser::Chunk;
  auto preBufferWithEmpties = PreBuffer(20);
  for (const char* id : {"00dc", "02wb", "00dc"}) preBufferWithEmpties.push_back({id, {}, -1});
  preBufferWithEmpties.push_back({"00dc", Nal(0x41, 31), -1});  // the 21st front frame
  preBufferWithEmpties.push_back({"00dc", Nal(0x41, 32), -1});
  std::vector<std::pair<int, int>> preBufferDecoded = {{0, 40}};
  for (int i = 1; i < 20; ++i) preBufferDecoded.emplace_back(0, 30);
  preBufferDecoded.insert(preBufferDecoded.end(), {{0, 31}, {0, 32}});
  struct Case {
    const char* what;
    std::vector<Chunk> chunks;
    std::vector<std::pair<int, int>> decoded;  // (camera, size)
    int readsAtFirstDecode;                    // -1: output begins at the end
  } cases[] = {
      {"empty chunks within the pre-buffer", preBufferWithEmpties, preBufferDecoded, 24},
      {"empty and oversized video, audio and text",
       {{"00dc", Nal(0x65, 40), -1},
        {"00dc", {}, -1},
        {"01dc", {}, -1},
        {"01dc", Nal(0x65, 64), kBuffer},
        {"00dc", Nal(0x41, 64), kBuffer + 100},
        {"03tx", std::vector<uint8_t>(64, 'x'), kBuffer},
        {"02wb", std::vector<uint8_t>(64, 1), kBuffer},
        {"00dc", Nal(0x41, 30), -1},
        {"01dc", Nal(0x65, 20), -1}},
       {{0, 40}, {0, 30}, {1, 20}},
       -1},
      {"short chunks while waiting for key frames",
       {{"01dc", Nal(0x65, 50), -1},  // dropped, leaves 0x65 at offset 4 of the read buffer
        {"00dc", Nal(0x65, 4), -1},
        {"00dc", Nal(0x65, 3), -1},
        {"00dc", Nal(0x65, 45), -1},  // the first key frame
        {"01dc", Nal(0x65, 4), -1},   // offset 4 still holds 0x65 from the chunk before
        {"01dc", Nal(0x41, 25), -1},
        {"01dc", Nal(0x65, 26), -1},  // the first rear key frame
        {"00dc", Nal(0x41, 35), -1}},
       {{0, 45}, {1, 26}, {0, 35}},
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPlayer rig(c.chunks);
    rig.player.OpenMedia("REC_20140301_093000_D.avi");
    ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.ends.load() == 1; }, 10s));
    EXPECT_EQ(rig.decoder.Calls(), c.decoded);
    if (c.readsAtFirstDecode >= 0) {
      EXPECT_EQ(rig.decoder.readsAtFirst.load(), c.readsAtFirstDecode);
    }
  }
}

// The recording's streams decide the camera count, whatever its name says.
TEST(PlayerCameras, CountFollowsTheStreamsNotTheName) {
  struct Case {
    const char* name;
    int rearFrames, cameras;
  } cases[] = {{"REC_20140301_093000_D.avi", 0, 1}, {"rec_20140301_093000_d.avi", 5, 2},
               {"REC_20140301_093000_F.avi", 5, 2}, {"REC_20140301_093000", 5, 2},
               {"rec_20140301_093000_d.avi", 0, 1}};
  ScriptedPlayer rig({});
  EXPECT_EQ(rig.player.GetCameraCount(), 1);  // nothing opened, no rear rate
  for (const Case& c : cases) {
    rig.parser.rearFrames = c.rearFrames;
    rig.player.OpenMedia(c.name);
    EXPECT_EQ(rig.player.GetCameraCount(), c.cameras) << c.name;
    rig.player.StopMedia();
  }
}

// A card that gives no data for a while has not ended: the player waits and plays on. A read
// error ends the recording as an error, not as an ordinary end.
TEST(PlayerChunks, StallWaitsAndReadErrorIsReportedAsOne) {
  using Chunk = ScriptedParser::Chunk;
  auto stalled = PreBuffer(25);
  stalled.push_back({"wait", {}, 1500});
  for (const Chunk& c : PreBuffer(5)) stalled.push_back(c);
  auto broken = PreBuffer(25);
  broken.push_back({"err!", {}, -1});
  broken.push_back({"00dc", Nal(0x41, 30), -1});
  struct Case {
    const char* what;
    std::vector<Chunk> chunks;
    size_t decoded;
    int failures;
  } cases[] = {
      {"1.5 s without data", stalled, 30, 0},
      {"a read error after 25 frames", broken, 25, 1},
      {"the plain end", PreBuffer(25), 25, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPlayer rig(c.chunks);
    rig.player.OpenMedia("REC_20140301_093000_D.avi");
    ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.ends.load() == 1; }, 10s));
    EXPECT_EQ(rig.decoder.Calls().size(), c.decoded);
    EXPECT_EQ(rig.failures.load(), c.failures);
  }
}

// Status and command are written under the player's lock before the end is reported, so an
// owner reacting to the end (here at once, from the callback) sees the player stopped, and
// the recording it opens then is not stopped by a late write of the worker.
TEST(PlayerChunks, EndIsReportedAfterStatusAndCommandAreWritten) {
  ScriptedPlayer rig({{"00dc", Nal(0x65, 40), -1}, {"00dc", Nal(0x41, 30), -1}});
  std::atomic<int> statusAtEnd{-1}, commandAtEnd{-1};
  rig.onEnd = [&] {
    if (rig.ends.load() > 0) return;
    statusAtEnd = rig.player.Status();
    commandAtEnd = rig.player.CommandValue();
    rig.player.OpenMedia("REC_20140301_093100_D.avi");
  };
  rig.player.OpenMedia("REC_20140301_093000_D.avi");
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.ends.load() == 2; }, 10s));
  EXPECT_EQ(statusAtEnd.load(), CQMVMediaPlayer::kStopped);
  EXPECT_EQ(commandAtEnd.load(), CQMVMediaPlayer::kIdle);
  EXPECT_EQ(rig.decoder.Calls().size(), 4u);  // both recordings played whole
}

// An audio output that a device stall left not ready is opened again with the next
// recording.
TEST(PlayerAudio, OutputThatIsNotReadyIsReopenedByTheNextOpen) {
  class StalledAudio : public VAudio {
   public:
    bool OpenOutput(int, int) override {
      ready = true;
      return true;
    }
    int CloseOutput() override {
      ready = false;
      return 1;
    }
    void ReopenOutput() override {
      ++reopens;
      ready = true;
    }
    bool IsReady() const override { return ready; }
    void Play(const void*, int) override {}
    void SetDiscard(bool) override {}
    int CheckResult(int code) override { return code; }
    std::atomic<bool> ready{false};
    std::atomic<int> reopens{0};
  } audio;
  ScriptedParser parser({});
  NotingDecoder decoder;
  CQMVMediaPlayer player;
  player.SetParser(&parser);
  player.SetDecoder(&decoder);
  player.SetAudio(&audio);
  player.StartEngine(nullptr, nullptr);
  EXPECT_TRUE(audio.IsReady());
  player.OpenMedia("REC_20140301_093000_D.avi");
  EXPECT_EQ(audio.reopens.load(), 0);  // ready: left alone
  audio.ready = false;                 // the device stalled
  player.OpenMedia("REC_20140301_093100_D.avi");
  EXPECT_EQ(audio.reopens.load(), 1);
  EXPECT_TRUE(audio.IsReady());
  player.Shutdown();
}

}  // namespace
