// The recorder side of the card store: formats a card and appends recordings to it exactly
// as the recorder does. Used by roadkeep-tool and by tests; the viewer never writes a store.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tat/store_format.h"

namespace roadkeep::tat {

// Creates <card>/TAT with the volume record and the four (empty) store files, keeping
// store files that already exist. False (with a reason in *error) on any failure.
bool FormatCard(const std::string& cardRoot, uint64_t cardId, std::string* error);

class CTatStoreWriter {
 public:
  CTatStoreWriter() = default;
  ~CTatStoreWriter();
  CTatStoreWriter(const CTatStoreWriter&) = delete;
  CTatStoreWriter& operator=(const CTatStoreWriter&) = delete;

  // Starts a recording at the end of the store file of header.kindCode. The header gives
  // name, kind, cameras, sizes, rates and start time; counts are kept by the writer.
  bool BeginRecording(const std::string& cardRoot, const EntryHeader& header,
                      std::string* error);
  // Appends one chunk. A front key frame at a multiple of 24 front frames starts a seek
  // unit. False when no recording is open, the chunk is too large or the write fails.
  bool AddChunk(ChunkType type, int camera, bool key, uint32_t timeMs, const void* data,
                uint32_t size);
  // Writes the seek table and the final header. Returns the entry's size in bytes, 0 on
  // failure.
  uint32_t FinishRecording(uint32_t durationMs);
  // Closes without finishing, as when the recorder loses power mid-recording.
  void Abandon();

  int64_t EntryPosition() const { return m_entryPos; }
  // Size the entry would have if it were finished now.
  uint32_t SizeIfFinishedNow() const {
    return kEntryHeaderSize + m_header.chunkBytes + 12 + 4 * static_cast<uint32_t>(m_seekTable.size());
  }

 private:
  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  bool Write(const void* data, size_t size);

  std::unique_ptr<FILE, FileCloser> m_file;
  int64_t m_entryPos = 0;
  EntryHeader m_header;
  std::vector<uint32_t> m_seekTable;  // entry-relative offsets of the unit starts
  bool m_failed = false;
};

}  // namespace roadkeep::tat
