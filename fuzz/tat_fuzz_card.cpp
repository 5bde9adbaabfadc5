#include "fuzz/tat_fuzz_card.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tat/card.h"
#include "tat/recording_list.h"
#include "tat/store_format.h"
#include "tat/store_writer.h"
#include "tat/tat_library.h"
#include "tat/trips.h"

namespace roadkeep::fuzz {

namespace {

using namespace roadkeep::tat;

// The card folder of this process, which the card watch is pointed at once.
const std::string& CardDir() {
  static const std::string dir = [] {
    const auto path =
        std::filesystem::temp_directory_path() / ("roadkeep-fuzz-card-" + std::to_string(getpid()));
    setenv("ROADKEEP_CARD_DIRS", path.c_str(), 1);
    return path.string();
  }();
  return dir;
}

constexpr int kRoom = 1 << 16;

// One pass over the selected recording; batches as the parser reads.
void ReadToEnd(TatHandle* h, bool batches, std::vector<uint8_t>* buffer) {
  for (int i = 0; i < 5000; ++i) {
    uint8_t camera, type, key;
    if (batches) {
      TatChunkRef refs[32];
      int count = 0;
      if (TatReadBatch(h, buffer->data(), kRoom, refs, 32, &count) != kTatReadOk) return;
      for (int k = 0; k < count; ++k) {
        if (refs[k].offset < 0 || refs[k].size < 0 || refs[k].offset + refs[k].size > kRoom) {
          __builtin_trap();
        }
      }
      if (count > 0) continue;
    }
    int n = batches ? kRoom : kTatReadCapacity;
    int result = TatRead(h, &camera, &type, &key, &n, buffer->data(), nullptr);
    if (result == kTatTooSmall) {
      n = kTatReadCapacity;
      result = TatRead(h, &camera, &type, &key, &n, buffer->data(), nullptr);
    }
    if (result != kTatReadOk) return;
  }
}

}  // namespace

void ReadAsDrivingStore(const uint8_t* data, size_t size) {
  FormatCard(CardDir(), 1, nullptr);
  {
    std::ofstream out(CardDir() + "/TAT/REC.TAT", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
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
    ReadToEnd(h, true, &buffer);
    TatOpenByName(h, r.name.c_str(), header, counts, nullptr, stats, nullptr);
    TatSelect(h, kKindDriving, 0, TatFindByName(h, kKindDriving, r.name.c_str()));
    ReadToEnd(h, false, &buffer);
    TatSeek(h, 0, 2);  // two units from the end
    ReadToEnd(h, false, &buffer);
  }
  // The text chunks alone, as the distance reads them, and the recordings as trips.
  if (const std::shared_ptr<CCard> card = TatCurrentCard(h)) {
    const std::vector<Recording> recordings = card->Recordings(kKindDriving);
    for (const Recording& r : recordings) {
      const std::unique_ptr<CRecordingReader> reader = card->OpenReader(kKindDriving, r.index);
      for (int i = 0; reader && i < 5000; ++i) {
        uint32_t timeMs = 0;
        int n = 0;
        auto result = reader->ReadText(&timeMs, &n, buffer.data(), 64);
        if (result == CRecordingReader::kTooSmall) {
          result = reader->ReadText(&timeMs, &n, buffer.data(), kTatReadCapacity);
        }
        if (result != CRecordingReader::kOk) break;
        if (n < 0 || n > kTatReadCapacity) __builtin_trap();
      }
    }
    BuildTrips(recordings);
  }
  TatRelease(h);
  std::error_code ignored;
  std::filesystem::remove_all(CardDir(), ignored);
}

}  // namespace roadkeep::fuzz
