// The reader side of the card store: walks a store file's entries and reads one entry's
// chunks. Every size and offset read from the card is checked against the file and the
// entry before it is used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tat/store_format.h"

namespace roadkeep::tat {

struct EntryInfo {
  int64_t position = 0;  // of the entry header in its store file
  EntryHeader header;
  uint32_t size = 0;      // finished: the entry size; otherwise header + readable chunks
  uint32_t chunkEnd = 0;  // entry-relative end of the chunk area
  bool finished = false;
};

// Reads <card>/TAT/VOLUME.TAT; false when the folder holds no valid volume record.
bool ReadVolume(const std::string& cardRoot, VolumeRecord* volume);

// One store file open for reading. Reads are positional, so one object may serve several
// threads at once.
class CStoreFile {
 public:
  CStoreFile() = default;
  ~CStoreFile();
  CStoreFile(const CStoreFile&) = delete;
  CStoreFile& operator=(const CStoreFile&) = delete;

  // Opens and checks the store header (its kind must be kindCode).
  bool Open(const std::string& path, int kindCode);
  // Every entry with a sound header, in store order. A damaged header is skipped by
  // searching forward for the next sound one.
  std::vector<EntryInfo> ListEntries() const;
  bool EntryAt(int64_t position, EntryInfo* info) const;
  bool ReadAt(int64_t position, void* buffer, size_t size) const;
  // Reads size bytes into buffer and up to extraSize more into extra in one call; returns
  // the number of extra bytes read, or -1 when buffer could not be filled.
  int ReadAtWithExtra(int64_t position, void* buffer, size_t size, void* extra,
                      size_t extraSize) const;
  int64_t Size() const { return m_size; }

  // Entry-relative end of the readable chunks from the first chunk up to limit, by chunk
  // headers alone (payload checksums are checked when a chunk is read).
  uint32_t ScanChunks(int64_t entryPosition, uint64_t limit) const;

 private:
  int64_t FindNextEntry(int64_t from) const;

  int m_fd = -1;
  int64_t m_size = 0;
};

// Reads the chunks of one entry in order and seeks by unit. Not thread-safe: the library
// serialises calls on it.
class CEntryCursor {
 public:
  enum Result { kOk = 0, kEnd = 2, kError = 3 };

  CEntryCursor(std::shared_ptr<const CStoreFile> file, const EntryInfo& entry);

  // Next chunk into buffer (capacity bytes). A chunk that fails its checks ends the
  // recording: kError, and every later call returns kEnd.
  Result Read(uint8_t* camera, uint8_t* type, uint8_t* key, int* size, void* buffer,
              int capacity);
  // Moves to the start of seek unit `unit`, clamped to the recording.
  void SeekUnit(int64_t unit);
  int UnitCount();

 private:
  void LoadSeekTable();

  std::shared_ptr<const CStoreFile> m_file;
  EntryInfo m_entry;
  uint32_t m_cursor;  // entry-relative
  bool m_ended = false;
  bool m_tableLoaded = false;
  std::vector<uint32_t> m_seekTable;  // entry-relative unit starts
  // The header of the chunk at m_cursor, read together with the previous payload.
  uint8_t m_next[kChunkHeaderSize] = {};
  bool m_haveNext = false;
};

}  // namespace roadkeep::tat
