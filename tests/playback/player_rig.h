// A player wired as the viewer wires it (real TAT parser, real decoder, SDL audio through
// CWaveBox, headless surfaces), with spies that forward every call to the real parts and
// note what passed through them. Cards are written by roadkeep-tool make-card.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "decoding/decoder.h"
#include "playback/player.h"
#include "tat/tat_parser.h"
#include "playback/wave_box.h"
#include "platform/video_surface.h"
#include "sensors/text_data.h"
#include "tat/tat_library.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {

using Clock = std::chrono::steady_clock;

inline size_t HashBytes(const void* data, int size) {
  return std::hash<std::string_view>()(
      std::string_view(static_cast<const char*>(data), static_cast<size_t>(size)));
}


// Reads a recording once through its own parser and returns its front chunks (or their
// hashes). REQUIRES: the card's library handle is set (a PlayerRig exists).
std::vector<std::vector<uint8_t>> FrontChunks(TatHandle* library, const std::string& name);
std::vector<size_t> FrontChunkHashes(TatHandle* library, const std::string& name);

// Forwards to a CTATParser; counts reads and notes front chunks and seeks.
class CSpyParser : public CTATParser {
 public:
  ChunkStatus NextChunk(char id[4], void* buffer, int* size) override;
  int SeekToTime(float seconds) override;

  std::atomic<int> reads{0};
  std::atomic<int> frontDelivered{0};  // 00dc chunks handed to the player
  std::mutex mutex;                    // guards the vectors below
  std::vector<size_t> textSizes;       // sizes of 03tx chunks delivered
  std::vector<float> seeks;            // SeekToTime arguments
  std::vector<int> readsAtSeek;        // reads before each seek
};

// Forwards to a CDecoder; notes each front decode.
class CSpyDecoder : public CDecoder {
 public:
  bool DecodeAndShow(int index, VideoSurface* surface, const uint8_t* data, int size,
                     bool show) override;
  bool DecodeToFrame(int index, VideoSurface* surface, const uint8_t* data, int size,
                     cv::Mat* frame) override;
  struct Call {
    int index;
    size_t hash;
    bool show;
    int frontDeliveredBefore;  // parser's count when the decode began
  };
  std::vector<Call> Calls();
  CSpyParser* parser = nullptr;

 private:
  std::mutex m_mutex;
  std::vector<Call> m_calls;
};

// A surface that notes when each frame arrived and its mean brightness.
class CTimedSurface : public CHeadlessSurface {
 public:
  using CHeadlessSurface::CHeadlessSurface;
  void ShowFrame(const cv::Mat& frame) override;
  struct Shown {
    Clock::time_point at;
    double brightness;
  };
  std::vector<Shown> Frames();

 private:
  std::mutex m_mutex;
  std::vector<Shown> m_frames;
};

class PlayerRig {
 public:
  // Polls the card in dir, then starts the engine.
  explicit PlayerRig(const std::string& cardDir);
  ~PlayerRig();

  // Waits for the next status callback (code 1); false after timeout.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  int Ends();
  struct TextChunk {
    int size;
    char last;
  };
  std::vector<TextChunk> TextChunks();
  // Waits until pred holds (polling); false after timeout.
  static bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

  CSpyParser parser;
  CSpyDecoder decoder;
  CWaveBox audio;
  CTextData text;
  CTimedSurface front{160, 120}, rear{160, 120};
  CQMVMediaPlayer player;

 private:
  static void OnStatus(void* user, int code, int a, int b);
  static void OnText(void* user, const char* data, int size, int timeMs);
  TatHandle* m_library = nullptr;

 public:
  TatHandle* Library() const { return m_library; }
  std::mutex m_mutex;
  std::condition_variable m_cond;
  int m_ends = 0, m_waited = 0;
  std::vector<TextChunk> m_text;
};

}  // namespace roadkeep::test
