// The reader side of the card store: walks a store file's entries and reads one entry's
// chunks. Every size and offset read from the card is checked against the file and the
// entry before it is used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tat/store_format.h"
#include "tat/tat_library.h"

namespace roadkeep::tat {

// Opens a regular file for reading without ever blocking in the open; -1 with *error set
// (EISDIR for a folder, EINVAL for anything else that is not a regular file).
int OpenRegularFile(const char* path, int* error);

struct EntryInfo {
  int64_t position = 0;  // of the entry header in its store file
  EntryHeader header;
  uint32_t size = 0;      // finished: the entry size; otherwise header + readable chunks
  uint32_t chunkEnd = 0;  // entry-relative end of the chunk area
  // Finished: the header's duration. Otherwise what the readable chunks hold: front frames
  // at the front frame rate (the header of an unfinished entry promises nothing).
  uint32_t durationMs = 0;
  bool finished = false;
};

// Reads <card>/TAT/VOLUME.TAT; false when the folder holds no valid volume record. *error
// (optional) tells why: the errno of a file that could not be opened or read (ENOENT when
// there is none), 0 when it was read but holds no sound record.
bool ReadVolume(const std::string& cardRoot, VolumeRecord* volume, int* error = nullptr);

// One store file open for reading. Reads are positional, so one object may serve several
// threads at once.
class CStoreFile {
 public:
  CStoreFile() = default;
  ~CStoreFile();
  CStoreFile(const CStoreFile&) = delete;
  CStoreFile& operator=(const CStoreFile&) = delete;

  // Opens and checks the store header (its kind must be kindCode). On failure Error() is
  // the errno of the open or read (ENOENT: no such file), or EINVAL for a file that is not
  // a store file of that kind.
  bool Open(const std::string& path, int kindCode);
  int Error() const { return m_error; }
  // Every entry with a sound header, in store order. A damaged header is skipped by
  // searching forward for the next sound one.
  std::vector<EntryInfo> ListEntries() const;
  bool EntryAt(int64_t position, EntryInfo* info) const;
  bool ReadAt(int64_t position, void* buffer, size_t size) const;
  // Reads up to size bytes (less at the end of the file or after a failing stretch); returns
  // the number read, or -1 when nothing could be read for an error.
  int ReadSome(int64_t position, void* buffer, size_t size) const;
  // Reads size bytes into buffer and up to extraSize more into extra in one call; returns
  // the number of extra bytes read, or -1 when buffer could not be filled.
  int ReadAtWithExtra(int64_t position, void* buffer, size_t size, void* extra,
                      size_t extraSize) const;
  int64_t Size() const { return m_size; }

  // Entry-relative end of the readable chunks from the first chunk up to limit, by chunk
  // headers alone (payload checksums are checked when a chunk is read); *frontFrames
  // (optional) counts the front video chunks among them.
  uint32_t ScanChunks(int64_t entryPosition, uint64_t limit, uint32_t* frontFrames = nullptr) const;

 private:
  int64_t FindNextEntry(int64_t from) const;

  int m_fd = -1;
  int64_t m_size = 0;
  int m_error = 0;
};

// Reads the chunks of one entry in order and seeks by unit. Not thread-safe: the library
// serialises calls on it.
class CEntryCursor {
 public:
  enum Result { kOk = 0, kEnd = 2, kError = 3, kTooSmall = 4 };

  CEntryCursor(std::shared_ptr<const CStoreFile> file, const EntryInfo& entry);

  // Next sound chunk into buffer (capacity bytes). A damaged chunk (bad header or checksum)
  // is skipped: reading resumes at the next chunk that passes its checks, or at the next
  // seek unit when none does before it. kError only when the store cannot be read (an I/O
  // error, the file cut short under the reader); later calls then return kError again until
  // a seek. kEnd after the last chunk. kTooSmall when the next chunk does not fit capacity:
  // *size is its size and nothing is consumed, so a read with that much room gets it.
  Result Read(uint8_t* camera, uint8_t* type, uint8_t* key, int* size, void* buffer,
              int capacity);
  // Whole chunks from the cursor, read in one go into buffer (capacity bytes) as they lie in
  // the store: each found chunk's payload is at refs[i].offset in buffer. Stops before the
  // first chunk that is not whole in the buffer or does not pass its checks, and leaves it
  // to Read (which skips damage); *count 0 then. kEnd / kError as Read.
  using ChunkRef = TatChunkRef;
  Result ReadMany(uint8_t* buffer, int capacity, ChunkRef* refs, int maxRefs, int* count);
  // The next sound text chunk, found by the chunk headers alone: no other chunk's payload is
  // read. A damaged chunk on the way is skipped as by Read (a text chunk's checksum is
  // checked, the others' are not: their payloads are never read); results as Read's, with
  // the chunk's time from the start of the recording in *timeMs.
  Result ReadText(uint32_t* timeMs, int* size, void* buffer, int capacity);
  // Damaged stretches skipped since the cursor was made.
  int DamagedSkipped() const { return m_damaged; }
  // Moves to the start of seek unit `unit`, clamped to the recording.
  void SeekUnit(int64_t unit);
  int UnitCount();

 private:
  void LoadSeekTable();
  // Moves m_cursor past the damaged chunk at it (see Read). False when the store could not
  // be read.
  bool SkipDamage();
  // Whether a sound chunk starts at entry-relative `at`: header, fit and checksum, checked
  // in m_scratch (so whether a chunk is sound never depends on the caller's buffer).
  bool ChunkSoundAt(uint32_t at, bool* ioError);
  std::vector<uint8_t> m_scratch;  // room for the largest chunk, made at the first damage

  std::shared_ptr<const CStoreFile> m_file;
  EntryInfo m_entry;
  uint32_t m_cursor;  // entry-relative
  bool m_ended = false;
  bool m_failed = false;  // ended by a read error
  int m_damaged = 0;
  bool m_tableLoaded = false;
  std::vector<uint32_t> m_seekTable;  // entry-relative unit starts
  // Read-ahead: entry bytes [m_windowStart, m_windowEnd) held in m_window. Small chunks are
  // served from it (one read for many of them); a large chunk's payload is read straight
  // into the caller's buffer, with the next chunk's header behind it into the window.
  static constexpr uint32_t kWindowSize = 64 * 1024;
  static constexpr uint32_t kSmallChunk = 16 * 1024;
  bool Held(uint32_t at, uint32_t size) const {
    return at >= m_windowStart && uint64_t{at} + size <= m_windowEnd;
  }
  // Reads the window from `at`; false when not even `needed` bytes could be read.
  bool FillWindow(uint32_t at, uint32_t needed);
  std::vector<uint8_t> m_window;
  uint32_t m_windowStart = 0, m_windowEnd = 0;
};

}  // namespace roadkeep::tat
