// OnTextData: which chunks become records, the one-per-second rule for G-sensor samples,
// bounds on short chunks, and the lock under concurrent writer and readers.
#include "sensors/text_data.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A chunk as the player hands it over: its bytes, one zero byte, length = size + 1.
void Deliver(CTextData& data, const std::string& chunk, int ms) {
  const std::string withZero = chunk + std::string(1, '\0');
  CTextData::TextCallback(&data, withZero.data(), static_cast<int>(withZero.size()), ms);
}

std::string M(uint8_t a, uint8_t b, uint8_t c) { return std::string{'M', char(a), char(b), char(c)}; }

constexpr char kFix[] = "G$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

TEST(TextData, OnlyValidRmcFixesAreStored) {
  CTextData data;
  const struct {
    std::string chunk;
    int gps;  // count afterwards
  } steps[] = {
      {kFix, 1},
      {"G$GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394", 1},
      {"G$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 1},
      {"G$GPRMC,,,,,,,,,,", 1},
      {"X$GPRMC,123519,A,1,N,1,E,1,1,010114", 1},
      {"G", 1},
      {"", 1},
      {"G$GPRMC,123520,A,4807.039,S,01131.000,W", 2},  // stops early but is valid
  };
  for (const auto& s : steps) {
    Deliver(data, s.chunk, 5000);
    EXPECT_EQ(data.GpsCount(), s.gps) << s.chunk;
  }
  CGPSData last;
  ASSERT_TRUE(data.LastGps(&last));
  EXPECT_LT(last.latitude, 0);
  EXPECT_EQ(last.second, 20);
  EXPECT_EQ(data.GSensorCount(), 0);
}

TEST(TextData, GSensorBytesBecomeSignedAxes) {
  CTextData data;
  Deliver(data, M(0x00, 0x80, 0xFF), 1000);
  const auto samples = data.GSensorSamples();
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].x, 128);
  EXPECT_EQ(samples[0].y, 0);
  EXPECT_EQ(samples[0].z, -127);
  EXPECT_EQ(samples[0].tag, 0);
  const CGSensorData wide(0x100, 0x17F, -1, 9);  // only the low byte counts
  EXPECT_EQ(wide.x, 128);
  EXPECT_EQ(wide.y, 1);
  EXPECT_EQ(wide.z, -127);
}

TEST(TextData, OneGSensorSamplePerSecondOfPlayback) {
  CTextData data;
  const struct {
    int ms;
    uint8_t raw;
    int count;
  } steps[] = {
      {0, 1, 0},    {999, 2, 0},  {1000, 3, 1}, {1500, 4, 1}, {1999, 5, 1},
      {2000, 6, 2}, {5000, 7, 3}, {5000, 8, 4}, {5000, 9, 5}, {5000, 10, 5},
      {3000, 11, 5}, {-4000, 12, 5},
  };
  for (const auto& s : steps) {
    Deliver(data, M(s.raw, 0, 0), s.ms);
    EXPECT_EQ(data.GSensorCount(), s.count) << s.ms;
  }
  const auto samples = data.GSensorSamples();
  const int expectedRaw[] = {3, 6, 7, 8, 9};
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(samples[i].x, 128 - expectedRaw[i]);
}

TEST(TextData, ShortMChunksAreNotOverread) {
  CTextData data;
  const char two[2] = {'M', 0};
  data.OnTextData(two, 2, 9000);
  data.OnTextData(nullptr, 10, 9000);
  data.OnTextData("M", 0, 9000);
  EXPECT_EQ(data.GSensorCount(), 0);
  const char four[4] = {'M', 1, 2, 0};  // three bytes and the terminator
  data.OnTextData(four, 4, 9000);
  EXPECT_EQ(data.GSensorCount(), 1);
}

TEST(TextData, GpsSentenceWithoutTerminatorStopsAtLength) {
  CTextData data;
  std::string fix = kFix;
  data.OnTextData(fix.data(), 40, 0);  // up to and including "E," of field 6
  ASSERT_EQ(data.GpsCount(), 1);
  CGPSData last;
  data.LastGps(&last);
  EXPECT_EQ(last.speed, 0);
}

TEST(TextData, ClearEmptiesBoth) {
  CTextData data;
  Deliver(data, kFix, 3000);
  Deliver(data, M(1, 2, 3), 3000);
  data.Clear();
  EXPECT_EQ(data.GpsCount(), 0);
  EXPECT_EQ(data.GSensorCount(), 0);
  EXPECT_FALSE(data.LastGps(nullptr));
}

TEST(TextData, WriterAndReadersRunTogether) {
  CTextData data;
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      Deliver(data, i % 2 ? kFix : M(1, 2, 3), i);
      if (i % 5000 == 0) data.Clear();
    }
  });
  for (int i = 0; i < 2000; ++i) {
    CGPSData last;
    if (data.LastGps(&last)) {
      ASSERT_EQ(last.day, 23);
    }
    const auto samples = data.GSensorSamples();
    for (const auto& s : samples) ASSERT_EQ(s.x, 127);
  }
  writer.join();
  EXPECT_EQ(data.GpsCount(), 2500);
}

}  // namespace
