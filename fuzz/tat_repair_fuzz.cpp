// A card whose driving store file is the input with every checksum made to hold (see
// tat_checksum_repair.h), so the fuzzer spends its time on the entry walk, the chunk reads,
// the damage search and the seek table rather than on CRCs: list, open, read, seek.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/tat_checksum_repair.h"
#include "tat/recording_list.h"
#include "tat/store_format.h"
#include "tat/store_writer.h"
#include "tat/tat_library.h"

namespace {

const std::string& CardDir() {
  static const std::string dir = [] {
    const auto path = std::filesystem::temp_directory_path() /
                      ("roadkeep-fuzz-repaired-card-" + std::to_string(getpid()));
    roadkeep::tat::FormatCard(path.string(), 1, nullptr);
    setenv("ROADKEEP_CARD_DIRS", path.c_str(), 1);
    return path.string();
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace roadkeep::tat;
  std::vector<uint8_t> bytes(data, data + size);
  RepairStoreChecksums(&bytes, kKindDriving);
  const std::string store = CardDir() + "/TAT/REC.TAT";
  {
    std::ofstream out(store, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<uint8_t> buffer(kTatReadCapacity);
  TatHandle* h = TatCreate();
  char letter = 0;
  TatPollCard(h, &letter);
  int index = 0;
  for (const ListedRecording& r : ListRecordings(h, letter, kKindDriving)) {
    uint8_t header[kTatHeaderSize];
    uint32_t counts[2];
    char stats[kTatStatsSize];
    TatOpenByIndex(h, r.name.c_str(), index, header, counts, nullptr, stats, nullptr);
    TatSelect(h, kKindDriving, 0, TatFindByIndex(h, kKindDriving, index++));
    for (int pass = 0; pass < 3; ++pass) {
      for (int i = 0; i < 5000; ++i) {
        uint8_t camera, type, key;
        constexpr int kRoom = 1 << 16;
        if (pass == 1) {
          // As the parser reads: whole chunks in batches, the rest alone in room that grows
          // only when a chunk asks for it.
          TatChunkRef refs[32];
          int count = 0;
          if (TatReadBatch(h, buffer.data(), kRoom, refs, 32, &count) != kTatReadOk) break;
          for (int k = 0; k < count; ++k) {
            if (refs[k].offset < 0 || refs[k].size < 0 || refs[k].offset + refs[k].size > kRoom) {
              __builtin_trap();
            }
          }
          if (count > 0) continue;
        }
        int n = pass == 1 ? kRoom : kTatReadCapacity;
        int result = TatRead(h, &camera, &type, &key, &n, buffer.data(), nullptr);
        if (result == kTatTooSmall) {
          n = kTatReadCapacity;
          result = TatRead(h, &camera, &type, &key, &n, buffer.data(), nullptr);
        }
        if (result != kTatReadOk) break;
      }
      TatSeek(h, pass, 2);  // two units from the end, then the last one
    }
  }
  TatRelease(h);
  return 0;
}
