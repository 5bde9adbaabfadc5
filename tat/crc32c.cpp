#include "tat/crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
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

// Carry-less folding (PCLMULQDQ on 512-bit vectors): a 16-byte block of the message moved
// `bits` further down is the block times x^bits mod P, which two carry-less products of its
// halves give; blocks folded onto the last 16 bytes leave a message with the same CRC, which
// the crc32 instruction finishes. About three times the speed of the crc32 lanes where the
// processor has the vector instructions.

// x^n mod P in normal (not reflected) form.
uint32_t XnModP(int n) {
  uint32_t r = 1;
  for (int i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ 0x1EDC6F41u : r << 1;
  return r;
}
uint32_t Reverse32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}
// Multiplier pair that moves a 16-byte block `bits` further down the message.
struct FoldKey {
  uint64_t lo, hi;  // for the block's first (higher-degree) and second half
};
FoldKey KeyFor(int bits) {
  return {Reverse32(XnModP(bits + 31)), Reverse32(XnModP(bits - 33))};
}
struct FoldKeys {
  FoldKey k128 = KeyFor(128), k256 = KeyFor(256), k384 = KeyFor(384), k512 = KeyFor(512),
          k1024 = KeyFor(1024), k1536 = KeyFor(1536), k2048 = KeyFor(2048);
};

// x moved `bits` on (the key's distance), as a block to XOR into the block found there.
__attribute__((target("sse4.2,pclmul"))) inline __m128i Fold128(__m128i x, FoldKey k) {
  const __m128i key = _mm_set_epi64x(static_cast<long long>(k.hi), static_cast<long long>(k.lo));
  return _mm_xor_si128(_mm_clmulepi64_si128(x, key, 0x00), _mm_clmulepi64_si128(x, key, 0x11));
}
// The same on four blocks at once.
__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i Fold512(__m512i x, FoldKey k) {
  const auto lo = static_cast<long long>(k.lo), hi = static_cast<long long>(k.hi);
  const __m512i key = _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
  return _mm512_xor_si512(_mm512_clmulepi64_epi128(x, key, 0x00),
                          _mm512_clmulepi64_epi128(x, key, 0x11));
}

// crc: the CRC register (inverted). REQUIRES: size >= kWideMin.
__attribute__((target("sse4.2,pclmul,avx512f,vpclmulqdq"))) uint32_t Wide(uint32_t crc,
                                                                          const uint8_t* p,
                                                                          size_t size) {
  static const FoldKeys keys;
  // Four accumulators of four blocks each, 256 bytes a turn; the initial register goes into
  // the first four bytes.
  __m512i a0 = _mm512_loadu_si512(p), a1 = _mm512_loadu_si512(p + 64),
          a2 = _mm512_loadu_si512(p + 128), a3 = _mm512_loadu_si512(p + 192);
  a0 = _mm512_xor_si512(a0, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  p += 256;
  size -= 256;
  while (size >= 256) {
    a0 = _mm512_xor_si512(Fold512(a0, keys.k2048), _mm512_loadu_si512(p));
    a1 = _mm512_xor_si512(Fold512(a1, keys.k2048), _mm512_loadu_si512(p + 64));
    a2 = _mm512_xor_si512(Fold512(a2, keys.k2048), _mm512_loadu_si512(p + 128));
    a3 = _mm512_xor_si512(Fold512(a3, keys.k2048), _mm512_loadu_si512(p + 192));
    p += 256;
    size -= 256;
  }
  // Down to one block: the accumulators onto the last, then its four blocks onto its last.
  __m512i a = _mm512_xor_si512(
      _mm512_xor_si512(Fold512(a0, keys.k1536), Fold512(a1, keys.k1024)),
      _mm512_xor_si512(Fold512(a2, keys.k512), a3));
  alignas(64) __m128i blocks[4];
  _mm512_store_si512(blocks, a);
  __m128i x = _mm_xor_si128(
      _mm_xor_si128(Fold128(blocks[0], keys.k384), Fold128(blocks[1], keys.k256)),
      _mm_xor_si128(Fold128(blocks[2], keys.k128), blocks[3]));
  while (size >= 16) {
    x = _mm_xor_si128(Fold128(x, keys.k128), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    p += 16;
    size -= 16;
  }
  uint64_t c = _mm_crc32_u64(0, static_cast<uint64_t>(_mm_cvtsi128_si64(x)));
  c = _mm_crc32_u64(c, static_cast<uint64_t>(_mm_extract_epi64(x, 1)));
  uint32_t c32 = static_cast<uint32_t>(c);
  while (size-- > 0) c32 = _mm_crc32_u8(c32, *p++);
  return c32;
}

constexpr size_t kWideMin = 256;

bool HaveHardware() {
  static const bool have = __builtin_cpu_supports("sse4.2");
  return have;
}

bool HaveWide() {
  static const bool have = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    // VPCLMULQDQ: CPUID leaf 7, ECX bit 10. AVX-512F includes the OS's consent to the state.
    return HaveHardware() && __builtin_cpu_supports("pclmul") &&
           __builtin_cpu_supports("avx512f") && __get_cpuid_count(7, 0, &a, &b, &c, &d) &&
           (c & (1u << 10)) != 0;
  }();
  return have;
}
#endif

}  // namespace

uint32_t Crc32c(uint32_t crc, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
#if defined(__x86_64__)
  if (size >= kWideMin && HaveWide()) return ~Wide(crc, p, size);
  if (HaveHardware()) return ~Hardware(crc, p, size);
#endif
  return ~Software(crc, p, size);
}

}  // namespace roadkeep::tat
