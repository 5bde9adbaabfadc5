#include "tools/evidence_pictures.h"

#include <algorithm>
#include <array>

#include "decoding/h264_decoder.h"
#include "tat/card.h"

namespace {

constexpr int kLargestChunk = 16 << 20;  // larger is damage, not a picture

struct CameraState {
  int64_t target = 0;                          // frame index at the moment asked for
  int64_t frames = 0;                          // frames read so far
  std::vector<std::vector<uint8_t>> sinceKey;  // access units from the last key frame
  bool done = false;
};

// Decodes the held access units and keeps the last picture; false when none came out.
bool DecodeHeld(const CameraState& camera, ReportPicture* picture) {
  CFFMH264_Decoder decoder;
  if (!decoder.OpenCodec()) return false;
  for (const std::vector<uint8_t>& unit : camera.sinceKey) {
    decoder.Decode(unit.data(), static_cast<int>(unit.size()));
  }
  int width = 0, height = 0;
  decoder.GetPictureSize(&width, &height);
  if (width < kMinPictureSide || height < kMinPictureSide || width > kMaxPictureSide ||
      height > kMaxPictureSide) {
    return false;
  }
  picture->bgrx.resize(static_cast<size_t>(width) * height * CFFMH264_Decoder::kBytesPerPixel);
  if (!decoder.ConvertTo(picture->bgrx.data(), width * CFFMH264_Decoder::kBytesPerPixel, width,
                         height)) {
    picture->bgrx.clear();
    return false;
  }
  picture->width = width;
  picture->height = height;
  return true;
}

}  // namespace

std::vector<ReportPicture> DecodePicturesAt(CRecordingReader& reader, int64_t ms) {
  const Recording& r = reader.Info();
  const int cameras = r.CameraCount();
  std::vector<ReportPicture> pictures(static_cast<size_t>(cameras));
  std::array<CameraState, 2> state;
  const int64_t frames[2] = {r.counts.front, r.counts.rear};
  const int fps[2] = {std::max(r.frontFps, 1), std::max(r.rearFps, 1)};
  for (int c = 0; c < cameras; ++c) {
    state[c].target =
        std::clamp<int64_t>(ms * fps[c] / 1000, 0, std::max<int64_t>(frames[c] - 1, 0));
  }
  std::vector<uint8_t> chunk(1 << 20);
  int missing = cameras;
  while (missing > 0) {
    uint8_t camera = 0, type = 0, key = 0;
    int size = static_cast<int>(chunk.size());
    const auto result = reader.Read(&camera, &type, &key, &size, chunk.data(), size);
    if (result == CRecordingReader::kTooSmall && size > static_cast<int>(chunk.size()) &&
        size <= kLargestChunk) {
      chunk.resize(static_cast<size_t>(size));
      continue;
    }
    if (result != CRecordingReader::kOk) break;
    const int c = type == roadkeep::tat::kTypeFrontVideo  ? 0
                  : type == roadkeep::tat::kTypeRearVideo ? 1
                                                          : -1;
    if (c < 0 || c >= cameras || state[c].done) continue;
    CameraState& s = state[c];
    if (key != 0) s.sinceKey.clear();
    if (key != 0 || !s.sinceKey.empty())
      s.sinceKey.emplace_back(chunk.begin(), chunk.begin() + size);
    if (s.frames++ < s.target) continue;
    s.done = true;
    --missing;
    DecodeHeld(s, &pictures[c]);
  }
  // A recording that ends before its stated frames: the last frames read.
  for (int c = 0; c < cameras; ++c) {
    if (!state[c].done && !state[c].sinceKey.empty()) DecodeHeld(state[c], &pictures[c]);
  }
  return pictures;
}
