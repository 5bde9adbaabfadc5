// list and dump: show what the library and the store hold. They need the card store alone,
// so they also run in the lean front of roadkeep-tool (tool_front.cpp).
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/safe_text.h"
#include "tat/card.h"
#include "tat/recording_list.h"
#include "tat/store_reader.h"
#include "tat/tat_library.h"
#include "tools/commands.h"

using namespace roadkeep::tat;
using roadkeep::platform::TerminalText;

namespace {

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: %s\n", TerminalText(why).c_str());
  return 1;
}

}  // namespace

std::string StoreErrorText(int error) {
  return error == EINVAL ? "not a store file of its kind" : std::strerror(error);
}

std::string CardProblem(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return dir + ": " + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return dir + ": not a folder";
  VolumeRecord volume;
  int error = 0;
  const auto path = std::filesystem::path(dir) / kStoreFolder / kVolumeFile;
  if (ReadVolume(dir, &volume, &error)) return dir + ": the card could not be opened";
  if (error == ENOENT || error == ENOTDIR) return dir + ": not a recorder card";
  if (error == 0) return dir + ": not a recorder card (" + path.string() + " is damaged)";
  return "cannot read " + path.string() + ": " + std::strerror(error);
}

TatHandle* OpenCardAt(const std::string& dir, std::string* problem) {
  TatHandle* handle = TatCreate();
  char letter = 0;
  TatPollFound(handle, TatFindCards({dir}), &letter);
  if (letter != 0) return handle;
  TatRelease(handle);
  *problem = CardProblem(dir);
  return nullptr;
}

std::vector<Recording> RecordingsNamed(TatHandle* handle, const std::string& name) {
  const std::shared_ptr<CCard> card = TatCurrentCard(handle);
  const int kind = CCard::KindOfName(name);
  std::vector<Recording> named;
  if (!card || kind < 0) return named;
  for (Recording& r : card->Recordings(kind)) {
    if (strcasecmp(r.name.c_str(), name.c_str()) == 0) named.push_back(std::move(r));
  }
  return named;
}

std::vector<roadkeep::tat::Trip> CardTrips(TatHandle* handle, int gapSeconds) {
  const std::shared_ptr<CCard> card = TatCurrentCard(handle);
  if (!card) return {};
  std::vector<Recording> recordings;
  for (int kind = 0; kind < roadkeep::tat::kKindCount; ++kind) {
    for (Recording& r : card->Recordings(kind)) recordings.push_back(std::move(r));
  }
  return roadkeep::tat::BuildTrips(std::move(recordings), gapSeconds);
}

int ListCommand(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: roadkeep-tool list DIR\n");
    return 2;
  }
  std::string problem;
  TatHandle* handle = OpenCardAt(argv[0], &problem);
  if (handle == nullptr) return Fail(problem);
  const std::shared_ptr<CCard> card = TatCurrentCard(handle);
  const int kinds[4] = {kKindDriving, kKindEvent, kKindParking, kKindManual};
  int unreadable = 0;
  for (int kind : kinds) {
    if (card->Refresh(kind) < 0) {
      // Not an empty kind: its recordings are there, or may be, and could not be read.
      const std::string why = StoreErrorText(card->StoreError(kind));
      const auto path = std::filesystem::path(argv[0]) / kStoreFolder / StoreFileName(kind);
      std::printf("%s (cannot be read: %s)\n", KindWord(kind), why.c_str());
      std::fprintf(stderr, "roadkeep-tool: cannot read %s: %s\n", TerminalText(path.string()).c_str(),
                   why.c_str());
      ++unreadable;
      continue;
    }
    const std::vector<Recording> recordings = card->Recordings(kind);
    std::printf("%s (%zu)\n", KindWord(kind), recordings.size());
    for (const Recording& r : recordings) {
      const bool listed = static_cast<int32_t>(r.sizeBytes) >= kListingFloor;
      std::printf("  %-32s %10u bytes %7.1f s%s%s\n", TerminalText(r.name).c_str(), r.sizeBytes,
                  r.durationMs / 1000.0, listed ? "" : "  (below 512 KiB: not listed)",
                  r.damage.empty() ? "" : ("  (damaged: " + TerminalText(r.damage) + ")").c_str());
    }
  }
  TatRelease(handle);
  return unreadable == 0 ? 0 : 1;
}

int DumpCommand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roadkeep-tool dump DIR NAME\n");
    return 2;
  }
  const int kind = KindCodeOfName(argv[1]);
  if (kind < 0) return Fail(std::string(argv[1]) + ": not a recording name");
  std::string problem;
  TatHandle* handle = OpenCardAt(argv[0], &problem);  // the same card rule as every command
  if (handle == nullptr) return Fail(problem);
  TatRelease(handle);
  CStoreFile store;
  const auto path = std::filesystem::path(argv[0]) / kStoreFolder / StoreFileName(kind);
  if (!store.Open(path.string(), kind)) {
    return Fail("cannot read " + path.string() + ": " + StoreErrorText(store.Error()));
  }
  int found = 0;
  for (const EntryInfo& e : store.ListEntries()) {
    if (std::strcmp(e.header.name, argv[1]) != 0) continue;
    if (found++ > 0) std::printf("\n");  // each recording of the name, in store order
    const EntryHeader& h = e.header;
    const std::string name(h.name, strnlen(h.name, sizeof h.name));
    std::printf("name %s\nkind %d (%s)\nposition %lld\nsize %u\nfinished %s\n",
                TerminalText(name).c_str(), h.kindCode,
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
  }
  return found > 0 ? 0 : Fail(std::string(argv[1]) + ": no such recording on the card");
}
