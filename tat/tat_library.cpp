#include "tat/tat_library.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/removable_drives.h"
#include "tat/store_reader.h"

using namespace roadkeep::tat;

namespace {

struct KindList {
  std::shared_ptr<CStoreFile> file;
  std::vector<EntryInfo> entries;
  bool loaded = false;
  int error = 0;  // why a store file that is there could not be read (errno, EINVAL)
};

struct Counts {
  uint32_t front = 0, rear = 0, audio = 0, acc = 0, gps = 0;
};

}  // namespace

struct TatHandle {
  // Guarded by cardLock. Lock order: cardLock, then readLock.
  std::mutex cardLock;
  TatDeviceInfo info{};
  std::string cardRoot;
  uint64_t cardId = 0;
  char letter = 0;
  char lastLetter = 'C';
  KindList kinds[kKindCount];

  // Guarded by readLock: the selected recording.
  std::mutex readLock;
  std::unique_ptr<CEntryCursor> cursor;
  uint32_t selectedFrontFrames = 0;
};

namespace {

void ForgetCard(TatHandle* h) {
  for (KindList& k : h->kinds) k = KindList{};
}

// REQUIRES: cardLock held.
KindList* LoadKind(TatHandle* h, int kind, bool refresh) {
  if (kind < 0 || kind >= kKindCount || h->letter == 0) return nullptr;
  KindList& list = h->kinds[kind];
  if (list.loaded && !refresh) return &list;
  list = KindList{};
  list.loaded = true;
  auto file = std::make_shared<CStoreFile>();
  const auto path = std::filesystem::path(h->cardRoot) / kStoreFolder / StoreFileName(kind);
  if (file->Open(path.string(), kind)) {
    list.entries = file->ListEntries();
    list.file = std::move(file);
  } else if (file->Error() != ENOENT) {
    list.error = file->Error();  // a missing file is an empty kind; anything else is not
  }
  return &list;
}

// Kind of a name: its kind word, else its first letter as the parser reads it.
int KindOf(const char* name) {
  if (name == nullptr) return -1;
  const int kind = KindCodeOfName(name);
  if (kind >= 0) return kind;
  switch (name[0]) {
    case 'R': return kKindDriving;
    case 'E': return kKindEvent;
    case 'M': return kKindManual;
    case 'P': return kKindParking;
    default: return -1;
  }
}

int FindName(const KindList& list, const char* name) {
  for (size_t i = 0; i < list.entries.size(); ++i) {
    if (strcasecmp(list.entries[i].header.name, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

// Chunk counts: from the header of a finished entry, by walking the chunks otherwise.
Counts CountsOf(const CStoreFile& file, const EntryInfo& e) {
  Counts c;
  if (e.finished) {
    const EntryHeader& h = e.header;
    return {h.frontFrames, h.rearFrames, h.audioChunks, h.accSamples, h.gpsSamples};
  }
  for (uint32_t cursor = kEntryHeaderSize; cursor + kChunkHeaderSize <= e.chunkEnd;) {
    uint8_t bytes[kChunkHeaderSize + 1] = {};
    ChunkHeader chunk;
    if (!file.ReadAt(e.position + cursor, bytes, kChunkHeaderSize) ||
        !DecodeChunkHeader(bytes, &chunk))
      break;
    if (chunk.type == kTypeFrontVideo) ++c.front;
    if (chunk.type == kTypeRearVideo) ++c.rear;
    if (chunk.type == kTypeAudio) ++c.audio;
    if (chunk.type == kTypeText && chunk.size > 0 &&
        file.ReadAt(e.position + cursor + kChunkHeaderSize, bytes + kChunkHeaderSize, 1)) {
      if (bytes[kChunkHeaderSize] == 'G') ++c.gps;
      if (bytes[kChunkHeaderSize] == 'M') ++c.acc;
    }
    cursor += kChunkHeaderSize + Pad4(chunk.size);
  }
  return c;
}

int OpenEntry(TatHandle* h, int kind, int index, uint8_t* header, uint32_t counts[2],
              char* stats) {
  if (header) std::memset(header, 0, kTatHeaderSize);
  if (counts) counts[0] = counts[1] = 0;
  if (stats) std::memset(stats, 0, kTatStatsSize);
  std::lock_guard<std::mutex> lock(h->cardLock);
  KindList* list = LoadKind(h, kind, false);
  if (list == nullptr || index < 0 || index >= static_cast<int>(list->entries.size())) return 0;
  const EntryInfo& e = list->entries[static_cast<size_t>(index)];
  if (header && !list->file->ReadAt(e.position, header, kTatHeaderSize)) return 0;
  const Counts c = CountsOf(*list->file, e);
  if (counts) {
    counts[0] = std::min<uint32_t>(c.front, 0xFFFF);
    counts[1] = std::min<uint32_t>(c.rear, 0xFFFF);
  }
  if (stats) {
    std::snprintf(stats, kTatStatsSize, "cntVideo0=%u; cntVideo1=%u; cntAudio=%u; cntACC=%u; cntGPS=%u",
                  c.front, c.rear, c.audio, c.acc, c.gps);
  }
  return 1;
}

void CopyText(const char* field, size_t size, const char* fallback, std::string* out) {
  const std::string text(field, strnlen(field, size));
  *out = text.empty() ? fallback : text;
}

}  // namespace

TatHandle* TatCreate() { return new TatHandle(); }

void TatConfigure(TatHandle* handle, TatDeviceInfo info) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  handle->info = info;
}

void TatRelease(TatHandle* handle) { delete handle; }

void TatPollCard(TatHandle* handle, char* letter) {
  if (handle == nullptr || letter == nullptr) return;
  std::string root;
  VolumeRecord volume;
  for (const std::string& candidate : roadkeep::platform::RemovableVolumes()) {
    if (ReadVolume(candidate, &volume)) {
      root = candidate;
      break;
    }
  }
  std::lock_guard<std::mutex> lock(handle->cardLock);
  if (root.empty()) {
    handle->letter = 0;
    handle->cardRoot.clear();
    ForgetCard(handle);
  } else if (handle->letter == 0 || root != handle->cardRoot || volume.cardId != handle->cardId) {
    // A new card, or another card in the same slot: a letter different from the last one.
    handle->lastLetter = handle->lastLetter >= 'Z' ? 'D' : static_cast<char>(handle->lastLetter + 1);
    handle->letter = handle->lastLetter;
    handle->cardRoot = root;
    handle->cardId = volume.cardId;
    ForgetCard(handle);
  }
  *letter = handle->letter;
}

void TatOnCardFound(TatHandle* handle) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  ForgetCard(handle);
}

int TatCountRecordings(TatHandle* handle, char letter, int kind) {
  if (handle == nullptr) return 0;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  if (letter == 0 || letter != handle->letter) return 0;
  const KindList* list = LoadKind(handle, kind, true);
  if (list && list->error != 0) return -1;
  return list ? static_cast<int>(list->entries.size()) : 0;
}

int TatStoreError(TatHandle* handle, char letter, int kind) {
  if (handle == nullptr) return 0;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  if (letter == 0 || letter != handle->letter) return 0;
  const KindList* list = LoadKind(handle, kind, false);
  return list ? list->error : 0;
}

int TatListRecordings(TatHandle* handle, char letter, int kind, int count, char* names,
                      uint32_t* sizes, uint32_t* extra) {
  if (handle == nullptr || count <= 0 || names == nullptr) return 0;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  if (letter == 0 || letter != handle->letter) return 0;
  const KindList* list = LoadKind(handle, kind, false);
  if (list == nullptr) return 0;
  const int n = std::min(count, static_cast<int>(list->entries.size()));
  for (int i = 0; i < n; ++i) {
    const EntryInfo& e = list->entries[static_cast<size_t>(i)];
    std::memcpy(names + kTatNameSize * i, e.header.name, kTatNameSize);
    if (sizes) {
      sizes[2 * i] = e.size;
      sizes[2 * i + 1] = e.durationMs;
    }
    if (extra) extra[i] = e.header.startTime;
  }
  return n;
}

int TatDefaultSettings(TatHandle* handle, char* text, int* length) {
  if (handle == nullptr || text == nullptr || length == nullptr) return 0;
  std::string version, model;
  {
    std::lock_guard<std::mutex> lock(handle->cardLock);
    CopyText(handle->info.version, sizeof handle->info.version, "QMVXXX-V1", &version);
    CopyText(handle->info.model, sizeof handle->info.model, "QMVXXX", &model);
  }
  const std::string lines[] = {
      "[blackbox]", "tat_update=0", "acc_level=3", "motion_level=3", "mic_in=1", "voice_out=1",
      "power_off_vlt=11800", "version=" + version.substr(0, 9), "model=" + model.substr(0, 19),
      "dim_front=hd", "[capacity]", "const=50", "event=20", "park=20", "manual=10", "[time]",
      "set=0", "year=2014", "month=3", "day=1", "hour=0", "min=0", "sec=0"};
  std::string all;
  for (const std::string& line : lines) all += line + "\r\n";
  if (static_cast<int>(all.size()) > *length) return 0;
  std::memcpy(text, all.data(), all.size());
  *length = static_cast<int>(all.size());
  return 1;
}

int TatOpenByName(TatHandle* handle, const char* name, uint8_t* header, uint32_t counts[2],
                  uint8_t*, char* stats256, uint8_t*) {
  if (handle == nullptr || name == nullptr) return 0;
  const int kind = KindOf(name);
  const int index = TatFindByName(handle, kind, name);
  return OpenEntry(handle, kind, index, header, counts, stats256);
}

int TatOpenByIndex(TatHandle* handle, const char* name, int index, uint8_t* header,
                   uint32_t counts[2], uint8_t*, char* stats256, uint8_t*) {
  if (handle == nullptr) return 0;
  return OpenEntry(handle, KindOf(name), index, header, counts, stats256);
}

int TatFindByName(TatHandle* handle, int kind, const char* name) {
  if (handle == nullptr || name == nullptr) return -1;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  const KindList* list = LoadKind(handle, kind, false);
  return list ? FindName(*list, name) : -1;
}

int TatFindByIndex(TatHandle* handle, int kind, int index) {
  if (handle == nullptr) return -1;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  const KindList* list = LoadKind(handle, kind, false);
  return list && index >= 0 && index < static_cast<int>(list->entries.size()) ? index : -1;
}

void TatSelect(TatHandle* handle, int kind, int, int position) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> cardLock(handle->cardLock);
  std::lock_guard<std::mutex> readLock(handle->readLock);
  handle->cursor.reset();
  handle->selectedFrontFrames = 0;
  const KindList* list = LoadKind(handle, kind, false);
  if (list == nullptr || position < 0 || position >= static_cast<int>(list->entries.size()))
    return;
  const EntryInfo& e = list->entries[static_cast<size_t>(position)];
  handle->cursor = std::make_unique<CEntryCursor>(list->file, e);
  handle->selectedFrontFrames = CountsOf(*list->file, e).front;
}

int TatRead(TatHandle* handle, uint8_t* camera, uint8_t* type, uint8_t* key, int* size,
            void* buffer, int* scratch) {
  if (handle == nullptr || camera == nullptr || type == nullptr || key == nullptr ||
      size == nullptr)
    return kTatError;
  if (scratch) *scratch = 0;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (!handle->cursor) return kTatEnd;
  const int capacity = *size;
  return handle->cursor->Read(camera, type, key, size, buffer, capacity);
}

int TatReadBatch(TatHandle* handle, void* buffer, int capacity, TatChunkRef* refs, int maxRefs,
                 int* count) {
  if (count == nullptr) return kTatError;
  *count = 0;
  if (handle == nullptr || refs == nullptr) return kTatError;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (!handle->cursor) return kTatEnd;
  return handle->cursor->ReadMany(static_cast<uint8_t*>(buffer), capacity, refs, maxRefs, count);
}

void TatSeek(TatHandle* handle, int a, int b) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (!handle->cursor) return;
  const int64_t total = handle->selectedFrontFrames / kFramesPerUnit;
  handle->cursor->SeekUnit(total - (static_cast<int64_t>(b) - a));
}
