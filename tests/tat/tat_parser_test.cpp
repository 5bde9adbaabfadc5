#include "tat/tat_parser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tat/tat_library.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::tat::kKindEvent;
using roadkeep::test::SyntheticRecording;
using roadkeep::test::TempDir;
using roadkeep::test::WriteSyntheticCard;

constexpr int kCap = CTATParser::kQueueCapacity;

// A card in a temporary folder, the library polled onto it and a started parser.
class ParserOnCard : public testing::Test {
 protected:
  void Make(const std::vector<SyntheticRecording>& recs) {
    ASSERT_TRUE(WriteSyntheticCard(m_card.Path(), recs));
    setenv("ROADKEEP_CARD_DIRS", m_card.Path().c_str(), 1);
    m_library = TatCreate();
    char letter = 0;
    TatPollCard(m_library, &letter);
    ASSERT_NE(letter, 0);
    m_parser.SetLibrary(m_library);
    m_parser.Start();
  }
  void TearDown() override {
    m_parser.Stop();
    TatRelease(m_library);
  }
  struct Chunk {
    std::string id;
    int ordinal;
    std::vector<uint8_t> bytes;
  };
  // Swallows stdout from now until the next ReadToEnd ends (the reader may print before it).
  void CaptureFromHere() {
    testing::internal::CaptureStdout();
    m_capturing = true;
  }
  // Reads until ReadChunk fails; stdout (empty-queue traces) is swallowed.
  std::vector<Chunk> ReadToEnd(int limit = 1000000) {
    std::vector<Chunk> chunks;
    if (!m_capturing) testing::internal::CaptureStdout();
    m_capturing = false;
    for (int i = 0; i < limit; ++i) {
      Chunk c;
      if (!ReadOne(&c)) break;
      chunks.push_back(c);
    }
    m_output = testing::internal::GetCapturedStdout();
    return chunks;
  }
  bool ReadOne(Chunk* c) {
    char id[4] = {'?', '?', '?', '?'};
    int size = kCap;
    if (m_parser.ReadChunk(id, m_buffer.data(), &size) != 4) return false;
    c->id.assign(id, 4);
    c->bytes.assign(m_buffer.begin(), m_buffer.begin() + size);
    c->ordinal = -1;
    if (size >= 5 && c->id != "03tx") std::memcpy(&c->ordinal, &m_buffer[1], 4);
    return true;
  }

  TempDir m_card;
  TatHandle* m_library = nullptr;
  CTATParser m_parser;
  std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kCap);
  std::string m_output;
  bool m_capturing = false;
};

TEST_F(ParserOnCard, DeliversEveryChunkWithItsIdThenEnds) {
  Make({{"REC_20140301_093000_D.avi", 3}, {"EVENT_20140301_093100_F.avi", 2, 15, false}});
  struct Case {
    const char* name;
    int front, rear, audio, text;
  } cases[] = {{"REC_20140301_093000_D.avi", 90, 90, 15, 33},
               {"/EVENT_20140301_093100_F.avi", 30, 0, 10, 22}};
  for (const Case& c : cases) {
    MediaInfo info;
    CaptureFromHere();  // the reader may reach the end before the first ReadChunk
    ASSERT_NE(m_parser.Open(c.name, &info), 0);
    EXPECT_EQ(info.frontFrameCount, c.front);
    EXPECT_EQ(info.rearFrameCount, c.rear);
    const auto chunks = ReadToEnd();
    int front = 0, rear = 0, audio = 0, text = 0;
    for (const Chunk& ch : chunks) {
      if (ch.id == "00dc") EXPECT_EQ(ch.ordinal, front++);
      else if (ch.id == "01dc") EXPECT_EQ(ch.ordinal, rear++);
      else if (ch.id == "02wb") EXPECT_EQ(ch.ordinal, audio++);
      else if (ch.id == "03tx") ++text;
      else ADD_FAILURE() << ch.id;
    }
    EXPECT_EQ(front, c.front);
    EXPECT_EQ(rear, c.rear);
    EXPECT_EQ(audio, c.audio);
    EXPECT_EQ(text, c.text);
    EXPECT_NE(m_output.find("Media End Recv [5]\n"), std::string::npos);
    const int* block = m_parser.InfoBlock();
    EXPECT_EQ(block[9], c.audio);
    EXPECT_EQ(block[12], 16);
    EXPECT_EQ(block[13], 8000);
    int size[2];
    m_parser.GetVideoSize(size, 1);
    EXPECT_EQ(size[0], c.rear ? 640 : 0);
  }
  // After the end, ReadNext keeps reporting it until the next open.
  int size = kCap;
  EXPECT_EQ(m_parser.ReadNext(m_buffer.data(), &size), kKindOther);
  EXPECT_EQ(size, 0);
}

// The reader takes room in the queue for a chunk before it knows its size: chunks larger
// than that room, up to the largest a store may hold, still arrive whole and in order.
TEST_F(ParserOnCard, ChunksUpToTheLargestArriveWhole) {
  Make({{"REC_20140301_093000_D.avi", 1, 4, true, CTATParser::kReserveBytes + 4000},
        {"REC_20140301_093100_D.avi", 1, 3, true, kCap - 2}});  // the last frame 1 MiB
  const char* names[] = {"REC_20140301_093000_D.avi", "REC_20140301_093100_D.avi"};
  const int frontBytes[] = {CTATParser::kReserveBytes + 4000, kCap - 2};
  for (int r = 0; r < 2; ++r) {
    CaptureFromHere();
    ASSERT_NE(m_parser.Open(names[r], nullptr), 0);
    const auto chunks = ReadToEnd();
    int front = 0, rear = 0;
    for (const Chunk& ch : chunks) {
      const bool isFront = ch.id == "00dc";
      if (!isFront && ch.id != "01dc") continue;
      const int ordinal = isFront ? front++ : rear++;
      const int size = isFront ? frontBytes[r] + ordinal % 3 : frontBytes[r] / 2;
      EXPECT_TRUE(ch.bytes == roadkeep::test::SyntheticPayload(isFront ? 0 : 2, ordinal, size))
          << names[r] << " " << ch.id << " " << ordinal;
    }
    EXPECT_EQ(front, r == 0 ? 4 : 3) << names[r];
    EXPECT_EQ(rear, front) << names[r];
    EXPECT_FALSE(m_parser.ReadFailed());
  }
}

TEST_F(ParserOnCard, OpensAnEntryByItsKindAndIndex) {
  std::vector<SyntheticRecording> recs;
  for (int i = 0; i < 5; ++i) {
    recs.push_back({"EVENT_20140301_09300" + std::to_string(i) + "_D.avi", 1 + i % 3, 24, true, 600});
  }
  Make(recs);
  MediaInfo info;
  m_parser.OpenSource(MediaSource::CardEntry("", kKindEvent, 3), &info);
  EXPECT_EQ(m_parser.Kind(), 1);
  EXPECT_EQ(info.frontFrameCount, 24 * (1 + 3 % 3));
  m_parser.Open("EVENT_20140301_093002_D.avi", &info);
  EXPECT_EQ(info.frontFrameCount, 24 * 3);
  EXPECT_EQ(ReadToEnd().size(), static_cast<size_t>(72 + 72 + 15 + 30 + 3));
}

TEST(TatParser, KindComesFromTheFirstLetter) {
  TatHandle* library = TatCreate();
  CTATParser parser;
  parser.SetLibrary(library);
  struct Case {
    const char* name;
    int kind, code;
  } cases[] = {{"REC_1", 0, 1}, {"EVENT_1", 1, 0}, {"MANUAL_1", 2, 3}, {"PARKING_1", 3, 2},
               {"ZZZ_1", 3, 2}, {"/E", 1, 0}, {"", 1, 0}, {"R, 4", 0, 1}};
  for (const Case& c : cases) {
    parser.Open(c.name, nullptr);
    EXPECT_EQ(parser.Kind(), c.kind) << c.name;
    EXPECT_EQ(CTATParser::KindCode(parser.Kind()), c.code) << c.name;
  }
  TatRelease(library);
}

TEST(TatParser, StatisticsTextFillsTheCounts) {
  CTATParser parser;
  parser.ParseStatistics("cntVideo0=900; cntVideo1=900; cntAudio=450; cntACC=300; cntGPS=30");
  const int* block = parser.InfoBlock();
  EXPECT_EQ(block[7], 900);
  EXPECT_EQ(block[8], 900);
  EXPECT_EQ(block[9], 450);
  EXPECT_EQ(block[10], 30);   // GPS
  EXPECT_EQ(block[11], 300);  // G-sensor
  parser.ParseStatistics("cntVideo0=12; cntVideo1=oops");
  EXPECT_EQ(block[7], 12);
  EXPECT_EQ(block[8], 900);
  parser.ParseStatistics("");
  EXPECT_EQ(block[7], 12);
}

TEST_F(ParserOnCard, SeekToTimeGoesToTheUnitAndReportsItsTime) {
  Make({{"REC_20140301_093000_D.avi", 12, 30, true, 500}});
  m_parser.Open("REC_20140301_093000_D.avi", nullptr);
  EXPECT_EQ(m_parser.FrameReached(), -1);
  // F = 30, G = 24: 10 s is g = 12 units, reported as 9 s (frame 288 at 9.6 s).
  EXPECT_EQ(m_parser.SeekToTime(10.0f), 9);
  EXPECT_EQ(m_parser.FrameReached(), 288);
  Chunk c;
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.id, "00dc");
  EXPECT_EQ(c.ordinal, 288);
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.id, "01dc");
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.id, "02wb");
  EXPECT_EQ(c.ordinal, 48);  // 9.6 s of 200 ms chunks
  // Read on a while, then seek back: the count of frames read does not shift the target.
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(m_parser.SeekToTime(2.0f), 1);
  EXPECT_EQ(m_parser.FrameReached(), 48);
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.ordinal, 48);
  // Past the end the library stays in the last unit (frames 336..359).
  m_parser.SeekToTime(30.0f);
  EXPECT_EQ(m_parser.FrameReached(), 336);
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.ordinal, 336);
}

TEST_F(ParserOnCard, SeekAfterTheEndReadsAgain) {
  Make({{"REC_20140301_093000_D.avi", 2, 30, true, 500}});
  m_parser.Open("REC_20140301_093000_D.avi", nullptr);
  ReadToEnd();
  EXPECT_EQ(m_parser.SeekToTime(1.0f), 0);
  Chunk c;
  ASSERT_TRUE(ReadOne(&c));
  EXPECT_EQ(c.id, "00dc");
  EXPECT_EQ(c.ordinal, 24);
}

TEST_F(ParserOnCard, OpenReportsARecordingTheLibraryCannotOpen) {
  Make({{"REC_20140301_093000_D.avi", 1}, {"EVENT_20140301_093100_D.avi", 1}});
  const struct {
    const char* name;
    MediaSource source;
  } cases[] = {
      {"a name not on the card", MediaSource::Named("REC_20990101_000000_D.avi")},
      {"a name with an index after it", MediaSource::Named("EVENT_20140301_093100_D.avi, 0")},
      {"no name", MediaSource::Named("")},
      {"an index past the kind's entries", MediaSource::CardEntry("", kKindEvent, 1)},
      {"no such kind", MediaSource::CardEntry("", 9, 0)},
      {"a card not present", MediaSource::CardEntry("/no/such/card", kKindEvent, 0)},
  };
  for (const auto& [name, source] : cases) {
    MediaInfo info;
    EXPECT_EQ(m_parser.OpenSource(source, &info), 0) << name;
    EXPECT_EQ(info.frontFrameCount, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReadToEnd().empty()) << name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(m_parser.ReadFailed()) << name;
    m_parser.SeekToTime(0.0f);  // a seek does not bring a failed open back to life
    EXPECT_TRUE(ReadToEnd().empty()) << name;
  }
  // The next good open reads and ends normally.
  EXPECT_NE(m_parser.Open("EVENT_20140301_093100_D.avi", nullptr), 0);
  EXPECT_FALSE(m_parser.ReadFailed());
  EXPECT_EQ(ReadToEnd().size(), 30u + 30u + 5u + 11u);
  EXPECT_FALSE(m_parser.ReadFailed());
}

TEST_F(ParserOnCard, ADamagedChunkIsSkippedAndAReadErrorIsNoEnd) {
  Make({{"REC_20140301_093000_D.avi", 2}});
  const std::string store = (m_card.Path() / "TAT" / "REC.TAT").string();
  const auto sound = roadkeep::test::ReadAll(store);
  auto bytes = sound;
  bytes[64 + 212 + 16 + 50] ^= 0x04;  // inside the first chunk, the front key frame
  roadkeep::test::WriteAll(store, bytes);
  ASSERT_NE(m_parser.Open("REC_20140301_093000_D.avi", nullptr), 0);
  int front = 0;
  for (const Chunk& c : ReadToEnd()) front += c.id == "00dc";
  EXPECT_EQ(front, 59);
  EXPECT_FALSE(m_parser.ReadFailed());

  // The store cut short after the library listed it (the card going bad): reading ends,
  // flagged as a failure, after the chunks that could be read.
  roadkeep::test::WriteAll(store, sound);
  std::filesystem::resize_file(store, 64 + 212 + 20000);
  ASSERT_NE(m_parser.Open("REC_20140301_093000_D.avi", nullptr), 0);
  const auto chunks = ReadToEnd();
  EXPECT_GT(chunks.size(), 3u);
  EXPECT_TRUE(m_parser.ReadFailed());
}

// Reopening while the reader thread is busy: the handshake keeps the old recording's
// chunks out of the new one.
TEST_F(ParserOnCard, ReopeningMidStreamStartsCleanly) {
  Make({{"REC_20140301_093000_D.avi", 4, 30, true, 20000}, {"PARKING_20140301_093100_F.avi", 4, 30, false, 20000}});
  for (int round = 0; round < 20; ++round) {
    const bool rec = round % 2 == 0;
    MediaInfo info;
    m_parser.Open(rec ? "REC_20140301_093000_D.avi" : "PARKING_20140301_093100_F.avi", &info);
    Chunk c;
    ASSERT_TRUE(ReadOne(&c));
    EXPECT_EQ(c.id, "00dc");
    EXPECT_EQ(c.ordinal, 0);
    for (int i = 0; i < round * 3; ++i) {
      ASSERT_TRUE(ReadOne(&c));
      if (!rec) {
        EXPECT_NE(c.id, "01dc");
      }
    }
    m_parser.Close();
  }
}

}  // namespace
