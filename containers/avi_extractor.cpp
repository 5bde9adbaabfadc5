#include "containers/avi_extractor.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "concurrency/trace.h"
#include "platform/byte_order.h"

using roadkeep::GetU16;
using roadkeep::GetU32;
using roadkeep::SameCode;
using roadkeep::Trace;

namespace {

constexpr int kMaxListDepth = 8;  // nested LISTs in a header; deeper ones are skipped
constexpr int kStagingSize = 0x200000;

// BuildIndex reads idx1 into one staging buffer shared by the process.
std::mutex g_stagingMutex;
std::vector<uint8_t>& Staging() {
  static std::vector<uint8_t> staging(kStagingSize);
  return staging;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

CAVIExtractor::CAVIExtractor() : CAVIExtractor(Options{}) {}

CAVIExtractor::CAVIExtractor(Options options)
    : m_options(options), m_scanOnly(options.scanOnly) {}

CAVIExtractor::~CAVIExtractor() {
  m_running = false;
  m_thread.StopThread();
}

bool CAVIExtractor::Start() {
  if (!m_options.readAhead || m_thread.IsRunning()) return true;
  m_readerBuffer.assign(kQueueCapacity, 0);
  m_queue.Init(kQueueCapacity);
  m_thread.BeginThread(&CAVIExtractor::ReaderStep, this, 0, 0);
  return true;
}

void CAVIExtractor::Stop() {
  if (!m_options.readAhead || m_readerBuffer.empty()) return;
  Pause();
  m_thread.StopThread();
  m_readerBuffer.clear();
  m_readerBuffer.shrink_to_fit();
}

int CAVIExtractor::Open(const char* path, MediaInfo* info) {
  // The previous file's index must not serve seeks in this one.
  m_frameIndex.clear();
  if (info != nullptr) BuildIndex(path, info);
  const int moviSize = OpenLocked(path);
  if (moviSize != 0) {
    m_queue.Clear();
    m_running = true;
  }
  return moviSize;
}

// Opens and parses up to the first data chunk; leaves the reader thread idle.
int CAVIExtractor::OpenLocked(const char* path) {
  m_video[0] = m_video[1] = VideoStream{};
  m_videoCount = 0;
  m_hasAudio = false;
  m_otherAudio = false;
  Close();

  CSyncGuard guard(m_lock);
  if (path == nullptr) return 0;
  m_file.reset(std::fopen(path, "rb"));
  if (!m_file) return 0;
  // Larger stdio buffer: chunk headers are read in small pieces.
  std::setvbuf(m_file.get(), nullptr, _IOFBF, 1 << 16);
  if (fseeko(m_file.get(), 0, SEEK_END) != 0) return 0;
  m_fileSize = ftello(m_file.get());
  if (fseeko(m_file.get(), 0, SEEK_SET) != 0) return 0;

  char code[4];
  uint32_t headerSize = 0;
  if (!ReadExact(code, 4) || !SameCode(code, "RIFF")) return 0;
  if (!ReadU32(&m_riffSize) || !ReadExact(m_formType, 4) || !SameCode(m_formType, "AVI "))
    return 0;
  if (!ReadExact(code, 4) || !ReadU32(&headerSize)) return 0;
  const int64_t headerEnd = ftello(m_file.get()) + headerSize;

  int64_t remaining = headerSize;
  while (remaining > 0) {
    if (!ParseHeaderItem(remaining, 0)) return 0;
  }
  uint32_t moviSize = 0;
  if (!FindMovi(headerEnd, &moviSize)) return 0;
  return moviSize > INT_MAX ? INT_MAX : static_cast<int>(moviSize);
}

// One item of a header list; every byte read is taken off remaining.
bool CAVIExtractor::ParseHeaderItem(int64_t& remaining, int depth) {
  char code[4];
  if (!ReadExact(code, 4)) return false;
  remaining -= 4;
  if (SameCode(code, "LIST")) {
    uint32_t size = 0;
    if (!ReadU32(&size)) return false;
    remaining -= 4 + static_cast<int64_t>(size);
    int64_t inner = size;
    if (depth + 1 >= kMaxListDepth) return Skip(inner);
    return ParseHeaderItem(inner, depth + 1);
  }
  if (SameCode(code, "hdrl")) {
    uint32_t size = 0;
    if (!ReadExact(code, 4) || !ReadU32(&size) || size != 56) return false;
    remaining -= 8 + 56;
    return ReadExact(m_mainHeader, 56);
  }
  if (SameCode(code, "strl")) return ParseStreamList(remaining);
  // Anything else ends this list.
  const bool ok = Skip(remaining);
  remaining = 0;
  return ok;
}

bool CAVIExtractor::ParseStreamList(int64_t& remaining) {
  char code[4];
  uint32_t size = 0;
  if (!ReadExact(code, 4) || !ReadU32(&size) || size != 56) return false;
  if (!ReadExact(m_streamHeader, 56)) return false;
  remaining -= 8 + 56;
  if (SameCode(m_streamHeader, "vids")) {
    if (!ReadExact(code, 4) || !ReadU32(&size) || size != 40) return false;
    if (!ReadExact(m_videoFormat, 40)) return false;
    remaining -= 8 + 40;
    VideoStream& stream = m_video[m_videoCount < 1 ? m_videoCount : 1];
    stream.width = std::abs(static_cast<int32_t>(GetU32(m_videoFormat + 4)));
    stream.height = std::abs(static_cast<int32_t>(GetU32(m_videoFormat + 8)));
    // Our files use scale 1000 (rate = fps * 1000); other producers give rate / scale.
    const uint32_t scale = GetU32(m_streamHeader + 20);
    const uint32_t rate = GetU32(m_streamHeader + 24);
    const uint32_t fps = rate / (scale != 0 ? scale : 1000);
    stream.fps = fps > 1000 ? 1000 : static_cast<int>(fps);
    std::memcpy(stream.compression, m_videoFormat + 16, 4);
    ++m_videoCount;
  } else if (SameCode(m_streamHeader, "auds")) {
    // Other producers write WAVEFORMATEX (18 bytes and more); its first 16 are what is read.
    if (!ReadExact(code, 4) || !ReadU32(&size) || size < 16) return false;
    if (!ReadExact(m_audioFormat, 16)) return false;
    remaining -= 8 + 16;
    constexpr uint16_t kPcm = 1;
    m_hasAudio = GetU16(m_audioFormat) == kPcm;
    m_otherAudio = !m_hasAudio;
  }
  const bool ok = Skip(remaining);
  remaining = 0;
  return ok;
}

// Walks from the end of the header list to 'LIST' size 'movi', passing JUNK, LIST INFO
// and the like that other producers put between them. Leaves the file at the first chunk.
bool CAVIExtractor::FindMovi(int64_t headerEnd, uint32_t* moviSize) {
  if (ftello(m_file.get()) < headerEnd && fseeko(m_file.get(), headerEnd, SEEK_SET) != 0)
    return false;
  for (;;) {
    char code[4];
    uint32_t size = 0;
    if (!ReadExact(code, 4) || !ReadU32(&size)) return false;
    if (SameCode(code, "LIST")) {
      if (!ReadExact(code, 4)) return false;
      if (SameCode(code, "movi")) {
        *moviSize = size;
        return true;
      }
      if (!Skip((static_cast<int64_t>(size) + 1) / 2 * 2 - 4)) return false;
    } else if (!Skip((static_cast<int64_t>(size) + 1) / 2 * 2)) {
      return false;
    }
  }
}

bool CAVIExtractor::ReadExact(void* buffer, int64_t count) {
  if (count < 0) return false;
  return std::fread(buffer, 1, static_cast<size_t>(count), m_file.get()) ==
         static_cast<size_t>(count);
}

bool CAVIExtractor::ReadU32(uint32_t* value) {
  uint8_t bytes[4];
  if (!ReadExact(bytes, 4)) return false;
  *value = GetU32(bytes);
  return true;
}

// Skips forward; a skip that ends beyond the end of the file fails.
bool CAVIExtractor::Skip(int64_t count) {
  if (count <= 0) return true;
  FILE* f = m_file.get();
  const int64_t target = ftello(f) + count;
  if (target > m_fileSize) return false;
  return fseeko(f, target, SEEK_SET) == 0;
}

void CAVIExtractor::Close() {
  if (m_options.readAhead) Pause();
  CSyncGuard guard(m_lock);
  m_file.reset();
}

int CAVIExtractor::ReadNext(void* buffer, int* size) {
  char id[4] = {};
  if (ReadChunk(id, buffer, size) <= 0) {
    Trace(roadkeep::kTraceContainer, "m_aviExtractor.ParseMedia failed\n");
    return kKindOther;
  }
  return ChunkKindOf(id);
}

int CAVIExtractor::ReadChunk(char id[4], void* buffer, int* size) {
  const int position = m_options.readAhead && !m_readerBuffer.empty()
                           ? ReadChunkQueued(id, buffer, size)
                           : ReadChunkDirect(id, buffer, size);
  if (position >= 0 && m_otherAudio && id[2] == 'w' && id[3] == 'b') {
    id[2] = 'i';
    id[3] = 'g';
  }
  return position;
}

bool CAVIExtractor::VideoIsH264(int stream) const {
  if (stream < 0 || stream >= m_videoCount || stream > 1) return false;
  char code[5] = {};
  for (int i = 0; i < 4; ++i) {
    const char c = m_video[stream].compression[i];
    code[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return std::strcmp(code, "H264") == 0 || std::strcmp(code, "X264") == 0 ||
         std::strcmp(code, "AVC1") == 0;
}

int CAVIExtractor::ReadChunkDirect(char id[4], void* buffer, int* size) {
  FILE* f = m_file.get();
  if (f == nullptr || size == nullptr) return -1;
  const int64_t position = ftello(f);
  if (position < 0 || position > INT_MAX) return -1;
  uint32_t rawSize = 0;
  if (!ReadExact(id, 4) || !ReadU32(&rawSize)) {
    Trace(roadkeep::kTraceContainer, "Read Header Failed\n");
    return -1;
  }
  const int capacity = *size;
  const int64_t n = rawSize;
  const int64_t padded = (n + 1) / 2 * 2;
  int64_t wanted = padded;  // bytes copied into buffer
  if (m_scanOnly) {
    const int kind = ChunkKindOf(id);
    if (kind == kKindFrontVideo || kind == kKindRearVideo) {
      wanted = n > 8 ? 8 : 0;
    } else if (kind == kKindAudio) {
      wanted = 0;
    } else if (kind != kKindText) {
      return -1;
    }
  }
  if (n > INT_MAX || capacity < wanted || (wanted > 0 && buffer == nullptr)) {
    Trace(roadkeep::kTraceContainer, "Wrong Size %d < %d\n", capacity, static_cast<int>(rawSize));
    return -1;
  }
  *size = static_cast<int>(n);
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(wanted), f);
  // A last odd chunk may lack its pad byte at the end of the file.
  if (got != static_cast<size_t>(wanted) && !(got == static_cast<size_t>(n) && wanted == padded)) {
    Trace(roadkeep::kTraceContainer, "Read Body Failed\n");
    return -1;
  }
  if (wanted < padded && !Skip(padded - wanted)) return -1;
  return static_cast<int>(position);
}

int CAVIExtractor::ReadChunkQueued(char id[4], void* buffer, int* size) {
  if (size == nullptr) return -1;
  const int capacity = *size;
  for (int attempt = 0; attempt < 100; ++attempt) {
    int got = capacity;
    int position = -1;
    void* destination = buffer;
    if (m_queue.PopWithId(id, &destination, &got, &position, capacity)) {
      *size = got;
      return position;
    }
    if (got > capacity) {
      Trace(roadkeep::kTraceContainer, "Wrong Size %d < %d\n", capacity, got);
      return -1;
    }
    if (!m_running) break;
    m_queue.WaitForRecord(10);
  }
  return -1;
}

bool CAVIExtractor::ReaderStep(void* self) {
  auto* reader = static_cast<CAVIExtractor*>(self);
  if (!reader->m_running) {
    reader->m_event.SetEvent();
    SleepMs(1);
    return true;
  }
  uint8_t* buffer = reader->m_readerBuffer.data();
  int size = kQueueCapacity - 4;
  int position;
  {
    CSyncGuard guard(reader->m_lock);
    position = reader->ReadChunkDirect(reinterpret_cast<char*>(buffer), buffer + 4, &size);
  }
  if (position < 0) {
    Trace(roadkeep::kTraceContainer, "pos = %d\n", position);
    reader->m_running = false;
    return true;
  }
  while (reader->m_running && !reader->m_queue.Push(buffer, size + 4, position)) {
    reader->m_queue.WaitForSpace(size + 4, 1);
  }
  return true;
}

void CAVIExtractor::Pause() {
  m_running = false;
  if (m_thread.IsRunning()) m_event.WaitEvent(1000);
}

bool CAVIExtractor::BuildIndex(const char* path, MediaInfo* info) {
  m_scanOnly = false;
  m_frameIndex.clear();
  if (info == nullptr) return false;
  const int moviSize = OpenLocked(path);
  if (moviSize == 0) {
    Close();
    return false;
  }
  info->frontFrameRate = GetFrameRate(0);
  info->rearFrameRate = GetFrameRate(1);
  info->frontFrameCount = 0;
  info->rearFrameCount = 0;
  info->frameIndex.clear();

  const int64_t moviData = Tell();
  Seek(moviSize - 4, SEEK_CUR);
  std::lock_guard<std::mutex> staging(g_stagingMutex);
  std::vector<uint8_t>& buffer = Staging();
  char id[4] = {};
  int size = kStagingSize;
  const int position = ReadChunkDirect(id, buffer.data(), &size);
  Close();
  if (position <= 0 || !SameCode(id, "idx1")) return false;

  const int64_t moviCode = moviData - 4;  // offsets count from the 'movi' code
  const int entries = size / 16;
  for (int i = 0; i < entries; ++i) {
    const uint8_t* entry = buffer.data() + 16 * i;
    const int kind = ChunkKindOf(reinterpret_cast<const char*>(entry));
    if (kind == kKindFrontVideo) {
      const int64_t header = moviCode + GetU32(entry + 8);
      if (header >= static_cast<int64_t>(kFrameIndexFlag)) continue;  // unaddressable
      ++info->frontFrameCount;
      info->frameIndex.push_back(static_cast<uint32_t>(header) | kFrameIndexFlag);
    } else if (kind == kKindRearVideo) {
      ++info->rearFrameCount;
    }
  }
  m_frameIndex = info->frameIndex;
  return true;
}

int* CAVIExtractor::GetVideoSize(int out[2], int stream) {
  const bool valid = stream == 0 || stream == 1;
  out[0] = valid ? m_video[stream].width : 0;
  out[1] = valid ? m_video[stream].height : 0;
  return out;
}

int CAVIExtractor::GetFrameRate(int stream) {
  if (stream != 0 && stream != 1) return 0;
  return m_video[stream].fps > 30 ? 30 : m_video[stream].fps;
}

void CAVIExtractor::GetAudioFormat(int* bits, int* rate) {
  if (bits) *bits = GetU16(m_audioFormat + 14);
  if (rate) *rate = static_cast<int>(GetU32(m_audioFormat + 4) & 0x7FFFFFFF);
}

int CAVIExtractor::Read(void* buffer, int count) {
  CSyncGuard guard(m_lock);
  if (!m_file || buffer == nullptr || count <= 0) return 0;
  return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(count), m_file.get()));
}

int CAVIExtractor::Seek(int offset, int origin) {
  CSyncGuard guard(m_lock);
  if (!m_file) return 0;
  return fseeko(m_file.get(), offset, origin);
}

int CAVIExtractor::Tell() {
  CSyncGuard guard(m_lock);
  if (!m_file) return 0;
  const int64_t position = ftello(m_file.get());
  return position < 0 || position > INT_MAX ? 0 : static_cast<int>(position);
}

int CAVIExtractor::GetTotalFrames() { return static_cast<int>(GetU32(m_mainHeader + 16)); }

int CAVIExtractor::SeekToTime(float seconds) {
  const bool wasRunning = m_running;
  if (m_options.readAhead) {
    Pause();
    m_queue.Clear();
  }
  const double frame = static_cast<double>(m_video[0].fps) * seconds;
  int result = -1;
  if (std::isfinite(frame) && frame >= 0 && frame < static_cast<double>(m_frameIndex.size())) {
    const uint32_t entry = m_frameIndex[static_cast<size_t>(frame)];
    result = Seek(static_cast<int>(entry & ~kFrameIndexFlag), SEEK_SET);
  }
  // A reader that had stopped at the end of the file reads again from a position reached.
  m_running = wasRunning || (m_options.readAhead && result == 0);
  return result;
}
