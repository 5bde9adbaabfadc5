// Distances from the GPS fixes of cards written by roadkeep-tool make-card, checked against
// what the fixes themselves say: the card maker moves its route by each fix's speed for the
// second up to the next fix, so the sum of speed x time between consecutive valid fixes is the
// distance driven.
#include "sensors/track_distance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sensors/gps_data.h"
#include "tat/card.h"
#include "tat/trips.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace roadkeep::sensors;

struct Card : roadkeep::test::FillerCard {
  explicit Card(const std::string& options) : FillerCard(options) { EXPECT_TRUE(ok) << options; }
  std::vector<Recording> Recordings() {
    CCard card(dir.Path().string());
    std::vector<Recording> all;
    for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
      for (Recording& r : card.Recordings(kind)) all.push_back(std::move(r));
    }
    return all;
  }
};

// The fixes' own speeds over their times (km), read with the ordinary reader, every chunk;
// -1 without a valid fix.
double SpeedTimesTimeKm(CCard& card, const std::vector<Recording>& recordings) {
  double km = -1, lastSpeed = 0;
  int64_t lastMs = -1;
  std::vector<uint8_t> buffer(kTatReadCapacity + 1);
  for (const Recording& r : recordings) {
    auto reader = card.OpenReader(r.kindCode, r.index);
    uint8_t camera, type, key;
    int size = 0;
    while (reader->Read(&camera, &type, &key, &size, buffer.data(), kTatReadCapacity) ==
           CRecordingReader::kOk) {
      if (type != roadkeep::tat::kTypeText || buffer[0] != 'G') continue;
      buffer[static_cast<size_t>(size)] = 0;
      CGPSData fix(reinterpret_cast<const char*>(buffer.data()), 0);
      if (!fix.IsValid()) continue;
      // The sentence's time of day says when it was taken.
      const int64_t ms = (fix.hour * 3600 + fix.minute * 60 + fix.second) * int64_t{1000};
      if (lastMs >= 0) km += lastSpeed * static_cast<double>(ms - lastMs) / 3600000.0;
      if (km < 0) km = 0;
      lastSpeed = fix.GetSpeed();
      lastMs = ms;
    }
  }
  return km;
}

TEST(TrackDistance, RecordingsAndTripsMeasureWhatTheFixesSayWasDriven) {
  Card driven("--count 3 --seconds 20 --gap 0");  // one trip; the first fixes have no position
  Card silent("--count 1 --seconds 5 --no-text");
  Card noFix("--count 1 --seconds 3");  // the receiver never gets a fix
  const struct {
    const char* what;
    Card* card;
    int first, count;  // recordings, in the card's order of kinds
    bool known;
  } cases[] = {
      {"a recording whose first fixes have no position", &driven, 0, 1, true},
      {"a recording driven all through", &driven, 1, 1, true},
      {"a trip of three, with the hops between them", &driven, 0, 3, true},
      {"no text stream", &silent, 0, 1, false},
      {"no valid fix", &noFix, 0, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CCard card(c.card->dir.Path().string());
    std::vector<Recording> all = c.card->Recordings();
    ASSERT_GE(all.size(), static_cast<size_t>(c.first + c.count));
    // In the order the card maker wrote them: driving, event, parking.
    std::sort(all.begin(), all.end(),
              [](const Recording& a, const Recording& b) { return a.startTime < b.startTime; });
    const std::vector<Recording> chosen(all.begin() + c.first, all.begin() + c.first + c.count);
    std::vector<roadkeep::tat::Trip> trips = roadkeep::tat::BuildTrips(chosen);
    ASSERT_EQ(trips.size(), 1u);
    FillTripDistances(card, &trips);
    const double expected = SpeedTimesTimeKm(card, chosen);
    if (!c.known) {
      EXPECT_EQ(expected, -1);
      EXPECT_EQ(trips[0].distanceKm, -1);
      EXPECT_EQ(RecordingDistanceKm(card, chosen[0]), -1);
      continue;
    }
    ASSERT_GT(expected, 0.05);
    EXPECT_NEAR(trips[0].distanceKm, expected, expected * 0.01);
    if (c.count == 1) {
      EXPECT_DOUBLE_EQ(RecordingDistanceKm(card, chosen[0]), trips[0].distanceKm);
    }
  }
}

// A hop faster than 200 m/s is a jump of the receiver and is left out; the hops before and
// after it count.
TEST(TrackDistance, JumpsOfTheReceiverAreNotDriven) {
  // 0.001 degree of latitude is 111.2 m on the Earth's mean radius.
  const struct {
    const char* what;
    std::vector<TrackFix> fixes;
    double km;
  } cases[] = {
      {"a hop north", {{0, 37.5, 127.0}, {10000, 37.501, 127.0}}, 0.1112},
      {"a hop east on the equator", {{0, 0.0, 10.0}, {10000, 0.0, 10.001}}, 0.1112},
      {"at one time", {{0, 37.5, 127.0}, {0, 37.501, 127.0}}, 0},
      {"a jump between hops",
       {{0, 37.5, 127.0}, {10000, 37.501, 127.0}, {11000, 38.5, 127.0}, {21000, 38.501, 127.0}},
       0.2224},
  };
  for (const auto& c : cases) EXPECT_NEAR(TrackLengthKm(c.fixes), c.km, 0.0001) << c.what;
}

}  // namespace
