// The names of a card's recordings of one kind as the viewer lists them: everything the
// library lists except recordings below 512 KiB.
#pragma once

#include <string>
#include <vector>

struct TatHandle;

namespace roadkeep::tat {

inline constexpr int kListingFloor = 0x80000;  // bytes

struct ListedRecording {
  std::string name;
  int size = 0;          // bytes
  int durationMs = 0;
};

// Every recording the library lists for kind on card `letter`, floor or not. *error
// (optional): 0, or why the kind's store file could not be read (TatStoreError).
std::vector<ListedRecording> ListRecordings(TatHandle* handle, char letter, int kind,
                                            int* error = nullptr);
// The names the viewer shows: recordings of at least kListingFloor bytes.
std::vector<std::string> CollectRecordings(TatHandle* handle, char letter, int kind);

}  // namespace roadkeep::tat
