#include "tat/tat_parser.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "concurrency/trace.h"
#include "platform/byte_order.h"
#include "tat/card.h"
#include "tat/tat_library.h"

using roadkeep::GetU16;
using roadkeep::Trace;

namespace {

constexpr float kGranularity = 24.0f;  // front frames per seek unit
constexpr int kKindCodes[4] = {1, 0, 3, 2};  // driving, event, manual, parking

int KindOfLetter(char c, int previous) {
  switch (c) {
    case 'R': return 0;
    case 'E': return 1;
    case 'M': return 2;
    case 'P': return 3;
    default: return previous;
  }
}

}  // namespace

CTATParser::CTATParser() = default;

CTATParser::~CTATParser() { StopReader(); }

void CTATParser::StopReader() {
  m_running = false;
  m_queue.WakeProducer();
  {
    std::lock_guard<std::mutex> lock(m_parkMutex);
    m_stopping = true;
  }
  m_parkCond.notify_all();
  m_thread.StopThread();
  std::lock_guard<std::mutex> lock(m_parkMutex);
  m_stopping = false;
  m_parked = false;
}

void CTATParser::SetRunning(bool running) {
  {
    // Under the mutex, so that a reader about to park cannot miss it.
    std::lock_guard<std::mutex> lock(m_parkMutex);
    m_running = running;
  }
  if (running) m_parkCond.notify_all();
}

float CTATParser::Granularity() { return kGranularity; }
int CTATParser::UnitFrames() { return static_cast<int>(kGranularity); }
int CTATParser::KindCode(int kind) { return kind >= 0 && kind < 4 ? kKindCodes[kind] : -1; }

bool CTATParser::Start() {
  if (m_thread.IsRunning()) return true;
  m_queue.Init(kRingBytes);
  m_thread.BeginThread(&CTATParser::ReaderStep, this, 0, 0);
  return true;
}

// The ring stays: a consumer may still be inside a pop.
void CTATParser::Stop() { StopReader(); }

void CTATParser::PauseReader() {
  m_running = false;
  m_queue.WakeProducer();
  if (!m_thread.IsRunning()) return;
  // Parked means between two steps: no library call in progress, none until resumed.
  std::unique_lock<std::mutex> lock(m_parkMutex);
  m_parkCond.wait(lock, [this] { return m_parked; });
}

int CTATParser::Open(const char* name, MediaInfo* info) {
  PauseReader();
  const char* text = name ? name : "";
  if (*text == '/') ++text;
  m_kind = KindOfLetter(*text, m_kind);
  // The name as typed, whole: the kind word in any case finds the recording; a name without
  // one goes by its letter. The first entry of that name on the card in use.
  std::shared_ptr<CCard> card = TatCurrentCard(m_library);
  const int named = CCard::KindOfName(text);
  const int code = named >= 0 ? named : KindCode(m_kind);
  const int position = card ? card->Find(code, text) : -1;
  return OpenEntry(std::move(card), code, position, info);
}

int CTATParser::OpenSource(const MediaSource& source, MediaInfo* info) {
  if (!source.IsCardEntry()) return Open(source.path.c_str(), info);
  PauseReader();
  for (int kind = 0; kind < 4; ++kind) {
    if (kKindCodes[kind] == source.kindCode) m_kind = kind;
  }
  std::shared_ptr<CCard> card = source.cardRoot.empty() ? TatCurrentCard(m_library)
                                                        : TatCardAt(m_library, source.cardRoot);
  return OpenEntry(std::move(card), source.kindCode, source.index, info);
}

int CTATParser::OpenEntry(std::shared_ptr<CCard> card, int kindCode, int index, MediaInfo* info) {
  m_videoFramesRead = 0;
  m_frameReached = -1;
  // The recording gets a reader of its own; the card refuses a kind or index it does not hold.
  m_reader.reset();
  m_card = std::move(card);
  if (m_card && index >= 0) m_reader = m_card->OpenReader(kindCode, index);
  // The card's checked numbers, not the header's raw bytes.
  const Recording recording = m_reader ? m_reader->Info() : Recording();
  const RecordingCounts& counts = recording.counts;
  m_block[1] = recording.frontWidth;
  m_block[2] = recording.rearWidth;
  m_block[3] = recording.frontHeight;
  m_block[4] = recording.rearHeight;
  m_block[5] = recording.frontFps;
  m_block[6] = recording.rearFps;
  m_block[7] = static_cast<int32_t>(std::min<uint32_t>(counts.front, 0xFFFF));
  m_block[8] = static_cast<int32_t>(std::min<uint32_t>(counts.rear, 0xFFFF));
  ParseStatistics(StatisticsText(counts).c_str());
  m_block[12] = 16;
  m_block[13] = 8000;
  m_cameraCount = m_reader ? m_reader->Info().CameraCount() : 0;

  if (info != nullptr) {
    info->frontFrameRate = m_block[5];
    info->rearFrameRate = m_block[6];
    info->frontFrameCount = m_block[7];
    info->rearFrameCount = m_block[8];
    info->frameIndex.clear();
    info->damage = recording.copyable ? std::string() : recording.damage;
  }
  m_queue.Clear();
  // A recording the library could not open or find is not read: the consumer gets the end
  // at once and ReadFailed tells it why.
  const bool ok = m_reader != nullptr;
  m_opened = ok;
  m_readFailed = !ok;
  m_endReached = !ok;
  SetRunning(ok);
  return ok ? 1 : 0;
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

void CTATParser::Close() {
  m_running = false;
  m_queue.WakeProducer();
}

int CTATParser::KindOfChunk(uint8_t camera, uint8_t type) {
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
      return -1;
  }
}

int CTATParser::ReadBatch(uint8_t* room, int capacity, CThreadQueue::Pushed* out, int max) {
  if (m_endReached) return 0;
  TatChunkRef refs[kBatchChunks];
  int found = 0;
  // The end or an error is met again by the next ReadNext, which reports it.
  if (!m_reader || m_reader->ReadMany(room, capacity, refs, std::min(max, kBatchChunks),
                                     &found) != CRecordingReader::kOk) {
    return 0;
  }
  int count = 0;
  for (int i = 0; i < found; ++i) {
    const int kind = KindOfChunk(refs[i].camera, refs[i].type);
    if (kind >= 0) out[count++] = {refs[i].offset, refs[i].size, kind};
  }
  return count;
}

int CTATParser::ReadNext(void* buffer, int* size) {
  if (m_endReached) {
    *size = 0;
    return kKindOther;
  }
  uint8_t camera = 0xFF, type = 0xFF, key = 0xFF;
  const int before = *size;
  const int r = m_reader ? m_reader->Read(&camera, &type, &key, size, buffer, before)
                         : static_cast<int>(kTatEnd);
  m_tooSmall = r == kTatTooSmall;
  if (m_tooSmall) return kKindNothing;  // *size is the room the chunk needs
  const int chunkKind = KindOfChunk(camera, type);
  if (chunkKind >= 0) return chunkKind;
  if (r == kTatNothing) return kKindNothing;
  if (r == kTatError) m_readFailed = true;  // before the end is queued: the consumer sees both
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
    std::unique_lock<std::mutex> lock(parser->m_parkMutex);
    parser->m_parked = true;
    parser->m_parkCond.notify_all();  // a pause waiting for this turn
    parser->m_event.SetEvent();
    parser->m_parkCond.wait_for(lock, std::chrono::milliseconds(100), [parser] {
      return parser->m_running.load() || parser->m_stopping;
    });
    parser->m_parked = false;
    return true;
  }
  // Chunks are read straight into the queue's ring and queued together: one lock per batch
  // rather than per chunk.
  const int reserve = parser->m_reserve;
  uint8_t* room = nullptr;
  while (parser->m_running && (room = parser->m_queue.ReservePush(reserve)) == nullptr) {
    // Woken by the consumer once half the queue is free, or by a pause or stop.
    parser->m_queue.WaitForSpace(reserve, 100);
  }
  if (room == nullptr) return true;
  CThreadQueue::Pushed batch[kBatchChunks];
  // First the chunks that lie whole in one read of the store, kept where they landed; when
  // there are none (a chunk larger than the room, damage, the end), one chunk alone.
  int count = parser->ReadBatch(room, reserve, batch, kBatchChunks);
  int kind = kKindNothing;
  parser->m_reserve = kReserveBytes;
  if (count == 0) {
    int size = reserve;
    kind = parser->ReadNext(room, &size);
    if (kind == kKindNothing) {
      // A chunk larger than the room: the next turn takes room for it.
      if (parser->m_tooSmall) {
        parser->m_reserve = std::min(std::max(size, kReserveBytes), kQueueCapacity);
      }
    } else {
      // The library caps chunks at the room given, but a size from elsewhere must not make
      // the record reach past it.
      if (size < 0 || size > reserve) size = 0;
      // The end's trace line comes before the end is queued, so it is out before the
      // consumer can see the end.
      if (kind == kKindOther) Trace(roadkeep::kTraceCard, "Media End Recv [%d]\n", kind);
      batch[count++] = {0, size, kind};
    }
  }
  parser->m_queue.CommitPush(batch, count);
  if (kind == kKindOther) {
    parser->m_running = false;
    parser->m_queue.WakeConsumer();  // it may be waiting for a batch that will not come
  }
  return true;
}

ChunkStatus CTATParser::PopChunk(char id[4], void* buffer, int* size, int attempts) {
  if (size == nullptr) return ChunkStatus::kError;
  const int capacity = *size;
  int kind = -1;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    int popped = capacity;
    void* destination = buffer;
    // Read before the queue: a reader that queues its last chunks and stops between an
    // empty pop and this check would otherwise end the recording with chunks still queued.
    const bool running = m_running;
    if (m_queue.Pop(&destination, &popped, &kind, capacity)) {
      *size = popped;
      static const char* const kIds[4] = {"00dc", "01dc", "02wb", "03tx"};
      if (kind >= 0 && kind <= 3) {
        std::memcpy(id, kIds[kind], 4);
        return ChunkStatus::kChunk;
      }
      if (kind == kKindNothing) return ChunkStatus::kNoData;
      return m_readFailed ? ChunkStatus::kError : ChunkStatus::kEnd;
    }
    if (popped > capacity) {
      Trace(roadkeep::kTraceCard, "Wrong Size %d < %d\n", capacity, popped);
      return ChunkStatus::kError;
    }
    if (!running) return m_readFailed ? ChunkStatus::kError : ChunkStatus::kEnd;
    // Woken once a batch is queued rather than for every chunk: the reader is slower than
    // a consumer that only copies, and a wake-up per chunk costs more than the chunk.
    if (!m_queue.SpinForRecord(kSpinMicroseconds)) m_queue.WaitForBytes(10, kWakeBytes);
  }
  return ChunkStatus::kNoData;
}

int CTATParser::ReadChunk(char id[4], void* buffer, int* size) {
  // About a second without data counts as the end here; NextChunk keeps them apart.
  return PopChunk(id, buffer, size, 100) == ChunkStatus::kChunk ? 4 : -1;
}

ChunkStatus CTATParser::NextChunk(char id[4], void* buffer, int* size) {
  return PopChunk(id, buffer, size, kNoDataAttempts);
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

namespace {

// Float to int held to int's range: the rate and the frame count come from the card.
int ClampToInt(double value) {
  if (!(value > INT32_MIN)) return INT32_MIN;  // also NaN
  return value < INT32_MAX ? static_cast<int>(value) : INT32_MAX;
}

}  // namespace

int CTATParser::SeekToTime(float seconds) {
  const float rate = m_block[5] != 0 ? static_cast<float>(m_block[5]) : 30.0f;
  const bool wasRunning = m_running;
  PauseReader();
  m_queue.Clear();
  const int g = ClampToInt(static_cast<double>(rate) / kGranularity * seconds);
  const int framesRead = m_videoFramesRead;
  if (m_reader) {
    // As the library's seek by (a, b): unit (total units - (b - a)).
    const int a = ClampToInt(static_cast<double>(framesRead) + g + 1);
    const int b = ClampToInt(static_cast<double>(m_block[7]) / kGranularity + framesRead + 1);
    m_reader->SeekBack(static_cast<int64_t>(b) - a);
  }
  // The library goes to unit g, kept within the recording's units.
  const int64_t unitFrames = static_cast<int64_t>(kGranularity);
  const int64_t units = (std::max<int64_t>(m_block[7], 0) + unitFrames - 1) / unitFrames;
  const int64_t unit = std::clamp<int64_t>(g, 0, std::max<int64_t>(units - 1, 0));
  m_frameReached = static_cast<int32_t>(unit * unitFrames);
  // A reader that had already delivered the end reads again from the new position.
  const bool resumed = !wasRunning && m_endReached && m_opened;
  if (resumed) m_readFailed = false;  // the library reads afresh from the unit
  m_endReached = !m_opened;
  SetRunning(wasRunning || resumed);
  return ClampToInt(static_cast<double>(kGranularity) / rate * g);
}

void CTATParser::OnCardRemoved() {
  PauseReader();
  m_queue.Clear();
  m_endReached = false;
  m_reader.reset();  // let go of the card's files
  m_card.reset();
}
