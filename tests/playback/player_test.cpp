// The player on cards written by make-card, through the real TAT parser, decoder and SDL
// audio (dummy driver): whole recordings, the end event (and none for stops), pre-buffering,
// seeks while playing and while paused, the position, owner calls while playing, snapshots,
// text chunks, camera counts and thread names.
#include "playback/player.h"

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

#include "playback/audio.h"
#include "containers/avi_extractor.h"
#include "decoding/media_decoder.h"
#include "containers/media_parser.h"
#include "tests/playback/player_rig.h"

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
  const auto expected = FrontChunkHashes(rig.Library(), name);
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

// A seek shows the seek unit's first frame on; an exact one decodes the unit's frames before
// the target unseen and shows the target on.
TEST_F(PlayerOnCard, SeekWhilePlayingTakesEffectAtTheNextChunk) {
  ASSERT_TRUE(s_card->ok);
  const std::string name = s_card->Name(0);
  for (const auto& [exact, firstShown] : {std::pair{false, 48}, std::pair{true, 60}}) {
  SCOPED_TRACE(exact);
  PlayerRig rig(s_card->dir.Path().string());
  const auto all = FrontChunkHashes(rig.Library(), name);
  ASSERT_EQ(all.size(), 90u);
  rig.player.OpenMedia(name.c_str());
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.player.GetPositionMs() >= 200; }, 10s));
  const int readsBefore = rig.parser.reads.load();
  rig.player.SeekToMs(2000, exact);  // frame 60: 2 s = 2 seek units of 24 frames, 1 whole second
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  {
    std::lock_guard<std::mutex> guard(rig.parser.mutex);
    ASSERT_EQ(rig.parser.seeks.size(), 1u);
    EXPECT_FLOAT_EQ(rig.parser.seeks[0], 2.0f);
    EXPECT_LE(rig.parser.readsAtSeek[0], readsBefore + 1);
  }
  // Shown: a prefix of the recording, then the frames from the first shown on; decoded: from
  // the key frame reached (48).
  const auto shown = FrontDecodes(rig.decoder, true);
  const std::vector<size_t> tail(all.begin() + firstShown, all.end());
  ASSERT_GT(shown.size(), tail.size());
  const size_t prefix = shown.size() - tail.size();
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), shown.begin() + static_cast<long>(prefix)));
  EXPECT_TRUE(std::equal(shown.begin(), shown.begin() + static_cast<long>(prefix), all.begin()));
  const auto decoded = FrontDecodes(rig.decoder, false);
  const std::vector<size_t> fromKey(all.begin() + 48, all.end());
  EXPECT_TRUE(std::equal(fromKey.begin(), fromKey.end(), decoded.end() - static_cast<long>(fromKey.size())));
  EXPECT_EQ(rig.player.GetPositionMs(), 89 * 1000 / 30);
  }
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

// The picture a paused seek shows is the first frame of the 24-frame unit the card seeks to,
// an exact seek's the frame at its time; the position is that frame's time. With a rear
// camera too, the exact seek stops at the target, not at the first rear frame.
TEST_F(PlayerOnCard, PositionIsTheTimeOfTheFrameOnScreen) {
  ASSERT_TRUE(s_card->ok);
  for (const int recording : {1, 0}) {
  const std::string name = s_card->Name(recording);  // 1: front only
  SCOPED_TRACE(name);
  PlayerRig rig(s_card->dir.Path().string());
  const auto all = FrontChunkHashes(rig.Library(), name);
  ASSERT_EQ(all.size(), 90u);
  rig.player.OpenMedia(name.c_str());
  PauseAfterAFewFrames(rig);
  struct Case {
    int ms;
    bool exact;
    int frame;
  } cases[] = {{1000, false, 24}, {2000, false, 48}, {2500, false, 72}, {0, false, 0},
               {2999, false, 72}, {1000, true, 30},  {2500, true, 75},  {2999, true, 89},
               {0, true, 0},      {9000, true, 89}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    SCOPED_TRACE(c.exact);
    rig.player.SeekToMs(c.ms, c.exact);
    ASSERT_TRUE(PlayerRig::WaitUntil(
        [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
    const auto decoded = FrontDecodes(rig.decoder, false);
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded.back(), all[static_cast<size_t>(c.frame)]);
    EXPECT_EQ(rig.player.GetPositionMs(), c.frame * 1000 / 30);
  }
  }
}

// Paused, frame steps show the frames beside the one on screen, exactly: one on comes out of
// the pipeline, the others by an exact seek; steps past either end stop at it.
TEST_F(PlayerOnCard, FrameStepsShowTheFramesBesideTheOneOnScreen) {
  ASSERT_TRUE(s_card->ok);
  for (const int recording : {1, 0}) {
    const std::string name = s_card->Name(recording);  // 1: front only
    SCOPED_TRACE(name);
    PlayerRig rig(s_card->dir.Path().string());
    const auto all = FrontChunkHashes(rig.Library(), name);
    ASSERT_EQ(all.size(), 90u);
    rig.player.OpenMedia(name.c_str());
    PauseAfterAFewFrames(rig);
    rig.player.SeekToFrame(40);
    struct Case {
      int delta;  // 0: the seek above
      int frame;
    } cases[] = {{0, 40}, {1, 41}, {1, 42}, {-1, 41}, {-3, 38}, {1, 39}, {50, 89}, {5, 89},
                 {-100, 0}, {1, 1}, {1, 2}, {-1, 1}, {-1, 0}, {1, 1}};
    // A step decodes the frame's own chunk last, or shows the pictures kept when that frame
    // was decoded before (no decode): then the front picture is exactly the one a player
    // of its own shows after a seek to that frame.
    PlayerRig reference(s_card->dir.Path().string());
    reference.player.OpenMedia(name.c_str());
    PauseAfterAFewFrames(reference);
    const auto pictureOf = [&](int frame) {
      reference.player.SeekToFrame(frame);
      EXPECT_TRUE(PlayerRig::WaitUntil(
          [&] { return reference.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
      return reference.front.LastFrame().clone();
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.delta);
      const size_t decodesBefore = FrontDecodes(rig.decoder, false).size();
      if (c.delta != 0) rig.player.StepFrames(c.delta);
      ASSERT_TRUE(PlayerRig::WaitUntil(
          [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
      const auto decoded = FrontDecodes(rig.decoder, false);
      ASSERT_FALSE(decoded.empty());
      if (decoded.size() > decodesBefore) {
        EXPECT_EQ(decoded.back(), all[static_cast<size_t>(c.frame)]);
      } else {
        EXPECT_EQ(cv::norm(rig.front.LastFrame(), pictureOf(c.frame), cv::NORM_INF), 0);
      }
      EXPECT_EQ(rig.player.GetPositionMs(), c.frame * 1000 / 30);
    }
    // Playing on after a step shown from kept pictures goes on from the frame after it.
    const size_t shownBefore = FrontDecodes(rig.decoder, true).size();
    rig.player.ResumePlayback();
    ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
    const auto shownAfter = FrontDecodes(rig.decoder, true);
    ASSERT_GT(shownAfter.size(), shownBefore);
    EXPECT_EQ(shownAfter[shownBefore], all[2]);
  }
}

// Playing decodes frames ahead of the screen. Paused among them, the snapshot is of the frame
// on screen (as a player of its own saves it after a seek there), and playing on goes on from
// the frame after it, none left out.
TEST_F(PlayerOnCard, PausedWithFramesDecodedAheadTheFrameOnScreenIsTheOneSavedAndFollowed) {
  ASSERT_TRUE(s_card->ok);
  const std::string name = s_card->Name(0);
  PlayerRig rig(s_card->dir.Path().string());
  const auto all = FrontChunkHashes(rig.Library(), name);
  rig.player.OpenMedia(name.c_str());
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.front.FrameCount() >= 15; }, 10s));
  rig.player.PausePlayback();
  std::this_thread::sleep_for(100ms);
  const int shown = (rig.player.GetPositionMs() * 30 + 999) / 1000;
  const std::string saved = s_card->dir.File("ahead.jpg"), expected = s_card->dir.File("seek.jpg");
  ASSERT_TRUE(rig.player.SaveSnapshot(0, saved.c_str()));

  PlayerRig reference(s_card->dir.Path().string());
  reference.player.OpenMedia(name.c_str());
  PauseAfterAFewFrames(reference);
  reference.player.SeekToFrame(shown);
  ASSERT_TRUE(PlayerRig::WaitUntil(
      [&] { return reference.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
  ASSERT_TRUE(reference.player.SaveSnapshot(0, expected.c_str()));
  EXPECT_EQ(roadkeep::test::ReadAll(saved), roadkeep::test::ReadAll(expected)) << "frame " << shown;

  const size_t before = FrontDecodes(rig.decoder, true).size();
  rig.player.ResumePlayback();
  ASSERT_TRUE(rig.WaitForEnd(kPlayTimeout));
  const auto after = FrontDecodes(rig.decoder, true);
  ASSERT_GT(after.size(), before);
  const std::vector<size_t> rest(after.begin() + static_cast<std::ptrdiff_t>(before), after.end());
  EXPECT_EQ(rest, std::vector<size_t>(all.begin() + shown + 1, all.end()));
}

// The key frame at 24 damaged on the card (a byte of it changed, so its checksum fails and
// the reader skips it): a seek into its unit shows the next frame that decodes, the key
// frame at 48, and the position says that frame, not the one asked for.
TEST(PlayerOnDamage, ASeekIntoAUnitWithoutItsKeyFrameShowsAndReportsTheNextKeyFrame) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(3, "160x120@30", "160x120@30");
  ASSERT_TRUE(card.ok);
  const std::string name = card.Name(0);
  std::vector<std::vector<uint8_t>> fronts;
  {
    PlayerRig rig(card.dir.Path().string());
    fronts = roadkeep::test::FrontChunks(rig.Library(), name);
  }
  ASSERT_EQ(fronts.size(), 90u);
  const std::string store = (card.dir.Path() / "TAT" / "REC.TAT").string();
  std::vector<uint8_t> bytes = roadkeep::test::ReadAll(store);
  const auto at = std::search(bytes.begin(), bytes.end(), fronts[24].begin(), fronts[24].end());
  ASSERT_NE(at, bytes.end());
  at[static_cast<std::ptrdiff_t>(fronts[24].size() / 2)] ^= 0x55;
  std::ofstream(store, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));

  PlayerRig rig(card.dir.Path().string());
  rig.player.OpenMedia(name.c_str());
  PauseAfterAFewFrames(rig);
  for (const int target : {30, 24}) {
    SCOPED_TRACE(target);
    rig.player.SeekToFrame(target);
    ASSERT_TRUE(PlayerRig::WaitUntil(
        [&] { return rig.player.CommandValue() == CQMVMediaPlayer::kIdle; }, 10s));
    EXPECT_EQ(rig.player.GetPositionMs(), 48 * 1000 / 30);
    const auto decoded = FrontDecodes(rig.decoder, false);
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded.back(), roadkeep::test::HashBytes(fronts[48].data(), static_cast<int>(fronts[48].size())));
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

}  // namespace
