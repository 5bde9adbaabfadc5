// avi-info and avi-copy: what the AVI reader sees in a file, and a chunk-by-chunk copy
// through the reader and the writer.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "containers/avi_extractor.h"
#include "containers/avi_writer.h"
#include "platform/safe_text.h"
#include "tools/commands.h"

using roadkeep::platform::TerminalText;

namespace {

constexpr int kChunkCapacity = 0x200000;

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "roadkeep-tool: %s: %s\n", TerminalText(path).c_str(), what);
  return 1;
}

// Whether out names the file in is (same device and inode: also through links). Opening
// the output empties it, so it must never be the input.
bool SameFile(const char* in, const char* out) {
  struct stat a, b;
  if (stat(in, &a) != 0 || stat(out, &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

int AviInfoCommand(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: roadkeep-tool avi-info FILE\n");
    return 2;
  }
  CAVIExtractor reader;
  MediaInfo info;
  const int moviSize = reader.Open(argv[0], &info);
  if (moviSize == 0) return Fail("not a readable AVI recording", argv[0]);
  const bool indexed = !info.frameIndex.empty() || info.rearFrameCount > 0;

  std::printf("file: %s\nmovi size: %d\ntotal frames (header): %d\n", TerminalText(argv[0]).c_str(),
              moviSize,
              reader.GetTotalFrames());
  for (int stream = 0; stream < reader.VideoStreamCount() && stream < 2; ++stream) {
    int size[2];
    reader.GetVideoSize(size, stream);
    std::printf("video %d (%s): %dx%d at %d fps\n", stream, stream == 0 ? "front" : "rear",
                size[0], size[1], reader.GetFrameRate(stream));
  }
  if (reader.HasAudio()) {
    int bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    std::printf("audio: %d bits at %d Hz\n", bits, rate);
  }
  std::printf("index: %s\nfront frames: %d\nrear frames: %d\n", indexed ? "idx1" : "none",
              info.frontFrameCount, info.rearFrameCount);

  std::map<std::string, int> perId;
  std::vector<uint8_t> buffer(kChunkCapacity);
  long long payload = 0;
  for (;;) {
    char id[4];
    int size = kChunkCapacity;
    if (reader.ReadChunk(id, buffer.data(), &size) < 0) break;
    if (std::memcmp(id, "idx1", 4) == 0) break;
    ++perId[std::string(id, 4)];
    payload += size;
  }
  for (const auto& [id, count] : perId) std::printf("chunks %s: %d\n", TerminalText(id).c_str(), count);
  std::printf("payload bytes: %lld\n", payload);
  reader.Close();
  return 0;
}

int AviCopyCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roadkeep-tool avi-copy IN OUT\n");
    return 2;
  }
  if (SameFile(argv[0], argv[1])) return Fail("the output is the input file", argv[1]);
  CAVIExtractor reader;
  MediaInfo info;
  if (reader.Open(argv[0], &info) == 0) return Fail("not a readable AVI recording", argv[0]);
  const bool dual = reader.VideoStreamCount() >= 2 || info.rearFrameCount > 0;

  CAVIWriter writer;
  writer.SetDualVideo(dual);
  for (int stream = 0; stream < 2; ++stream) {
    int size[2];
    reader.GetVideoSize(size, stream);
    writer.SetVideoSize(stream, size[0], size[1]);
    writer.SetFrameRate(stream, reader.GetFrameRate(stream));
  }
  int bits = 0, rate = 0;
  reader.GetAudioFormat(&bits, &rate);
  if (rate > 0) writer.SetAudioRate(rate);
  if (!writer.Open(argv[1])) return Fail("cannot create the output file", argv[1]);

  std::vector<uint8_t> buffer(kChunkCapacity);
  int copied = 0;
  bool ok = true;
  for (;;) {
    char id[4];
    int size = kChunkCapacity;
    if (reader.ReadChunk(id, buffer.data(), &size) < 0) break;
    int slot = -1;
    switch (ChunkKindOf(id)) {
      case kKindFrontVideo: slot = CAVIWriter::kSlotFront; break;
      case kKindRearVideo: slot = dual ? CAVIWriter::kSlotRear : -1; break;
      case kKindAudio: slot = CAVIWriter::kSlotAudio; break;
      case kKindText: slot = CAVIWriter::kSlotText; break;
      default: break;
    }
    if (slot < 0) continue;
    if (!writer.AddData(buffer.data(), size, slot)) {
      ok = false;
      break;
    }
    ++copied;
  }
  writer.Close();
  reader.Close();
  if (!ok) return Fail("write failed", argv[1]);
  if (copied == 0) return Fail("no chunk was copied", argv[0]);
  std::printf("copied %d chunks (%s)\n", copied, dual ? "two cameras" : "one camera");
  return 0;
}
