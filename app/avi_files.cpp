#include "app/avi_files.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "containers/avi_extractor.h"

std::string AviFileProblem(const std::string& path) {
  CAVIExtractor reader;
  if (reader.Open(path.c_str(), nullptr) <= 0) return "not an AVI file";
  if (reader.VideoStreamCount() == 0 || !reader.VideoIsH264(0)) return "no H.264 video";
  return {};
}

Recording AviFileRecording(const std::string& path) {
  Recording file;
  std::error_code error;
  file.name = std::filesystem::absolute(path, error).lexically_normal().string();
  file.kindCode = kFileKind;
  file.copyable = false;
  const auto bytes = std::filesystem::file_size(path, error);
  file.sizeBytes = error ? 0
                         : static_cast<uint32_t>(std::min<uintmax_t>(
                               bytes, std::numeric_limits<uint32_t>::max()));
  CAVIExtractor reader;
  MediaInfo info;
  if (reader.Open(path.c_str(), &info) <= 0) return file;
  file.frontFps = info.frontFrameRate;
  file.rearFps = info.rearFrameRate;
  file.counts.front = static_cast<uint32_t>(std::max(0, info.frontFrameCount));
  file.counts.rear = static_cast<uint32_t>(std::max(0, info.rearFrameCount));
  if (file.frontFps > 0) {
    file.durationMs = static_cast<uint32_t>(int64_t{file.counts.front} * 1000 / file.frontFps);
  }
  int size[2] = {};
  if (reader.GetVideoSize(size, 0) != nullptr) {
    file.frontWidth = size[0];
    file.frontHeight = size[1];
  }
  if (reader.VideoStreamCount() > 1 && reader.GetVideoSize(size, 1) != nullptr) {
    file.rearWidth = size[0];
    file.rearHeight = size[1];
  }
  return file;
}
