// make-card, list and dump: write a card as the recorder does, and show what the library
// and the store hold.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tat/recording_list.h"
#include "tat/store_reader.h"
#include "tat/tat_library.h"
#include "tools/card_maker.h"
#include "tools/commands.h"

using namespace roadkeep::tat;
using roadkeep::tools::CardOptions;

namespace {

bool ParseSize(const char* text, int* w, int* h, int* fps) {
  return std::sscanf(text, "%dx%d@%d", w, h, fps) == 3;
}

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 1000000) return false;
  *value = static_cast<int>(v);
  return true;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: %s\n", why.c_str());
  return 1;
}

// A handle whose only removable drive is dir, polled once.
TatHandle* OpenCard(const std::string& dir, char* letter) {
  setenv("ROADKEEP_CARD_DIRS", dir.c_str(), 1);
  TatHandle* handle = TatCreate();
  *letter = 0;
  TatPollCard(handle, letter);
  return handle;
}

}  // namespace

int MakeCardCommand(int argc, char** argv) {
  CardOptions o;
  std::string dir;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    bool ok = true;
    if (arg == "--per-kind") ok = ParseInt(value, &o.perKind), ++i;
    else if (arg == "--count") ok = ParseInt(value, &o.count), ++i;
    else if (arg == "--seconds") ok = ParseInt(value, &o.seconds), ++i;
    else if (arg == "--front-only-every") ok = ParseInt(value, &o.frontOnlyEvery), ++i;
    else if (arg == "--front") ok = ParseSize(value, &o.frontWidth, &o.frontHeight, &o.frontFps), ++i;
    else if (arg == "--rear") ok = ParseSize(value, &o.rearWidth, &o.rearHeight, &o.rearFps), ++i;
    else if (arg == "--seed") ok = ParseInt(value, reinterpret_cast<int*>(&o.seed)), ++i;
    else if (arg == "--filler") o.filler = true;
    else if (arg == "--no-text") o.text = false;
    else if (arg.rfind("--", 0) != 0 && dir.empty()) dir = arg;
    else ok = false;
    if (!ok) return Fail("make-card: bad argument '" + arg + "'");
  }
  if (dir.empty()) {
    std::fprintf(stderr,
                 "usage: roadkeep-tool make-card DIR [--per-kind N] [--count N] [--seconds S] "
                 "[--front WxH@FPS] [--rear WxH@FPS] [--front-only-every N] [--seed N] [--filler] [--no-text]\n");
    return 2;
  }
  std::string error;
  if (!roadkeep::tools::MakeCard(dir, o, &error)) return Fail(error);
  std::printf("card written to %s: %d recordings of %d s\n", dir.c_str(),
              o.count > 0 ? o.count : o.perKind * 4, o.seconds);
  return 0;
}

int ListCommand(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: roadkeep-tool list DIR\n");
    return 2;
  }
  char letter = 0;
  TatHandle* handle = OpenCard(argv[0], &letter);
  if (letter == 0) {
    TatRelease(handle);
    return Fail(std::string(argv[0]) + ": not a recorder card");
  }
  const int kinds[4] = {kKindDriving, kKindEvent, kKindParking, kKindManual};
  for (int kind : kinds) {
    const auto recordings = ListRecordings(handle, letter, kind);
    std::printf("%s (%zu)\n", KindWord(kind), recordings.size());
    for (const ListedRecording& r : recordings) {
      std::printf("  %-32s %10d bytes %7.1f s%s\n", r.name.c_str(), r.size, r.durationMs / 1000.0,
                  r.size < kListingFloor ? "  (below 512 KiB: not listed)" : "");
    }
  }
  TatRelease(handle);
  return 0;
}

int DumpCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roadkeep-tool dump DIR NAME\n");
    return 2;
  }
  const int kind = KindCodeOfName(argv[1]);
  if (kind < 0) return Fail(std::string(argv[1]) + ": not a recording name");
  CStoreFile store;
  const auto path = std::filesystem::path(argv[0]) / kStoreFolder / StoreFileName(kind);
  if (!store.Open(path.string(), kind)) return Fail(path.string() + ": not a store file");
  for (const EntryInfo& e : store.ListEntries()) {
    if (std::strcmp(e.header.name, argv[1]) != 0) continue;
    const EntryHeader& h = e.header;
    std::printf("name %s\nkind %d (%s)\nposition %lld\nsize %u\nfinished %s\n", h.name, h.kindCode,
                KindWord(h.kindCode), static_cast<long long>(e.position), e.size,
                e.finished ? "yes" : "no (cut short)");
    std::printf("cameras %d\nfront %ux%u at %u fps, %u frames\nrear %ux%u at %u fps, %u frames\n",
                h.cameras, h.frontWidth, h.frontHeight, h.frontFps, h.frontFrames, h.rearWidth,
                h.rearHeight, h.rearFps, h.rearFrames);
    std::printf("audio chunks %u\ngps %u\nacc %u\nduration %u ms\nseek units %u\n", h.audioChunks,
                h.gpsSamples, h.accSamples, h.durationMs, h.seekUnits);
    static const char* const kTypes[4] = {"video", "audio", "video", "text"};
    std::vector<uint8_t> payload(kMaxChunkSize);
    uint32_t cursor = kEntryHeaderSize;
    int index = 0;
    while (cursor + kChunkHeaderSize <= e.chunkEnd) {
      uint8_t bytes[kChunkHeaderSize];
      ChunkHeader c;
      if (!store.ReadAt(e.position + cursor, bytes, sizeof bytes) || !DecodeChunkHeader(bytes, &c) ||
          cursor + kChunkHeaderSize + Pad4(c.size) > e.chunkEnd) {
        std::printf("chunk %d: bad chunk header at %u\n", index, cursor);
        break;
      }
      const bool read = store.ReadAt(e.position + cursor + kChunkHeaderSize, payload.data(), c.size);
      const bool ok = read && ChunkCrc(bytes, payload.data(), c.size) == c.crc;
      std::printf("chunk %d: %s camera %d key %d size %u time %u ms checksum %s\n", index,
                  kTypes[c.type], c.camera, c.key, c.size, c.timeMs, ok ? "ok" : "BAD");
      cursor += kChunkHeaderSize + Pad4(c.size);
      ++index;
    }
    return 0;
  }
  return Fail(std::string(argv[1]) + ": no such recording on the card");
}
