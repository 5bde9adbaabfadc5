#include "app/first_frames.h"

#include <algorithm>
#include <array>

#include "decoding/h264_decoder.h"
#include "tat/card.h"

std::vector<FirstPicture> DecodeFirstPictures(CRecordingReader& reader, int cameraCount) {
  const int cameras = std::clamp(cameraCount, 1, 2);
  std::vector<FirstPicture> pictures(static_cast<size_t>(cameras));
  std::array<CFFMH264_Decoder, 2> decoders;
  std::array<bool, 2> started{};  // a key frame has gone in
  for (int c = 0; c < cameras; ++c) {
    if (!decoders[static_cast<size_t>(c)].OpenCodec()) return pictures;
  }
  std::vector<uint8_t> chunk(1 << 20);
  int missing = cameras;
  for (int read = 0; read < kFirstPictureChunkLimit && missing > 0; ++read) {
    uint8_t camera = 0, type = 0, key = 0;
    int size = static_cast<int>(chunk.size());
    const auto result = reader.Read(&camera, &type, &key, &size, chunk.data(), size);
    if (result == CRecordingReader::kTooSmall) {
      if (size <= static_cast<int>(chunk.size()) || size > kFirstPictureChunkBytes) {
        return pictures;
      }
      chunk.resize(static_cast<size_t>(size));
      --read;  // the same chunk again, with room for it
      continue;
    }
    if (result != CRecordingReader::kOk) break;
    const bool video = type == roadkeep::tat::kTypeFrontVideo ||
                       type == roadkeep::tat::kTypeRearVideo;
    if (!video || camera >= cameras) continue;
    FirstPicture& picture = pictures[camera];
    if (!picture.Empty()) continue;
    if (!started[camera] && key == 0) continue;  // nothing decodes before a key frame
    started[camera] = true;
    CFFMH264_Decoder& decoder = decoders[camera];
    if (!decoder.Decode(chunk.data(), size)) continue;
    int width = 0, height = 0;
    decoder.GetPictureSize(&width, &height);
    if (width < kMinPictureSide || height < kMinPictureSide ||
        width > kMaxPictureSide || height > kMaxPictureSide) {
      continue;
    }
    picture.bgrx.resize(static_cast<size_t>(width) * height * CFFMH264_Decoder::kBytesPerPixel);
    if (!decoder.ConvertTo(picture.bgrx.data(), width * CFFMH264_Decoder::kBytesPerPixel, width,
                           height)) {
      picture.bgrx.clear();
      continue;
    }
    picture.width = width;
    picture.height = height;
    --missing;
  }
  return pictures;
}
