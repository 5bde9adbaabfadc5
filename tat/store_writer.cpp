#include "tat/store_writer.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/byte_order.h"
#include "tat/crc32c.h"

namespace roadkeep::tat {
namespace fs = std::filesystem;

namespace {

bool WriteNewFile(const fs::path& path, const void* data, size_t size, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    *error = path.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) {
    *error = path.string() + ": write failed";
    return false;
  }
  return true;
}

}  // namespace

bool FormatCard(const std::string& cardRoot, uint64_t cardId, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  const fs::path store = fs::path(cardRoot) / kStoreFolder;
  std::error_code ec;
  fs::create_directories(store, ec);
  if (ec) {
    *error = store.string() + ": " + ec.message();
    return false;
  }
  uint8_t volume[kVolumeRecordSize];
  EncodeVolume({cardId, static_cast<uint64_t>(std::time(nullptr))}, volume);
  if (!WriteNewFile(store / kVolumeFile, volume, sizeof volume, error)) return false;
  for (int kind = 0; kind < kKindCount; ++kind) {
    const fs::path path = store / StoreFileName(kind);
    if (fs::exists(path)) continue;
    uint8_t header[kStoreHeaderSize];
    EncodeStoreHeader({kind, cardId}, header);
    if (!WriteNewFile(path, header, sizeof header, error)) return false;
  }
  return true;
}

CTatStoreWriter::~CTatStoreWriter() = default;

bool CTatStoreWriter::BeginRecording(const std::string& cardRoot, const EntryHeader& header,
                                     std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (header.kindCode >= kKindCount || header.name[0] == 0) {
    *error = "bad recording header";
    return false;
  }
  const fs::path path = fs::path(cardRoot) / kStoreFolder / StoreFileName(header.kindCode);
  m_file.reset(std::fopen(path.c_str(), "r+b"));
  if (!m_file) {
    *error = path.string() + ": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(m_file.get(), nullptr, _IOFBF, 1 << 16);
  // Entries start 4-byte aligned; a torn earlier write may have left the end unaligned.
  fseeko(m_file.get(), 0, SEEK_END);
  int64_t end = ftello(m_file.get());
  while (end % 4 != 0) {
    std::fputc(0, m_file.get());
    ++end;
  }
  m_entryPos = end;
  m_header = header;
  m_header.flags = 0;
  m_header.entrySize = m_header.chunkBytes = m_header.durationMs = 0;
  m_header.frontFrames = m_header.rearFrames = m_header.audioChunks = 0;
  m_header.gpsSamples = m_header.accSamples = m_header.seekOffset = m_header.seekUnits = 0;
  m_seekTable.clear();
  m_failed = false;
  uint8_t bytes[kEntryHeaderSize];
  EncodeEntryHeader(m_header, bytes);
  if (!Write(bytes, sizeof bytes) || std::fflush(m_file.get()) != 0) {
    *error = path.string() + ": write failed";
    m_file.reset();
    return false;
  }
  return true;
}

bool CTatStoreWriter::Write(const void* data, size_t size) {
  if (m_failed || !m_file) return false;
  if (std::fwrite(data, 1, size, m_file.get()) != size) m_failed = true;
  return !m_failed;
}

bool CTatStoreWriter::AddChunk(ChunkType type, int camera, bool key, uint32_t timeMs,
                               const void* data, uint32_t size) {
  if (!m_file || size > kMaxChunkSize || (size > 0 && data == nullptr)) return false;
  if (type == kTypeFrontVideo && key && m_header.frontFrames % kFramesPerUnit == 0) {
    m_seekTable.push_back(kEntryHeaderSize + m_header.chunkBytes);
  }
  ChunkHeader chunk{static_cast<uint8_t>(type), static_cast<uint8_t>(camera), key ? uint8_t{1} : uint8_t{0},
                    size, timeMs, 0};
  uint8_t header[kChunkHeaderSize];
  EncodeChunkHeader(chunk, header);
  PutU32(header + 12, ChunkCrc(header, data, size));
  static const uint8_t kPad[4] = {};
  if (!Write(header, sizeof header) || !Write(data, size) || !Write(kPad, Pad4(size) - size))
    return false;
  m_header.chunkBytes += kChunkHeaderSize + Pad4(size);
  const auto* bytes = static_cast<const uint8_t*>(data);
  switch (type) {
    case kTypeFrontVideo: ++m_header.frontFrames; break;
    case kTypeRearVideo: ++m_header.rearFrames; break;
    case kTypeAudio: ++m_header.audioChunks; break;
    case kTypeText:
      if (size > 0 && bytes[0] == 'G') ++m_header.gpsSamples;
      if (size > 0 && bytes[0] == 'M') ++m_header.accSamples;
      break;
  }
  return true;
}

uint32_t CTatStoreWriter::FinishRecording(uint32_t durationMs) {
  if (!m_file) return 0;
  std::vector<uint8_t> table(12 + 4 * m_seekTable.size());
  std::memcpy(table.data(), "SEEK", 4);
  PutU32(table.data() + 4, static_cast<uint32_t>(m_seekTable.size()));
  for (size_t i = 0; i < m_seekTable.size(); ++i) PutU32(table.data() + 8 + 4 * i, m_seekTable[i]);
  PutU32(table.data() + table.size() - 4, Crc32c(0, table.data(), table.size() - 4));
  m_header.seekOffset = kEntryHeaderSize + m_header.chunkBytes;
  m_header.seekUnits = static_cast<uint32_t>(m_seekTable.size());
  m_header.entrySize = m_header.seekOffset + static_cast<uint32_t>(table.size());
  m_header.durationMs = durationMs;
  m_header.flags = kEntryFinished;
  uint8_t header[kEntryHeaderSize];
  EncodeEntryHeader(m_header, header);
  bool ok = Write(table.data(), table.size()) && std::fflush(m_file.get()) == 0;
  ok = ok && fseeko(m_file.get(), m_entryPos, SEEK_SET) == 0 && Write(header, sizeof header);
  ok = std::fflush(m_file.get()) == 0 && ok;
  m_file.reset();
  return ok ? m_header.entrySize : 0;
}

void CTatStoreWriter::Abandon() {
  if (m_file) std::fflush(m_file.get());
  m_file.reset();
}

}  // namespace roadkeep::tat
