#include "fuzz/tat_checksum_repair.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "tat/crc32c.h"
#include "tat/store_format.h"

namespace roadkeep::tat {
namespace {

void Seal(uint8_t* record, size_t size) {
  PutU32(record + size - 4, Crc32c(0, record, size - 4));
}

// Seals the chunks of the entry at `entry` from its first chunk up to `end` (file-relative);
// returns where the walk stopped.
size_t SealChunks(std::vector<uint8_t>& b, size_t entry, size_t end) {
  size_t at = entry + kEntryHeaderSize;
  while (at + kChunkHeaderSize <= end) {
    const uint32_t size = GetU32(&b[at + 4]);
    if (size > kMaxChunkSize || at + kChunkHeaderSize + Pad4(size) > end) break;
    PutU32(&b[at + 12], ChunkCrc(&b[at], &b[at + kChunkHeaderSize], size));
    at += kChunkHeaderSize + Pad4(size);
  }
  return at;
}

}  // namespace

void RepairStoreChecksums(std::vector<uint8_t>* bytes, int kindCode) {
  std::vector<uint8_t>& b = *bytes;
  if (b.size() < kStoreHeaderSize) return;
  std::memcpy(b.data(), "RKTATSTR", 8);
  PutU16(&b[8], kFormatVersion);
  b[10] = static_cast<uint8_t>(kindCode);
  Seal(b.data(), kStoreHeaderSize);
  size_t at = kStoreHeaderSize;
  while (at + kEntryHeaderSize <= b.size()) {
    if (b[at] != 'T' || b[at + 1] != 'E' || b[at + 2] != kFormatVersion) {
      at += 4;
      continue;
    }
    Seal(&b[at], kEntryHeaderSize);
    const uint32_t entrySize = GetU32(&b[at + 8]);
    const bool finished = (b[at + 7] & kEntryFinished) != 0 && entrySize >= kEntryHeaderSize &&
                          entrySize <= b.size() - at;
    if (!finished) {
      at = std::max(SealChunks(b, at, b.size()), at + 4);
      at = (at + 3) & ~size_t{3};
      continue;
    }
    const uint64_t chunkEnd = uint64_t{kEntryHeaderSize} + GetU32(&b[at + 12]);
    SealChunks(b, at, at + static_cast<size_t>(std::min<uint64_t>(chunkEnd, entrySize)));
    const uint64_t seek = GetU32(&b[at + 44]);
    const uint64_t units = GetU32(&b[at + 48]);
    const uint64_t seekEnd = seek + 12 + 4 * units;
    if (seekEnd <= entrySize && seek >= kEntryHeaderSize) {
      Seal(&b[at + seek], static_cast<size_t>(seekEnd - seek));
    }
    at += std::max<size_t>((entrySize + 3) & ~uint32_t{3}, 4);
  }
}

}  // namespace roadkeep::tat
