// Recordings in a row played without a stop (a trip): every front frame of each, in order,
// once; one end at the end of the last; the player's position and tag follow the output into
// each recording; one that cannot be opened is skipped and named.
#include "playback/recording_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "tests/playback/player_rig.h"

namespace {

using namespace std::chrono_literals;
using roadkeep::test::FrontChunkHashes;
using roadkeep::test::MadeCard;
using roadkeep::test::PlayerRig;

std::vector<MediaSource> Named(const std::vector<std::string>& names) {
  std::vector<MediaSource> sources;
  for (const std::string& name : names) sources.push_back(MediaSource::Named(name));
  return sources;
}

// Tags the player reported entering, in order.
struct Entered {
  std::mutex mutex;
  std::vector<int> tags;
  std::vector<int> positionsAtEntry;  // the position the player reported at that moment
  CQMVMediaPlayer* player = nullptr;
  size_t handled = 0;
  // Tags posted since the last call. The lock is not held while the owner acts on them: the
  // player's lock is taken inside it by the worker.
  std::vector<int> Take() {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<int> fresh(tags.begin() + static_cast<long>(handled), tags.end());
    handled = tags.size();
    return fresh;
  }
  static void Post(void* user, int tag) {
    auto* e = static_cast<Entered*>(user);
    std::lock_guard<std::mutex> guard(e->mutex);
    e->tags.push_back(tag);
    int shownTag = -1;
    e->positionsAtEntry.push_back(e->player->GetPlace(&shownTag));
    if (shownTag != tag) e->positionsAtEntry.back() = -1;
  }
};

TEST(RecordingSequence, PlaysEachRecordingsFramesInOrderWithoutAStop) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(2, "160x120@30", "160x120@15");
  ASSERT_TRUE(card.ok);
  // Recordings 0 and 2 have both cameras, 1 and 3 the front one only.
  const std::string missing = "REC_20990101_000000_D.avi";
  struct Case {
    std::vector<std::string> names;
    std::vector<size_t> played;   // indexes into names that play
    std::vector<size_t> skipped;  // those named as skipped
  };
  const Case cases[] = {
      {{card.Name(0), card.Name(2)}, {0, 1}, {}},                  // two cameras, then two
      {{card.Name(0), card.Name(1), card.Name(2)}, {0, 1, 2}, {}},  // two, one, two
      {{card.Name(1), missing, card.Name(3)}, {0, 2}, {1}},         // one in the middle fails
      {{missing, card.Name(3)}, {1}, {0}},                          // the first fails
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.size());
    PlayerRig rig(card.dir.Path().string());
    CTATParser spare;
    spare.SetLibrary(rig.Library());
    spare.Start();
    Entered entered;
    entered.player = &rig.player;
    rig.player.SetNextCallback(&Entered::Post, &entered);
    CRecordingSequence sequence(rig.player, rig.parser, spare);
    std::vector<size_t> skipped;
    sequence.SetSkipped([&](size_t index) { skipped.push_back(index); });

    std::vector<size_t> expected;
    int rearFrames = 0;
    for (const size_t i : c.played) {
      const auto hashes = FrontChunkHashes(rig.Library(), c.names[i]);
      expected.insert(expected.end(), hashes.begin(), hashes.end());
      if (c.names[i].find("_D.avi") != std::string::npos) rearFrames += 30;  // 2 s at 15 fps
    }
    sequence.Open(Named(c.names), 0, 0);
    // The owner's side of the sequence: each recording entered gets the one after it queued.
    const bool ended = PlayerRig::WaitUntil(
        [&] {
          for (const int tag : entered.Take()) sequence.Entered(tag);
          return rig.Ends() > 0;
        },
        60s);
    ASSERT_TRUE(ended);
    std::vector<size_t> shown;
    for (const auto& call : rig.decoder.Calls()) {
      if (call.index == 0 && call.show) shown.push_back(call.hash);
    }
    EXPECT_EQ(shown, expected) << "every front frame of each recording, once, in order";
    EXPECT_EQ(rig.front.Frames().size(), expected.size());
    EXPECT_EQ(rig.rear.Frames().size(), static_cast<size_t>(rearFrames));
    EXPECT_EQ(skipped, c.skipped);
    std::vector<int> tags(c.played.begin() + 1, c.played.end());
    {
      std::lock_guard<std::mutex> guard(entered.mutex);
      EXPECT_EQ(entered.tags, tags);
      for (const int position : entered.positionsAtEntry) EXPECT_EQ(position, 0);
    }
    int lastTag = -1;
    EXPECT_EQ(rig.player.GetPlace(&lastTag), 59 * 1000 / 30);  // the last frame's time
    EXPECT_EQ(lastTag, static_cast<int>(c.played.back()));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(rig.Ends(), 1);
    sequence.Stop();
    rig.player.Shutdown();
    spare.Stop();
  }
}

// A seek in the recording on screen while the read side is already in the next one: the seek
// is in the one shown, and the next one plays afterwards from its start, whole.
TEST(RecordingSequence, ASeekBeforeTheBoundaryIsInTheRecordingShown) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MadeCard card(2, "160x120@30", "160x120@15");
  ASSERT_TRUE(card.ok);
  PlayerRig rig(card.dir.Path().string());
  CTATParser spare;
  spare.SetLibrary(rig.Library());
  spare.Start();
  Entered entered;
  entered.player = &rig.player;
  rig.player.SetNextCallback(&Entered::Post, &entered);
  CRecordingSequence sequence(rig.player, rig.parser, spare);
  const std::vector<std::string> names = {card.Name(0), card.Name(2)};
  const auto first = FrontChunkHashes(rig.Library(), names[0]);
  const auto second = FrontChunkHashes(rig.Library(), names[1]);
  sequence.Open(Named(names), 0, 0);
  // The worker has begun reading the second while the first is still on screen.
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return !rig.player.HasQueuedNext(); }, 30s));
  int tag = -1;
  rig.player.GetPlace(&tag);
  ASSERT_EQ(tag, 0) << "the output passed the boundary before the test could seek";
  rig.player.SeekToMs(1000, true);  // frame 30 of the first
  ASSERT_TRUE(PlayerRig::WaitUntil([&] { return rig.Ends() > 0; }, 60s));
  std::vector<size_t> shown;
  for (const auto& call : rig.decoder.Calls()) {
    if (call.index == 0 && call.show) shown.push_back(call.hash);
  }
  std::vector<size_t> tail(first.begin() + 30, first.end());
  tail.insert(tail.end(), second.begin(), second.end());
  ASSERT_GE(shown.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), shown.end() - static_cast<long>(tail.size())));
  EXPECT_EQ(entered.Take(), std::vector<int>{1});
  sequence.Stop();
  rig.player.Shutdown();
  spare.Stop();
}

}  // namespace
