// The player on cards written by make-card, through the real TAT parser, decoder and SDL
// audio (dummy driver): whole recordings, the end event (and none for stops), pre-buffering,
// seeks while playing and while paused, the position, owner calls while playing, snapshots,
// text chunks, camera counts and thread names. And on scripted chunks: the chunks it drops,
// the order of its writes and the end event, the audio output reopened.
#include "media/player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "media/audio.h"
#include "media/avi_extractor.h"
#include "media/media_decoder.h"
#include "media/media_parser.h"
#include "tests/media/player_rig.h"

namespace {

using namespace std::chrono_literals;
using roadkeep::test::FrontChunkHashes;
using roadkeep::test::MadeCard;
using roadkeep::test::PlayerRig;

constexpr auto kPlayTimeout = 30s;  // a 3 s recording, with room for a loaded machine

// Front decodes in order, as hashes of the chunks decoded.
std::vector<size_t> FrontDecodes(roadkeep::test::CSpyDecoder& decoder, bool shownOnly) {
  std::vector<size_t> hashes;
  for (const auto& c : decoder.Calls()) {
    if (c.index == 0 && (c.show || !shownOnly)) hashes.push_back(c.hash);
  }
  return hashes;
}

class PlayerOnCard : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    s_card = new MadeCard(3, "160x120@30", "160x120@15");
  }
  static void TearDownTestSuite() { delete s_card; }
  static MadeCard* s_card;
};
MadeCard* PlayerOnCard::s_card = nullptr;

TEST_F(PlayerOnCard, TwoCameraRecordingPlaysEveryFrontFrameOnceAndEndsOnce) {
  ASSERT_TRUE(s_card->ok);
  const std::string name = s_card->Name(0);
  PlayerRig rig(s_card->dir.Path().string());
  const auto expected = FrontChunkHashes(name);
  ASSERT_EQ(expected.size(), 90u);
  rig.player.OpenMedia(name.c_str());
  EXPECT_EQ(rig.player.DurationMs(), 3000);
  EXPECT_EQ(rig.player.GetCameraCount(), 2);
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  EXPECT_EQ(FrontDecodes(rig.decoder, true), expected);
  EXPECT_EQ(rig.front.FrameCount(), 90);
  EXPECT_EQ(rig.rear.FrameCount(), 45);
  EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);  // the last frame's time
  EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kStopped);
  EXPECT_EQ(rig.player.CommandValue(), CQMVMediaPlayer::kIdle);
  EXPECT_FALSE(rig.player.SaveSnapshot(0, (s_card->dir.Path() / "end.jpg").c_str()));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(rig.Ends(), 1);

  // Every text chunk of n bytes arrived as n + 1 bytes ending in zero, in order.
  const auto chunks = rig.TextChunks();
  std::lock_guard<std::mutex> guard(rig.parser.mutex);
  ASSERT_EQ(chunks.size(), rig.parser.textSizes.size());
  ASSERT_EQ(chunks.size(), 3u + 30u);  // a fix a second, a G-sensor sample each 100 ms
  for (size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(static_cast<size_t>(chunks[i].size), rig.parser.textSizes[i] + 1) << i;
    EXPECT_EQ(chunks[i].last, '\0') << i;
  }
  // The fixes of the first seconds have no position yet; one G-sensor sample per second.
  EXPECT_EQ(rig.text.GpsCount(), 0);
  EXPECT_EQ(rig.text.GSensorCount(), 2);
}

TEST_F(PlayerOnCard, OneCameraRecordingsPlayInARowThroughTheEndEvent) {
  ASSERT_TRUE(s_card->ok);
  PlayerRig rig(s_card->dir.Path().string());
  const std::string names[2] = {s_card->Name(1), s_card->Name(3)};
  rig.player.OpenMedia(names[0].c_str());
  EXPECT_EQ(rig.player.GetCameraCount(), 1);
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  // As the viewer's end-of-recording path: pause, stop, open the next one.
  rig.player.PausePlayback();
  rig.player.StopMedia();
  rig.player.OpenMedia(names[1].c_str());
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  EXPECT_EQ(rig.front.FrameCount(), 180);
  EXPECT_EQ(rig.rear.FrameCount(), 0);
  EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(rig.Ends(), 2);
}

TEST_F(PlayerOnCard, RecordingThatCannotBeReadEndsAtOnce) {
  ASSERT_TRUE(s_card->ok);
  PlayerRig rig(s_card->dir.Path().string());
  rig.player.OpenMedia("REC_20990101_000000_D.avi");
  ASSERT_TRUE(rig.WaitForEnd(5s));
  EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kStopped);
  EXPECT_EQ(rig.front.FrameCount(), 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(rig.Ends(), 1);
}

TEST(Player, ParserThatRefusesTheFileEndsAtOnce) {
  CAVIExtractor extractor;
  CDecoder decoder;
  CHeadlessSurface front(64, 48);
  CQMVMediaPlayer player;
  std::atomic<int> ends{0};
  player.SetParser(&extractor);
  player.SetDecoder(&decoder);
  player.SetStatusCallback([](void* user, int code, int, int) {
    if (code == 1) ++*static_cast<std::atomic<int>*>(user);
  }, &ends);
  player.StartEngine(&front, nullptr);
  player.OpenMedia("/nonexistent/REC_20140301_093000_D.avi");
  EXPECT_TRUE(PlayerRig::WaitUntil([&] { return ends.load() == 1; }, 5s));
  EXPECT_EQ(player.Status(), CQMVMediaPlayer::kStopped);
  EXPECT_EQ(player.DurationMs(), 0);
  player.Shutdown();
  EXPECT_EQ(ends.load(), 1);
}

TEST_F(PlayerOnCard, SeekWhilePlayingTakesEffectAtTheNextChunk) {
  ASSERT_TRUE(s_card->ok);
  const std::string name = s_card->Name(0);
  PlayerRig rig(s_card->dir.Path().string());
  const auto all = FrontChunkHashes(name);
  ASSERT_EQ(all.size(), 90u);
  rig.player.OpenMedia(name.c_str());
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.player.GetPositionMs() >= 200; }, 10s));
  const int readsBefore = rig.parser.reads.load();
  rig.player.SeekToMs(2000);  // frame 60: 2 s = 2 seek units of 24 frames, 1 whole second
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  {
    std::lock_guard<std::mutex> guard(rig.parser.mutex);
    ASSERT_EQ(rig.parser.seeks.size(), 1u);
    EXPECT_FLOAT_EQ(rig.parser.seeks[0], 2.0f);
    EXPECT_LE(rig.parser.readsAtSeek[0], readsBefore + 1);
  }
  // Shown: a prefix of the recording, then frames 48..89 from the key frame reached.
  const auto shown = FrontDecodes(rig.decoder, true);
  const std::vector<size_t> tail(all.begin() + 48, all.end());
  ASSERT_GT(shown.size(), tail.size());
  const size_t prefix = shown.size() - tail.size();
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), shown.begin() + static_cast<long>(prefix)));
  EXPECT_TRUE(std::equal(shown.begin(), shown.begin() + static_cast<long>(prefix), all.begin()));
  EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);
}

TEST_F(PlayerOnCard, StepRequestMovesRelativeToTheCurrentFrame) {
  ASSERT_TRUE(s_card->ok);
  PlayerRig rig(s_card->dir.Path().string());
  rig.player.OpenMedia(s_card->Name(0).c_str());
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.player.GetPositionMs() >= 100; }, 10s));
  rig.player.RequestStep(48);
  ASSERT_TRUE(PlayerRig::WaitUntil([&] {
    std::lock_guard<std::mutex> guard(rig.parser.mutex);
    return !rig.parser.seeks.empty();
  }, 10s));
  std::lock_guard<std::mutex> guard(rig.parser.mutex);
  // From frame f (3..), f + 48 frames at 30 fps.
  EXPECT_GE(rig.parser.seeks[0], 51.0f / 30);
  EXPECT_LT(rig.parser.seeks[0], 90.0f / 30);
}

// Pauses a playing recording once it has shown some frames; returns the surfaces' counts.
void PauseAfterAFewFrames(PlayerRig& rig) {
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= 3; }, 10s));
  rig.player.PausePlayback();
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.player.Status() == 0; }, 1s));
  std::this_thread::sleep_for(100ms);  // the worker's current turn finishes
}

TEST_F(PlayerOnCard, SeekWhilePausedShowsOneFrame) {
  ASSERT_TRUE(s_card->ok);
  struct Case {
    int recording;
    int status;
    int rearShown;
  } cases[] = {{0, CQMVMediaPlayer::kStill, 1}, {1, CQMVMediaPlayer::kStopped, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(s_card->Name(c.recording));
    PlayerRig rig(s_card->dir.Path().string());
    rig.player.OpenMedia(s_card->Name(c.recording).c_str());
    PauseAfterAFewFrames(rig);
    const int64_t front = rig.front.FrameCount(), rear = rig.rear.FrameCount();
    rig.player.SeekToMs(2000);
    EXPECT_EQ(rig.player.CommandValue(), CQMVMediaPlayer::kShowOneFrame);
    ASSERT_TRUE(PlayerRig::WaitUntil(
        [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rig.player.Status(), c.status);
    EXPECT_EQ(rig.player.CommandValue(), CQMVMediaPlayer::kIdle);
    EXPECT_EQ(rig.front.FrameCount(), front + 1);
    EXPECT_EQ(rig.rear.FrameCount(), rear + c.rearShown);
    EXPECT_EQ(rig.Ends(), 0);
    const std::string snap = (s_card->dir.Path() / "still.jpg").string();
    EXPECT_EQ(rig.player.SaveSnapshot(0, snap.c_str()), c.status == CQMVMediaPlayer::kStill);
    // Resumed, it plays on to the end from the key frame at 1.6 s.
    rig.player.ResumePlayback();
    ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
    EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);
  }
}

// The picture a paused seek shows is the first frame of the 24-frame unit the card seeks to;
// the position is that frame's time.
TEST_F(PlayerOnCard, PositionIsTheTimeOfTheFrameOnScreen) {
  ASSERT_TRUE(s_card->ok);
  const std::string name = s_card->Name(1);  // front only: the seek decodes one front frame
  PlayerRig rig(s_card->dir.Path().string());
  const auto all = FrontChunkHashes(name);
  ASSERT_EQ(all.size(), 90u);
  rig.player.OpenMedia(name.c_str());
  PauseAfterAFewFrames(rig);
  struct Case {
    int ms;
    int frame;
  } cases[] = {{1000, 24}, {2000, 48}, {2500, 72}, {0, 0}, {2999, 72}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    rig.player.SeekToMs(c.ms);
    ASSERT_TRUE(PlayerRig::WaitUntil(
        [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
    const auto decoded = FrontDecodes(rig.decoder, false);
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded.back(), all[static_cast<size_t>(c.frame)]);
    EXPECT_EQ(rig.player.GetPositionMs(), c.frame * 1000 / 30);
  }
}

// The window's STOP (pause, stop, seek to 0, other work, stop again), a seek on a stopped or
// never opened player and a resume after a stop are not the end of a recording: no end is
// reported and nothing more is drawn. The long recording is larger than the parser reads
// ahead, so its reader has not reached the end when it is stopped.
TEST_F(PlayerOnCard, StopAndSeeksWithoutARecordingReportNoEnd) {
  ASSERT_TRUE(s_card->ok);
  MadeCard longCard(8, "1280x720@30", "160x120@15");
  ASSERT_TRUE(longCard.ok);
  const auto windowStop = [](CQMVMediaPlayer& p) {
    p.PausePlayback();
    p.StopMedia();
    p.SeekToMs(0);
    // The window hides and clears its panes here; the worker runs meanwhile.
    PlayerRig::WaitUntil([&] { return p.CommandValue() == CQMVMediaPlayer::kIdle; }, 2s);
    p.StopMedia();
  };
  enum Before { kNothing, kPlaying, kEnded };
  struct Case {
    const char* what;
    const MadeCard* card;
    Before before;
    std::function<void(CQMVMediaPlayer&)> act;
  } cases[] = {
      {"STOP while playing", &longCard, kPlaying, windowStop},
      {"STOP after the end", s_card, kEnded, windowStop},
      {"seek after a stop", &longCard, kPlaying,
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.StopMedia();
         p.SeekToMs(1500);
       }},
      {"seek after a stop, read to the end", s_card, kPlaying,
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.StopMedia();
         p.SeekToMs(1500);
       }},
      {"resume after a stop", &longCard, kPlaying,
       [](CQMVMediaPlayer& p) {
         p.StopMedia();
         p.ResumePlayback();
       }},
      {"seek before any recording", s_card, kNothing,
       [](CQMVMediaPlayer& p) { p.SeekToMs(1000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlayerRig rig(c.card->dir.Path().string());
    if (c.before != kNothing) rig.player.OpenMedia(c.card->Name(0).c_str());
    if (c.before == kPlaying) {
      ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= 3; }, 10s));
    }
    if (c.before == kEnded) {
      ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
    }
    const int ends = rig.Ends();
    const int64_t front = rig.front.FrameCount(), rear = rig.rear.FrameCount();
    c.act(rig.player);
    ASSERT_TRUE(PlayerRig::WaitUntil(
        [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 5s));
    std::this_thread::sleep_for(300ms);  // an end would be reported within a few ms
    EXPECT_EQ(rig.Ends(), ends);
    EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kStopped);
    // At most the frame under way when the stop came.
    EXPECT_LE(rig.front.FrameCount(), front + 1);
    EXPECT_LE(rig.rear.FrameCount(), rear + 1);
  }
}

// While a recording without a text stream plays (the pump used to keep the lock until a text
// chunk came, that is until the end), each owner call gets the lock within one pump turn.
TEST(PlayerOwnerCalls, GetTheLockWithinOnePumpTurnWhileARecordingWithoutTextPlays) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(3, "160x120@30", "160x120@30", /*text=*/false);
  ASSERT_TRUE(card.ok);
  const std::string snap = card.dir.File("snap.jpg");
  struct Case {
    const char* what;
    bool startsOutput;  // frames decoded after the call are its own
    std::function<void(CQMVMediaPlayer&)> call;
  } cases[] = {
      {"SaveSnapshot", false,
       [&](CQMVMediaPlayer& p) { EXPECT_TRUE(p.SaveSnapshot(0, snap.c_str())); }},
      {"StopMedia", false, [](CQMVMediaPlayer& p) { p.StopMedia(); }},
      {"OpenMedia", true, [&](CQMVMediaPlayer& p) { p.OpenMedia(card.Name(2).c_str()); }},
      {"paused SeekToMs", true,
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.SeekToMs(2000);
       }},
      {"RedrawStill", false,
       [](CQMVMediaPlayer& p) {
         p.PausePlayback();
         p.RedrawStill();
       }},
      {"Shutdown", false, [](CQMVMediaPlayer& p) { p.Shutdown(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlayerRig rig(card.dir.Path().string());
    rig.player.OpenMedia(card.Name(0).c_str());
    ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= 5; }, 10s));
    const size_t before = rig.decoder.Calls().size();
    const auto start = roadkeep::test::Clock::now();
    c.call(rig.player);
    const auto took = roadkeep::test::Clock::now() - start;
    const size_t during = rig.decoder.Calls().size() - before;
    // The turn under way outputs at most one packet; the old wait took seconds.
    if (!c.startsOutput) {
      EXPECT_LE(during, 2u);
    }
    EXPECT_LT(took, 500ms);
    std::lock_guard<std::mutex> guard(rig.parser.mutex);
    EXPECT_TRUE(rig.parser.textSizes.empty());
  }
}

// Every thread of the engine carries a name.
TEST_F(PlayerOnCard, EngineThreadsCarryTheirNames) {
  ASSERT_TRUE(s_card->ok);
  PlayerRig rig(s_card->dir.Path().string());
  const auto names = [] {
    std::set<std::string> found;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream comm(task.path() / "comm");
      std::string name;
      std::getline(comm, name);
      found.insert(name);
    }
    return found;
  };
  // A thread names itself as it starts.
  EXPECT_TRUE(PlayerRig::WaitUntil([&] {
    const auto found = names();
    return found.count("Player") + found.count("MediaSync") + found.count("TATParser") == 3;
  }, 5s));
}

TEST_F(PlayerOnCard, StopRefusesSnapshotsAndStaysStopped) {
  ASSERT_TRUE(s_card->ok);
  PlayerRig rig(s_card->dir.Path().string());
  const std::string snap = (s_card->dir.Path() / "snap.jpg").string();
  for (int round = 0; round < 3; ++round) {
    const int64_t shown = rig.front.FrameCount();
    rig.player.OpenMedia(s_card->Name(0).c_str());
    ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= shown + 2; }, 10s));
    EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kPlaying);
    EXPECT_TRUE(rig.player.SaveSnapshot(0, snap.c_str()));
    rig.player.StopMedia();
    EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kStopped);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rig.player.Status(), CQMVMediaPlayer::kStopped);
    EXPECT_FALSE(rig.player.SaveSnapshot(0, snap.c_str()));
  }
  EXPECT_TRUE(std::filesystem::exists(snap));
  EXPECT_EQ(rig.Ends(), 0);
}

// At 30, 15 and 1 frames per second the first front frame is decoded once 21, 10 and 1
// front packets have been read.
TEST(PlayerPreBuffer, EndsAfterAboutSevenHundredMilliseconds) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  struct Case {
    const char* front;
    int packets;
  } cases[] = {{"160x120@30", 21}, {"160x120@15", 10}, {"160x120@1", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.front);
    MadeCard card(3, c.front, c.front);
    ASSERT_TRUE(card.ok);
    PlayerRig rig(card.dir.Path().string());
    rig.player.OpenMedia(card.Name(0).c_str());
    ASSERT_TRUE(PlayerRig::WaitUntil([&] { return !rig.decoder.Calls().empty(); }, 10s));
    rig.player.StopMedia();
    const auto first = rig.decoder.Calls().front();
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(first.frontDeliveredBefore, c.packets);
  }
}

// A parser that delivers a fixed list of chunks, then the end. Open always succeeds at
// 30 frames per second with the player's own audio format.
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
    info->frontFrameRate = 30;
    info->frontFrameCount = 30;
    return 1;
  }
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

 private:
  std::mutex m_mutex;
  std::vector<Chunk> m_chunks;
  size_t m_next = 0;
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
  static void OnStatus(void* user, int code, int, int) {
    auto* self = static_cast<ScriptedPlayer*>(user);
    if (code != 1) return;
    if (self->onEnd) self->onEnd();
    ++self->ends;
  }
  ScriptedParser parser;
  NotingDecoder decoder;
  CQMVMediaPlayer player;
  std::function<void()> onEnd;  // runs on the worker before the end is counted
  std::atomic<int> ends{0};
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

// With a name, the fifth character from its end decides (NAME_D.avi). The scripted parser
// opens any name, so each one becomes the current name.
TEST(PlayerCameras, CountFollowsTheName) {
  struct Case {
    const char* name;
    int cameras;
  } cases[] = {{"REC_20140301_093000_D.avi", 2}, {"REC_20140301_093000_F.avi", 1},
               {"D.avi", 2},  {"_D", 1}, {"", 1}};
  ScriptedPlayer rig({});
  EXPECT_EQ(rig.player.GetCameraCount(), 1);  // no name, no rear rate
  for (const Case& c : cases) {
    rig.player.OpenMedia(c.name);
    EXPECT_EQ(rig.player.GetCameraCount(), c.cameras) << c.name;
    rig.player.StopMedia();
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
