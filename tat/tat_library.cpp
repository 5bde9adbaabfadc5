#include "tat/tat_library.h"


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
#include "tat/card.h"
#include "tat/store_reader.h"

using namespace roadkeep::tat;

struct TatHandle {
  // Guarded by cardLock. Lock order: cardLock, then readLock.
  std::mutex cardLock;
  TatDeviceInfo info{};
  std::string cardRoot;
  uint64_t cardId = 0;
  char letter = 0;
  char lastLetter = 'C';
  std::shared_ptr<CCard> card;  // null without a card
  // The other cards present at the last poll, in the order found (each kept while there).
  std::vector<std::pair<TatVolume, std::shared_ptr<CCard>>> others;

  // Guarded by readLock: the selected recording.
  std::mutex readLock;
  std::unique_ptr<CRecordingReader> reader;
};

namespace {

// The card of letter, or null when it is not the current one.
std::shared_ptr<CCard> CardOf(TatHandle* h, char letter) {
  std::lock_guard<std::mutex> lock(h->cardLock);
  if (letter == 0 || letter != h->letter) return nullptr;
  return h->card;
}

std::shared_ptr<CCard> CurrentCard(TatHandle* h) {
  std::lock_guard<std::mutex> lock(h->cardLock);
  return h->card;
}

int OpenEntry(TatHandle* h, int kind, int index, uint8_t* header, uint32_t counts[2],
              char* stats) {
  if (header) std::memset(header, 0, kTatHeaderSize);
  if (counts) counts[0] = counts[1] = 0;
  if (stats) std::memset(stats, 0, kTatStatsSize);
  const std::shared_ptr<CCard> card = CurrentCard(h);
  const std::unique_ptr<CRecordingReader> reader = card ? card->OpenReader(kind, index) : nullptr;
  if (!reader) return 0;
  if (header) std::memcpy(header, reader->Header(), kTatHeaderSize);
  const RecordingCounts& c = reader->Info().counts;
  if (counts) {
    counts[0] = std::min<uint32_t>(c.front, 0xFFFF);
    counts[1] = std::min<uint32_t>(c.rear, 0xFFFF);
  }
  if (stats) std::snprintf(stats, kTatStatsSize, "%s", StatisticsText(c).c_str());
  return 1;
}

void CopyText(const char* field, size_t size, const char* fallback, std::string* out) {
  const std::string text(field, strnlen(field, size));
  *out = text.empty() ? fallback : text;
}

}  // namespace

std::string StatisticsText(const RecordingCounts& c) {
  char text[kTatStatsSize];
  std::snprintf(text, sizeof text, "cntVideo0=%u; cntVideo1=%u; cntAudio=%u; cntACC=%u; cntGPS=%u",
                c.front, c.rear, c.audio, c.acc, c.gps);
  return text;
}

std::shared_ptr<CCard> TatCurrentCard(TatHandle* handle) {
  return handle ? CurrentCard(handle) : nullptr;
}

TatHandle* TatCreate() { return new TatHandle(); }

void TatConfigure(TatHandle* handle, TatDeviceInfo info) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  handle->info = info;
}

void TatRelease(TatHandle* handle) { delete handle; }

void TatPollCard(TatHandle* handle, char* letter) {
  if (handle == nullptr || letter == nullptr) return;
  TatPollFound(handle, TatFindCards(roadkeep::platform::RemovableVolumes()), letter);
}

std::vector<TatVolume> TatFindCards(const std::vector<std::string>& candidates) {
  std::vector<TatVolume> cards;
  for (const std::string& candidate : candidates) {
    VolumeRecord volume;
    if (ReadVolume(candidate, &volume)) cards.push_back({candidate, volume.cardId});
  }
  return cards;
}

namespace {

bool HoldsCard(const std::filesystem::path& folder) {
  VolumeRecord volume;
  return ReadVolume(folder.string(), &volume);
}

// The first folder below `folder`, `depth` levels down at most, that holds a card; the
// folders of one level in name order, at most kMaxLooked of them, links not followed.
std::string FindCardBelow(const std::filesystem::path& folder, int depth) {
  constexpr int kMaxLooked = 256;
  if (depth == 0) return {};
  std::error_code error;
  std::vector<std::filesystem::path> children;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) children.push_back(it->path());
    if (children.size() >= kMaxLooked) break;
  }
  std::sort(children.begin(), children.end());
  for (const auto& child : children) {
    if (HoldsCard(child)) return child.string();
  }
  for (const auto& child : children) {
    std::string below = FindCardBelow(child, depth - 1);
    if (!below.empty()) return below;
  }
  return {};
}

}  // namespace

std::string TatFindCardFolder(const std::string& path, bool lookBelow) {
  std::error_code error;
  std::filesystem::path given = std::filesystem::absolute(path, error).lexically_normal();
  if (!given.has_filename()) given = given.parent_path();  // a trailing slash
  if (error || !std::filesystem::is_directory(given, error)) return {};
  for (std::filesystem::path at = given;; at = at.parent_path()) {
    if (HoldsCard(at)) return at.string();
    if (at == at.parent_path()) break;
  }
  return lookBelow ? FindCardBelow(given, 2) : std::string();
}

void TatPollFound(TatHandle* handle, const std::vector<TatVolume>& cards, char* letter) {
  if (handle == nullptr || letter == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  // The card in use stays while it is there: a second card never takes over from it.
  const TatVolume* chosen = cards.empty() ? nullptr : &cards.front();
  for (const TatVolume& card : cards) {
    if (card.root == handle->cardRoot && card.cardId == handle->cardId) chosen = &card;
  }
  if (chosen == nullptr) {
    handle->letter = 0;
    handle->cardRoot.clear();
    handle->card.reset();
  } else if (handle->letter == 0 || chosen->root != handle->cardRoot ||
             chosen->cardId != handle->cardId) {
    // A new card, or another card in the same slot: a letter different from the last one.
    handle->lastLetter = handle->lastLetter >= 'Z' ? 'D' : static_cast<char>(handle->lastLetter + 1);
    handle->letter = handle->lastLetter;
    handle->cardRoot = chosen->root;
    handle->cardId = chosen->cardId;
    handle->card = std::make_shared<CCard>(chosen->root);
  }
  // The others, each card object kept while its card stays (it holds what was read of it).
  std::vector<std::pair<TatVolume, std::shared_ptr<CCard>>> others;
  for (const TatVolume& card : cards) {
    if (&card == chosen) continue;
    std::shared_ptr<CCard> kept;
    for (const auto& [volume, open] : handle->others) {
      if (volume.root == card.root && volume.cardId == card.cardId) kept = open;
    }
    others.emplace_back(card, kept ? kept : std::make_shared<CCard>(card.root));
  }
  handle->others = std::move(others);
  *letter = handle->letter;
}

std::vector<std::shared_ptr<CCard>> TatOtherCards(TatHandle* handle) {
  std::vector<std::shared_ptr<CCard>> cards;
  if (handle == nullptr) return cards;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  for (const auto& other : handle->others) cards.push_back(other.second);
  return cards;
}

std::shared_ptr<CCard> TatCardAt(TatHandle* handle, const std::string& root) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  if (handle->card && handle->cardRoot == root) return handle->card;
  for (const auto& other : handle->others) {
    if (other.first.root == root) return other.second;
  }
  return nullptr;
}

void TatOnCardFound(TatHandle* handle) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->cardLock);
  // Readers already open keep the card they read.
  if (handle->card) handle->card = std::make_shared<CCard>(handle->cardRoot);
}

int TatCountRecordings(TatHandle* handle, char letter, int kind) {
  if (handle == nullptr) return 0;
  const std::shared_ptr<CCard> card = CardOf(handle, letter);
  return card ? card->Refresh(kind) : 0;
}

int TatStoreError(TatHandle* handle, char letter, int kind) {
  if (handle == nullptr) return 0;
  const std::shared_ptr<CCard> card = CardOf(handle, letter);
  return card ? card->StoreError(kind) : 0;
}

int TatListRecordings(TatHandle* handle, char letter, int kind, int count, char* names,
                      uint32_t* sizes, uint32_t* extra) {
  if (handle == nullptr || count <= 0 || names == nullptr) return 0;
  const std::shared_ptr<CCard> card = CardOf(handle, letter);
  if (!card) return 0;
  const std::vector<Recording> list = card->Recordings(kind);
  const int n = std::min(count, static_cast<int>(list.size()));
  for (int i = 0; i < n; ++i) {
    const Recording& r = list[static_cast<size_t>(i)];
    char* name = names + kTatNameSize * i;
    std::memset(name, 0, kTatNameSize);
    std::memcpy(name, r.name.data(), std::min<size_t>(r.name.size(), kTatNameSize - 1));
    if (sizes) {
      sizes[2 * i] = r.sizeBytes;
      sizes[2 * i + 1] = r.durationMs;
    }
    if (extra) extra[i] = r.startTime;
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
  const int kind = CCard::KindOfName(name);
  const int index = TatFindByName(handle, kind, name);
  return OpenEntry(handle, kind, index, header, counts, stats256);
}

int TatOpenByIndex(TatHandle* handle, const char* name, int index, uint8_t* header,
                   uint32_t counts[2], uint8_t*, char* stats256, uint8_t*) {
  if (handle == nullptr) return 0;
  return OpenEntry(handle, CCard::KindOfName(name ? name : ""), index, header, counts, stats256);
}

int TatFindByName(TatHandle* handle, int kind, const char* name) {
  if (handle == nullptr || name == nullptr) return -1;
  const std::shared_ptr<CCard> card = CurrentCard(handle);
  return card ? card->Find(kind, name) : -1;
}

int TatFindByIndex(TatHandle* handle, int kind, int index) {
  if (handle == nullptr) return -1;
  const std::shared_ptr<CCard> card = CurrentCard(handle);
  if (!card || index < 0) return -1;
  return index < static_cast<int>(card->Recordings(kind).size()) ? index : -1;
}

void TatSelect(TatHandle* handle, int kind, int, int position) {
  if (handle == nullptr) return;
  const std::shared_ptr<CCard> card = CurrentCard(handle);
  std::unique_ptr<CRecordingReader> reader = card ? card->OpenReader(kind, position) : nullptr;
  std::lock_guard<std::mutex> readLock(handle->readLock);
  handle->reader = std::move(reader);
}

int TatRead(TatHandle* handle, uint8_t* camera, uint8_t* type, uint8_t* key, int* size,
            void* buffer, int* scratch) {
  if (handle == nullptr || camera == nullptr || type == nullptr || key == nullptr ||
      size == nullptr)
    return kTatError;
  if (scratch) *scratch = 0;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (!handle->reader) return kTatEnd;
  const int capacity = *size;
  return handle->reader->Read(camera, type, key, size, buffer, capacity);
}

int TatReadBatch(TatHandle* handle, void* buffer, int capacity, TatChunkRef* refs, int maxRefs,
                 int* count) {
  if (count == nullptr) return kTatError;
  *count = 0;
  if (handle == nullptr || refs == nullptr) return kTatError;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (!handle->reader) return kTatEnd;
  return handle->reader->ReadMany(static_cast<uint8_t*>(buffer), capacity, refs, maxRefs, count);
}

void TatSeek(TatHandle* handle, int a, int b) {
  if (handle == nullptr) return;
  std::lock_guard<std::mutex> lock(handle->readLock);
  if (handle->reader) handle->reader->SeekBack(static_cast<int64_t>(b) - a);
}
