// roadkeep-tool make-card writes a card; list and dump show it; the TAT parser reads it
// back with the right ids, counts and payloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "tat/tat_parser.h"
#include "tat/tat_library.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

std::string Tool() {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/roadkeep-tool";
}

// Two seconds per recording, small pictures; the 2nd and 4th recordings are front only.
class MadeCard : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_card = new TempDir();
    const std::string cmd = Tool() + " make-card " + s_card->Path().string() +
                            " --per-kind 1 --seconds 2 --front 320x240@30 --rear 160x120@15"
                            " --front-only-every 2 --seed 3 >/dev/null";
    ASSERT_EQ(RunCommand(cmd), 0) << cmd;
  }
  static void TearDownTestSuite() { delete s_card; }
  static TempDir* s_card;
};
TempDir* MadeCard::s_card = nullptr;

TEST_F(MadeCard, ListShowsEveryKind) {
  const std::string out = CommandOutput(Tool() + " list " + s_card->Path().string());
  EXPECT_NE(out.find("REC (1)\n  REC_20140301_093000_D.avi"), std::string::npos) << out;
  EXPECT_NE(out.find("EVENT (1)\n  EVENT_20140301_093007_F.avi"), std::string::npos) << out;
  EXPECT_NE(out.find("PARKING (1)\n  PARKING_20140301_093014_D.avi"), std::string::npos) << out;
  EXPECT_NE(out.find("MANUAL (1)\n  MANUAL_20140301_093021_F.avi"), std::string::npos) << out;
  EXPECT_NE(RunCommand(Tool() + " list /nonexistent 2>/dev/null"), 0);
}

TEST_F(MadeCard, DumpShowsHeaderAndSoundChunks) {
  const std::string out =
      CommandOutput(Tool() + " dump " + s_card->Path().string() + " REC_20140301_093000_D.avi");
  EXPECT_NE(out.find("front 320x240 at 30 fps, 60 frames"), std::string::npos) << out;
  EXPECT_NE(out.find("rear 160x120 at 15 fps, 30 frames"), std::string::npos) << out;
  EXPECT_NE(out.find("chunk 0: video camera 0 key 1"), std::string::npos);
  EXPECT_EQ(out.find("BAD"), std::string::npos);
  EXPECT_NE(RunCommand(Tool() + " dump " + s_card->Path().string() + " REC_1_2_D.avi 2>/dev/null"), 0);
}

TEST_F(MadeCard, SettingsFileHoldsTheFactoryText) {
  const auto text = roadkeep::test::ReadAll((s_card->Path() / "SETTING" / "blackbox.cfg").string());
  const std::string s(text.begin(), text.end());
  EXPECT_EQ(s.rfind("[blackbox]\r\n", 0), 0u);
  EXPECT_NE(s.find("const=50\r\n"), std::string::npos);
}

TEST_F(MadeCard, PlayShowsEveryFrameOfRecordingsInARow) {
  const std::string dir = s_card->Path().string();
  const std::string out = CommandOutput("SDL_AUDIODRIVER=dummy " + Tool() + " play " + dir +
                                        " REC_20140301_093000_D.avi EVENT_20140301_093007_F.avi");
  const char* expected[] = {
      "REC_20140301_093000_D.avi\n  frames shown: front 60, rear 30\n"
      "  duration: 2000 ms, position at end: 1966 ms\n",  // the last frame's time
      "  records: GPS 0, G-sensor 1\n  ended: end of recording (status 2)\n"
      "EVENT_20140301_093007_F.avi\n  frames shown: front 60, rear 0\n",
      "  ended: end of recording (status 2)\n",
  };
  for (const char* e : expected) EXPECT_NE(out.find(e), std::string::npos) << e << "\n" << out;
  EXPECT_NE(RunCommand(Tool() + " play " + dir + " 2>/dev/null"), 0);
  EXPECT_NE(RunCommand(Tool() + " play " + dir + " X --pane 12 2>/dev/null"), 0);
  // At 4x every frame still shows, and a speed that is not a step is refused.
  const std::string fast = CommandOutput("SDL_AUDIODRIVER=dummy " + Tool() + " play " + dir +
                                         " REC_20140301_093000_D.avi --speed 4");
  EXPECT_NE(fast.find("frames shown: front 60, rear 30\n"), std::string::npos) << fast;
  EXPECT_NE(fast.find("  speed: 4x, played in "), std::string::npos) << fast;
  EXPECT_NE(RunCommand(Tool() + " play " + dir + " REC_20140301_093000_D.avi --speed 3 2>/dev/null"), 0);
}

TEST_F(MadeCard, PlayPausesAndStepsOneFrame) {
  const std::string out =
      CommandOutput("SDL_AUDIODRIVER=dummy " + Tool() + " play " + s_card->Path().string() +
                    " REC_20140301_093000_D.avi --pause-at 0 --step 1");
  EXPECT_NE(out.find("paused at "), std::string::npos) << out;
  EXPECT_NE(out.find(", status 1\n"), std::string::npos) << out;  // a still of two cameras
  EXPECT_NE(out.find("ended: end of recording"), std::string::npos) << out;
}

// What play says and how it exits when it could not play: the line on standard error, and
// never "end of recording" with status 0.
TEST_F(MadeCard, PlayReportsWhatItCouldNotPlayAndFails) {
  // A copy of the card whose driving recording holds no chunk (cut after its header).
  TempDir copy;
  std::filesystem::copy(s_card->Path(), copy.Path(), std::filesystem::copy_options::recursive);
  std::filesystem::resize_file(copy.Path() / "TAT" / "REC.TAT", 64 + 212);
  const std::string dir = s_card->Path().string();
  struct Case {
    std::string args;
    const char* says;
  } cases[] = {
      {"SDL_AUDIODRIVER=dummy " + Tool() + " play " + dir + " REC_20990101_000000_D.avi",
       "REC_20990101_000000_D.avi: no such recording on the card"},
      {"SDL_AUDIODRIVER=dummy " + Tool() + " play " + copy.Path().string() + " REC_20140301_093000_D.avi",
       "REC_20140301_093000_D.avi: no frame of the recording could be shown"},
      {Tool() + " play " + dir + " EVENT_20140301_093007_F.avi --audio no-such-driver",
       "the audio output could not be opened"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(RunCommand(c.args + " >/dev/null 2>&1"), 0) << c.args;
    const std::string err = CommandOutput(c.args + " 2>&1 >/dev/null");
    EXPECT_NE(err.find(c.says), std::string::npos) << c.args << "\n" << err;
  }
  const std::string out = CommandOutput(cases[0].args + " 2>/dev/null");
  EXPECT_NE(out.find("ended: could not be read"), std::string::npos) << out;
}

// A card or a store file the tool cannot read says so; it is not "not a recorder card" nor
// an empty kind.
TEST_F(MadeCard, ListSaysWhatItCouldNotRead) {
  TempDir copy;
  std::filesystem::copy(s_card->Path(), copy.Path(), std::filesystem::copy_options::recursive);
  const auto tat = copy.Path() / "TAT";
  std::filesystem::remove(tat / "EVENT.TAT");
  std::filesystem::create_directory(tat / "EVENT.TAT");
  const std::string list = Tool() + " list " + copy.Path().string();
  EXPECT_NE(RunCommand(list + " >/dev/null 2>&1"), 0);
  const std::string out = CommandOutput(list + " 2>/dev/null");
  EXPECT_NE(out.find("REC (1)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("EVENT (cannot be read: Is a directory)\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("EVENT (0)"), std::string::npos) << out;

  std::filesystem::remove(tat / "VOLUME.TAT");
  std::filesystem::create_directory(tat / "VOLUME.TAT");
  std::string err = CommandOutput(list + " 2>&1 >/dev/null");
  EXPECT_NE(err.find("cannot read " + (tat / "VOLUME.TAT").string() + ": Is a directory"),
            std::string::npos) << err;
  EXPECT_EQ(err.find("not a recorder card"), std::string::npos) << err;
  std::filesystem::remove(tat / "VOLUME.TAT");
  err = CommandOutput(list + " 2>&1 >/dev/null");
  EXPECT_NE(err.find("not a recorder card"), std::string::npos) << err;
}

TEST(MakeCard, CountLimitsTheRecordings) {
  TempDir card;
  ASSERT_EQ(RunCommand(Tool() + " make-card " + card.Path().string() +
                       " --count 1 --seconds 1 --front 64x48@10 --rear 64x48@10 >/dev/null"),
            0);
  const std::string out = CommandOutput(Tool() + " list " + card.Path().string());
  EXPECT_NE(out.find("REC (1)"), std::string::npos) << out;
  EXPECT_EQ(out.find("EVENT (1)"), std::string::npos) << out;
}

// trips: one line a trip, oldest first, from cards whose recordings pause between trips.
TEST(Trips, TripsOfACardAreListedOldestFirst) {
  const char* const kDriven = R"((0\.[1-9]|[1-9][0-9]*\.[0-9]) km)";  // more than 0.0
  const struct {
    const char* make;
    const char* trips;
    std::string expected;  // a pattern of the whole output
  } cases[] = {
      {"--count 5 --seconds 20 --gap 0 --trip-every 2", "",
       std::string("trip 1  2014-03-01 09:30:00  09:30:40  40 s  2 recordings  ") + kDriven +
           "  1 events\n"
           "trip 2  2014-03-01 09:40:40  09:41:20  40 s  2 recordings  " + kDriven +
           "  1 events\n"
           "trip 3  2014-03-01 09:51:20  09:51:40  20 s  1 recordings  " + kDriven +
           "  0 events\n"},
      {"--count 5 --seconds 20 --gap 0 --trip-every 2", " --gap 600",
       std::string("trip 1  2014-03-01 09:30:00  09:51:40  100 s  5 recordings  ") + kDriven +
           "  2 events\n"},
      {"--count 2 --seconds 3 --no-text", "",
       "trip 1  2014-03-01 09:30:00  09:30:11  6 s  2 recordings  - km  1 events\n"},
  };
  for (const auto& c : cases) {
    TempDir card;
    ASSERT_EQ(RunCommand(Tool() + " make-card " + card.Path().string() + " " + c.make +
                         " --filler --front 320x180@10 --rear 160x90@10 >/dev/null"),
              0);
    const std::string command = Tool() + " trips " + card.Path().string() + c.trips;
    const std::string out = CommandOutput(command);
    EXPECT_TRUE(std::regex_match(out, std::regex(c.expected))) << command << "\n" << out;
    EXPECT_EQ(RunCommand(command + " >/dev/null"), 0) << command;
  }

  // A folder that is no card fails; an unreadable store file is named, the rest listed.
  TempDir card;
  EXPECT_NE(RunCommand(Tool() + " trips " + card.Path().string() + " >/dev/null 2>&1"), 0);
  ASSERT_EQ(RunCommand(Tool() + " make-card " + card.Path().string() +
                       " --count 2 --seconds 1 --filler --no-text >/dev/null"),
            0);
  std::filesystem::remove(card.Path() / "TAT" / "EVENT.TAT");
  std::filesystem::create_directory(card.Path() / "TAT" / "EVENT.TAT");
  const std::string command = Tool() + " trips " + card.Path().string();
  EXPECT_NE(RunCommand(command + " >/dev/null 2>&1"), 0);
  EXPECT_NE(CommandOutput(command + " 2>&1 >/dev/null").find("EVENT.TAT: Is a directory"),
            std::string::npos);
  EXPECT_NE(CommandOutput(command + " 2>/dev/null").find("  1 recordings  "), std::string::npos);
}

// NAL unit types of an Annex B access unit.
std::vector<int> NalTypes(const std::vector<uint8_t>& au) {
  std::vector<int> types;
  for (size_t i = 0; i + 3 < au.size(); ++i) {
    if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) types.push_back(au[i + 3] & 0x1F);
  }
  return types;
}

TEST_F(MadeCard, ParserReadsWhatTheRecorderWrote) {
  setenv("ROADKEEP_CARD_DIRS", s_card->Path().c_str(), 1);
  TatHandle* library = TatCreate();
  char letter = 0;
  TatPollCard(library, &letter);
  ASSERT_NE(letter, 0);
  CTATParser parser;
  parser.SetLibrary(library);
  parser.Start();
  struct Case {
    const char* name;
    int front, rear;
  } cases[] = {{"REC_20140301_093000_D.avi", 60, 30}, {"EVENT_20140301_093007_F.avi", 60, 0}};
  std::vector<uint8_t> buffer(CTATParser::kQueueCapacity);
  for (const Case& c : cases) {
    MediaInfo info;
    parser.Open(c.name, &info);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameRate, c.rear ? 15 : 0);
    std::map<std::string, int> ids;
    int gps = 0, acc = 0, frontIndex = 0;
    testing::internal::CaptureStdout();
    for (;;) {
      char id[4];
      int size = static_cast<int>(buffer.size());
      if (parser.ReadChunk(id, buffer.data(), &size) != 4) break;
      const std::string key(id, 4);
      ++ids[key];
      if (key == "03tx" && buffer[0] == 'G') {
        ++gps;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 7), "G$GPRMC");
      }
      if (key == "03tx" && buffer[0] == 'M') {
        ++acc;
        EXPECT_EQ(size, 4);
      }
      if (key == "02wb") {
        EXPECT_LE(size, 3840);
      }
      if (key == "00dc") {
        const std::vector<uint8_t> au(buffer.begin(), buffer.begin() + size);
        const auto nals = NalTypes(au);
        const bool idr = std::find(nals.begin(), nals.end(), 5) != nals.end();
        EXPECT_EQ(idr, frontIndex % 24 == 0) << frontIndex;
        ++frontIndex;
      }
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ids["00dc"], c.front);
    EXPECT_EQ(ids["01dc"], c.rear);
    EXPECT_EQ(ids["02wb"], parser.InfoBlock()[9]);
    EXPECT_EQ(gps, parser.InfoBlock()[10]);
    EXPECT_EQ(acc, parser.InfoBlock()[11]);
    EXPECT_EQ(gps, 2);
    EXPECT_EQ(acc, 20);
  }
  parser.Stop();
  TatRelease(library);
}

}  // namespace

namespace {

// Bad input to the tool: a non-zero exit and one line saying why.
TEST(ToolInput, BadInputGivesOneLineAndAFailure) {
  TempDir dir;
  roadkeep::test::WriteAll(dir.File("junk.avi"), std::vector<uint8_t>(100, 'x'));
  const std::string cases[] = {
      " avi-info " + dir.File("junk.avi"),
      " avi-info " + dir.File("missing.avi"),
      " avi-copy " + dir.File("junk.avi") + " " + dir.File("out.avi"),
      " make-card " + dir.File("card") + " --front 33x20@30",
      " make-card " + dir.File("card") + " --seconds x",
      " no-such-command",
  };
  for (const std::string& args : cases) {
    EXPECT_NE(RunCommand(Tool() + args + " >/dev/null 2>&1"), 0) << args;
    const std::string err = CommandOutput(Tool() + args + " 2>&1 >/dev/null | head -1");
    EXPECT_NE(err.find("roadkeep-tool"), std::string::npos) << args;
  }
}

// A recording named to clear the screen, forge an "OK" line and not in UTF-8: each command
// that shows it gives one escaped line; manifest.json and the GPX parse with the name in them
// as the card spells it (invalid bytes as U+FFFD).
TEST(HostileName, StaysOneEscapedLineAndValidInTheFiles) {
  TempDir dir;
  const std::string card = dir.File("card"),
                    hostile = "REC\n\x1b[2JOK  fake.avi\xff\xfe\xe2\x80\xa8x";
  ASSERT_EQ(RunCommand(Tool() + " make-card " + card +
                       " --count 1 --seconds 4 --front 160x90@10 --rear 160x90@10 >/dev/null"),
            0);
  ASSERT_TRUE(roadkeep::test::EditEntryHeader(
      card, roadkeep::tat::kKindDriving, "REC_20140301_093000_D.avi",
      [&](roadkeep::tat::EntryHeader& h) {
        std::snprintf(h.name, sizeof h.name, "%s", hostile.c_str());
      }));
  const std::string name = " '" + hostile + "'";  // no quote in it
  const std::string shown = "REC\\x0a\\x1b[2JOK  fake.avi\\xff\\xfe\\xe2\\x80\\xa8x";
  const struct {
    std::string args;
    int lines;  // on standard output
  } cases[] = {
      {" list " + card, 5},  // a heading per kind and the recording
      {" export " + card + " " + dir.File("out") + name, 1},
      {" evidence " + card + " " + dir.File("package") + name, 1},
      {" gpx " + card + name + " -o " + dir.File("track.gpx"), 0},
  };
  for (const auto& c : cases) {
    const std::string out = CommandOutput(Tool() + c.args + " 2>/dev/null");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), c.lines) << c.args << "\n" << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << c.args;
    EXPECT_EQ(out.find(shown) != std::string::npos, c.lines > 0) << c.args << "\n" << out;
  }
  roadkeep::test::WriteText(dir.File("check.py"), R"py(import json, sys, xml.etree.ElementTree as et
want = 'REC\n\x1b[2JOK  fake.avi\ufffd\ufffd\u2028x'
name = json.load(open(sys.argv[1], encoding='utf-8'))['recordings'][0]['name']
gpx = et.parse(sys.argv[2]).find('.//{http://www.topografix.com/GPX/1/1}name').text
assert name == want and gpx == want.replace('\x1b', '\ufffd'), (name, gpx)
print('parsed')
)py");
  EXPECT_EQ(CommandOutput("python3 " + dir.File("check.py") + " " + dir.File("package") +
                          "/manifest.json " + dir.File("track.gpx") + " 2>&1"),
            "parsed\n");
}

}  // namespace
