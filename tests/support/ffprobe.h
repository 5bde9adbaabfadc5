// A media file's streams as ffprobe reads them, packets counted by reading the whole file.
#pragma once

#include <string>
#include <vector>

namespace roadkeep::test {

struct ProbedStream {
  std::string type, codec;  // "video", "h264"
  int width = 0, height = 0;
  int isDefault = 0;        // the default disposition
  long packets = 0;
  double seconds = 0;       // the stream's duration, 0 when the container states none
};

// Empty when ffprobe cannot read the file.
std::vector<ProbedStream> ProbeStreams(const std::string& path);

}  // namespace roadkeep::test
