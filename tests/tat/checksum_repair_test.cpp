// The repaired-store fuzz target's helper: whatever checksums a store file has, the repaired
// file's all hold, and it changes nothing else.
#include "fuzz/tat_checksum_repair.h"

#include <gtest/gtest.h>

#include "platform/byte_order.h"
#include "tat/store_format.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace roadkeep::tat;
using roadkeep::GetU32;
using roadkeep::PutU32;

TEST(ChecksumRepair, RestoresEveryChecksumOfAStoreAndNothingElse) {
  roadkeep::test::TempDir card;
  ASSERT_TRUE(roadkeep::test::WriteSyntheticCard(
      card.Path(), {{"REC_20140301_093000_D.avi", 2},
                    {"REC_20140301_093100_F.avi", 2, 30, false, 700},
                    {"REC_20140301_093200_D.avi", 1, 30, true, 500, false}}));
  const auto sound = roadkeep::test::ReadAll((card.Path() / "TAT" / "REC.TAT").string());
  // Every checksum zeroed: the store header's, each entry header's, each chunk's, each seek
  // table's.
  auto broken = sound;
  PutU32(&broken[60], 0);
  int zeroed = 1;
  for (size_t entry = kStoreHeaderSize; entry + kEntryHeaderSize <= broken.size();) {
    PutU32(&broken[entry + 208], 0);
    ++zeroed;
    const uint32_t chunkEnd = kEntryHeaderSize + GetU32(&sound[entry + 12]);
    const bool finished = sound[entry + 7] & kEntryFinished;
    size_t at = entry + kEntryHeaderSize;
    while (at + kChunkHeaderSize <= broken.size() && (!finished || at < entry + chunkEnd)) {
      PutU32(&broken[at + 12], 0);
      ++zeroed;
      at += kChunkHeaderSize + Pad4(GetU32(&sound[at + 4]));
    }
    if (!finished) break;  // the open recording is the last
    const uint32_t seek = GetU32(&sound[entry + 44]);
    PutU32(&broken[entry + seek + 8 + 4 * GetU32(&sound[entry + 48])], 0);
    ++zeroed;
    entry += GetU32(&sound[entry + 8]);
  }
  ASSERT_GT(zeroed, 300);
  RepairStoreChecksums(&broken, kKindDriving);
  EXPECT_TRUE(broken == sound);

  // Short or arbitrary input neither crashes nor grows.
  for (size_t n : {size_t{0}, size_t{63}, size_t{64}, size_t{300}}) {
    std::vector<uint8_t> bytes(n, 'T');
    RepairStoreChecksums(&bytes, kKindEvent);
    EXPECT_EQ(bytes.size(), n);
  }
}

}  // namespace
