// A card whose driving store file is arbitrary bytes (see tat_fuzz_card.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/tat_fuzz_card.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  roadkeep::fuzz::ReadAsDrivingStore(data, size);
  return 0;
}
