#include "tat/store_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/byte_order.h"
#include "tat/crc32c.h"

namespace roadkeep::tat {

int OpenRegularFile(const char* path, int* error) {
  // Without blocking: a FIFO in a card's place would hold an ordinary open until a writer
  // comes. Reads of a regular file never block for it.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    *error = errno;
  } else if (S_ISREG(st.st_mode)) {
    return fd;
  } else {
    *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  }
  ::close(fd);
  return -1;
}

bool ReadVolume(const std::string& cardRoot, VolumeRecord* volume, int* error) {
  int ignored = 0;
  int& why = error ? *error : ignored;
  why = 0;
  const auto path = std::filesystem::path(cardRoot) / kStoreFolder / kVolumeFile;
  const int fd = OpenRegularFile(path.c_str(), &why);
  if (fd < 0) return false;
  uint8_t bytes[kVolumeRecordSize];
  const ssize_t got = ::pread(fd, bytes, sizeof bytes, 0);
  if (got < 0) why = errno;
  ::close(fd);
  return got == static_cast<ssize_t>(sizeof bytes) && DecodeVolume(bytes, volume);
}

CStoreFile::~CStoreFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool CStoreFile::Open(const std::string& path, int kindCode) {
  m_error = 0;
  m_fd = OpenRegularFile(path.c_str(), &m_error);
  if (m_fd < 0) return false;
  struct stat st;
  if (::fstat(m_fd, &st) != 0) {
    m_error = errno;
    return false;
  }
  m_size = st.st_size;
  uint8_t bytes[kStoreHeaderSize];
  StoreHeader header;
  if (m_size >= kStoreHeaderSize && ::pread(m_fd, bytes, sizeof bytes, 0) < 0) {
    m_error = errno;
    return false;
  }
  if (!ReadAt(0, bytes, sizeof bytes) || !DecodeStoreHeader(bytes, &header) ||
      header.kindCode != kindCode) {
    m_error = EINVAL;
    return false;
  }
  return true;
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

int CStoreFile::ReadSome(int64_t position, void* buffer, size_t size) const {
  if (m_fd < 0 || position < 0 || position > m_size) return -1;
  size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), m_size - position));
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(m_fd, out + done, size - done, position + static_cast<int64_t>(done));
    if (got < 0 && done == 0) return -1;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int>(done);
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
  if (info->finished && !FinishedPartsFit(info->header)) return false;
  if (info->finished) {
    info->size = info->header.entrySize;
    info->chunkEnd = kEntryHeaderSize + info->header.chunkBytes;
    info->durationMs = info->header.durationMs;
  } else {
    // Being recorded when the power went, or cut short: readable up to the last sound
    // chunk, and as long as the front frames in it.
    const uint64_t limit = std::min<int64_t>(available, 0xFFFFFFF0);
    uint32_t frontFrames = 0;
    info->chunkEnd = ScanChunks(position, limit, &frontFrames);
    info->size = info->chunkEnd;
    const uint32_t fps = info->header.frontFps;
    info->durationMs = fps > 0 ? static_cast<uint32_t>(uint64_t{frontFrames} * 1000 / fps) : 0;
  }
  return true;
}

uint32_t CStoreFile::ScanChunks(int64_t entryPosition, uint64_t limit,
                                uint32_t* frontFrames) const {
  uint64_t cursor = kEntryHeaderSize;
  uint32_t front = 0;
  for (;;) {
    uint8_t bytes[kChunkHeaderSize];
    ChunkHeader chunk;
    if (cursor + kChunkHeaderSize > limit) break;
    if (!ReadAt(entryPosition + static_cast<int64_t>(cursor), bytes, sizeof bytes)) break;
    if (!DecodeChunkHeader(bytes, &chunk)) break;
    const uint64_t next = cursor + kChunkHeaderSize + Pad4(chunk.size);
    if (next > limit) break;
    if (chunk.type == kTypeFrontVideo) ++front;
    cursor = next;
  }
  if (frontFrames) *frontFrames = front;
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

bool CEntryCursor::FillWindow(uint32_t at, uint32_t needed) {
  if (m_window.empty()) m_window.resize(kWindowSize);
  const uint32_t size = std::min(kWindowSize, m_entry.chunkEnd - at);
  // A short read keeps what came: the chunks before a failing stretch are still delivered.
  const int got = m_file->ReadSome(m_entry.position + at, m_window.data(), size);
  m_windowStart = at;
  m_windowEnd = at + static_cast<uint32_t>(std::max(got, 0));
  return got >= 0 && static_cast<uint32_t>(got) >= needed;
}

CEntryCursor::Result CEntryCursor::Read(uint8_t* camera, uint8_t* type, uint8_t* key,
                                        int* size, void* buffer, int capacity) {
  if (m_ended) return m_failed ? kError : kEnd;
  const auto fail = [this] {
    m_ended = m_failed = true;
    return kError;
  };
  if (capacity < 0) return fail();
  for (;;) {
    if (m_cursor + kChunkHeaderSize > m_entry.chunkEnd) {
      m_ended = true;
      return kEnd;
    }
    if (!Held(m_cursor, kChunkHeaderSize) && !FillWindow(m_cursor, kChunkHeaderSize)) {
      return fail();
    }
    uint8_t bytes[kChunkHeaderSize];
    std::memcpy(bytes, m_window.data() + (m_cursor - m_windowStart), sizeof bytes);
    ChunkHeader chunk;
    if (!DecodeChunkHeader(bytes, &chunk) ||
        uint64_t{m_cursor} + kChunkHeaderSize + Pad4(chunk.size) > m_entry.chunkEnd) {
      if (!SkipDamage()) return fail();
      continue;
    }
    if (chunk.size > 0 && buffer == nullptr) return fail();
    if (chunk.size > static_cast<uint32_t>(capacity)) {
      *size = static_cast<int>(chunk.size);
      return kTooSmall;
    }
    const uint32_t payload = m_cursor + kChunkHeaderSize;
    const uint32_t payloadEnd = payload + chunk.size;
    const uint32_t next = m_cursor + kChunkHeaderSize + Pad4(chunk.size);
    auto* out = static_cast<uint8_t*>(buffer);
    if (!Held(payload, chunk.size) && chunk.size <= kSmallChunk &&
        !FillWindow(m_cursor, kChunkHeaderSize + chunk.size)) {
      return fail();
    }
    if (Held(payload, chunk.size)) {
      if (chunk.size > 0) std::memcpy(out, m_window.data() + (payload - m_windowStart), chunk.size);
    } else {
      // What the window holds of the payload, then the rest and the next chunk's header (after
      // the padding) in one read.
      const uint32_t held = m_windowEnd > payload ? m_windowEnd - payload : 0;
      if (held > 0) std::memcpy(out, m_window.data() + (payload - m_windowStart), held);
      const uint32_t behind = std::min(next + kChunkHeaderSize, m_entry.chunkEnd) - payloadEnd;
      const int extra = m_file->ReadAtWithExtra(m_entry.position + payload + held, out + held,
                                                chunk.size - held, m_window.data(), behind);
      if (extra < 0) return fail();
      m_windowStart = payloadEnd;
      m_windowEnd = payloadEnd + static_cast<uint32_t>(extra);
    }
    if (ChunkCrc(bytes, buffer, chunk.size) != chunk.crc) {
      if (!SkipDamage()) return fail();
      continue;
    }
    m_cursor = next;
    *camera = chunk.camera;
    *type = chunk.type;
    *key = chunk.key;
    *size = static_cast<int>(chunk.size);
    return kOk;
  }
}

CEntryCursor::Result CEntryCursor::ReadMany(uint8_t* buffer, int capacity, ChunkRef* refs,
                                            int maxRefs, int* count) {
  *count = 0;
  if (m_ended) return m_failed ? kError : kEnd;
  if (m_cursor + kChunkHeaderSize > m_entry.chunkEnd) {
    m_ended = true;
    return kEnd;
  }
  if (buffer == nullptr || capacity < static_cast<int>(kChunkHeaderSize) || maxRefs <= 0)
    return kOk;
  const uint32_t want =
      std::min<uint32_t>(static_cast<uint32_t>(capacity), m_entry.chunkEnd - m_cursor);
  const int got = m_file->ReadSome(m_entry.position + m_cursor, buffer, want);
  if (got < 0) {
    m_ended = m_failed = true;
    return kError;
  }
  // Whole, sound chunks only; anything else is left to Read.
  uint32_t at = 0;
  const uint32_t end = static_cast<uint32_t>(got);
  while (*count < maxRefs && at + kChunkHeaderSize <= end) {
    ChunkHeader chunk;
    if (!DecodeChunkHeader(buffer + at, &chunk)) break;
    const uint64_t next = uint64_t{at} + kChunkHeaderSize + Pad4(chunk.size);
    if (uint64_t{m_cursor} + next > m_entry.chunkEnd ||
        at + kChunkHeaderSize + uint64_t{chunk.size} > end) {
      break;
    }
    if (ChunkCrc(buffer + at, buffer + at + kChunkHeaderSize, chunk.size) != chunk.crc) break;
    refs[*count] = {static_cast<int>(at + kChunkHeaderSize), static_cast<int>(chunk.size),
                    chunk.camera, chunk.type, chunk.key};
    ++*count;
    // The padding of the last chunk in the buffer may lie past it; it is not needed.
    at = static_cast<uint32_t>(std::min<uint64_t>(next, end));
    m_cursor += static_cast<uint32_t>(kChunkHeaderSize + Pad4(chunk.size));
  }
  return kOk;
}

CEntryCursor::Result CEntryCursor::ReadText(uint32_t* timeMs, int* size, void* buffer,
                                            int capacity) {
  if (m_ended) return m_failed ? kError : kEnd;
  const auto fail = [this] {
    m_ended = m_failed = true;
    return kError;
  };
  if (capacity < 0) return fail();
  for (;;) {
    if (m_cursor + kChunkHeaderSize > m_entry.chunkEnd) {
      m_ended = true;
      return kEnd;
    }
    uint8_t bytes[kChunkHeaderSize];
    if (!m_file->ReadAt(m_entry.position + m_cursor, bytes, sizeof bytes)) return fail();
    ChunkHeader chunk;
    if (!DecodeChunkHeader(bytes, &chunk) ||
        uint64_t{m_cursor} + kChunkHeaderSize + Pad4(chunk.size) > m_entry.chunkEnd) {
      if (!SkipDamage()) return fail();
      continue;
    }
    const uint32_t next = m_cursor + kChunkHeaderSize + Pad4(chunk.size);
    if (chunk.type != kTypeText) {
      m_cursor = next;
      continue;
    }
    if (chunk.size > 0 && buffer == nullptr) return fail();
    if (chunk.size > static_cast<uint32_t>(capacity)) {
      *size = static_cast<int>(chunk.size);
      return kTooSmall;
    }
    if (!m_file->ReadAt(m_entry.position + m_cursor + kChunkHeaderSize, buffer, chunk.size)) {
      return fail();
    }
    if (ChunkCrc(bytes, buffer, chunk.size) != chunk.crc) {
      if (!SkipDamage()) return fail();
      continue;
    }
    m_cursor = next;
    *timeMs = chunk.timeMs;
    *size = static_cast<int>(chunk.size);
    return kOk;
  }
}

bool CEntryCursor::ChunkSoundAt(uint32_t at, bool* ioError) {
  m_scratch.resize(kMaxChunkSize);
  uint8_t* buffer = m_scratch.data();
  uint8_t bytes[kChunkHeaderSize];
  ChunkHeader chunk;
  if (!m_file->ReadAt(m_entry.position + at, bytes, sizeof bytes)) {
    *ioError = true;
    return false;
  }
  if (!DecodeChunkHeader(bytes, &chunk) || chunk.size > kMaxChunkSize ||
      uint64_t{at} + kChunkHeaderSize + Pad4(chunk.size) > m_entry.chunkEnd) {
    return false;
  }
  if (!m_file->ReadAt(m_entry.position + at + kChunkHeaderSize, buffer, chunk.size)) {
    *ioError = true;
    return false;
  }
  return ChunkCrc(bytes, buffer, chunk.size) == chunk.crc;
}

bool CEntryCursor::SkipDamage() {
  ++m_damaged;
  if (!m_tableLoaded) LoadSeekTable();
  // Search no further than the next unit start: the recorder began a unit there, so even a
  // damaged size field cannot hide more than the rest of one unit.
  uint32_t limit = m_entry.chunkEnd;
  const auto unit = std::upper_bound(m_seekTable.begin(), m_seekTable.end(), m_cursor);
  if (unit != m_seekTable.end()) limit = std::min(limit, *unit);
  // Candidates are 4-byte aligned; their headers are checked in memory a block at a time,
  // and only a header that passes is read on to its checksum.
  constexpr uint32_t kBlock = 64 * 1024;
  std::vector<uint8_t> block;
  for (uint32_t base = m_cursor + 4; base + kChunkHeaderSize <= limit; base += kBlock) {
    const uint32_t n = std::min<uint32_t>(kBlock + kChunkHeaderSize - 4, limit - base);
    block.resize(n);
    if (!m_file->ReadAt(m_entry.position + base, block.data(), n)) return false;
    for (uint32_t i = 0; i + kChunkHeaderSize <= n && i < kBlock; i += 4) {
      ChunkHeader chunk;
      if (!DecodeChunkHeader(block.data() + i, &chunk)) continue;
      bool ioError = false;
      if (ChunkSoundAt(base + i, &ioError)) {
        m_cursor = base + i;
        return true;
      }
      if (ioError) return false;
    }
  }
  m_cursor = limit;
  return true;
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
  m_ended = m_failed = false;
  if (m_seekTable.empty()) {
    m_cursor = kEntryHeaderSize;
    return;
  }
  unit = std::clamp<int64_t>(unit, 0, static_cast<int64_t>(m_seekTable.size()) - 1);
  m_cursor = m_seekTable[static_cast<size_t>(unit)];
}

}  // namespace roadkeep::tat
