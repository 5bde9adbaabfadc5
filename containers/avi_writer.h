// Writes a recording in the AVI layout: a provisional header at Open, every chunk appended
// to the movi list, an in-memory index written as idx1 at Close, then the header rewritten
// with the final counts. Not thread-safe: one caller drives a writer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "containers/file_system.h"

class CAVIWriter {
 public:
  // Stream slots accepted by AddData.
  enum Slot { kSlotFront = 0, kSlotRear = 1, kSlotAudio = 2, kSlotText = 3 };

  // Takes ownership of file; a plain stdio file is used when none is given.
  explicit CAVIWriter(std::unique_ptr<VFileSystem> file = nullptr);
  virtual ~CAVIWriter();
  CAVIWriter(const CAVIWriter&) = delete;
  CAVIWriter& operator=(const CAVIWriter&) = delete;

  void SetDualVideo(bool dual);
  void SetVideoSize(int stream, int width, int height);
  void SetFrameRate(int stream, int fps);
  void SetAudioRate(int rate);

  // Creates path ("wb") and writes the provisional header. False when it cannot be opened.
  bool Open(const char* path);
  // Appends one chunk of size bytes to slot 0..3. An odd payload gets a zero pad byte.
  // False when no file is open, the slot or size is invalid, the chunk would take the file
  // beyond what the 32-bit index addresses, or the payload write comes up short.
  bool AddData(const void* data, int size, int slot);
  // Writes idx1 and the final header, flushes the file to the disk and closes. Returns the
  // RIFF size, 0 when not open, -1 when what was written did not all reach the disk.
  int Close();

  // Header list value H (280 one camera, 404 two, +100 with audio).
  int HeaderListValue() const;

 private:
  struct IndexEntry {
    int32_t slot;
    int32_t offset;  // from the 'movi' code
    int32_t size;    // padded
  };
  struct StreamSlot {
    char id[4];
    int32_t reserved;
    int32_t bytes;   // sum of padded payload sizes
    int32_t chunks;
  };

  std::vector<uint8_t> BuildHeader(uint32_t riffSize, uint32_t moviSize, bool final) const;
  int64_t ProjectedFileSize(int64_t extraPadded) const;

  std::vector<IndexEntry> m_index;
  int32_t m_moviBytes = 0;
  int32_t m_nextOffset = 4;
  int32_t m_chunkCount = 0;
  StreamSlot m_slots[5] = {};
  bool m_hasAudio = true;
  bool m_dual = false;
  int32_t m_headerList = 0;  // H
  int32_t m_width[2] = {0, 720};
  int32_t m_height[2] = {0, 480};
  int32_t m_fps[2] = {0, 15};
  int32_t m_fpsInUse[2] = {0, 0};
  int32_t m_audioRate = 8000;
  std::unique_ptr<VFileSystem> m_file;
};
