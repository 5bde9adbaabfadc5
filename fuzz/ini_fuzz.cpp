// INI text from the card (SETTING/blackbox.cfg) through the profile helpers: any bytes.
// Checks what a save relies on: an untouched text comes back byte for byte, a value that
// was set reads back, and keys that were not set keep their values. Seeds: corpus/ini_fuzz.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_profile.h"

namespace {

struct Key {
  const char* section;
  const char* key;
};
// Distinct without regard to case; the spellings differ on purpose.
constexpr Key kKeys[] = {{"blackbox", "tat_update"}, {"capacity", "const"}, {"BlackBox", "ACC_LEVEL"},
                         {"time", "set"},            {"TIME", "hour"},      {"blackbox", "model"}};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks which keys are set; the rest is the file.
  const uint8_t mask = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  CIniText text(bytes);
  Check(text.Bytes() == bytes);
  std::optional<std::string> before[std::size(kKeys)];
  for (size_t i = 0; i < std::size(kKeys); ++i) before[i] = text.Get(kKeys[i].section, kKeys[i].key);
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (mask & (1u << i)) Check(text.Set(kKeys[i].section, kKeys[i].key, std::to_string(i)));
  }
  const CIniText saved(text.Bytes());
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    const auto after = saved.Get(kKeys[i].section, kKeys[i].key);
    Check((mask & (1u << i)) ? after == std::to_string(i) : after == before[i]);
  }
  return 0;
}
