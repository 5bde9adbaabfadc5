// A card whose driving store file is the input with every checksum made to hold (see
// tat_checksum_repair.h), so the fuzzer spends its time on the entry walk, the chunk reads,
// the damage search and the seek table rather than on CRCs (see tat_fuzz_card.h).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/tat_checksum_repair.h"
#include "fuzz/tat_fuzz_card.h"
#include "tat/store_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  roadkeep::tat::RepairStoreChecksums(&bytes, roadkeep::tat::kKindDriving);
  roadkeep::fuzz::ReadAsDrivingStore(bytes.data(), bytes.size());
  return 0;
}
