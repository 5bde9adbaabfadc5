// Open + BuildIndex + ReadChunk until failure on arbitrary bytes. Each input goes to a file
// of this process that is removed again once the input is done.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "containers/avi_extractor.h"
#include "concurrency/trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/roadkeep-fuzz-" + std::to_string(getpid()) + ".avi";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  static std::vector<uint8_t> buffer(0x10000);
  roadkeep::SetTraceEnabled(false);
  CAVIExtractor reader;
  MediaInfo info;
  if (reader.Open(path.c_str(), &info) > 0) {
    for (int i = 0; i < 10000; ++i) {
      char id[4];
      int capacity = static_cast<int>(buffer.size());
      if (reader.ReadChunk(id, buffer.data(), &capacity) < 0) break;
    }
    reader.SeekToTime(0.5f);
  }
  reader.Close();
  ::unlink(path.c_str());
  return 0;
}
