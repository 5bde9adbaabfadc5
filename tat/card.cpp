#include "tat/card.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tat/recording_list.h"
#include "tat/store_reader.h"

using namespace roadkeep::tat;

namespace {

// What walking an entry's chunk headers finds: the counts, and the first and last time of
// each camera's frames.
struct ChunkWalk {
  RecordingCounts counts;
  uint32_t firstMs[2] = {}, lastMs[2] = {};
};

ChunkWalk Walk(const CStoreFile& file, const EntryInfo& e) {
  ChunkWalk w;
  for (uint32_t cursor = kEntryHeaderSize; cursor + kChunkHeaderSize <= e.chunkEnd;) {
    uint8_t bytes[kChunkHeaderSize + 1] = {};
    ChunkHeader chunk;
    if (!file.ReadAt(e.position + cursor, bytes, kChunkHeaderSize) ||
        !DecodeChunkHeader(bytes, &chunk))
      break;
    if (chunk.type == kTypeFrontVideo || chunk.type == kTypeRearVideo) {
      const int camera = chunk.type == kTypeFrontVideo ? 0 : 1;
      uint32_t& n = camera == 0 ? w.counts.front : w.counts.rear;
      if (n++ == 0) w.firstMs[camera] = chunk.timeMs;
      w.lastMs[camera] = chunk.timeMs;
    }
    if (chunk.type == kTypeAudio) ++w.counts.audio;
    if (chunk.type == kTypeText && chunk.size > 0 &&
        file.ReadAt(e.position + cursor + kChunkHeaderSize, bytes + kChunkHeaderSize, 1)) {
      if (bytes[kChunkHeaderSize] == 'G') ++w.counts.gps;
      if (bytes[kChunkHeaderSize] == 'M') ++w.counts.acc;
    }
    cursor += kChunkHeaderSize + Pad4(chunk.size);
  }
  return w;
}

// A camera's frame rate from its frame times: 0 when they cannot tell (fewer than two
// frames, or all at one time).
int RateFromTimes(uint32_t frames, uint32_t firstMs, uint32_t lastMs) {
  if (frames < 2 || lastMs <= firstMs) return 0;
  const uint64_t span = lastMs - firstMs;
  return static_cast<int>((uint64_t{frames - 1} * 1000 + span / 2) / span);
}

bool RateUsable(int fps) { return fps >= 1 && fps <= kMaxFrameRate; }
bool SizeUsable(int width, int height) {
  return width >= kMinPictureSide && width <= kMaxPictureSide && height >= kMinPictureSide &&
         height <= kMaxPictureSide;
}

void AddDamage(Recording* r, const std::string& what) {
  r->damage += r->damage.empty() ? what : "; " + what;
}

Recording RecordingOf(const CStoreFile& file, const EntryInfo& e, int kindCode, int index) {
  const EntryHeader& h = e.header;
  Recording r;
  r.name.assign(h.name, strnlen(h.name, kNameSize));
  r.kindCode = kindCode;
  r.index = index;
  r.startTime = h.startTime;
  r.sizeBytes = e.size;
  r.frontFps = h.frontFps;
  r.rearFps = h.rearFps;
  r.frontWidth = h.frontWidth;
  r.frontHeight = h.frontHeight;
  r.rearWidth = h.rearWidth;
  r.rearHeight = h.rearHeight;

  // Each chunk takes at least its header, so a finished header's counts must fit its chunk
  // area; an unfinished entry has only its chunks to go by.
  const RecordingCounts stated = {h.frontFrames, h.rearFrames, h.audioChunks, h.accSamples,
                                   h.gpsSamples};
  const uint64_t chunksStated = uint64_t{stated.front} + stated.rear + stated.audio +
                                stated.acc + stated.gps;
  const bool countsFit = chunksStated * kChunkHeaderSize <= h.chunkBytes;
  const bool rearRateBad = h.rearFrames > 0 && !RateUsable(h.rearFps);
  ChunkWalk walk;
  const bool walked = !e.finished || !countsFit || !RateUsable(h.frontFps) || rearRateBad;
  if (walked) walk = Walk(file, e);
  r.counts = e.finished && countsFit ? stated : walk.counts;
  if (e.finished && !countsFit) AddDamage(&r, "impossible chunk counts, counted again");

  // A rate that cannot be is taken from the frame times; a camera without frames needs none.
  int* rates[2] = {&r.frontFps, &r.rearFps};
  const uint32_t frames[2] = {r.counts.front, r.counts.rear};
  for (int camera = 0; camera < 2; ++camera) {
    if (frames[camera] == 0 || RateUsable(*rates[camera])) continue;
    const int measured = RateFromTimes(frames[camera], walk.firstMs[camera], walk.lastMs[camera]);
    const std::string which = camera == 0 ? "front" : "rear";
    AddDamage(&r, which + " frame rate " + std::to_string(*rates[camera]));
    *rates[camera] = RateUsable(measured) ? measured : 0;
    if (*rates[camera] == 0) r.copyable = false;
  }
  if (r.counts.rear == 0) r.rearFps = 0;

  // The length is that of the front frames, for a header whose duration strays from them by
  // more than a second and a tenth.
  const uint64_t framesMs =
      r.frontFps > 0 ? uint64_t{r.counts.front} * 1000 / static_cast<uint64_t>(r.frontFps) : 0;
  r.durationMs = e.durationMs;
  const uint64_t stray = r.durationMs > framesMs ? r.durationMs - framesMs : framesMs - r.durationMs;
  if (stray > 1000 + framesMs / 10) {
    if (e.finished) AddDamage(&r, "impossible length " + std::to_string(e.durationMs) + " ms");
    r.durationMs = static_cast<uint32_t>(std::min<uint64_t>(framesMs, UINT32_MAX));
  }

  if (r.counts.front > 0 && !SizeUsable(r.frontWidth, r.frontHeight)) {
    AddDamage(&r, "front picture size " + std::to_string(r.frontWidth) + "x" +
                      std::to_string(r.frontHeight));
    r.copyable = false;
  }
  if (r.counts.rear > 0 && !SizeUsable(r.rearWidth, r.rearHeight)) {
    AddDamage(&r, "rear picture size " + std::to_string(r.rearWidth) + "x" +
                      std::to_string(r.rearHeight));
    r.copyable = false;
  }
  return r;
}

}  // namespace

struct CCard::KindList {
  std::shared_ptr<CStoreFile> file;
  std::vector<EntryInfo> entries;
  std::vector<Recording> recordings;  // made at the first asking
  int error = 0;
};

CRecordingReader::CRecordingReader(std::shared_ptr<const CStoreFile> file,
                                   const EntryInfo& entry, Recording recording)
    : m_recording(std::move(recording)) {
  if (!file->ReadAt(entry.position, m_header, sizeof m_header)) {
    std::memset(m_header, 0, sizeof m_header);
  }
  m_cursor = std::make_unique<CEntryCursor>(std::move(file), entry);
}

CRecordingReader::~CRecordingReader() = default;

CRecordingReader::Result CRecordingReader::Read(uint8_t* camera, uint8_t* type, uint8_t* key,
                                                int* size, void* buffer, int capacity) {
  return static_cast<Result>(m_cursor->Read(camera, type, key, size, buffer, capacity));
}

CRecordingReader::Result CRecordingReader::ReadMany(uint8_t* buffer, int capacity,
                                                    TatChunkRef* refs, int maxRefs, int* count) {
  return static_cast<Result>(m_cursor->ReadMany(buffer, capacity, refs, maxRefs, count));
}

CRecordingReader::Result CRecordingReader::ReadText(uint32_t* timeMs, int* size, void* buffer,
                                                    int capacity) {
  return static_cast<Result>(m_cursor->ReadText(timeMs, size, buffer, capacity));
}

void CRecordingReader::SeekBack(int64_t back) {
  const int64_t total = m_recording.counts.front / kFramesPerUnit;
  m_cursor->SeekUnit(total - back);
}

CCard::CCard(std::string root) : m_root(std::move(root)) {}
CCard::~CCard() = default;

CCard::KindList* CCard::Load(int kindCode, bool refresh) {
  if (kindCode < 0 || kindCode >= kKindCount) return nullptr;
  std::unique_ptr<KindList>& slot = m_kinds[kindCode];
  if (slot && !refresh) return slot.get();
  auto list = std::make_unique<KindList>();
  auto file = std::make_shared<CStoreFile>();
  const auto path = std::filesystem::path(m_root) / kStoreFolder / StoreFileName(kindCode);
  if (file->Open(path.string(), kindCode)) {
    list->entries = file->ListEntries();
    list->file = std::move(file);
  } else if (file->Error() != ENOENT) {
    list->error = file->Error();  // a missing file is an empty kind; anything else is not
  }
  slot = std::move(list);
  return slot.get();
}

int CCard::Refresh(int kindCode) {
  std::lock_guard<std::mutex> lock(m_lock);
  const KindList* list = Load(kindCode, true);
  if (list == nullptr) return 0;
  return list->error != 0 ? -1 : static_cast<int>(list->entries.size());
}

int CCard::StoreError(int kindCode) {
  std::lock_guard<std::mutex> lock(m_lock);
  const KindList* list = Load(kindCode, false);
  return list ? list->error : 0;
}

std::vector<Recording> CCard::Recordings(int kindCode) {
  std::lock_guard<std::mutex> lock(m_lock);
  KindList* list = Load(kindCode, false);
  if (list == nullptr) return {};
  if (list->recordings.size() != list->entries.size()) {
    list->recordings.clear();
    list->recordings.reserve(list->entries.size());
    for (size_t i = 0; i < list->entries.size(); ++i) {
      list->recordings.push_back(
          RecordingOf(*list->file, list->entries[i], kindCode, static_cast<int>(i)));
    }
  }
  return list->recordings;
}

std::vector<Recording> CCard::ListedRecordings() {
  std::vector<Recording> out;
  for (int kind = 0; kind < kKindCount; ++kind) {
    for (Recording& r : Recordings(kind)) {
      // The size word is read as a signed number, as the listing always has.
      if (static_cast<int32_t>(r.sizeBytes) >= kListingFloor) out.push_back(std::move(r));
    }
  }
  return out;
}

int CCard::Find(int kindCode, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_lock);
  const KindList* list = Load(kindCode, false);
  if (list == nullptr) return -1;
  for (size_t i = 0; i < list->entries.size(); ++i) {
    if (strcasecmp(list->entries[i].header.name, name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::unique_ptr<CRecordingReader> CCard::OpenReader(int kindCode, int index) {
  std::lock_guard<std::mutex> lock(m_lock);
  const KindList* list = Load(kindCode, false);
  if (list == nullptr || index < 0 || index >= static_cast<int>(list->entries.size())) {
    return nullptr;
  }
  const EntryInfo& e = list->entries[static_cast<size_t>(index)];
  return std::make_unique<CRecordingReader>(list->file, e,
                                            RecordingOf(*list->file, e, kindCode, index));
}

int CCard::KindOfName(const std::string& name) {
  const int kind = KindCodeOfName(name);
  if (kind >= 0) return kind;
  switch (name.empty() ? '\0' : name[0]) {
    case 'R': return kKindDriving;
    case 'E': return kKindEvent;
    case 'M': return kKindManual;
    case 'P': return kKindParking;
    default: return -1;
  }
}
