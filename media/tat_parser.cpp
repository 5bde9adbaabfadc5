#include "media/tat_parser.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "media/byte_order.h"
#include "media/trace.h"
#include "tat/tat_library.h"

using roadkeep::GetU16;
using roadkeep::Trace;

namespace {

std::atomic<TatHandle*> g_library{nullptr};
constexpr float kGranularity = 24.0f;  // front frames per seek unit
constexpr int kKindCodes[4] = {1, 0, 3, 2};  // driving, event, manual, parking

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int KindOfLetter(char c, int previous) {
  switch (c) {
    case 'R': return 0;
    case 'E': return 1;
    case 'M': return 2;
    case 'P': return 3;
    default: return previous;
  }
}

// Splits "NAME, 12" at commas and blanks into the entry name and an index (-1 for none).
void SplitName(const char* text, std::string* entry, int* index) {
  std::string tokens[2];
  int count = 0;
  std::string current;
  for (const char* p = text;; ++p) {
    const bool separator = *p == ',' || *p == ' ' || *p == '\t' || *p == '\0';
    if (!separator) {
      current += *p;
    } else if (!current.empty()) {
      if (count < 2) tokens[count++] = current;
      current.clear();
    }
    if (*p == '\0') break;
  }
  *entry = tokens[0];
  *index = count >= 2 ? static_cast<int>(std::strtol(tokens[1].c_str(), nullptr, 10)) : -1;
}

}  // namespace

CTATParser::CTATParser() = default;

CTATParser::~CTATParser() {
  m_running = false;
  m_thread.StopThread();
}

void CTATParser::SetLibraryHandle(TatHandle* handle) { g_library = handle; }
TatHandle* CTATParser::LibraryHandle() { return g_library; }
float CTATParser::Granularity() { return kGranularity; }
int CTATParser::KindCode(int kind) { return kind >= 0 && kind < 4 ? kKindCodes[kind] : -1; }

bool CTATParser::Start() {
  if (m_thread.IsRunning()) return true;
  m_readerBuffer.assign(kQueueCapacity, 0);
  m_queue.Init(kQueueCapacity);
  m_thread.BeginThread(&CTATParser::ReaderStep, this, 0, 0);
  return true;
}

void CTATParser::Stop() {
  m_running = false;
  m_thread.StopThread();
  m_readerBuffer.clear();
  m_readerBuffer.shrink_to_fit();
}

void CTATParser::PauseReader() {
  m_running = false;
  if (m_thread.IsRunning()) m_event.WaitEvent(CWaitEvent::kInfinite);
}

int CTATParser::Open(const char* name, MediaInfo* info) {
  PauseReader();
  const char* text = name ? name : "";
  if (*text == '/') ++text;
  m_kind = KindOfLetter(*text, m_kind);
  m_videoFramesRead = 0;
  m_frameReached = -1;
  std::string entry;
  int index = -1;
  SplitName(text, &entry, &index);

  TatHandle* library = g_library;
  uint8_t header[kTatHeaderSize] = {};
  uint32_t counts[2] = {};
  uint8_t work[244] = {};
  char stats[kTatStatsSize] = {};
  uint8_t record[40] = {};
  if (index >= 0) {
    TatOpenByIndex(library, entry.c_str(), index, header, counts, work, stats, record);
  } else {
    TatOpenByName(library, entry.c_str(), header, counts, work, stats, record);
  }
  stats[kTatStatsSize - 1] = '\0';
  m_block[1] = GetU16(header + 52);
  m_block[2] = GetU16(header + 54);
  m_block[3] = GetU16(header + 20);
  m_block[4] = GetU16(header + 22);
  m_block[5] = header[3];
  m_block[6] = header[4];
  m_block[7] = static_cast<int32_t>(counts[0] & 0xFFFF);
  m_block[8] = static_cast<int32_t>(counts[1] & 0xFFFF);
  ParseStatistics(stats);
  m_block[12] = 16;
  m_block[13] = 8000;

  const int code = KindCode(m_kind);
  const int position = index >= 0 ? TatFindByIndex(library, code, index)
                                   : TatFindByName(library, code, entry.c_str());
  TatSelect(library, code, 0, position);
  if (info != nullptr) {
    info->frontFrameRate = m_block[5];
    info->rearFrameRate = m_block[6];
    info->frontFrameCount = m_block[7];
    info->rearFrameCount = m_block[8];
    info->frameIndex.clear();
  }
  m_endReached = false;
  m_queue.Clear();
  m_running = true;
  return 1;
}

void CTATParser::ParseStatistics(const char* text) {
  int values[5];
  const int parsed =
      std::sscanf(text, "cntVideo0=%d; cntVideo1=%d; cntAudio=%d; cntACC=%d; cntGPS=%d",
                  &values[0], &values[1], &values[2], &values[3], &values[4]);
  // Block slots of cntVideo0, cntVideo1, cntAudio, cntACC, cntGPS.
  const int slots[5] = {7, 8, 9, 11, 10};
  for (int i = 0; i < parsed && i < 5; ++i) m_block[slots[i]] = values[i];
}

void CTATParser::Close() { m_running = false; }

int CTATParser::ReadNext(void* buffer, int* size) {
  if (m_endReached) {
    *size = 0;
    return kKindOther;
  }
  uint8_t camera = 0xFF, type = 0xFF, key = 0xFF;
  int scratch = 0;
  const int before = *size;
  const int r = TatRead(g_library, &camera, &type, &key, size, buffer, &scratch);
  switch (type) {
    case 0:
      ++m_videoFramesRead;
      [[fallthrough]];
    case 2:
      return camera == 0 ? kKindFrontVideo : kKindRearVideo;
    case 1:
      return kKindAudio;
    case 3:
      return kKindText;
    default:
      break;
  }
  if (r == kTatNothing) return kKindNothing;
  if (r == kTatEnd || r == kTatError || *size != before) {
    m_endReached = true;
    *size = 1;
    return kKindOther;
  }
  return kKindNothing;
}

bool CTATParser::ReaderStep(void* self) {
  auto* parser = static_cast<CTATParser*>(self);
  if (!parser->m_running) {
    parser->m_event.SetEvent();
    SleepMs(1);
    return true;
  }
  int size = kQueueCapacity;
  uint8_t* buffer = parser->m_readerBuffer.data();
  const int kind = parser->ReadNext(buffer, &size);
  if (kind == kKindNothing) return true;
  // A chunk can never reach the queue's capacity (the library caps chunks below it), but a
  // size from elsewhere must not read past the buffer.
  if (size < 0 || size > kQueueCapacity) size = 0;
  while (parser->m_running && !parser->m_queue.Push(buffer, size, kind)) {
    parser->m_queue.WaitForSpace(size, 1);
  }
  if (kind == kKindOther) {
    Trace("Media End Recv [%d]\n", kind);
    parser->m_running = false;
  }
  return true;
}

int CTATParser::ReadChunk(char id[4], void* buffer, int* size) {
  if (size == nullptr) return -1;
  const int capacity = *size;
  int kind = -1;
  bool got = false;
  for (int attempt = 0; attempt < 100 && !got; ++attempt) {
    int popped = capacity;
    void* destination = buffer;
    got = m_queue.Pop(&destination, &popped, &kind, capacity);
    if (got) {
      *size = popped;
      break;
    }
    if (popped > capacity) {
      Trace("Wrong Size %d < %d\n", capacity, popped);
      return -1;
    }
    if (!m_running) {
      kind = 6;
      got = true;
      break;
    }
    m_queue.WaitForRecord(10);
  }
  if (!got) return -1;
  static const char* const kIds[4] = {"00dc", "01dc", "02wb", "03tx"};
  if (kind >= 0 && kind <= 3) {
    std::memcpy(id, kIds[kind], 4);
    return 4;
  }
  return kind == kKindNothing ? 4 : -1;
}

int* CTATParser::GetVideoSize(int out[2], int stream) {
  const bool valid = stream == 0 || stream == 1;
  out[0] = valid ? m_block[1 + stream] : 0;
  out[1] = valid ? m_block[3 + stream] : 0;
  return out;
}

int CTATParser::GetFrameRate(int stream) {
  return stream == 0 || stream == 1 ? m_block[5 + stream] : 0;
}

void CTATParser::GetAudioFormat(int* bits, int* rate) {
  if (bits) *bits = m_block[12];
  if (rate) *rate = m_block[13];
}

int CTATParser::SeekToTime(float seconds) {
  const float rate = m_block[5] != 0 ? static_cast<float>(m_block[5]) : 30.0f;
  const bool wasRunning = m_running;
  PauseReader();
  m_queue.Clear();
  const int g = static_cast<int>(rate / kGranularity * seconds);
  const int framesRead = m_videoFramesRead;
  TatSeek(g_library, framesRead + g + 1,
          static_cast<int>(static_cast<float>(m_block[7]) / kGranularity) + framesRead + 1);
  // The library goes to unit g, kept within the recording's units.
  const int64_t unitFrames = static_cast<int64_t>(kGranularity);
  const int64_t units = (std::max<int64_t>(m_block[7], 0) + unitFrames - 1) / unitFrames;
  const int64_t unit = std::clamp<int64_t>(g, 0, std::max<int64_t>(units - 1, 0));
  m_frameReached = static_cast<int32_t>(unit * unitFrames);
  // A reader that had already delivered the end reads again from the new position.
  const bool resumed = !wasRunning && m_endReached;
  m_endReached = false;
  m_running = wasRunning || resumed;
  return static_cast<int>(kGranularity / rate * static_cast<float>(g));
}

void CTATParser::OnCardArrived() { TatOnCardFound(g_library); }

void CTATParser::OnCardRemoved() {
  PauseReader();
  m_queue.Clear();
  m_endReached = false;
  TatSelect(g_library, 0, 0, -1);  // let go of the card's files
}
