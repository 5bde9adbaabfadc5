#include "tat/store_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tat/crc32c.h"

namespace {

using namespace roadkeep::tat;

TEST(Crc32c, MatchesTheCheckValueAndContinues) {
  EXPECT_EQ(Crc32c(0, "123456789", 9), 0xE3069283u);
  EXPECT_EQ(Crc32c(Crc32c(0, "12345", 5), "6789", 4), 0xE3069283u);
  EXPECT_EQ(Crc32c(0, "", 0), 0u);
  // Unaligned starts and odd tails take the same result.
  char buffer[64];
  std::memcpy(buffer + 3, "123456789", 9);
  EXPECT_EQ(Crc32c(0, buffer + 3, 9), 0xE3069283u);
}

// Bit by bit, as the definition reads.
uint32_t ReferenceCrc(uint32_t crc, const uint8_t* p, size_t size) {
  crc = ~crc;
  while (size-- > 0) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0x82F63B78u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

TEST(Crc32c, EveryPathMatchesTheDefinitionAtEveryLengthAndStart) {
  // Lengths around the switch-over points of the vector and instruction paths, odd starts,
  // and continuation split anywhere.
  std::vector<uint8_t> data(70000);
  uint32_t seed = 1;
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  for (size_t size : {size_t{1}, size_t{15}, size_t{16}, size_t{255}, size_t{256}, size_t{257},
                      size_t{271}, size_t{511}, size_t{1000}, size_t{3071}, size_t{3072},
                      size_t{3089}, size_t{65536}, size_t{69000}}) {
    for (size_t start : {size_t{0}, size_t{1}, size_t{7}, size_t{63}}) {
      const uint8_t* p = data.data() + start;
      const uint32_t want = ReferenceCrc(0x12345678u, p, size);
      EXPECT_EQ(Crc32c(0x12345678u, p, size), want) << size << " at " << start;
      const size_t cut = size / 3;
      EXPECT_EQ(Crc32c(Crc32c(0x12345678u, p, cut), p + cut, size - cut), want) << size;
    }
  }
}

EntryHeader SampleHeader() {
  EntryHeader h;
  h.frontFps = 30;
  h.rearFps = 15;
  h.kindCode = kKindParking;
  h.cameras = 2;
  h.flags = kEntryFinished;
  h.chunkBytes = 1000;
  h.seekOffset = kEntryHeaderSize + 1000;
  h.seekUnits = 2;
  h.entrySize = h.seekOffset + 12 + 8;
  h.frontWidth = 1920;
  h.frontHeight = 1080;
  h.rearWidth = 1280;
  h.rearHeight = 720;
  std::strcpy(h.name, "PARKING_20140301_093015_D.avi");
  return h;
}

TEST(StoreFormat, EntryHeaderKeepsTheFieldsWhereTheParserReadsThem) {
  uint8_t bytes[kEntryHeaderSize];
  EncodeEntryHeader(SampleHeader(), bytes);
  EXPECT_EQ(bytes[3], 30);
  EXPECT_EQ(bytes[4], 15);
  EXPECT_EQ(bytes[20] | bytes[21] << 8, 1080);
  EXPECT_EQ(bytes[22] | bytes[23] << 8, 720);
  EXPECT_EQ(bytes[52] | bytes[53] << 8, 1920);
  EXPECT_EQ(bytes[54] | bytes[55] << 8, 1280);
  EntryHeader back;
  ASSERT_TRUE(DecodeEntryHeader(bytes, &back));
  EXPECT_STREQ(back.name, "PARKING_20140301_093015_D.avi");
  EXPECT_EQ(back.entrySize, SampleHeader().entrySize);
}

TEST(StoreFormat, AnyFlippedHeaderByteIsRejected) {
  uint8_t good[kEntryHeaderSize];
  EncodeEntryHeader(SampleHeader(), good);
  for (int i = 0; i < kEntryHeaderSize; ++i) {
    uint8_t bytes[kEntryHeaderSize];
    std::memcpy(bytes, good, sizeof bytes);
    bytes[i] ^= 0x10;
    EntryHeader h;
    EXPECT_FALSE(DecodeEntryHeader(bytes, &h)) << "byte " << i;
  }
}

TEST(StoreFormat, InconsistentFinishedHeadersAreRejected) {
  struct Case {
    const char* what;
    void (*change)(EntryHeader*);
  } cases[] = {
      {"seek table inside the chunks", [](EntryHeader* h) { h->seekOffset = 300; }},
      {"seek table beyond the entry", [](EntryHeader* h) { h->seekUnits = 1000; }},
      {"unaligned size", [](EntryHeader* h) { h->entrySize += 2; }},
      {"unknown kind", [](EntryHeader* h) { h->kindCode = 4; }},
      {"three cameras", [](EntryHeader* h) { h->cameras = 3; }},
      {"empty name", [](EntryHeader* h) { h->name[0] = 0; }},
      {"name without end", [](EntryHeader* h) { std::memset(h->name, 'A', kNameSize); }},
  };
  for (const Case& c : cases) {
    EntryHeader h = SampleHeader();
    c.change(&h);
    uint8_t bytes[kEntryHeaderSize];
    EncodeEntryHeader(h, bytes);
    if (std::string(c.what) == "name without end") std::memset(bytes + 56, 'A', kNameSize);
    // Reseal so that only the inconsistency is wrong.
    const uint32_t crc = Crc32c(0, bytes, kEntryHeaderSize - 4);
    std::memcpy(bytes + kEntryHeaderSize - 4, &crc, 4);
    EntryHeader back;
    EXPECT_FALSE(DecodeEntryHeader(bytes, &back) && FinishedPartsFit(back)) << c.what;
  }
}

TEST(StoreFormat, KindWordsAndCodes) {
  struct Case {
    const char* name;
    int code;
  } cases[] = {{"REC_20140301_093015_D.avi", 1}, {"EVENT_x", 0}, {"PARKING_", 2},
               {"MANUAL_2014", 3}, {"event_20140301_093015_d", 0}, {"RECX_1", -1}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(KindCodeOfName(c.name), c.code) << c.name;
  EXPECT_EQ(StoreFileName(kKindParking), "PARKING.TAT");
  EXPECT_EQ(StoreFileName(9), "");
}

}  // namespace
