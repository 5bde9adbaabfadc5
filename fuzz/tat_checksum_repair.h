// Makes arbitrary bytes into a store file whose checksums all hold, so that a fuzzer's input
// gets past the checks into the parsing behind them: the store header gets its magic,
// version, kind and CRC; every entry header found (magic "TE" and version on a 4-byte
// boundary) gets its CRC; the chunks behind it, as far as their sizes lead, get theirs; a
// seek table where a finished header places it gets its CRC. Nothing else is changed.
#pragma once

#include <cstdint>
#include <vector>

namespace roadkeep::tat {

void RepairStoreChecksums(std::vector<uint8_t>* bytes, int kindCode);

}  // namespace roadkeep::tat
