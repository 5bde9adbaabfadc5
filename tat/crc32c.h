// CRC-32C (Castagnoli, reflected, as iSCSI and ext4 use it) for the card store's
// checksums. Uses carry-less multiplication on 512-bit vectors (VPCLMULQDQ) for longer
// inputs, else the SSE4.2 crc32 instruction, when the CPU has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace roadkeep::tat {

// Continues a CRC over more bytes: Crc32c(Crc32c(0, a), b) == Crc32c(0, a + b).
uint32_t Crc32c(uint32_t crc, const void* data, size_t size);

}  // namespace roadkeep::tat
