#include "tat/store_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "media/byte_order.h"
#include "tat/crc32c.h"

namespace roadkeep::tat {

bool ReadVolume(const std::string& cardRoot, VolumeRecord* volume) {
  const auto path = std::filesystem::path(cardRoot) / kStoreFolder / kVolumeFile;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t bytes[kVolumeRecordSize];
  const bool ok = ::pread(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes);
  ::close(fd);
  return ok && DecodeVolume(bytes, volume);
}

CStoreFile::~CStoreFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool CStoreFile::Open(const std::string& path, int kindCode) {
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) return false;
  struct stat st;
  if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  m_size = st.st_size;
  uint8_t bytes[kStoreHeaderSize];
  StoreHeader header;
  return ReadAt(0, bytes, sizeof bytes) && DecodeStoreHeader(bytes, &header) &&
         header.kindCode == kindCode;
}

bool CStoreFile::ReadAt(int64_t position, void* buffer, size_t size) const {
  if (m_fd < 0 || position < 0 || position + static_cast<int64_t>(size) > m_size) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    const ssize_t got = ::pread(m_fd, out, size, position);
    if (got <= 0) return false;
    out += got;
    position += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

int CStoreFile::ReadAtWithExtra(int64_t position, void* buffer, size_t size, void* extra,
                                size_t extraSize) const {
  if (m_fd < 0 || position < 0 || position + static_cast<int64_t>(size) > m_size) return -1;
  extraSize = static_cast<size_t>(std::min<int64_t>(extraSize, m_size - position - static_cast<int64_t>(size)));
  iovec parts[2] = {{buffer, size}, {extra, extraSize}};
  const ssize_t got = ::preadv(m_fd, parts, 2, position);
  if (got < static_cast<ssize_t>(size)) {
    // Short read (rare): fall back to reading the payload alone.
    return ReadAt(position, buffer, size) ? 0 : -1;
  }
  return static_cast<int>(got - static_cast<ssize_t>(size));
}

bool CStoreFile::EntryAt(int64_t position, EntryInfo* info) const {
  uint8_t bytes[kEntryHeaderSize];
  if (!ReadAt(position, bytes, sizeof bytes) || !DecodeEntryHeader(bytes, &info->header))
    return false;
  info->position = position;
  const int64_t available = m_size - position;
  info->finished = (info->header.flags & kEntryFinished) && info->header.entrySize <= available;
  if (info->finished) {
    info->size = info->header.entrySize;
    info->chunkEnd = kEntryHeaderSize + info->header.chunkBytes;
  } else {
    // Being recorded when the power went, or cut short: readable up to the last sound chunk.
    const uint64_t limit = std::min<int64_t>(available, 0xFFFFFFF0);
    info->chunkEnd = ScanChunks(position, limit);
    info->size = info->chunkEnd;
  }
  return true;
}

uint32_t CStoreFile::ScanChunks(int64_t entryPosition, uint64_t limit) const {
  uint64_t cursor = kEntryHeaderSize;
  for (;;) {
    uint8_t bytes[kChunkHeaderSize];
    ChunkHeader chunk;
    if (cursor + kChunkHeaderSize > limit) break;
    if (!ReadAt(entryPosition + static_cast<int64_t>(cursor), bytes, sizeof bytes)) break;
    if (!DecodeChunkHeader(bytes, &chunk)) break;
    const uint64_t next = cursor + kChunkHeaderSize + Pad4(chunk.size);
    if (next > limit) break;
    cursor = next;
  }
  return static_cast<uint32_t>(cursor);
}

std::vector<EntryInfo> CStoreFile::ListEntries() const {
  std::vector<EntryInfo> entries;
  int64_t position = kStoreHeaderSize;
  while (position >= 0 && position + kEntryHeaderSize <= m_size) {
    EntryInfo info;
    if (EntryAt(position, &info)) {
      entries.push_back(info);
      position = info.position + ((static_cast<int64_t>(info.size) + 3) & ~int64_t{3});
    } else {
      position = FindNextEntry(position + 4);
    }
  }
  return entries;
}

// Searches 4-byte aligned positions from `from` for a sound entry header; -1 when none.
int64_t CStoreFile::FindNextEntry(int64_t from) const {
  constexpr size_t kBlock = 1 << 20;
  std::vector<uint8_t> block;
  for (int64_t base = (from + 3) & ~int64_t{3}; base + kEntryHeaderSize <= m_size;
       base += kBlock) {
    block.resize(static_cast<size_t>(std::min<int64_t>(kBlock + 3, m_size - base)));
    const size_t n = static_cast<size_t>(std::min<int64_t>(kBlock + 3, m_size - base));
    if (!ReadAt(base, block.data(), n)) return -1;
    for (size_t i = 0; i + 3 <= n && i < kBlock; i += 4) {
      if (block[i] != 'T' || block[i + 1] != 'E' || block[i + 2] != kFormatVersion) continue;
      EntryInfo info;
      if (EntryAt(base + static_cast<int64_t>(i), &info)) return base + static_cast<int64_t>(i);
    }
  }
  return -1;
}

CEntryCursor::CEntryCursor(std::shared_ptr<const CStoreFile> file, const EntryInfo& entry)
    : m_file(std::move(file)), m_entry(entry), m_cursor(kEntryHeaderSize) {}

CEntryCursor::Result CEntryCursor::Read(uint8_t* camera, uint8_t* type, uint8_t* key,
                                        int* size, void* buffer, int capacity) {
  if (m_ended) return kEnd;
  if (m_cursor + kChunkHeaderSize > m_entry.chunkEnd) {
    m_ended = true;
    return kEnd;
  }
  uint8_t bytes[kChunkHeaderSize];
  if (m_haveNext) {
    std::memcpy(bytes, m_next, sizeof bytes);
  } else if (!m_file->ReadAt(m_entry.position + m_cursor, bytes, sizeof bytes)) {
    m_ended = true;
    return kError;
  }
  ChunkHeader chunk;
  if (!DecodeChunkHeader(bytes, &chunk) || capacity < 0 ||
      chunk.size > static_cast<uint32_t>(capacity) || (chunk.size > 0 && buffer == nullptr) ||
      uint64_t{m_cursor} + kChunkHeaderSize + Pad4(chunk.size) > m_entry.chunkEnd) {
    m_ended = true;
    return kError;
  }
  // The payload, its padding and the next chunk's header in one read.
  const uint32_t next = m_cursor + kChunkHeaderSize + Pad4(chunk.size);
  uint8_t tail[3 + kChunkHeaderSize];
  const uint32_t pad = Pad4(chunk.size) - chunk.size;
  const size_t wanted = next + kChunkHeaderSize <= m_entry.chunkEnd ? pad + kChunkHeaderSize : 0;
  const int extra = m_file->ReadAtWithExtra(m_entry.position + m_cursor + kChunkHeaderSize,
                                            buffer, chunk.size, tail, wanted);
  if (extra < 0 || ChunkCrc(bytes, buffer, chunk.size) != chunk.crc) {
    m_ended = true;
    return kError;
  }
  m_haveNext = wanted > 0 && static_cast<size_t>(extra) == wanted;
  if (m_haveNext) std::memcpy(m_next, tail + pad, kChunkHeaderSize);
  m_cursor = next;
  *camera = chunk.camera;
  *type = chunk.type;
  *key = chunk.key;
  *size = static_cast<int>(chunk.size);
  return kOk;
}

void CEntryCursor::LoadSeekTable() {
  m_tableLoaded = true;
  m_seekTable.clear();
  const EntryHeader& h = m_entry.header;
  if (m_entry.finished && h.seekUnits > 0) {
    std::vector<uint8_t> table(12 + 4 * static_cast<size_t>(h.seekUnits));
    bool ok = m_file->ReadAt(m_entry.position + h.seekOffset, table.data(), table.size()) &&
              std::memcmp(table.data(), "SEEK", 4) == 0 && GetU32(table.data() + 4) == h.seekUnits &&
              GetU32(table.data() + table.size() - 4) == Crc32c(0, table.data(), table.size() - 4);
    for (uint32_t i = 0; ok && i < h.seekUnits; ++i) {
      const uint32_t offset = GetU32(table.data() + 8 + 4 * i);
      ok = offset >= kEntryHeaderSize && offset < m_entry.chunkEnd &&
           (m_seekTable.empty() || offset > m_seekTable.back());
      m_seekTable.push_back(offset);
    }
    if (ok) return;
    m_seekTable.clear();
  }
  // No usable table (recording cut short, or a damaged table): find the unit starts from
  // the chunk headers.
  uint32_t cursor = kEntryHeaderSize;
  uint32_t frontFrames = 0;
  while (cursor + kChunkHeaderSize <= m_entry.chunkEnd) {
    uint8_t bytes[kChunkHeaderSize];
    ChunkHeader chunk;
    if (!m_file->ReadAt(m_entry.position + cursor, bytes, sizeof bytes) ||
        !DecodeChunkHeader(bytes, &chunk))
      break;
    if (chunk.type == kTypeFrontVideo) {
      if (chunk.key && frontFrames % kFramesPerUnit == 0) m_seekTable.push_back(cursor);
      ++frontFrames;
    }
    cursor += kChunkHeaderSize + Pad4(chunk.size);
  }
}

int CEntryCursor::UnitCount() {
  if (!m_tableLoaded) LoadSeekTable();
  return static_cast<int>(m_seekTable.size());
}

void CEntryCursor::SeekUnit(int64_t unit) {
  if (!m_tableLoaded) LoadSeekTable();
  m_ended = false;
  m_haveNext = false;
  if (m_seekTable.empty()) {
    m_cursor = kEntryHeaderSize;
    return;
  }
  unit = std::clamp<int64_t>(unit, 0, static_cast<int64_t>(m_seekTable.size()) - 1);
  m_cursor = m_seekTable[static_cast<size_t>(unit)];
  m_haveNext = false;
}

}  // namespace roadkeep::tat
