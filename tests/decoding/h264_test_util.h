// H.264 streams made by the ffmpeg command-line tool (libx264, Annex B with access-unit
// delimiters), split into access units, and ffmpeg's own BGR decode of them for comparison
// with the colour channels of the BGRA frames that surfaces are given.
#pragma once

#include <cstdint>
#include <cstring>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace roadkeep::test {

using AccessUnit = std::vector<uint8_t>;

struct H264Stream {
  std::string path;
  int width = 0;
  int height = 0;
  std::vector<AccessUnit> units;  // one picture each; the first is a key frame
};

// frames pictures of a moving test pattern at width x height, a key frame every gop; extra
// holds further ffmpeg output options (filters, bit rate).
inline H264Stream MakeH264(const TempDir& dir, int width, int height, int frames, int gop = 12,
                           const std::string& source = "testsrc", const std::string& extra = "") {
  H264Stream stream;
  stream.width = width;
  stream.height = height;
  stream.path = dir.File(source + "_" + std::to_string(width) + "x" + std::to_string(height) + "_" +
                         std::to_string(frames) + ".h264");
  const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i " + source +
                          "=size=" + std::to_string(width) + "x" + std::to_string(height) +
                          ":rate=30 -frames:v " + std::to_string(frames) +
                          " -c:v libx264 -preset veryfast -bf 0 -g " + std::to_string(gop) + " " +
                          extra + " -x264-params aud=1 -pix_fmt yuv420p -f h264 " + stream.path;
  if (RunCommand(cmd) != 0) return stream;
  // Split before every access-unit delimiter (NAL type 9) and its start code.
  const std::vector<uint8_t> bytes = ReadAll(stream.path);
  std::vector<size_t> starts;
  for (size_t i = 0; i + 4 < bytes.size(); ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && (bytes[i + 3] & 0x1F) == 9) {
      starts.push_back(i > 0 && bytes[i - 1] == 0 ? i - 1 : i);
    }
  }
  starts.push_back(bytes.size());
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    stream.units.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(starts[k]),
                              bytes.begin() + static_cast<std::ptrdiff_t>(starts[k + 1]));
  }
  return stream;
}

// ffmpeg's decode of the stream, scaled with fast bilinear filtering to width x height BGR.
inline std::vector<cv::Mat> ReferenceFrames(const H264Stream& stream, int width, int height) {
  const std::string cmd = "ffmpeg -nostdin -v error -i " + stream.path +
                          " -vf scale=" + std::to_string(width) + ":" + std::to_string(height) +
                          ":flags=fast_bilinear -pix_fmt bgr24 -f rawvideo -";
  const std::string raw = CommandOutput(cmd);
  const size_t frameBytes = static_cast<size_t>(width) * height * 3;
  std::vector<cv::Mat> frames;
  for (size_t at = 0; at + frameBytes <= raw.size(); at += frameBytes) {
    cv::Mat frame(height, width, CV_8UC3);
    std::memcpy(frame.data, raw.data() + at, frameBytes);
    frames.push_back(frame);
  }
  return frames;
}

// Whether frame has the layout surfaces take (QImage::Format_RGB32): CV_8UC4, every alpha
// byte 0xFF.
inline bool IsOpaqueBgra(const cv::Mat& frame) {
  if (frame.empty() || frame.type() != CV_8UC4) return false;
  cv::Mat alpha;
  cv::extractChannel(frame, alpha, 3);
  return cv::countNonZero(alpha != 255) == 0;
}

// The B, G, R channels of a BGRA frame, to compare with ReferenceFrames.
inline cv::Mat ColourChannels(const cv::Mat& frame) {
  cv::Mat bgr(frame.size(), CV_8UC3);
  const int pairs[] = {0, 0, 1, 1, 2, 2};
  cv::mixChannels(&frame, 1, &bgr, 1, pairs, 3);
  return bgr;
}

}  // namespace roadkeep::test
