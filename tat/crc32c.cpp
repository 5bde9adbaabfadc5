#include "tat/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace roadkeep::tat {
namespace {

constexpr uint32_t kPoly = 0x82F63B78u;  // reflected Castagnoli polynomial

struct Table {
  std::array<uint32_t, 256> t{};
  Table() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? kPoly ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
  }
};

uint32_t Software(uint32_t crc, const uint8_t* p, size_t size) {
  static const Table table;
  while (size-- > 0) crc = table.t[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

#if defined(__x86_64__)
constexpr size_t kStripe = 1024;  // bytes per lane of the three-lane loop

__attribute__((target("sse4.2"))) uint32_t HardwareLane(uint32_t crc, const uint8_t* p,
                                                        size_t size);

// Feeding kStripe zero bytes through the CRC register is linear in the register; these
// tables apply it a byte of the register at a time.
struct ZeroFeed {
  std::array<std::array<uint32_t, 256>, 4> t{};
  ZeroFeed() {
    static const uint8_t zeros[kStripe] = {};
    for (int j = 0; j < 4; ++j) {
      for (uint32_t b = 0; b < 256; ++b) t[j][b] = HardwareLane(b << (8 * j), zeros, kStripe);
    }
  }
  uint32_t Apply(uint32_t c) const {
    return t[0][c & 0xFF] ^ t[1][(c >> 8) & 0xFF] ^ t[2][(c >> 16) & 0xFF] ^ t[3][c >> 24];
  }
};

// Three independent lanes keep the crc32 unit busy (one result per cycle, three cycles of
// latency); the lanes are joined with the zero-feed operator.
__attribute__((target("sse4.2"))) uint32_t Hardware(uint32_t crc, const uint8_t* p, size_t size) {
  static const ZeroFeed feed;
  while (size >= 3 * kStripe) {
    uint64_t c0 = crc, c1 = 0, c2 = 0;
    for (size_t i = 0; i < kStripe; i += 8) {
      uint64_t w0, w1, w2;
      std::memcpy(&w0, p + i, 8);
      std::memcpy(&w1, p + kStripe + i, 8);
      std::memcpy(&w2, p + 2 * kStripe + i, 8);
      c0 = _mm_crc32_u64(c0, w0);
      c1 = _mm_crc32_u64(c1, w1);
      c2 = _mm_crc32_u64(c2, w2);
    }
    crc = feed.Apply(feed.Apply(static_cast<uint32_t>(c0)) ^ static_cast<uint32_t>(c1)) ^
          static_cast<uint32_t>(c2);
    p += 3 * kStripe;
    size -= 3 * kStripe;
  }
  return HardwareLane(crc, p, size);
}

__attribute__((target("sse4.2"))) uint32_t HardwareLane(uint32_t crc, const uint8_t* p,
                                                        size_t size) {
  uint64_t c = crc;
  while (size >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    c = _mm_crc32_u64(c, word);
    p += 8;
    size -= 8;
  }
  uint32_t c32 = static_cast<uint32_t>(c);
  while (size-- > 0) c32 = _mm_crc32_u8(c32, *p++);
  return c32;
}

bool HaveHardware() {
  static const bool have = __builtin_cpu_supports("sse4.2");
  return have;
}
#endif

}  // namespace

uint32_t Crc32c(uint32_t crc, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
#if defined(__x86_64__)
  if (HaveHardware()) return ~Hardware(crc, p, size);
#endif
  return ~Software(crc, p, size);
}

}  // namespace roadkeep::tat
