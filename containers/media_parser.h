// The recording parser interface: the player and the export read a recording chunk by chunk
// through it, from an AVI file (CAVIExtractor) or from the card store (CTATParser).
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

// Chunk ids: two decimal digits of stream number, then the kind.
inline constexpr char kIdFrontVideo[5] = "00dc";
inline constexpr char kIdRearVideo[5] = "01dc";
inline constexpr char kIdAudio[5] = "02wb";       // with rear video
inline constexpr char kIdText[5] = "03tx";        // with rear video
inline constexpr char kIdAudioOneCam[5] = "01wb";  // without rear video
inline constexpr char kIdTextOneCam[5] = "02tx";   // without rear video

// Stream kinds returned by ReadNext.
enum StreamKind : int {
  kKindFrontVideo = 0,
  kKindRearVideo = 1,
  kKindAudio = 2,
  kKindText = 3,
  kKindNothing = 4,  // nothing to deliver this turn
  kKindOther = 5,    // end, error or a chunk of another kind
};

// What a read of the next chunk found. A stalled card is kNoData, not the end: the caller
// waits and reads again.
enum class ChunkStatus : int {
  kChunk = 0,   // a chunk with its id
  kNoData = 1,  // nothing yet; the recording goes on
  kEnd = 2,     // the recording has no more chunks
  kError = 3,   // the recording could not be read (or not opened)
};

// Bit set on every frame index entry.
inline constexpr uint32_t kFrameIndexFlag = 0x80000000u;

// Filled by a parser's Open / BuildIndex; owned by the caller.
struct MediaInfo {
  int32_t frontFrameRate = 0;
  int32_t rearFrameRate = 0;
  int32_t frontFrameCount = 0;
  int32_t rearFrameCount = 0;
  // Why the recording cannot be copied as it is (its header holds a picture size or frame
  // rate that cannot be and that nothing else gives); empty when it can.
  std::string damage;
  // One entry per front video chunk in file order: chunk header position | kFrameIndexFlag.
  std::vector<uint32_t> frameIndex;
};

// Classifies a chunk id by its last two characters; "dc" reads the stream number: 0 is the
// front camera, anything else the rear. Returns a StreamKind.
int ChunkKindOf(const char id[4]);

// Which recording a parser opens, as typed values, never text to be split again: a recording
// of a card by the card's root folder, its kind code and its index among that kind's entries
// (what CCard::OpenReader takes), or a file path or a plain name a user typed.
struct MediaSource {
  // A card's recording: root empty means the card in use.
  static MediaSource CardEntry(std::string root, int kindCode, int index) {
    MediaSource source;
    source.cardRoot = std::move(root);
    source.kindCode = kindCode;
    source.index = index;
    return source;
  }
  // An AVI file's path, or a recording's name as a user typed it (the parser looks it up).
  static MediaSource Named(std::string path) {
    MediaSource source;
    source.path = std::move(path);
    return source;
  }
  bool IsCardEntry() const { return index >= 0; }
  auto operator<=>(const MediaSource&) const = default;

  std::string path;      // for Named; empty for a card entry
  std::string cardRoot;  // for CardEntry; empty: the card in use
  int kindCode = -1;     // roadkeep::tat::KindCode
  int index = -1;        // among the kind's entries in store order
};

class VMediaParser {
 public:
  virtual bool Start() = 0;
  virtual void Stop() = 0;
  // Returns nonzero on success (the AVI reader: the movi list size).
  virtual int Open(const char* path, MediaInfo* info) = 0;
  // Opens the recording source names, as Open. A parser of files opens a Named source's path
  // and fails a card entry as it fails a path it cannot open.
  virtual int OpenSource(const MediaSource& source, MediaInfo* info) {
    return Open(source.IsCardEntry() ? "" : source.path.c_str(), info);
  }
  virtual void Close() = 0;
  // Reads one chunk into buffer (size: capacity in, payload size out); returns a StreamKind.
  virtual int ReadNext(void* buffer, int* size) = 0;
  // Reads the next chunk with its id (size: capacity in, payload size out). Returns -1 on
  // failure or end.
  virtual int ReadChunk(char id[4], void* buffer, int* size) = 0;
  // The next chunk with its id (size: capacity in, payload size out), or why there is none.
  // Waits a little for data; a parser that cannot tell waiting from the end reports the end.
  virtual ChunkStatus NextChunk(char id[4], void* buffer, int* size) {
    if (ReadChunk(id, buffer, size) >= 0) return ChunkStatus::kChunk;
    return ReadFailed() ? ChunkStatus::kError : ChunkStatus::kEnd;
  }
  virtual bool BuildIndex(const char* path, MediaInfo* info) = 0;
  virtual void Hook(int) = 0;
  // out = {width, height} of video stream 0 or 1; returns out.
  virtual int* GetVideoSize(int out[2], int stream) = 0;
  virtual int GetFrameRate(int stream) = 0;
  virtual void GetAudioFormat(int* bits, int* rate) = 0;
  virtual int Read(void* buffer, int count) = 0;
  virtual int Seek(int offset, int origin) = 0;
  virtual int Tell() = 0;
  virtual int GetTotalFrames() = 0;
  virtual int SeekToTime(float seconds) = 0;
  // True when SeekToTime returns the time reached (seconds), false when it returns a status.
  virtual bool SeekReportsTime() = 0;
  // The front frame the last SeekToTime reached (the next one read), or -1 when the parser
  // cannot tell.
  virtual int FrameReached() { return -1; }
  // Front frames per seek unit when every unit begins with a key frame; 0 when unknown.
  virtual int UnitFrames() { return 0; }
  // True when the recording could not be read: the last Open failed, or ReadChunk's -1 came
  // from a read error rather than the end of the recording.
  virtual bool ReadFailed() { return false; }
  virtual ~VMediaParser() = default;
};
