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

RecordingCounts CountsOf(const CStoreFile& file, const EntryInfo& e) {
  if (e.finished) {
    const EntryHeader& h = e.header;
    return {h.frontFrames, h.rearFrames, h.audioChunks, h.accSamples, h.gpsSamples};
  }
  RecordingCounts c;
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

Recording RecordingOf(const CStoreFile& file, const EntryInfo& e, int kindCode, int index) {
  Recording r;
  r.name.assign(e.header.name, strnlen(e.header.name, kNameSize));
  r.kindCode = kindCode;
  r.index = index;
  r.startTime = e.header.startTime;
  r.durationMs = e.durationMs;
  r.sizeBytes = e.size;
  r.frontFps = e.header.frontFps;
  r.rearFps = e.header.rearFps;
  r.counts = CountsOf(file, e);
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
