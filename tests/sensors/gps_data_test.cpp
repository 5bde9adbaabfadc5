// RMC sentences into CGPSData: field by field, hemispheres, time carry, short and long
// sentences, and the field splitter underneath.
#include "sensors/gps_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "sensors/nmea_fields.h"

namespace {

using roadkeep::sensors::CNmeaFields;
using roadkeep::sensors::DecimalField;
using roadkeep::sensors::TwoDigitGroup;

constexpr char kExample[] = "G$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

// Runs the test body with TZ=UTC so mktime's result is a fixed number.
class GpsDataInUtc : public testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    m_hadTz = tz != nullptr;
    if (m_hadTz) m_oldTz = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (m_hadTz) setenv("TZ", m_oldTz.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  bool m_hadTz = false;
  std::string m_oldTz;
};

TEST_F(GpsDataInUtc, ExampleSentenceFillsEveryField) {
  CGPSData gps;
  ASSERT_TRUE(gps.ParseRmc(kExample));
  EXPECT_TRUE(gps.IsValid());
  EXPECT_EQ(gps.hour, 21);
  EXPECT_EQ(gps.minute, 35);
  EXPECT_EQ(gps.second, 19);
  EXPECT_EQ(gps.day, 23);
  EXPECT_EQ(gps.month, 3);
  EXPECT_EQ(gps.year, 94);
  EXPECT_DOUBLE_EQ(gps.latitude, 4807.038);
  EXPECT_DOUBLE_EQ(gps.longitude, 1131.0);
  EXPECT_NEAR(gps.GetLatitude(), 48.1173, 1e-9);
  EXPECT_NEAR(gps.GetLongitude(), 11.516667, 1e-6);
  EXPECT_EQ(gps.GetSpeed(), static_cast<double>(static_cast<float>(22.4 * 1.852)));
  EXPECT_NEAR(gps.GetSpeed(), 41.4848, 1e-5);
  EXPECT_EQ(gps.course, static_cast<double>(84.4f));
  // 1994-03-23 21:35:19 read as UTC.
  EXPECT_EQ(gps.time, 764458519);
}

TEST_F(GpsDataInUtc, HoursPastMidnightCarryIntoTheNextDay) {
  CGPSData gps("G$GPRMC,235959,A,3733.9614,N,12658.6776,E,0.0,0.0,311299,,", 5);
  EXPECT_EQ(gps.tag, 5);
  EXPECT_EQ(gps.hour, 32);
  EXPECT_EQ(gps.year, 99);
  EXPECT_EQ(gps.time, 946717199);  // 2000-01-01 08:59:59
  // Two-digit years below 70 are this century's.
  CGPSData early("G$GPRMC,000000,A,1,N,1,E,0,0,010169", 0);
  EXPECT_EQ(early.time, 3124256400);  // 2069-01-01 09:00:00
}

TEST(GpsData, HemispheresAndStatus) {
  struct Case {
    const char* text;
    bool valid;
    double lat, lon;  // degrees
  } cases[] = {
      {"G$GPRMC,1,A,3733.9614,N,12658.6776,E,1,1,010114", true, 37.566023, 126.977960},
      {"G$GPRMC,1,A,3733.9614,S,12658.6776,W,1,1,010114", true, -37.566023, -126.977960},
      {"G$GPRMC,1,A,3733.9614,,12658.6776,,1,1,010114", true, -37.566023, -126.977960},
      {"G$GPRMC,1,V,3733.9614,N,12658.6776,E,1,1,010114", false, 37.566023, 126.977960},
      {"G$GPRMC,1,,3733.9614,N,12658.6776,E,1,1,010114", false, 37.566023, 126.977960},
      {"G$GPRMC,1,a,3733.9614,N,12658.6776,E,1,1,010114", false, 37.566023, 126.977960},
  };
  for (const Case& c : cases) {
    CGPSData gps(c.text, 0);
    EXPECT_EQ(gps.IsValid(), c.valid) << c.text;
    EXPECT_NEAR(gps.GetLatitude(), c.lat, 1e-6) << c.text;
    EXPECT_NEAR(gps.GetLongitude(), c.lon, 1e-6) << c.text;
  }
}

// Numbers the recorder never writes: a field of hundreds of digits still reads as a finite
// double, and must neither overflow on the way to degrees (UBSan watches) nor reach the map.
TEST(GpsData, PositionsOffTheGlobeAreNotValid) {
  const std::string nines(300, '9');
  struct Case {
    std::string lat, ns, lon, ew;
    bool valid;
  } cases[] = {
      {nines, "N", "12658.6776", "E", false},
      {"3733.9614", "N", nines, "W", false},
      {"-" + nines, "N", "12658.6776", "E", false},
      {"9100.0", "N", "12658.6776", "E", false},  // 91 degrees
      {"3733.9614", "N", "18100.0", "E", false},  // 181 degrees
      {"9000.0", "N", "18000.0", "E", true},      // the poles and the date line are places
      {"9000.0", "S", "18000.0", "W", true},
      {"0.0", "N", "0.0", "E", true},
  };
  for (const Case& c : cases) {
    const std::string text =
        "G$GPRMC,1,A," + c.lat + "," + c.ns + "," + c.lon + "," + c.ew + ",1,1,010114";
    CGPSData gps(text.c_str(), 0);
    EXPECT_EQ(gps.IsValid(), c.valid) << c.lat.substr(0, 12) << c.ns << " " << c.lon.substr(0, 12);
  }
  EXPECT_EQ(NmeaToDegrees(1e300), 1e300);
  EXPECT_EQ(NmeaToDegrees(-1e300), -1e300);
}

TEST(GpsData, ShortSentencesKeepWhatWasRead) {
  CGPSData stopped;
  EXPECT_FALSE(stopped.ParseRmc("G$GPRMC,101010,A,4807.038,N"));
  EXPECT_TRUE(stopped.IsValid());  // status was reached
  EXPECT_EQ(stopped.hour, 19);
  EXPECT_DOUBLE_EQ(stopped.latitude, 4807.038);
  EXPECT_EQ(stopped.longitude, 0);
  EXPECT_EQ(stopped.time, 0);

  CGPSData empty;
  EXPECT_TRUE(empty.ParseRmc("G$GPRMC,,,,,,,,,,"));  // ten empty fields: read to the end
  EXPECT_FALSE(empty.IsValid());
  EXPECT_EQ(empty.hour, 9);

  for (const char* text : {"", ",,,", "G$GPRMC", static_cast<const char*>(nullptr)}) {
    CGPSData gps;
    EXPECT_FALSE(gps.ParseRmc(text));
    EXPECT_FALSE(gps.IsValid());
  }
}

TEST(GpsData, ParsingAgainStartsFromZero) {
  CGPSData gps(kExample, 3);
  EXPECT_FALSE(gps.ParseRmc("G$GPRMC,1"));
  EXPECT_EQ(gps.tag, 3);
  EXPECT_EQ(gps.latitude, 0);
  EXPECT_EQ(gps.valid, 0);
  EXPECT_EQ(gps.time, 0);
}

TEST(GpsData, OverlongSentenceIsCutNotOverread) {
  std::string text = kExample;
  text += std::string(5000, ',');
  CGPSData gps(text.c_str(), 0);
  EXPECT_TRUE(gps.IsValid());
  EXPECT_EQ(gps.day, 23);
  // Padding before the sentence pushes the fields past the cut.
  const std::string padded = "G" + std::string(1100, 'x') + ",123519,A";
  CGPSData cut(padded.c_str(), 0);
  EXPECT_FALSE(cut.IsValid());
}

TEST(NmeaToDegrees, WholeDegreesPlusMinutes) {
  EXPECT_NEAR(NmeaToDegrees(37.339614), 37.566023, 1e-6);
  EXPECT_NEAR(NmeaToDegrees(-126.586776), -126.977960, 1e-6);
  EXPECT_EQ(NmeaToDegrees(0), 0);
  EXPECT_NEAR(NmeaToDegrees(0.30), 0.5, 1e-12);
}

TEST(NmeaFields, SplitsAtEveryComma) {
  CNmeaFields fields(",,a,,b,");
  const char* expected[] = {"a", "", "b", ""};
  for (const char* e : expected) {
    const char* f = fields.Next();
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f, e);
  }
  EXPECT_EQ(fields.Next(), nullptr);
  CNmeaFields none(nullptr);
  EXPECT_EQ(none.Next(), nullptr);
  CNmeaFields blank("");
  EXPECT_STREQ(blank.Next(), "");
  EXPECT_EQ(blank.Next(), nullptr);
}

TEST(NmeaFields, TwoDigitGroups) {
  struct Case {
    const char* field;
    size_t offset;
    int value;
  } cases[] = {{"123519", 0, 12}, {"123519", 4, 19}, {"123519.00", 4, 19}, {"1", 0, 1},
               {"1", 2, 0},       {"12", 2, 0},      {"1x3519", 0, 1},     {"ab", 0, 0},
               {"-5", 0, 0},      {"", 0, 0},        {"12345", 4, 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(TwoDigitGroup(c.field, c.offset), c.value) << c.field << " @" << c.offset;
  }
}

TEST(NmeaFields, DecimalNumbers) {
  struct Case {
    const char* field;
    double value;
  } cases[] = {{"4807.038", 4807.038}, {"-12.5", -12.5}, {"+3", 3},   {".5", 0.5},
               {" 7", 7},              {"022.4", 22.4},  {"", 0},     {"abc", 0},
               {"nan", 0},             {"inf", 0},       {"1e5", 1},  {"12.5W", 12.5},
               {"--1", 0},             {"0x10", 0}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(DecimalField(c.field), c.value) << c.field;
  EXPECT_EQ(DecimalField(std::string(400, '9').c_str()), 0);  // out of range
}

}  // namespace
