// Text-stream chunks from the card into the sensor records: any bytes, any length.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sensors/text_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CTextData records;
  // As the player delivers it: the chunk and one zero byte.
  std::vector<char> chunk(data, data + size);
  chunk.push_back('\0');
  records.OnTextData(chunk.data(), static_cast<int>(chunk.size()), 1000000);
  // The raw bytes with a length that stops short of any terminator.
  if (size > 0) records.OnTextData(reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
  CGPSData gps;
  gps.ParseRmc(chunk.data());
  if (records.GpsCount() > 1000) records.Clear();
  return 0;
}
