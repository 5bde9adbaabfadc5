// The player on cards written by make-card, through the real TAT parser, decoder and SDL
// audio (dummy driver): whole recordings, the end event, pre-buffering, seeks while playing
// and while paused, snapshots, text chunks and camera counts.
#include "media/player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "media/avi_extractor.h"
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
  EXPECT_EQ(rig.player.GetPositionMs(), 3000);
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
  EXPECT_EQ(rig.player.GetPositionMs(), 3000);
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
  // The position restarts from the second the parser reports: 30 + 42 frames.
  EXPECT_EQ(rig.player.GetPositionMs(), 72 * 1000 / 30);
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
    // Resumed, it plays on to the end from the key frame at 1.6 s; the position counts
    // from the whole second the parser reported (1 s): 30 + 42 frames.
    rig.player.ResumePlayback();
    ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
    EXPECT_EQ(rig.player.GetPositionMs(), 72 * 1000 / 30);
  }
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

TEST_F(PlayerOnCard, CameraCountFollowsTheName) {
  struct Case {
    const char* name;
    int cameras;
  } cases[] = {{"REC_20140301_093000_D.avi", 2}, {"REC_20140301_093000_F.avi", 1},
               {"D.avi", 2},  {"_D", 1}, {"", 1}};
  PlayerRig rig(s_card->dir.Path().string());
  EXPECT_EQ(rig.player.GetCameraCount(), 1);  // no name, no rear rate
  for (const Case& c : cases) {
    rig.player.OpenMedia(c.name);
    EXPECT_EQ(rig.player.GetCameraCount(), c.cameras) << c.name;
    rig.player.StopMedia();
  }
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

}  // namespace
