// A track built from text-stream payloads as a recorder writes them, good and bad, and
// tracks joined as a trip plays them.
#include "sensors/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "sensors/played_track.h"
#include "sensors/track_export.h"

namespace {

using namespace roadkeep::sensors;

struct Chunk {
  int64_t ms;
  std::string payload;
};

// 'G' + an RMC sentence of the fields given (time, status, lat, N/S, lon, E/W, knots, course,
// date).
std::string Rmc(const std::string& time, const std::string& status, const std::string& lat,
                const std::string& lon, const std::string& knots = "10.0",
                const std::string& course = "90.0", const std::string& date = "081226") {
  return "G$GPRMC," + time + "," + status + "," + lat + ",N," + lon + ",E," + knots + "," + course +
         "," + date + ",,,A*00\r\n";
}

RecordingTrack Build(const std::vector<Chunk>& chunks) {
  CTrackBuilder builder;
  for (const Chunk& c : chunks) builder.Add(c.ms, c.payload.data(), static_cast<int>(c.payload.size()));
  return builder.Finish();
}

// 3733.9614 N 12658.6776 E is 37.566023, 126.977960; 0.0100 minutes of latitude is 18.5 m.
const std::string kLat = "3733.9614", kLon = "12658.6776";

TEST(Track, KeepsEachRealFixOnceInTimeOrderAndDrawsGapsAsRuns) {
  const struct {
    const char* what;
    std::vector<Chunk> chunks;
    std::vector<int64_t> fixMs;   // the fixes kept
    std::vector<int64_t> runsAt;  // the fixes that start a run
  } cases[] = {
      {"status V", {{0, Rmc("050000", "V", kLat, kLon)}}, {}, {}},
      {"no position", {{0, Rmc("050000", "A", "", "")}}, {}, {}},
      {"0 N 0 E", {{0, Rmc("050000", "A", "0000.0000", "00000.0000")}}, {}, {}},
      {"not a number", {{0, Rmc("050000", "A", "nan", kLon)}, {1000, Rmc("050001", "A", "1e300", kLon)}}, {}, {}},
      {"a hundred digits", {{0, Rmc("050000", "A", std::string(100, '9'), kLon)}}, {}, {}},
      {"latitude past the pole", {{0, Rmc("050000", "A", "9100.0000", kLon)}}, {}, {}},
      {"at the limits", {{0, Rmc("050000", "A", "9000.0000", "18000.0000")}}, {0}, {0}},
      {"a repeat", {{0, Rmc("050000", "A", kLat, kLon)}, {0, Rmc("050000", "A", kLat, kLon)}}, {0}, {0}},
      {"chunks out of order",
       {{2000, Rmc("050002", "A", "3733.9814", kLon)}, {1000, Rmc("050001", "A", kLat, kLon)}},
       {1000, 2000}, {1000}},
      {"GPS time going back",
       {{1000, Rmc("050005", "A", kLat, kLon)}, {2000, Rmc("050004", "A", "3733.9814", kLon)}},
       {1000}, {1000}},
      {"a 500 km jump",
       {{0, Rmc("050000", "A", kLat, kLon)}, {1000, Rmc("050001", "A", "4203.9614", kLon)},
        {2000, Rmc("050002", "A", "4203.9814", kLon)}},
       {0, 1000, 2000}, {0, 1000}},
      {"five seconds without a fix",
       {{0, Rmc("050000", "A", kLat, kLon)}, {1000, Rmc("050001", "V", "", "")},
        {5000, Rmc("050005", "A", "3733.9814", kLon)}},
       {0, 5000}, {0, 5000}},
      {"across the date line",
       {{0, Rmc("050000", "A", "0000.0000", "17959.9990")}, {1000, "G$GPRMC,050001,A,0000.0000,N,17959.9990,W,1,90,081226"}},
       {0, 1000}, {0}},
  };
  for (const auto& c : cases) {
    const RecordingTrack track = Build(c.chunks);
    std::vector<int64_t> fixMs, runsAt;
    for (const GpsFix& f : track.fixes) {
      fixMs.push_back(f.ms);
      if (f.startsRun) runsAt.push_back(f.ms);
    }
    EXPECT_EQ(fixMs, c.fixMs) << c.what;
    EXPECT_EQ(runsAt, c.runsAt) << c.what;
  }
}

TEST(Track, TimesSpeedsAndCoursesThatCannotBeTrueAreUnknown) {
  const struct {
    const char* what;
    std::string payload;
    std::string utc;  // IsoUtc of the fix
    double speedKmh, courseDeg;
  } cases[] = {
      {"a whole fix", Rmc("050003", "A", kLat, kLon, "10.0", "90.5", "081226"), "2026-12-08T05:00:03Z", 18.52, 90.5},
      {"no date", Rmc("050003", "A", kLat, kLon, "10.0", "90.5", ""), "", 18.52, 90.5},
      {"sentence ends before the date", "G$GPRMC,050003,A," + kLat + ",N," + kLon + ",E,10.0", "", 18.52, -1},
      {"31 February", Rmc("050003", "A", kLat, kLon, "10.0", "90.5", "310226"), "", 18.52, 90.5},
      {"hour 25", Rmc("250003", "A", kLat, kLon), "", 18.52, 90},
      {"speed and course not numbers", Rmc("050003", "A", kLat, kLon, "1e300", "nan"), "2026-12-08T05:00:03Z", -1, -1},
      {"speed of a jet", Rmc("050003", "A", kLat, kLon, "999.0", "361"), "2026-12-08T05:00:03Z", -1, -1},
  };
  for (const auto& c : cases) {
    const RecordingTrack track = Build({{4000, c.payload}});
    ASSERT_EQ(track.fixes.size(), 1u) << c.what;
    const GpsFix& f = track.fixes[0];
    EXPECT_EQ(IsoUtc(f.utcMs), c.utc) << c.what;
    EXPECT_NEAR(f.speedKmh, c.speedKmh, 0.01) << c.what;
    EXPECT_NEAR(f.courseDeg, c.courseDeg, 0.01) << c.what;
    EXPECT_NEAR(f.latitude, 37.566023, 1e-6) << c.what;
    // The recording began 4 s before the fix.
    EXPECT_EQ(IsoUtc(track.StartUtcMs()), c.utc.empty() ? "" : "2026-12-08T04:59:59Z") << c.what;
  }
}

TEST(Track, PlacesBetweenFixesLieOnTheLineWithinARun) {
  // North 0.0200 minutes a second, then a 4 s gap, then one fix.
  const RecordingTrack track =
      Build({{1000, Rmc("050001", "A", "3733.9614", kLon)}, {2000, Rmc("050002", "A", "3733.9814", kLon)},
             {7000, Rmc("050007", "A", "3734.0614", kLon)}});
  const double a = 37.566023, b = 37.566357;  // the first two fixes' latitudes
  const struct {
    int64_t ms;
    bool placed;
    double latitude;
  } cases[] = {
      {999, false, 0}, {1000, true, a},    {1250, true, a + (b - a) / 4},
      {2000, true, b}, {4000, true, b},    {5001, false, 0},  // the run ended: no line across
      {7000, true, 37.567690}, {10000, true, 37.567690}, {10001, false, 0},
  };
  for (const auto& c : cases) {
    double latitude = 0, longitude = 0;
    EXPECT_EQ(track.PlaceAt(c.ms, &latitude, &longitude), c.placed) << c.ms;
    if (c.placed) {
      EXPECT_NEAR(latitude, c.latitude, 1e-6) << c.ms;
    }
  }
}

TEST(Track, GSamplesAreTakenWholeAndShortOnesLeftOut) {
  const RecordingTrack track = Build({{300, std::string("M\x80\x40\x00", 4)},
                                      {100, std::string("M\x00\xff\x80", 4)},
                                      {200, std::string("M\x80", 2)},
                                      {400, "X123"}});
  ASSERT_EQ(track.samples.size(), 2u);
  EXPECT_EQ(track.samples[0].ms, 100);
  EXPECT_EQ(track.samples[0].x, 128);
  EXPECT_EQ(track.samples[0].y, -127);
  EXPECT_EQ(track.samples[1].y, 64);
  EXPECT_EQ(track.samples[1].z, 128);
}

}  // namespace

namespace {

// A recording of fixes a second apart going north from latitude minutes `fromMinutes`, with
// G samples at rest (1 g = 64 on z) and one blow at blowMs (none when negative).
PlayedPart Part(const std::string& name, int64_t offsetMs, int seconds, double fromMinutes,
                int64_t blowMs = -1) {
  std::vector<Chunk> chunks;
  for (int s = 0; s < seconds; ++s) {
    char lat[32], time[16];
    std::snprintf(lat, sizeof lat, "37%07.4f", fromMinutes + s * 0.01);
    std::snprintf(time, sizeof time, "0500%02d", s);
    chunks.push_back({s * 1000, Rmc(time, "A", lat, kLon)});
  }
  for (int64_t ms = 0; ms < seconds * 1000; ms += 100) {
    const char x = static_cast<char>(ms == blowMs ? 128 + 96 : 128);  // 1.5 g back: from the front
    chunks.push_back({ms, std::string{'M', x, static_cast<char>(128), static_cast<char>(128 - 64)}});
  }
  PlayedPart part;
  part.name = name;
  part.track = Build(chunks);
  part.offsetMs = offsetMs;
  return part;
}

TEST(PlayedTrack, RecordingsJoinInPlayedTimeWithRunsMarksAndClocks) {
  std::vector<PlayedPart> parts = {Part("A", 0, 5, 33.90, 2500), Part("B", 5000, 5, 33.95),
                                   Part("C", 10000, 5, 95.00)};  // an hour of latitude away
  parts[0].recorderStartS = -1;  // no time by the recorder: no offset
  parts[1].recorderStartS = 1796706000 + 9 * 3600 + 3;  // 2026-12-08 05:00:00 UTC + 9:00:03
  parts[1].event = true;
  const PlayedTelemetry t = JoinParts(parts, 0.5, 100);

  std::vector<int64_t> runsAt;
  for (const GpsFix& f : t.route.fixes) {
    if (f.startsRun) runsAt.push_back(f.ms);
  }
  EXPECT_EQ(runsAt, (std::vector<int64_t>{0, 10000})) << "B goes on from A; C is too far";
  ASSERT_EQ(t.parts.size(), 3u);
  ASSERT_EQ(t.parts[0].impacts.size(), 1u);
  EXPECT_EQ(t.parts[0].impacts[0].ms, 2500);
  EXPECT_EQ(t.parts[0].impacts[0].side, ImpactSide::kFront);
  EXPECT_EQ(t.parts[0].shock.size(), 5u);
  EXPECT_EQ(t.parts[0].shock[2], 150);  // the second ending at 3 s: 1.5 g
  EXPECT_EQ(t.parts[0].shock[1], 0);
  // Marks in played time: A's impact, B's start (an event recording).
  ASSERT_EQ(t.marks.size(), 2u);
  EXPECT_TRUE(t.marks[0].impact);
  EXPECT_EQ(t.marks[1].ms, 5000);
  EXPECT_EQ(OffsetText(t.parts[1].clockOffsetMs), "+9:00:03");
  EXPECT_EQ(OffsetText(-2000), "-0:00:02");
  EXPECT_EQ(t.parts[2].clockOffsetMs, kNoTime);  // no recorder time
}

TEST(PlayedTrack, GStreamsWithoutGravityFindNoImpactAndWriteNoGValues) {
  const struct {
    const char* what;
    std::vector<Chunk> chunks;
  } cases[] = {
      {"no G samples", {{0, Rmc("050000", "A", kLat, kLon)}}},
      {"all zero", {{0, std::string("M\x80\x80\x80", 4)}, {100, std::string("M\x80\x80\x80", 4)},
                    {200, std::string("M\x00\x80\x80", 4)}}},
  };
  for (const auto& c : cases) {
    const RecordingTrack track = Build(c.chunks);
    EXPECT_TRUE(FindImpacts(track, 0.3).empty()) << c.what;
    const std::vector<NamedTrack> named = {{"R", track}};
    std::istringstream csv(CsvText(named));
    size_t gRows = 0;
    std::string row;
    std::getline(csv, row);  // the header
    while (std::getline(csv, row)) {
      if (row.find(",,,,,") == std::string::npos) continue;  // a fix's row
      ++gRows;
      EXPECT_EQ(row.substr(row.size() - 3), ",,,") << c.what << ": " << row;
    }
    EXPECT_EQ(gRows, track.samples.size()) << c.what;
  }
}

}  // namespace
