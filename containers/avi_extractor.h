// Reads a recording in the AVI layout chunk by chunk (RIFF 'AVI ', hdrl, movi, idx1).
//
// Threads: Read, Seek, Tell, Open and Close take the reader's lock. The synchronous
// ReadChunk does not: it is called from one thread at a time. With read-ahead a reader
// thread fills a 2 MB queue and ReadChunk pops from it. Only one BuildIndex runs at a time
// in the process (a shared staging buffer, serialised here by its own mutex).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "containers/media_parser.h"
#include "concurrency/single_thread.h"
#include "concurrency/sync.h"
#include "concurrency/thread_queue.h"
#include "concurrency/wait_event.h"

class CAVIExtractor : public VMediaParser {
 public:
  struct Options {
    bool readAhead = false;  // a reader thread reads ahead into a 2 MB queue
    bool scanOnly = false;   // skip video and audio payloads (BuildIndex turns it off)
  };
  static constexpr int kQueueCapacity = 0x200000;

  CAVIExtractor();
  explicit CAVIExtractor(Options options);
  ~CAVIExtractor() override;
  CAVIExtractor(const CAVIExtractor&) = delete;
  CAVIExtractor& operator=(const CAVIExtractor&) = delete;

  bool Start() override;
  void Stop() override;
  // With info, builds the frame index (BuildIndex) first; without, the reader has no index
  // and SeekToTime fails. Either way the previous file's index is gone.
  int Open(const char* path, MediaInfo* info) override;
  void Close() override;
  int ReadNext(void* buffer, int* size) override;
  int ReadChunk(char id[4], void* buffer, int* size) override;
  bool BuildIndex(const char* path, MediaInfo* info) override;
  void Hook(int) override {}
  int* GetVideoSize(int out[2], int stream) override;
  int GetFrameRate(int stream) override;
  void GetAudioFormat(int* bits, int* rate) override;
  int Read(void* buffer, int count) override;
  int Seek(int offset, int origin) override;
  int Tell() override;
  int GetTotalFrames() override;
  int SeekToTime(float seconds) override;
  bool SeekReportsTime() override { return false; }

  // Number of video streams seen by the last Open (0..2).
  int VideoStreamCount() const { return m_videoCount; }
  // Whether video stream `stream` of the last Open is H.264 by its compression code (H264,
  // X264, AVC1 in either case), as other producers' files may hold other video.
  bool VideoIsH264(int stream) const;
  // PCM audio only: another audio stream (MP3, AAC...) is left out, its chunks read back
  // with an id ending in "ig" so that nothing plays them as PCM.
  bool HasAudio() const { return m_hasAudio; }

 private:
  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  struct VideoStream {
    int width = 0;
    int height = 0;
    int fps = 0;  // unlimited; GetFrameRate caps it at 30
    char compression[4] = {};
  };

  int OpenLocked(const char* path);
  bool ParseHeaderItem(int64_t& remaining, int depth);
  bool ParseStreamList(int64_t& remaining);
  bool FindMovi(int64_t headerEnd, uint32_t* moviSize);
  bool ReadExact(void* buffer, int64_t count);
  bool ReadU32(uint32_t* value);
  bool Skip(int64_t count);
  int ReadChunkDirect(char id[4], void* buffer, int* size);
  int ReadChunkQueued(char id[4], void* buffer, int* size);
  static bool ReaderStep(void* self);
  void Pause();

  // Set at construction.
  Options m_options;

  CSync m_lock{"none"};  // guards m_file
  std::unique_ptr<FILE, FileCloser> m_file;
  int64_t m_fileSize = 0;  // bytes, as seen at Open

  // Written by Open (under m_lock), read by the caller's thread afterwards.
  uint32_t m_riffSize = 0;
  char m_formType[4] = {};
  uint8_t m_mainHeader[56] = {};
  uint8_t m_streamHeader[56] = {};
  uint8_t m_videoFormat[40] = {};
  uint8_t m_audioFormat[16] = {};
  bool m_hasAudio = false;
  bool m_otherAudio = false;  // an audio stream that is not PCM
  VideoStream m_video[2];
  int m_videoCount = 0;
  std::vector<uint32_t> m_frameIndex;
  bool m_scanOnly = false;

  // Read-ahead only.
  CThreadQueue m_queue;
  CSingleThread m_thread{nullptr};
  CWaitEvent m_event;
  std::vector<uint8_t> m_readerBuffer;  // reader thread only, between Start and Stop
  std::atomic<bool> m_running{false};
};
