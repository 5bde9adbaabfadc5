// Reads one recording of the card store through the card-store library and delivers its
// chunks with the AVI chunk ids. A reader thread "TATParser" reads chunks ahead of the
// consumer straight into the queue's 1.5 MB ring; the consumer copies each out once.
//
// Threads: Open, Close and the card steps run on the user-interface thread; ReadChunk and
// SeekToTime on the consumer's (player or export) thread; ReaderStep on "TATParser".
// Open and SeekToTime pause the reader (running flag cleared, then wait until the reader is
// parked in its idle turn) before they call the library, so a library read never overlaps
// an open, select or seek. The idle reader sleeps until it is resumed, not polling.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "containers/media_parser.h"
#include "concurrency/single_thread.h"
#include "concurrency/thread_queue.h"
#include "concurrency/wait_event.h"

struct TatHandle;
class CCard;
class CRecordingReader;

class CTATParser : public VMediaParser {
 public:
  // The largest chunk: a consumer's buffer of this size holds every chunk.
  static constexpr int kQueueCapacity = 0x100000;
  // The queue's ring: room for the largest chunk and for batches read ahead behind it.
  static constexpr int kRingBytes = kQueueCapacity + kQueueCapacity / 2;
  // Room the reader takes in the ring for a chunk of unknown size; a larger chunk is read
  // again into room of its own size.
  static constexpr int kReserveBytes = kQueueCapacity / 4;
  // Chunks the reader queues at most in one batch.
  static constexpr int kBatchChunks = 32;
  // Bytes queued before a waiting consumer is woken (the end wakes it at once).
  static constexpr int kWakeBytes = kQueueCapacity / 4;
  // How long a consumer that finds the queue empty polls before it sleeps.
  static constexpr int kSpinMicroseconds = 100;
  // NextChunk's waits (10 ms each) before it reports that no data has come yet.
  static constexpr int kNoDataAttempts = 10;

  CTATParser();
  ~CTATParser() override;
  CTATParser(const CTATParser&) = delete;
  CTATParser& operator=(const CTATParser&) = delete;

  // The library handle whose current card Open reads (not owned). Set before Open; each
  // parser opens a reader of its own, so parsers on one handle never disturb each other.
  void SetLibrary(TatHandle* handle) { m_library = handle; }
  // Seek granularity in front frames per unit (24 from start-up).
  static float Granularity();

  bool Start() override;
  void Stop() override;
  // name: a recording's whole name as a user typed it, optionally with a leading '/': the
  // first entry of that name on the card in use. Returns nonzero when the recording opened;
  // 0 otherwise (the reader then delivers only the end, and ReadFailed is true).
  int Open(const char* name, MediaInfo* info) override;
  // As Open, for the card entry source names (its card found by root, the entry by kind code
  // and index, nothing looked up by name); a Named source as Open.
  int OpenSource(const MediaSource& source, MediaInfo* info) override;
  void Close() override;
  int ReadNext(void* buffer, int* size) override;
  // Returns 4 with the chunk's id, or -1 at the end or after about a second without data.
  int ReadChunk(char id[4], void* buffer, int* size) override;
  // As ReadChunk, but kNoData after about 100 ms without data, and a read error is kError.
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override;
  bool BuildIndex(const char*, MediaInfo*) override { return false; }
  void Hook(int) override {}
  int* GetVideoSize(int out[2], int stream) override;
  int GetFrameRate(int stream) override;
  void GetAudioFormat(int* bits, int* rate) override;
  int Read(void*, int) override { return 0; }
  int Seek(int, int) override { return 0; }
  int Tell() override { return 0; }
  int GetTotalFrames() override { return 0; }
  // Returns the time reached in whole seconds.
  int SeekToTime(float seconds) override;
  bool SeekReportsTime() override { return true; }
  // The first front frame of the unit the last SeekToTime reached; -1 before any seek.
  int FrameReached() override { return m_frameReached; }
  int UnitFrames() override;
  // The last Open failed, or the library reported a read error (not the end) since.
  bool ReadFailed() override { return m_readFailed; }

  // The card has gone: the reader lets go of its files.
  void OnCardRemoved();
  // Cameras of the last open as the store holds them (2 with rear frames); 0 when it failed.
  int CameraCount() const { return m_cameraCount; }

  // Kind of the last open (0 driving, 1 event, 2 manual, 3 parking) and its library code.
  int Kind() const { return m_kind; }
  static int KindCode(int kind);
  const int32_t* InfoBlock() const { return m_block; }
  // Parses "cntVideo0=..; cntVideo1=..; cntAudio=..; cntACC=..; cntGPS=.." into the block;
  // fields that do not parse keep their values.
  void ParseStatistics(const char* text);

 private:
  static bool ReaderStep(void* self);
  // Opens entry index of kindCode on card (null: none) for the reader; the rest of Open.
  int OpenEntry(std::shared_ptr<CCard> card, int kindCode, int index, MediaInfo* info);
  // The kind of a chunk the library delivered (counting front frames), or -1 for none.
  int KindOfChunk(uint8_t camera, uint8_t type);
  // The whole chunks of one store read into room, as records for the queue; 0 when the next
  // chunk is to be read alone by ReadNext.
  int ReadBatch(uint8_t* room, int capacity, CThreadQueue::Pushed* out, int max);
  ChunkStatus PopChunk(char id[4], void* buffer, int* size, int attempts);
  void PauseReader();
  // Sets running, waking a parked reader when it is set.
  void SetRunning(bool running);
  // Ends the reader thread (Stop, destructor).
  void StopReader();

  TatHandle* m_library = nullptr;  // set by the owner before Open

  // Set by Open on the user-interface thread while the reader is paused; the reader is used
  // by the reader thread.
  std::shared_ptr<CCard> m_card;
  std::unique_ptr<CRecordingReader> m_reader;
  std::atomic<int> m_cameraCount{0};
  int m_kind = 0;
  int32_t m_block[14] = {};

  // Shared between the reader and the consumer.
  std::atomic<bool> m_endReached{false};
  std::atomic<bool> m_readFailed{false};  // set before the end is queued
  std::atomic<bool> m_opened{false};      // the last Open succeeded
  std::atomic<bool> m_running{false};
  std::atomic<int32_t> m_videoFramesRead{0};
  std::atomic<int32_t> m_frameReached{-1};  // consumer's thread
  CThreadQueue m_queue;

  // Reader thread only.
  int m_reserve = kReserveBytes;  // room for the next read
  bool m_tooSmall = false;        // the last ReadNext's chunk did not fit its room
  CSingleThread m_thread{"TATParser"};
  CWaitEvent m_event;  // signalled at each idle turn

  // The reader's idle turn: parked until running is set or the thread is to stop.
  std::mutex m_parkMutex;
  std::condition_variable m_parkCond;
  bool m_parked = false;    // guarded by m_parkMutex
  bool m_stopping = false;  // guarded by m_parkMutex
};
