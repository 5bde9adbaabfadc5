// Trips: recordings of a card written by the store writer, grouped by their starts and ends.
#include "tat/trips.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::EditEntryHeader;
using roadkeep::test::SyntheticRecording;
using roadkeep::test::TempDir;
using roadkeep::test::WriteSyntheticCard;
using namespace roadkeep::tat;

struct CardRecording {
  const char* name;
  int seconds;
  uint32_t headerStart = 0;  // written into the header when not 0 (the writer leaves 0)
};

// Every recording of a card with these recordings, in the card's order of kinds.
std::vector<Recording> CardRecordings(const TempDir& dir, const std::vector<CardRecording>& in) {
  std::vector<SyntheticRecording> synthetic;
  for (const CardRecording& r : in) {
    SyntheticRecording s{r.name, r.seconds, 30, false};
    s.videoBytes = 100;
    synthetic.push_back(s);
  }
  EXPECT_TRUE(WriteSyntheticCard(dir.Path().string(), synthetic));
  for (const CardRecording& r : in) {
    if (r.headerStart == 0) continue;
    EXPECT_TRUE(EditEntryHeader(dir.Path().string(), KindCodeOfName(r.name), r.name,
                                [&](EntryHeader& h) { h.startTime = r.headerStart; }));
  }
  CCard card(dir.Path().string());
  std::vector<Recording> out;
  for (int kind = 0; kind < kKindCount; ++kind) {
    for (Recording& r : card.Recordings(kind)) out.push_back(std::move(r));
  }
  return out;
}

std::string ClockOf(int64_t seconds) {
  if (seconds < 0) return "-";
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &tm);
  return text;
}

struct ExpectedTrip {
  const char* start;  // HH:MM:SS, "-" when unknown
  const char* end;
  int events;
  std::vector<std::string> names;
};

TEST(Trips, RecordingsWithinTheGapFormOneTripInTimeOrder) {
  constexpr uint32_t k1000 = 1393668000;  // 2014-03-01 10:00:00
  const struct {
    const char* what;
    std::vector<CardRecording> recordings;  // in store order
    int gap;
    std::vector<ExpectedTrip> trips;
  } cases[] = {
      {"a gap at the limit joins, one second over starts a trip",
       {{"REC_20140301_093000_D.avi", 2}, {"EVENT_20140301_093032_D.avi", 2},
        {"PARKING_20140301_093105_D.avi", 2}},
       30,
       {{"09:30:00", "09:30:34", 1, {"REC_20140301_093000_D.avi", "EVENT_20140301_093032_D.avi"}},
        {"09:31:05", "09:31:07", 0, {"PARKING_20140301_093105_D.avi"}}}},
      {"kinds mixed under the limit",
       {{"REC_20140301_093000_D.avi", 2}, {"MANUAL_20140301_093010_D.avi", 2},
        {"PARKING_20140301_093020_D.avi", 1}, {"EVENT_20140301_093025_D.avi", 2}},
       30,
       {{"09:30:00", "09:30:27", 2,
         {"REC_20140301_093000_D.avi", "MANUAL_20140301_093010_D.avi",
          "PARKING_20140301_093020_D.avi", "EVENT_20140301_093025_D.avi"}}}},
      {"out of order in the store, and overlapping: the latest end counts",
       {{"REC_20140301_093040_D.avi", 1}, {"REC_20140301_093000_D.avi", 10},
        {"EVENT_20140301_093002_D.avi", 2}, {"REC_20140301_093002_D.avi", 1}},
       30,
       {{"09:30:00", "09:30:41", 1,
         {"REC_20140301_093000_D.avi", "EVENT_20140301_093002_D.avi",
          "REC_20140301_093002_D.avi", "REC_20140301_093040_D.avi"}}}},
      {"the header's time before the name's; unknown starts last, each alone",
       {{"REC_20140301_093000_D.avi", 2, k1000}, {"REC_20140301_095950_D.avi", 2},
        {"REC_NODATE_D.avi", 2}, {"EVENT_20140231_093000_D.avi", 1},
        {"MANUAL_20140301_120000_D.avi", 2, 1}},
       30,
       {{"09:59:50", "10:00:02", 0, {"REC_20140301_095950_D.avi", "REC_20140301_093000_D.avi"}},
        {"12:00:00", "12:00:02", 1, {"MANUAL_20140301_120000_D.avi"}},
        {"-", "-", 1, {"EVENT_20140231_093000_D.avi"}},
        {"-", "-", 0, {"REC_NODATE_D.avi"}}}},
      {"a negative gap counts as none",
       {{"REC_20140301_093000_D.avi", 2}, {"REC_20140301_093002_D.avi", 2},
        {"REC_20140301_093005_D.avi", 2}},
       -5,
       {{"09:30:00", "09:30:04", 0, {"REC_20140301_093000_D.avi", "REC_20140301_093002_D.avi"}},
        {"09:30:05", "09:30:07", 0, {"REC_20140301_093005_D.avi"}}}},
      {"one recording", {{"EVENT_20140301_235959_D.avi", 3}}, 30,
       {{"23:59:59", "00:00:02", 1, {"EVENT_20140301_235959_D.avi"}}}},
      {"no recordings", {}, 30, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::vector<Recording> recordings = CardRecordings(dir, c.recordings);
    ASSERT_EQ(recordings.size(), c.recordings.size());
    const std::vector<Trip> trips = BuildTrips(recordings, c.gap);
    ASSERT_EQ(trips.size(), c.trips.size());
    for (size_t t = 0; t < trips.size(); ++t) {
      const ExpectedTrip& e = c.trips[t];
      EXPECT_EQ(ClockOf(trips[t].start), e.start) << "trip " << t;
      EXPECT_EQ(ClockOf(trips[t].end), e.end) << "trip " << t;
      EXPECT_EQ(trips[t].events, e.events) << "trip " << t;
      std::vector<std::string> names;
      for (const Recording& r : trips[t].recordings) names.push_back(r.name);
      EXPECT_EQ(names, e.names) << "trip " << t;
    }
  }
}

// Played time runs through the recordings one after another; a recording of no length is
// passed over, and times outside the trip are clamped into it.
TEST(Trips, PlayedTimeFindsTheRecordingAndTheTimeWithinIt) {
  TempDir dir;
  const std::vector<Trip> trips = BuildTrips(CardRecordings(
      dir, {{"REC_20140301_093000_D.avi", 2}, {"REC_20140301_093002_D.avi", 0},
            {"MANUAL_20140301_093002_D.avi", 3}}));
  ASSERT_EQ(trips.size(), 1u);
  const Trip& trip = trips[0];
  ASSERT_EQ(trip.recordings.size(), 3u);
  ASSERT_EQ(trip.recordings[1].name, "REC_20140301_093002_D.avi");
  EXPECT_EQ(trip.lengthMs, 5000);
  const int64_t offsets[] = {0, 2000, 2000, 5000};
  for (size_t i = 0; i < std::size(offsets); ++i) EXPECT_EQ(trip.OffsetMs(i), offsets[i]) << i;
  const struct {
    int64_t ms;
    size_t recording;
    int64_t within;
  } cases[] = {{-5, 0, 0},      {0, 0, 0},       {1999, 0, 1999}, {2000, 2, 0},
               {4999, 2, 2999}, {5000, 2, 3000}, {99999, 2, 3000}};
  for (const auto& c : cases) {
    int64_t within = -1;
    EXPECT_EQ(trip.RecordingAt(c.ms, &within), c.recording) << c.ms;
    EXPECT_EQ(within, c.within) << c.ms;
  }
  int64_t within = -1;
  EXPECT_EQ(Trip().RecordingAt(100, &within), 0u);
  EXPECT_EQ(within, 0);
}

}  // namespace
