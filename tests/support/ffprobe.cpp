#include "tests/support/ffprobe.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace roadkeep::test {

std::vector<ProbedStream> ProbeStreams(const std::string& path) {
  std::istringstream lines(CommandOutput(
      "ffprobe -v error -count_packets -show_entries stream=codec_type,codec_name,width,height,"
      "nb_read_packets,duration:stream_disposition=default -of compact=p=0 '" +
      path + "'"));
  std::vector<ProbedStream> streams;
  for (std::string line; std::getline(lines, line);) {
    std::map<std::string, std::string> f;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '|');) {
      const size_t eq = part.find('=');
      if (eq != std::string::npos) f[part.substr(0, eq)] = part.substr(eq + 1);
    }
    streams.push_back({f["codec_type"], f["codec_name"], std::atoi(f["width"].c_str()),
                       std::atoi(f["height"].c_str()), std::atoi(f["disposition:default"].c_str()),
                       std::atol(f["nb_read_packets"].c_str()), std::atof(f["duration"].c_str())});
  }
  return streams;
}

}  // namespace roadkeep::test
