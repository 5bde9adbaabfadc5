#include "tests/support/synthetic_card.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tat/store_reader.h"
#include "tat/store_writer.h"

namespace roadkeep::test {
using namespace roadkeep::tat;

std::vector<uint8_t> SyntheticPayload(int type, int ordinal, int size) {
  std::vector<uint8_t> p(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) p[static_cast<size_t>(i)] = static_cast<uint8_t>(ordinal * 31 + i);
  if (size >= 5) {
    p[0] = static_cast<uint8_t>(type);
    std::memcpy(&p[1], &ordinal, 4);
  }
  return p;
}

bool EditEntryHeader(const std::string& cardDir, int kindCode, const std::string& name,
                     const std::function<void(EntryHeader&)>& change, int nth) {
  const auto path = std::filesystem::path(cardDir) / kStoreFolder / StoreFileName(kindCode);
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (file == nullptr) return false;
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) {
    bytes.insert(bytes.end(), block, block + n);
  }
  bool done = false;
  for (size_t at = kStoreHeaderSize; !done && at + kEntryHeaderSize <= bytes.size(); at += 4) {
    EntryHeader h;
    if (!DecodeEntryHeader(&bytes[at], &h) || name != h.name || nth-- > 0) continue;
    change(h);
    EncodeEntryHeader(h, &bytes[at]);
    done = std::fseek(file, static_cast<long>(at), SEEK_SET) == 0 &&
           std::fwrite(&bytes[at], 1, kEntryHeaderSize, file) == kEntryHeaderSize;
  }
  return std::fclose(file) == 0 && done;
}

bool WriteSyntheticCard(const std::string& dir, const std::vector<SyntheticRecording>& recs,
                        uint64_t cardId) {
  VolumeRecord volume;
  if (!ReadVolume(dir, &volume) && !FormatCard(dir, cardId, nullptr)) return false;
  for (const SyntheticRecording& r : recs) {
    EntryHeader h;
    h.kindCode = static_cast<uint8_t>(KindCodeOfName(r.name));
    h.frontFps = static_cast<uint8_t>(r.fps);
    h.rearFps = r.dual ? static_cast<uint8_t>(r.fps) : 0;
    h.cameras = r.dual ? 2 : 1;
    h.frontWidth = 1280;
    h.frontHeight = 720;
    h.rearWidth = r.dual ? 640 : 0;
    h.rearHeight = r.dual ? 360 : 0;
    std::snprintf(h.name, sizeof h.name, "%s", r.name.c_str());
    CTatStoreWriter w;
    if (!w.BeginRecording(dir, h, nullptr)) return false;
    int audio = 0, gps = 0, acc = 0;
    for (int i = 0; i < r.seconds * r.fps; ++i) {
      const uint32_t t = static_cast<uint32_t>(i * 1000 / r.fps);
      const bool key = i % kFramesPerUnit == 0;
      auto v = SyntheticPayload(kTypeFrontVideo, i, r.videoBytes + i % 3);
      w.AddChunk(kTypeFrontVideo, 0, key, t, v.data(), static_cast<uint32_t>(v.size()));
      if (r.dual) {
        v = SyntheticPayload(kTypeRearVideo, i, r.videoBytes / 2);
        w.AddChunk(kTypeRearVideo, 1, key, t, v.data(), static_cast<uint32_t>(v.size()));
      }
      for (; static_cast<uint32_t>(audio * 200) <= t; ++audio) {
        v = SyntheticPayload(kTypeAudio, audio, 3200);
        w.AddChunk(kTypeAudio, 0, true, static_cast<uint32_t>(audio * 200), v.data(), 3200);
      }
      for (; static_cast<uint32_t>(gps * 1000) <= t; ++gps) {
        char text[128];
        const int n = std::snprintf(text, sizeof text, "G$GPRMC,%06d.00,A,3733.9614,N,12658.6776,E,1.0,2.0,010314,,,A*00", gps);
        w.AddChunk(kTypeText, 0, true, static_cast<uint32_t>(gps * 1000), text, static_cast<uint32_t>(n));
      }
      for (; static_cast<uint32_t>(acc * 100) <= t; ++acc) {
        const uint8_t m[4] = {'M', static_cast<uint8_t>(acc), 0x80, 0xFF};
        w.AddChunk(kTypeText, 0, true, static_cast<uint32_t>(acc * 100), m, 4);
      }
    }
    if (r.finish) {
      if (w.FinishRecording(static_cast<uint32_t>(r.seconds) * 1000) == 0) return false;
    } else {
      w.Abandon();
    }
  }
  return true;
}

}  // namespace roadkeep::test
