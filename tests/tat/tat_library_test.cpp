#include "tat/tat_library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/byte_order.h"
#include "tat/recording_list.h"
#include "tat/store_format.h"
#include "tat/store_writer.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace roadkeep::tat;
using roadkeep::GetU16;
using roadkeep::GetU32;
using roadkeep::test::SyntheticPayload;
using roadkeep::test::SyntheticRecording;
using roadkeep::test::TempDir;
using roadkeep::test::WriteSyntheticCard;

// A library handle whose removable drives are exactly `dirs`.
class Library {
 public:
  explicit Library(const std::string& dirs) {
    setenv("ROADKEEP_CARD_DIRS", dirs.c_str(), 1);
    m_handle = TatCreate();
  }
  ~Library() { TatRelease(m_handle); }
  char Poll() {
    char letter = 0x55;
    TatPollCard(m_handle, &letter);
    return letter;
  }
  TatHandle* get() const { return m_handle; }

 private:
  TatHandle* m_handle;
};

struct Chunk {
  int type, camera, key, ordinal;
  std::vector<uint8_t> bytes;
};

Chunk ReadOne(TatHandle* h, int* result) {
  static std::vector<uint8_t> buffer(kTatReadCapacity);
  uint8_t camera = 0xFF, type = 0xFF, key = 0xFF;
  int size = kTatReadCapacity;
  *result = TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr);
  Chunk c{type, camera, key, -1, {}};
  if (*result == kTatReadOk) {
    c.bytes.assign(buffer.begin(), buffer.begin() + size);
    if (size >= 5 && type != kTypeText) std::memcpy(&c.ordinal, &buffer[1], 4);
  }
  return c;
}

const std::vector<SyntheticRecording> kFourKinds = {
    {"REC_20140301_093000_D.avi"},   {"EVENT_20140301_093100_F.avi", 2, 15, false},
    {"PARKING_20140301_093200_D.avi"}, {"MANUAL_20140301_093300_D.avi"},
    {"REC_20140301_093400_F.avi", 2, 30, false}};

TEST(TatLibrary, ListsTheRecordingsOfEachKind) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), kFourKinds));
  Library lib(card.Path());
  const char letter = lib.Poll();
  ASSERT_NE(letter, 0);
  struct Case {
    int kind;
    std::vector<std::string> names;
  } cases[] = {{kKindDriving, {"REC_20140301_093000_D.avi", "REC_20140301_093400_F.avi"}},
               {kKindEvent, {"EVENT_20140301_093100_F.avi"}},
               {kKindParking, {"PARKING_20140301_093200_D.avi"}},
               {kKindManual, {"MANUAL_20140301_093300_D.avi"}}};
  for (const Case& c : cases) {
    EXPECT_EQ(TatCountRecordings(lib.get(), letter, c.kind), static_cast<int>(c.names.size()));
    const auto listed = ListRecordings(lib.get(), letter, c.kind);
    ASSERT_EQ(listed.size(), c.names.size());
    for (size_t i = 0; i < listed.size(); ++i) {
      EXPECT_EQ(listed[i].name, c.names[i]);
      EXPECT_GT(listed[i].size, 30 * 2000);
      EXPECT_EQ(listed[i].durationMs, c.kind == kKindEvent || i == 1 ? 2000 : 3000);
    }
  }
  EXPECT_EQ(TatCountRecordings(lib.get(), letter, 4), 0);
  EXPECT_EQ(TatCountRecordings(lib.get(), static_cast<char>(letter + 1), kKindDriving), 0);
}

TEST(TatLibrary, OpenFillsTheHeaderCountsAndStatistics) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), kFourKinds));
  Library lib(card.Path());
  ASSERT_NE(lib.Poll(), 0);
  uint8_t header[kTatHeaderSize];
  uint32_t counts[2];
  char stats[kTatStatsSize];
  ASSERT_TRUE(TatOpenByName(lib.get(), "PARKING_20140301_093200_D.avi", header, counts, nullptr,
                            stats, nullptr));
  EXPECT_EQ(header[3], 30);
  EXPECT_EQ(header[4], 30);
  EXPECT_EQ(GetU16(header + 20), 720);
  EXPECT_EQ(GetU16(header + 22), 360);
  EXPECT_EQ(GetU16(header + 52), 1280);
  EXPECT_EQ(GetU16(header + 54), 640);
  EXPECT_EQ(counts[0], 90u);
  EXPECT_EQ(counts[1], 90u);
  EXPECT_STREQ(stats, "cntVideo0=90; cntVideo1=90; cntAudio=15; cntACC=30; cntGPS=3");

  ASSERT_TRUE(TatOpenByIndex(lib.get(), "EVENT", 0, header, counts, nullptr, stats, nullptr));
  EXPECT_EQ(header[3], 15);
  EXPECT_EQ(header[4], 0);
  EXPECT_STREQ(stats, "cntVideo0=30; cntVideo1=0; cntAudio=10; cntACC=20; cntGPS=2");

  EXPECT_FALSE(TatOpenByName(lib.get(), "REC_19990101_000000_D.avi", header, counts, nullptr,
                             stats, nullptr));
  EXPECT_EQ(header[3], 0);
  EXPECT_STREQ(stats, "");
  EXPECT_EQ(TatFindByName(lib.get(), kKindDriving, "REC_19990101_000000_D.avi"), -1);
}

TEST(TatLibrary, ReadsEveryChunkInOrderThenReportsTheEnd) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), kFourKinds));
  Library lib(card.Path());
  ASSERT_NE(lib.Poll(), 0);
  const int position = TatFindByName(lib.get(), kKindDriving, "REC_20140301_093000_D.avi");
  ASSERT_GE(position, 0);
  TatSelect(lib.get(), kKindDriving, 0, position);
  int counts[4] = {};
  int result = 0;
  for (;;) {
    const Chunk c = ReadOne(lib.get(), &result);
    if (result != kTatReadOk) break;
    ASSERT_LE(c.type, 3);
    if (c.type != kTypeText) {
      EXPECT_EQ(c.ordinal, counts[c.type]) << "type " << c.type;
      const int size = c.type == kTypeAudio ? 3200 : c.type == kTypeRearVideo ? 1000 : 2000 + c.ordinal % 3;
      EXPECT_EQ(c.bytes, SyntheticPayload(c.type, c.ordinal, size));
    }
    EXPECT_EQ(c.camera, c.type == kTypeRearVideo ? 1 : 0);
    ++counts[c.type];
  }
  EXPECT_EQ(result, kTatEnd);
  EXPECT_EQ(counts[kTypeFrontVideo], 90);
  EXPECT_EQ(counts[kTypeRearVideo], 90);
  EXPECT_EQ(counts[kTypeAudio], 15);
  EXPECT_EQ(counts[kTypeText], 33);
  ReadOne(lib.get(), &result);
  EXPECT_EQ(result, kTatEnd);
}

// After a seek the next chunks are the unit's front and rear key frames followed by the
// audio and the sensor sample of the same instant.
TEST(TatLibrary, SeekLandsOnAUnitStartWithItsAudioAndText) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), {{"REC_20140301_093000_D.avi", 4}}));
  Library lib(card.Path());
  ASSERT_NE(lib.Poll(), 0);
  TatSelect(lib.get(), kKindDriving, 0, 0);
  // 120 front frames: 5 units. Target = 5 - (b - a).
  struct Case {
    int a, b, unit;
  } cases[] = {{10, 13, 2}, {1, 1, 4}, {0, 5, 0}, {0, 50, 0}, {7, 1, 4}, {100, 104, 1}};
  for (const Case& c : cases) {
    TatSeek(lib.get(), c.a, c.b);
    int result;
    const Chunk front = ReadOne(lib.get(), &result);
    EXPECT_EQ(front.type, kTypeFrontVideo);
    EXPECT_EQ(front.key, 1);
    EXPECT_EQ(front.ordinal, 24 * c.unit) << c.a << "," << c.b;
    const Chunk rear = ReadOne(lib.get(), &result);
    EXPECT_EQ(rear.type, kTypeRearVideo);
    EXPECT_EQ(rear.key, 1);
    EXPECT_EQ(rear.ordinal, 24 * c.unit);
    const int ms = 24 * c.unit * 1000 / 30;  // 800 ms per unit: audio starts every 200 ms
    const Chunk audio = ReadOne(lib.get(), &result);
    EXPECT_EQ(audio.type, kTypeAudio);
    EXPECT_EQ(audio.ordinal, ms / 200);
    // 'G' text when the unit starts on a whole second, then the 'M' sample.
    Chunk text = ReadOne(lib.get(), &result);
    ASSERT_EQ(text.type, kTypeText);
    if (ms % 1000 == 0) {
      EXPECT_EQ(text.bytes[0], 'G');
      text = ReadOne(lib.get(), &result);
    }
    EXPECT_EQ(text.bytes[0], 'M');
    EXPECT_EQ(text.bytes[1], ms / 100);
  }
}

TEST(TatLibrary, ListingLeavesOutRecordingsBelow512KiB) {
  TempDir card;
  ASSERT_TRUE(FormatCard(card.Path(), 9, nullptr));
  // Recordings of exactly 524284, 524288 and 524292 bytes (entries are 4-byte multiples).
  for (uint32_t target : {524284u, 524288u, 524292u}) {
    EntryHeader h;
    h.kindCode = kKindManual;
    h.frontFps = 30;
    std::snprintf(h.name, sizeof h.name, "MANUAL_20140301_%06u_F.avi", target % 1000000);
    CTatStoreWriter w;
    ASSERT_TRUE(w.BeginRecording(card.Path(), h, nullptr));
    const auto frame = SyntheticPayload(0, 0, 100000);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(w.AddChunk(kTypeFrontVideo, 0, i == 0, 0, frame.data(), 100000));
    const uint32_t rest = target - w.SizeIfFinishedNow() - kChunkHeaderSize;
    const auto filler = SyntheticPayload(3, 0, static_cast<int>(rest));
    ASSERT_TRUE(w.AddChunk(kTypeText, 0, true, 0, filler.data(), rest));
    ASSERT_EQ(w.FinishRecording(1000), target);
  }
  Library lib(card.Path());
  const char letter = lib.Poll();
  EXPECT_EQ(ListRecordings(lib.get(), letter, kKindManual).size(), 3u);
  const auto shown = CollectRecordings(lib.get(), letter, kKindManual);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "MANUAL_20140301_524288_F.avi");
  EXPECT_EQ(shown[1], "MANUAL_20140301_524292_F.avi");
}

TEST(TatLibrary, ARecordingCutShortIsListedAsLongAsTheFramesItHolds) {
  // 2 s at 30 fps; the store file cut at the start of a front frame chunk, or the recording
  // left unfinished (its header then says 0 ms).
  struct Case {
    const char* what;
    bool finish;
    int keepFrontFrames;  // -1: the whole file
    int listedMs;
  } cases[] = {
      {"whole", true, -1, 2000},
      {"cut after two frames", true, 2, 66},
      {"cut after the header", true, 0, 0},
      {"unfinished", false, -1, 2000},
      {"unfinished and cut", false, 45, 1500},
  };
  for (const Case& c : cases) {
    TempDir card;
    ASSERT_TRUE(WriteSyntheticCard(card.Path(), {{"REC_20140301_093000_D.avi", 2, 30, true, 2000, c.finish}}));
    const std::string store = (card.Path() / "TAT" / "REC.TAT").string();
    if (c.keepFrontFrames >= 0) {
      const auto bytes = roadkeep::test::ReadAll(store);
      size_t at = kStoreHeaderSize + kEntryHeaderSize;
      for (int front = 0; at + kChunkHeaderSize <= bytes.size(); at += kChunkHeaderSize + Pad4(GetU32(&bytes[at + 4]))) {
        if (bytes[at] == kTypeFrontVideo && front++ == c.keepFrontFrames) break;
      }
      std::filesystem::resize_file(store, at);
    }
    Library lib(card.Path());
    const auto listed = ListRecordings(lib.get(), lib.Poll(), kKindDriving);
    ASSERT_EQ(listed.size(), 1u) << c.what;
    EXPECT_EQ(listed[0].durationMs, c.listedMs) << c.what;
  }
}

TEST(TatLibrary, AStoreFileThatCannotBeReadIsAnErrorNotAnEmptyKind) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), kFourKinds));
  const auto tat = card.Path() / "TAT";
  std::filesystem::remove(tat / "EVENT.TAT");
  std::filesystem::create_directory(tat / "EVENT.TAT");
  std::filesystem::remove(tat / "MANUAL.TAT");  // missing: simply no recordings
  roadkeep::test::WriteAll((tat / "PARKING.TAT").string(), std::vector<uint8_t>(64, 0x11));
  Library lib(card.Path());
  const char letter = lib.Poll();
  ASSERT_NE(letter, 0);
  struct Case {
    int kind, count, error;
  } cases[] = {{kKindDriving, 2, 0}, {kKindEvent, -1, EISDIR}, {kKindParking, -1, EINVAL},
               {kKindManual, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(TatCountRecordings(lib.get(), letter, c.kind), c.count) << c.kind;
    EXPECT_EQ(TatStoreError(lib.get(), letter, c.kind), c.error) << c.kind;
    int error = -5;
    EXPECT_EQ(static_cast<int>(ListRecordings(lib.get(), letter, c.kind, &error).size()), std::max(c.count, 0));
    EXPECT_EQ(error, c.error) << c.kind;
  }
  if (geteuid() != 0) {  // permissions do not stop root
    std::filesystem::permissions(tat / "REC.TAT", std::filesystem::perms::none);
    EXPECT_EQ(TatCountRecordings(lib.get(), letter, kKindDriving), -1);
    EXPECT_EQ(TatStoreError(lib.get(), letter, kKindDriving), EACCES);
  }
}

TEST(TatLibrary, NoticesCardsInsertedRemovedAndReplaced) {
  TempDir empty, slot;
  Library lib(empty.Path().string() + ":" + slot.Path().string());
  EXPECT_EQ(lib.Poll(), 0);
  ASSERT_TRUE(WriteSyntheticCard(slot.Path(), {{"REC_20140301_093000_D.avi", 1}}, 100));
  const char first = lib.Poll();
  EXPECT_NE(first, 0);
  EXPECT_EQ(lib.Poll(), first);  // the same card stays
  EXPECT_EQ(TatCountRecordings(lib.get(), first, kKindDriving), 1);

  std::filesystem::remove_all(slot.Path() / "TAT");
  EXPECT_EQ(lib.Poll(), 0);
  EXPECT_EQ(TatCountRecordings(lib.get(), first, kKindDriving), 0);

  ASSERT_TRUE(WriteSyntheticCard(slot.Path(), {{"EVENT_20140301_093000_D.avi", 1}}, 200));
  const char second = lib.Poll();
  EXPECT_NE(second, 0);
  // Another card between two polls, without an empty poll in between.
  std::filesystem::remove_all(slot.Path() / "TAT");
  ASSERT_TRUE(WriteSyntheticCard(slot.Path(), {{"PARKING_20140301_093000_D.avi", 1}}, 300));
  const char third = lib.Poll();
  EXPECT_NE(third, 0);
  EXPECT_NE(third, second);
  EXPECT_EQ(TatCountRecordings(lib.get(), third, kKindParking), 1);
  EXPECT_EQ(TatCountRecordings(lib.get(), third, kKindEvent), 0);

  // A second card, ahead in the volume order, never takes over from the card in use; it is
  // taken once the first has gone.
  ASSERT_TRUE(WriteSyntheticCard(empty.Path(), {{"MANUAL_20140301_093000_D.avi", 1}}, 400));
  EXPECT_EQ(lib.Poll(), third);
  EXPECT_EQ(TatCountRecordings(lib.get(), third, kKindManual), 0);
  std::filesystem::remove_all(slot.Path() / "TAT");
  const char fourth = lib.Poll();
  EXPECT_NE(fourth, 0);
  EXPECT_NE(fourth, third);
  EXPECT_EQ(TatCountRecordings(lib.get(), fourth, kKindManual), 1);
}

TEST(TatLibrary, FactorySettingsHoldEveryKey) {
  TatHandle* h = TatCreate();
  char text[2048];
  int length = sizeof text;
  ASSERT_NE(TatDefaultSettings(h, text, &length), 0);
  const std::string settings(text, static_cast<size_t>(length));
  for (const char* key :
       {"[blackbox]", "tat_update=", "acc_level=", "motion_level=", "mic_in=", "voice_out=",
        "power_off_vlt=", "version=", "model=", "dim_front=", "[capacity]", "const=", "event=",
        "park=", "manual=", "[time]", "set=", "year=", "month=", "day=", "hour=", "min=", "sec="}) {
    const bool atLineStart =
        settings.rfind(key, 0) == 0 || settings.find(std::string("\r\n") + key) != std::string::npos;
    EXPECT_TRUE(atLineStart) << key;
  }
  int shares = 0;
  for (const char* key : {"const=", "event=", "park=", "manual="}) {
    shares += std::atoi(settings.c_str() + settings.find(key) + std::strlen(key));
  }
  EXPECT_EQ(shares, 100);
  EXPECT_EQ(settings.substr(settings.size() - 2), "\r\n");
  EXPECT_EQ(settings.find("\n"), settings.find("\r\n") + 1);
  int small = 10;
  EXPECT_EQ(TatDefaultSettings(h, text, &small), 0);
  TatRelease(h);
}

}  // namespace
