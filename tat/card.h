// The card layer: one card opened once, its recordings as typed values, and any number of
// independent readers over them. Playback, export and the telemetry each read through a
// reader of their own, so one never moves another's position.
//
// Threads: CCard is safe to use from any thread (its kind lists are under its own lock;
// store files are read positionally and shared with the readers that use them). A
// CRecordingReader belongs to one thread at a time, its owner's.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "containers/media_parser.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"

namespace roadkeep::tat {
class CStoreFile;
class CEntryCursor;
struct EntryInfo;
}  // namespace roadkeep::tat

// Chunk counts of one recording: from the header of a finished entry, by walking the chunks
// of one still being recorded.
struct RecordingCounts {
  uint32_t front = 0, rear = 0, audio = 0, acc = 0, gps = 0;
};

// What the card knows of a recording. The numbers are checked: a header whose counts,
// length or frame rates cannot be true is read again from its chunks, and says so in
// `damage`.
struct Recording {
  std::string name;
  int kindCode = 0;        // roadkeep::tat::KindCode
  int index = 0;           // among its kind's entries, in store order; with the kind, its
                           // identity (several recordings may share a name)
  uint32_t startTime = 0;  // seconds since 1970, the recorder's local clock
  uint32_t durationMs = 0;  // an unfinished entry's: of the front frames it holds
  uint32_t sizeBytes = 0;
  int frontFps = 0, rearFps = 0;
  int frontWidth = 0, frontHeight = 0, rearWidth = 0, rearHeight = 0;
  RecordingCounts counts;
  // Empty for a sound header; else what in it cannot be true, in a few words.
  std::string damage;
  // False when the damage leaves no value to copy it with (a picture size or frame rate
  // neither the header nor the chunks can give): an export refuses it.
  bool copyable = true;

  // A rear camera is there when the store holds rear frames, whatever the name or the rate
  // says.
  int CameraCount() const { return counts.rear > 0 ? 2 : 1; }
  bool HasGps() const { return counts.gps > 0; }
  // The root folder of its card when that is not the card in use (several cards at once);
  // empty for the card in use.
  std::string card;

  // What a parser opens to read this very recording, whatever its name holds: its card, kind
  // and index.
  MediaSource Identity() const { return MediaSource::CardEntry(card, kindCode, index); }
};

// The limits a recorder's header is held to.
inline constexpr int kMaxFrameRate = 120;
inline constexpr int kMinPictureSide = 16, kMaxPictureSide = 8192;

// The chunks of one recording in order, with seeks by unit (kFramesPerUnit front frames).
class CRecordingReader {
 public:
  enum Result { kOk = 0, kEnd = 2, kError = 3, kTooSmall = 4 };

  CRecordingReader(std::shared_ptr<const roadkeep::tat::CStoreFile> file,
                   const roadkeep::tat::EntryInfo& entry, Recording recording);
  ~CRecordingReader();
  CRecordingReader(const CRecordingReader&) = delete;
  CRecordingReader& operator=(const CRecordingReader&) = delete;

  const Recording& Info() const { return m_recording; }
  // The entry's 212 header bytes as they lie in the store.
  const uint8_t* Header() const { return m_header; }

  // As CEntryCursor::Read and ReadMany (tat/store_reader.h).
  Result Read(uint8_t* camera, uint8_t* type, uint8_t* key, int* size, void* buffer,
              int capacity);
  Result ReadMany(uint8_t* buffer, int capacity, TatChunkRef* refs, int maxRefs,
                  int* count);
  // As CEntryCursor::ReadText: the next text chunk, without reading the video or audio.
  Result ReadText(uint32_t* timeMs, int* size, void* buffer, int capacity);
  // Moves to seek unit (total units - back), clamped to the recording.
  void SeekBack(int64_t back);

 private:
  std::unique_ptr<roadkeep::tat::CEntryCursor> m_cursor;
  Recording m_recording;
  uint8_t m_header[roadkeep::tat::kEntryHeaderSize] = {};
};

class CCard {
 public:
  // root: the folder holding the card's TAT folder. Nothing is read until asked.
  explicit CCard(std::string root);
  ~CCard();
  CCard(const CCard&) = delete;
  CCard& operator=(const CCard&) = delete;

  const std::string& Root() const { return m_root; }
  // Reads the kind's store file again (a recorder may have added to it). -1 when the file is
  // there but cannot be read (StoreError says why); a missing file is a kind without
  // recordings.
  int Refresh(int kindCode);
  // errno of the kind's store file at its last reading (EINVAL: not a store of that kind).
  int StoreError(int kindCode);
  // The kind's recordings in store order, read once and kept until Refresh.
  std::vector<Recording> Recordings(int kindCode);
  // Every kind's recordings of at least kListingFloor bytes.
  std::vector<Recording> ListedRecordings();

  // Index of name among its kind's entries (without regard to case), -1 for none.
  int Find(int kindCode, const std::string& name);
  // A reader at the start of the recording; null when there is none. Its header bytes stay
  // readable after the card is gone (the reader then reports a read error).
  std::unique_ptr<CRecordingReader> OpenReader(int kindCode, int index);
  // The kind of a name: its kind word, else its first letter (R, E, M, P); -1 for none.
  static int KindOfName(const std::string& name);

 private:
  struct KindList;
  // REQUIRES: m_lock held.
  KindList* Load(int kindCode, bool refresh);

  const std::string m_root;
  std::mutex m_lock;
  std::unique_ptr<KindList> m_kinds[roadkeep::tat::kKindCount];  // guarded by m_lock
};
