#include "containers/avi_writer.h"

#include <cstring>

#include "containers/file_system.h"
#include "concurrency/trace.h"
#include "platform/byte_order.h"

using roadkeep::PutU16;
using roadkeep::PutU32;
using roadkeep::Trace;

namespace {

constexpr int64_t kMaxFileSize = 0x7FFFFFFF;  // positions must fit the 31-bit frame index

const char* const kDualIds[5] = {"00dc", "01dc", "02wb", "03tx", "04tx"};
const char* const kSingleIds[5] = {"00dc", "00dc", "01wb", "02tx", "03tx"};

// Appends little-endian fields to a byte vector.
class HeaderBuilder {
 public:
  explicit HeaderBuilder(std::vector<uint8_t>& out) : m_out(out) {}
  void Code(const char* code) { std::memcpy(Grow(4), code, 4); }
  void U32(uint32_t v) { PutU32(Grow(4), v); }
  void U16(uint16_t v) { PutU16(Grow(2), v); }

 private:
  uint8_t* Grow(size_t n) {
    m_out.resize(m_out.size() + n);
    return m_out.data() + m_out.size() - n;
  }
  std::vector<uint8_t>& m_out;
};

}  // namespace

CAVIWriter::CAVIWriter(std::unique_ptr<VFileSystem> file) : m_file(std::move(file)) {
  if (!m_file) m_file = std::make_unique<CFSNormal>();
  SetDualVideo(false);
}

CAVIWriter::~CAVIWriter() = default;

void CAVIWriter::SetDualVideo(bool dual) {
  m_dual = dual;
  const char* const* ids = dual ? kDualIds : kSingleIds;
  for (int i = 0; i < 5; ++i) std::memcpy(m_slots[i].id, ids[i], 4);
}

void CAVIWriter::SetVideoSize(int stream, int width, int height) {
  if (stream != 0 && stream != 1) return;
  m_width[stream] = width;
  m_height[stream] = height;
}

void CAVIWriter::SetFrameRate(int stream, int fps) {
  if (stream != 0 && stream != 1) return;
  m_fps[stream] = fps;
}

void CAVIWriter::SetAudioRate(int rate) { m_audioRate = rate; }

int CAVIWriter::HeaderListValue() const { return (m_dual ? 404 : 280) + (m_hasAudio ? 100 : 0); }

bool CAVIWriter::Open(const char* path) {
  if (!m_file->OpenFile(path, "wb")) return false;
  m_headerList = HeaderListValue();
  m_fpsInUse[0] = m_fps[0];
  m_fpsInUse[1] = m_dual ? m_fps[1] : 0;
  for (StreamSlot& slot : m_slots) slot.bytes = slot.chunks = slot.reserved = 0;
  m_index.clear();
  m_moviBytes = 0;
  m_chunkCount = 0;
  m_nextOffset = 4;
  const std::vector<uint8_t> header = BuildHeader(0, 0, false);
  m_file->WriteBytes(header.data(), static_cast<int>(header.size()));
  return true;
}

int64_t CAVIWriter::ProjectedFileSize(int64_t extraPadded) const {
  const int64_t chunks = static_cast<int64_t>(m_chunkCount) + 1;
  return 36 + static_cast<int64_t>(m_headerList) + m_moviBytes + extraPadded + 24 * chunks;
}

bool CAVIWriter::AddData(const void* data, int size, int slot) {
  if (!m_file->IsOpen()) {
    Trace(roadkeep::kTraceContainer, "[CAVIWriter] AddData : File is already closed\n");
    return false;
  }
  if (slot < 0 || slot > 3 || size < 0 || (size > 0 && data == nullptr)) return false;
  const int64_t padded = (static_cast<int64_t>(size) + 1) / 2 * 2;
  if (ProjectedFileSize(padded) > kMaxFileSize) {
    Trace(roadkeep::kTraceContainer, "[CAVIWriter] AddData : file would exceed the 32-bit index\n");
    return false;
  }
  StreamSlot& stream = m_slots[slot];
  uint8_t header[8];
  std::memcpy(header, stream.id, 4);
  PutU32(header + 4, static_cast<uint32_t>(size));
  m_file->WriteBytes(header, 8);
  stream.chunks += 1;
  stream.bytes += static_cast<int32_t>(padded);

  int written = m_file->WriteBytes(data, size);
  if (padded != size) {
    const uint8_t pad = 0;
    written += m_file->WriteBytes(&pad, 1);
  }
  if (written != padded) {
    Trace(roadkeep::kTraceContainer, "CAVIWriter::AddDataBody error %d != %d\n", written, static_cast<int>(padded));
    return false;
  }
  m_index.push_back({slot, m_nextOffset, static_cast<int32_t>(padded)});
  m_moviBytes += static_cast<int32_t>(padded);
  m_chunkCount += 1;
  m_nextOffset += static_cast<int32_t>(padded) + 8;
  return true;
}

int CAVIWriter::Close() {
  if (!m_file->IsOpen()) return 0;
  std::vector<uint8_t> index;
  index.reserve(8 + 16 * m_index.size());
  HeaderBuilder out(index);
  out.Code("idx1");
  out.U32(static_cast<uint32_t>(16 * m_index.size()));
  for (const IndexEntry& entry : m_index) {
    if (entry.slot < 0 || entry.slot > 4) {
      Trace(roadkeep::kTraceContainer, "Critical Error !!!!!!!!!!!!!!!!!!!!!!!!!!!!\n");
      continue;
    }
    out.Code(m_slots[entry.slot].id);
    out.U32(16);  // key frame
    out.U32(static_cast<uint32_t>(entry.offset));
    out.U32(static_cast<uint32_t>(entry.size));
  }
  m_file->WriteBytes(index.data(), static_cast<int>(index.size()));

  const uint32_t riffSize = static_cast<uint32_t>(m_headerList) + static_cast<uint32_t>(m_moviBytes) +
                            24u * static_cast<uint32_t>(m_chunkCount + 1);
  const uint32_t moviSize =
      static_cast<uint32_t>(m_moviBytes) + 8u * static_cast<uint32_t>(m_chunkCount) + 4u;
  const std::vector<uint8_t> header = BuildHeader(riffSize, moviSize, true);
  m_file->SeekFile(0, SEEK_SET);
  m_file->WriteBytes(header.data(), static_cast<int>(header.size()));
  if (!m_file->CloseFile()) return -1;
  return static_cast<int>(riffSize);
}

std::vector<uint8_t> CAVIWriter::BuildHeader(uint32_t riffSize, uint32_t moviSize,
                                             bool final) const {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(m_headerList) + 28);
  HeaderBuilder out(bytes);
  auto sizeOrZeros = [&](uint32_t value) { final ? out.U32(value) : out.Code("0000"); };

  out.Code("RIFF");
  sizeOrZeros(riffSize);
  out.Code("AVI ");
  out.Code("LIST");
  out.U32(static_cast<uint32_t>(m_headerList - 4));
  out.Code("hdrl");
  out.Code("avih");
  out.U32(56);
  const uint32_t mainHeader[14] = {0, 0, 0, 0x110, static_cast<uint32_t>(m_chunkCount), 0, 4, 0,
                                   static_cast<uint32_t>(m_width[0]),
                                   static_cast<uint32_t>(m_height[0]), 0, 0, 0, 0};
  for (uint32_t v : mainHeader) out.U32(v);

  auto perChunk = [](const StreamSlot& s) {
    const int32_t chunks = s.chunks > 1 ? s.chunks : 1;
    return std::pair<uint32_t, uint32_t>(chunks, s.bytes / chunks);
  };
  auto streamHeaderStart = [&](const char* type, const char* handler) {
    out.Code("strh");
    out.U32(56);
    out.Code(type);
    handler ? out.Code(handler) : out.U32(0);
    out.U32(0);  // flags
    out.U16(0);  // priority
    out.U16(0);  // language
    out.U32(0);  // initial frames
  };
  for (int stream = 0; stream < (m_dual ? 2 : 1); ++stream) {
    const auto [length, suggested] = perChunk(m_slots[stream]);
    out.Code("LIST");
    out.U32(116);
    out.Code("strl");
    streamHeaderStart("vids", "AVC1");
    out.U32(1000);
    out.U32(static_cast<uint32_t>(m_fpsInUse[stream] * 1000));
    out.U32(0);
    out.U32(length);
    out.U32(suggested);
    out.U32(0);  // quality
    out.U32(0);  // sample size
    out.U16(0);
    out.U16(0);
    out.U16(static_cast<uint16_t>(m_width[stream]));
    out.U16(static_cast<uint16_t>(m_height[stream]));
    out.Code("strf");
    out.U32(40);
    out.U32(40);
    out.U32(static_cast<uint32_t>(m_width[stream]));
    out.U32(static_cast<uint32_t>(m_height[stream]));
    out.U16(0);  // planes
    out.U16(0);  // bit count
    out.Code("AVC1");
    for (int i = 0; i < 5; ++i) out.U32(0);
  }
  if (m_hasAudio) {
    out.Code("LIST");
    out.U32(92);
    out.Code("strl");
    streamHeaderStart("auds", nullptr);
    out.U32(2);
    out.U32(static_cast<uint32_t>(m_audioRate * 2));
    out.U32(0);
    out.U32(static_cast<uint32_t>(m_slots[kSlotAudio].chunks * 2000));
    out.U32(2000);
    out.U32(0);
    out.U32(2);
    for (int i = 0; i < 4; ++i) out.U16(0);
    out.Code("strf");
    out.U32(16);
    out.U16(1);  // PCM
    out.U16(1);  // mono
    out.U32(static_cast<uint32_t>(m_audioRate));
    out.U32(static_cast<uint32_t>(m_audioRate * 2));
    out.U16(2);
    out.U16(16);
  }
  const auto [textLength, textSuggested] = perChunk(m_slots[kSlotText]);
  out.Code("LIST");
  out.U32(76);
  out.Code("strl");
  streamHeaderStart("txts", "XBLB");
  out.U32(1000);
  out.U32(100000);
  out.U32(0);
  out.U32(textLength);
  out.U32(textSuggested);
  out.U32(0);
  out.U32(0);
  for (int i = 0; i < 4; ++i) out.U16(0);
  out.Code("strf");
  out.U32(0);

  out.Code("LIST");
  sizeOrZeros(moviSize);
  out.Code("movi");
  return bytes;
}
