// Damaged cards: truncations, flipped bytes, bad sizes and names. Every one must end in a
// clean result: damaged recordings not listed or ending early, the rest intact.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/byte_order.h"
#include "tat/recording_list.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace roadkeep::tat;
using roadkeep::PutU32;
using roadkeep::test::ReadAll;
using roadkeep::test::SyntheticRecording;
using roadkeep::test::TempDir;
using roadkeep::test::WriteAll;
using roadkeep::test::WriteSyntheticCard;

struct Outcome {
  std::vector<std::string> names;  // listed driving recordings
  std::vector<int> chunks;         // chunks read from each
  std::vector<int> endCodes;       // how each read ended
};

// How ReadCard reads: chunk by chunk with room for any; with room for none (each chunk is
// read again with room for it); or in batches of whole chunks as they lie in the store, each
// chunk the batch does not take read alone.
enum class ReadMode { kWholeRoom, kTooSmall, kBatches };

// Reads the batch at the read position; n counts its chunks. Each synthetic video or audio
// payload starts with its type, which checks the offsets.
int ReadBatchChecked(TatHandle* h, std::vector<uint8_t>* buffer, int* n) {
  TatChunkRef refs[16];
  int count = 0;
  const int result = TatReadBatch(h, buffer->data(), 8192, refs, 16, &count);
  for (int i = 0; i < count; ++i) {
    EXPECT_LE(refs[i].offset + refs[i].size, 8192);
    if (refs[i].type != kTypeText && refs[i].size >= 5) {
      EXPECT_EQ((*buffer)[static_cast<size_t>(refs[i].offset)], refs[i].type);
    }
  }
  *n += count;
  return result != kTatReadOk ? result : count > 0 ? kTatReadOk : kTatNothing;
}

// Lists the driving recordings and reads each to its end (also after a seek).
Outcome ReadCard(const std::string& dir, ReadMode mode = ReadMode::kWholeRoom) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  TatHandle* h = TatCreate();
  char letter = 0;
  TatPollCard(h, &letter);
  Outcome out;
  for (int kind = 0; kind < kKindCount; ++kind) {
    for (const ListedRecording& r : ListRecordings(h, letter, kind)) {
      if (kind == kKindDriving) out.names.push_back(r.name);
      uint8_t header[kTatHeaderSize];
      uint32_t counts[2];
      char stats[kTatStatsSize];
      TatOpenByName(h, r.name.c_str(), header, counts, nullptr, stats, nullptr);
      TatSelect(h, kind, 0, TatFindByName(h, kind, r.name.c_str()));
      static std::vector<uint8_t> buffer(kTatReadCapacity);
      int n = 0, result = 0;
      for (int guard = 0; guard < 100000; ++guard) {
        uint8_t camera, type, key;
        if (mode == ReadMode::kBatches) {
          result = ReadBatchChecked(h, &buffer, &n);
          if (result == kTatReadOk) continue;
          if (result != kTatNothing) break;
        }
        const int capacity = mode == ReadMode::kTooSmall ? 100 : kTatReadCapacity;
        int size = capacity;
        result = TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr);
        if (result == kTatTooSmall) {
          EXPECT_GT(size, capacity);
          size = kTatReadCapacity;
          result = TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr);
        }
        if (result != kTatReadOk) break;
        EXPECT_LE(size, kTatReadCapacity);
        ++n;
      }
      if (kind == kKindDriving) {
        out.chunks.push_back(n);
        out.endCodes.push_back(result);
      }
      TatSeek(h, 0, 1);
      uint8_t camera, type, key;
      int size = kTatReadCapacity;
      TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr);
    }
  }
  TatRelease(h);
  return out;
}

const std::vector<SyntheticRecording> kThree = {{"REC_20140301_093000_D.avi", 2},
                                                {"REC_20140301_093100_D.avi", 2},
                                                {"REC_20140301_093200_F.avi", 2, 30, false}};
constexpr int kChunksDual = 60 + 60 + 10 + 22;  // front, rear, audio, text of 2 s
constexpr int kChunksSingle = 60 + 10 + 22;

class DamagedCard : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteSyntheticCard(m_card.Path(), kThree));
    m_store = (m_card.Path() / "TAT" / "REC.TAT").string();
    m_bytes = ReadAll(m_store);
    const Outcome good = ReadCard(m_card.Path());
    ASSERT_EQ(good.names.size(), 3u);
    // Entry positions: store header, then entries back to back.
    m_entries = {64};
    setenv("ROADKEEP_CARD_DIRS", m_card.Path().c_str(), 1);
    TatHandle* h = TatCreate();
    char letter = 0;
    TatPollCard(h, &letter);
    const auto listed = ListRecordings(h, letter, kKindDriving);
    TatRelease(h);
    m_entries.push_back(m_entries[0] + listed[0].size);
    m_entries.push_back(m_entries[1] + listed[1].size);
  }
  Outcome WithStore(const std::vector<uint8_t>& bytes, ReadMode mode = ReadMode::kWholeRoom) {
    WriteAll(m_store, bytes);
    return ReadCard(m_card.Path(), mode);
  }

  TempDir m_card;
  std::string m_store;
  std::vector<uint8_t> m_bytes;
  std::vector<size_t> m_entries;
};

TEST_F(DamagedCard, DamagedHeaderHidesOnlyThatRecording) {
  auto bytes = m_bytes;
  bytes[m_entries[1] + 60] ^= 0x01;  // a name byte of the second recording
  const Outcome out = WithStore(bytes);
  EXPECT_EQ(out.names, (std::vector<std::string>{"REC_20140301_093000_D.avi", "REC_20140301_093200_F.avi"}));
  EXPECT_EQ(out.chunks, (std::vector<int>{kChunksDual, kChunksSingle}));
}

// Offset of the n-th chunk of the first recording.
size_t ChunkAt(const std::vector<uint8_t>& bytes, size_t entry, int n) {
  size_t at = entry + kEntryHeaderSize;
  for (int i = 0; i < n; ++i) at += kChunkHeaderSize + Pad4(roadkeep::GetU32(&bytes[at + 4]));
  return at;
}

TEST_F(DamagedCard, ADamagedChunkIsSkippedAndTheRestIsRead) {
  // Chunks of the first recording: front key frame, rear key frame, audio, text, ...
  struct Case {
    const char* what;
    int chunk;           // which chunk is damaged
    size_t offset;       // byte within it (header 0..15, then payload)
    uint8_t flip;        // XOR mask; 0 with `size` set: write that size instead
    uint32_t size;
  } cases[] = {
      {"one bit of the first chunk's payload", 0, kChunkHeaderSize + 40, 0x08, 0},
      {"one bit of the first chunk's checksum", 0, 12, 0x01, 0},
      {"the first chunk's key flag", 0, 2, 0x01, 0},
      {"the first chunk's type", 0, 0, 0x80, 0},
      {"the text chunk's payload", 3, kChunkHeaderSize + 2, 0x40, 0},
      {"a size past the 1 MiB limit", 0, 4, 0, 0x00100001u},
      {"a size past the recording", 0, 4, 0, 400000u},
      {"a size a little too large", 0, 4, 0, 2040u},
      {"a size a little too small", 0, 4, 0, 1000u},
      {"a zero size", 0, 4, 0, 0u},
  };
  for (const Case& c : cases) {
    auto bytes = m_bytes;
    const size_t at = ChunkAt(bytes, m_entries[0], c.chunk) + c.offset;
    if (c.flip != 0) bytes[at] ^= c.flip;
    else PutU32(&bytes[at], c.size);
    // A reader whose buffer is too small, or that reads in batches, loses nothing and skips
    // no more.
    for (const ReadMode mode : {ReadMode::kWholeRoom, ReadMode::kTooSmall, ReadMode::kBatches}) {
      const Outcome out = WithStore(bytes, mode);
      const int m = static_cast<int>(mode);
      ASSERT_EQ(out.names.size(), 3u) << c.what;
      EXPECT_EQ(out.chunks[0], kChunksDual - 1) << c.what << ", mode " << m;
      EXPECT_EQ(out.endCodes[0], kTatEnd) << c.what << ", mode " << m;
      EXPECT_EQ(out.chunks[1], kChunksDual) << c.what << ", mode " << m;
      EXPECT_EQ(out.chunks[2], kChunksSingle) << c.what << ", mode " << m;
    }
  }
}

TEST_F(DamagedCard, DamageThatHidesAWholeStretchResumesAtTheNextUnit) {
  // Every chunk header from the 2nd up to the second unit's key frame broken (reserved
  // byte set): the first chunk is read, then reading goes on at the second unit.
  auto bytes = m_bytes;
  int brokenChunks = 0;
  for (int n = 1;; ++n) {
    const size_t at = ChunkAt(m_bytes, m_entries[0], n);
    if (m_bytes[at] == kTypeFrontVideo && m_bytes[at + 2] == 1) break;  // unit 1's key frame
    bytes[at + 3] = 0x5A;
    ++brokenChunks;
  }
  ASSERT_GT(brokenChunks, 24 * 2);
  const Outcome out = WithStore(bytes);
  ASSERT_EQ(out.names.size(), 3u);
  EXPECT_EQ(out.chunks[0], kChunksDual - brokenChunks);
  EXPECT_EQ(out.endCodes[0], kTatEnd);
}

TEST_F(DamagedCard, AStoreCutShortUnderTheReaderIsAReadErrorNotTheEnd) {
  setenv("ROADKEEP_CARD_DIRS", m_card.Path().c_str(), 1);
  TatHandle* h = TatCreate();
  char letter = 0;
  TatPollCard(h, &letter);
  TatSelect(h, kKindDriving, 0, 0);
  std::vector<uint8_t> buffer(kTatReadCapacity);
  uint8_t camera, type, key;
  int size = kTatReadCapacity;
  ASSERT_EQ(TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr), kTatReadOk);
  std::filesystem::resize_file(m_store, m_entries[0] + 600);  // the card went bad under us
  int result = kTatReadOk;
  for (int i = 0; i < 1000 && result == kTatReadOk; ++i) {
    size = kTatReadCapacity;
    result = TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr);
  }
  EXPECT_EQ(result, kTatError);
  size = kTatReadCapacity;
  EXPECT_EQ(TatRead(h, &camera, &type, &key, &size, buffer.data(), nullptr), kTatError);
  TatRelease(h);
}

TEST_F(DamagedCard, TornEndKeepsWhatWasWritten) {
  // The last recording cut inside its chunks: listed, read up to the last whole chunk.
  for (size_t keep : {size_t{300}, size_t{5000}, size_t{40000}}) {
    std::vector<uint8_t> bytes(m_bytes.begin(), m_bytes.begin() + m_entries[2] + keep);
    const Outcome out = WithStore(bytes);
    ASSERT_EQ(out.names.size(), 3u) << keep;
    EXPECT_LT(out.chunks[2], kChunksSingle);
    EXPECT_EQ(out.endCodes[2], kTatEnd);
    EXPECT_EQ(out.chunks[1], kChunksDual);
  }
  // Cut inside the last header: not listed.
  std::vector<uint8_t> bytes(m_bytes.begin(), m_bytes.begin() + m_entries[2] + 100);
  EXPECT_EQ(WithStore(bytes).names.size(), 2u);
}

TEST_F(DamagedCard, RecordingLeftOpenByPowerLossStaysReadable) {
  TempDir card;
  ASSERT_TRUE(WriteSyntheticCard(card.Path(), {{"REC_20140301_093000_D.avi", 2},
                                               {"REC_20140301_093100_D.avi", 2, 30, true, 2000, false},
                                               {"REC_20140301_093200_D.avi", 1}}));
  const Outcome out = ReadCard(card.Path());
  // The recorder appended after the open one; both stay listed and readable.
  ASSERT_EQ(out.names.size(), 3u);
  EXPECT_EQ(out.chunks[1], kChunksDual);
  EXPECT_EQ(out.endCodes[1], kTatEnd);
  EXPECT_GT(out.chunks[2], 0);
}

TEST_F(DamagedCard, BadStoreOrVolumeRecordsListNothing) {
  auto bytes = m_bytes;
  bytes[3] ^= 0xFF;
  EXPECT_TRUE(WithStore(bytes).names.empty());
  WriteAll(m_store, m_bytes);
  const std::string volume = (m_card.Path() / "TAT" / "VOLUME.TAT").string();
  auto v = ReadAll(volume);
  v[20] ^= 1;
  WriteAll(volume, v);
  EXPECT_TRUE(ReadCard(m_card.Path()).names.empty());
}

TEST_F(DamagedCard, EveryTruncationAndRandomDamageEndsCleanly) {
  for (size_t cut = 0; cut < m_bytes.size(); cut += 997) {
    const Outcome out = WithStore(std::vector<uint8_t>(m_bytes.begin(), m_bytes.begin() + cut));
    // Recordings wholly before the cut stay listed and whole.
    if (cut >= m_entries[1]) {
      ASSERT_GE(out.names.size(), 1u) << cut;
      EXPECT_EQ(out.chunks[0], kChunksDual) << cut;
      EXPECT_EQ(out.endCodes[0], kTatEnd) << cut;
    }
    if (cut >= m_entries[2]) {
      ASSERT_GE(out.names.size(), 2u) << cut;
      EXPECT_EQ(out.chunks[1], kChunksDual) << cut;
    }
    if (cut < m_entries[0] + kEntryHeaderSize) {
      EXPECT_TRUE(out.names.empty()) << cut;
    }
  }
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    auto bytes = m_bytes;
    for (int k = 0; k < 1 + round % 8; ++k) {
      const size_t at = rng() % bytes.size();
      bytes[at] = static_cast<uint8_t>(rng());
    }
    const Outcome out = WithStore(bytes);
    EXPECT_LE(out.names.size(), 3u);
  }
}

}  // namespace
