// The card layer: typed recordings from the store, and readers that do not disturb each other.
#include "tat/card.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::SyntheticRecording;
using roadkeep::test::TempDir;
using roadkeep::test::WriteSyntheticCard;
using namespace roadkeep::tat;

struct ReadChunk {
  int type, camera, size;
  std::vector<uint8_t> bytes;
  bool operator==(const ReadChunk&) const = default;
};

// Up to limit chunks from reader (all when limit < 0).
std::vector<ReadChunk> ReadChunks(CRecordingReader& reader, int limit = -1) {
  std::vector<ReadChunk> out;
  std::vector<uint8_t> buffer(kTatReadCapacity);
  while (limit < 0 || static_cast<int>(out.size()) < limit) {
    uint8_t camera = 0, type = 0, key = 0;
    int size = 0;
    if (reader.Read(&camera, &type, &key, &size, buffer.data(), kTatReadCapacity) !=
        CRecordingReader::kOk)
      break;
    out.push_back({type, camera, size, {buffer.begin(), buffer.begin() + size}});
  }
  return out;
}

// Whatever the name says, the camera count is what the store holds.
TEST(Card, CameraCountComesFromTheStoreNotTheName) {
  TempDir dir;
  struct Case {
    const char* name;
    bool dual;
  } cases[] = {{"REC_20140301_093000_D.avi", true}, {"rec_20140301_093100_d.avi", true},
               {"REC_20140301_093200.avi", true},   {"REC_20140301_093300_D.avi", false},
               {"rec_20140301_093400_f.avi", false}};
  std::vector<SyntheticRecording> recordings;
  for (const Case& c : cases) recordings.push_back({c.name, 1, 30, c.dual});
  ASSERT_TRUE(WriteSyntheticCard(dir.Path().string(), recordings));
  CCard card(dir.Path().string());
  const std::vector<Recording> listed = card.Recordings(kKindDriving);
  ASSERT_EQ(listed.size(), std::size(cases));
  for (size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].name, cases[i].name);
    EXPECT_EQ(listed[i].CameraCount(), cases[i].dual ? 2 : 1) << cases[i].name;
    EXPECT_EQ(listed[i].kindCode, kKindDriving);
    EXPECT_EQ(listed[i].durationMs, 1000u);
  }
  EXPECT_EQ(CCard::KindOfName("rec_20140301_093100_d.avi"), kKindDriving);
}

// Readers of one card each keep their own place: interleaved reads of the same and of
// another recording give each reader what it gets alone.
TEST(Card, ReadersOfOneCardKeepTheirOwnPlace) {
  TempDir dir;
  ASSERT_TRUE(WriteSyntheticCard(dir.Path().string(), {{"REC_20140301_093000_D.avi", 2},
                                                       {"REC_20140301_093100_D.avi", 2}}));
  CCard card(dir.Path().string());
  auto alone = card.OpenReader(kKindDriving, 0);
  ASSERT_TRUE(alone);
  const std::vector<ReadChunk> expected = ReadChunks(*alone);
  ASSERT_GT(expected.size(), 100u);

  auto first = card.OpenReader(kKindDriving, 0);
  auto same = card.OpenReader(kKindDriving, 0);
  auto other = card.OpenReader(kKindDriving, 1);
  ASSERT_TRUE(first && same && other);
  std::vector<ReadChunk> got = ReadChunks(*first, 40);
  EXPECT_EQ(ReadChunks(*same), expected);
  EXPECT_FALSE(ReadChunks(*other).empty());
  other->SeekBack(1);
  ReadChunks(*other, 3);
  for (const ReadChunk& c : ReadChunks(*first)) got.push_back(c);
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(card.OpenReader(kKindDriving, 2));
  EXPECT_FALSE(card.OpenReader(kKindEvent, 0));
}

// The text read walks past the video and sound by their headers: it finds the very text
// chunks a full read finds, at their times, through damage too, and ends as it ends.
TEST(Card, TextReadFindsWhatAFullReadFindsWithoutTheRest) {
  const struct {
    const char* what;
    int chunk;      // of the first recording: front, rear, audio, 'G' text, 'M' text, ...
    size_t offset;  // byte within it (header 0..15, then payload); chunk -1: none
    bool cut;       // the store cut short there instead
  } cases[] = {
      {"sound", -1, 0, false},
      {"a text payload", 3, kChunkHeaderSize + 9, false},
      {"a video payload", 0, kChunkHeaderSize + 40, false},
      {"a video chunk's type", 1, 0, false},
      {"the store cut short", 40, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ASSERT_TRUE(WriteSyntheticCard(dir.Path().string(), {{"REC_20140301_093000_D.avi", 2}}));
    const std::string store = (dir.Path() / kStoreFolder / StoreFileName(kKindDriving)).string();
    std::vector<uint8_t> bytes = roadkeep::test::ReadAll(store);
    size_t at = kStoreHeaderSize + kEntryHeaderSize;
    for (int i = 0; i < c.chunk; ++i) {
      at += kChunkHeaderSize + Pad4(bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16);
    }
    if (c.cut) bytes.resize(at + 5);
    else if (c.chunk >= 0) bytes[at + c.offset] ^= 0x41;
    CCard card(dir.Path().string());
    ASSERT_EQ(card.Recordings(kKindDriving).size(), 1u);  // listed before the damage
    roadkeep::test::WriteAll(store, bytes);

    auto full = card.OpenReader(kKindDriving, 0);
    auto text = card.OpenReader(kKindDriving, 0);
    ASSERT_TRUE(full && text);
    std::vector<std::vector<uint8_t>> expected, got;
    std::vector<uint8_t> buffer(kTatReadCapacity);
    uint8_t camera, type, key;
    int size = 0;
    CRecordingReader::Result fullEnd, textEnd;
    while ((fullEnd = full->Read(&camera, &type, &key, &size, buffer.data(), kTatReadCapacity)) ==
           CRecordingReader::kOk) {
      if (type == kTypeText) expected.emplace_back(buffer.begin(), buffer.begin() + size);
    }
    uint32_t timeMs = 0;
    while ((textEnd = text->ReadText(&timeMs, &size, buffer.data(), 8)) != CRecordingReader::kEnd &&
           textEnd != CRecordingReader::kError) {
      if (textEnd == CRecordingReader::kTooSmall) {
        ASSERT_EQ(text->ReadText(&timeMs, &size, buffer.data(), size), CRecordingReader::kOk);
      }
      got.emplace_back(buffer.begin(), buffer.begin() + size);
      // 'G' fixes once a second, numbered in their time field; 'M' samples at 10 Hz, numbered.
      const char* fixNumber = reinterpret_cast<const char*>(&buffer[8]);
      EXPECT_EQ(timeMs, buffer[0] == 'G' ? std::atoi(fixNumber) * 1000u : buffer[1] * 100u);
    }
    EXPECT_GT(expected.size(), c.cut ? 2u : 20u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(textEnd, fullEnd);
    EXPECT_EQ(fullEnd, c.cut ? CRecordingReader::kError : CRecordingReader::kEnd);
  }
}

// A header resealed with numbers that cannot be: what the chunks can give replaces them and
// the recording says it is damaged; what they cannot give makes it one no export copies.
TEST(Card, ImpossibleHeaderNumbersAreTakenFromTheChunksOrRefused) {
  const std::string name = "REC_20140301_093000_D.avi";
  const struct {
    const char* what;
    std::function<void(EntryHeader&)> change;
    bool copyable;
  } cases[] = {
      {"sound", [](EntryHeader&) {}, true},
      {"rear rate 0", [](EntryHeader& h) { h.rearFps = 0; }, true},
      {"front rate 0", [](EntryHeader& h) { h.frontFps = 0; }, true},
      {"front rate 255", [](EntryHeader& h) { h.frontFps = 255; }, true},
      {"counts all ones", [](EntryHeader& h) { h.frontFrames = h.rearFrames = 0xFFFFFFFF; }, true},
      {"length all ones", [](EntryHeader& h) { h.durationMs = 0xFFFFFFFF; }, true},
      {"front size 65535", [](EntryHeader& h) { h.frontWidth = h.frontHeight = 65535; }, false},
      {"rear size 0", [](EntryHeader& h) { h.rearWidth = 0; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ASSERT_TRUE(WriteSyntheticCard(dir.Path().string(), {{name, 2, 30, true}}));
    ASSERT_TRUE(roadkeep::test::EditEntryHeader(dir.Path().string(), kKindDriving, name, c.change));
    CCard card(dir.Path().string());
    const std::vector<Recording> listed = card.Recordings(kKindDriving);
    ASSERT_EQ(listed.size(), 1u);
    const Recording& r = listed[0];
    EXPECT_EQ(r.damage.empty(), std::string(c.what) == "sound") << r.damage;
    EXPECT_EQ(r.copyable, c.copyable);
    EXPECT_EQ(r.counts.front, 60u);
    EXPECT_EQ(r.counts.rear, 60u);
    EXPECT_EQ(r.CameraCount(), 2);
    EXPECT_EQ(r.durationMs, 2000u);
    EXPECT_EQ(r.frontFps, 30);
    EXPECT_EQ(r.rearFps, 30);
  }
}

}  // namespace
