#include "tat/recording_list.h"

#include <cstring>

#include "tat/tat_library.h"

namespace roadkeep::tat {

std::vector<ListedRecording> ListRecordings(TatHandle* handle, char letter, int kind,
                                            int* error) {
  std::vector<ListedRecording> out;
  if (error) *error = 0;
  if (letter == 0) return out;
  const int count = TatCountRecordings(handle, letter, kind);
  if (count < 0 && error) *error = TatStoreError(handle, letter, kind);
  if (count <= 0) return out;
  std::vector<char> names(static_cast<size_t>(count) * kTatNameSize, 0);
  std::vector<uint32_t> sizes(2 * (static_cast<size_t>(count) + 1), 0);
  std::vector<uint32_t> extra(static_cast<size_t>(count) + 2, 0);
  const int n = TatListRecordings(handle, letter, kind, count, names.data(), sizes.data(), extra.data());
  for (int i = 0; i < n && i < count; ++i) {
    const char* name = names.data() + static_cast<size_t>(i) * kTatNameSize;
    out.push_back({std::string(name, strnlen(name, kTatNameSize)),
                   static_cast<int>(sizes[2 * static_cast<size_t>(i)]),
                   static_cast<int>(sizes[2 * static_cast<size_t>(i) + 1])});
  }
  return out;
}

std::vector<std::string> CollectRecordings(TatHandle* handle, char letter, int kind) {
  std::vector<std::string> names;
  for (const ListedRecording& r : ListRecordings(handle, letter, kind)) {
    // The size word is read as a signed number, as the listing always has.
    if (r.size >= kListingFloor) names.push_back(r.name);
  }
  return names;
}

}  // namespace roadkeep::tat
