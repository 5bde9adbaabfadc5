// The card store: byte layout shared by the recorder side (CTatStoreWriter) and the
// reader side (the Tat* library). docs/card-store.md describes it in full. All integers
// are little-endian.
//
//   <card>/TAT/VOLUME.TAT      64-byte volume record: magic, version, card id, CRC
//   <card>/TAT/<KIND>.TAT      one store file per kind: 64-byte header, then entries
//
// An entry is one recording: a 212-byte header, its chunks back to back (16-byte chunk
// header + payload padded to 4 bytes), then the seek table. Entries are appended; only the
// header of the entry being recorded is rewritten (when it is finished).
#pragma once

#include <cstdint>
#include <string>

namespace roadkeep::tat {

inline constexpr uint16_t kFormatVersion = 1;
inline constexpr char kStoreFolder[] = "TAT";
inline constexpr char kVolumeFile[] = "VOLUME.TAT";
inline constexpr int kVolumeRecordSize = 64;
inline constexpr int kStoreHeaderSize = 64;
inline constexpr int kEntryHeaderSize = 212;
inline constexpr int kChunkHeaderSize = 16;
inline constexpr int kNameSize = 40;         // NUL-terminated, at most 39 characters
inline constexpr int kFramesPerUnit = 24;    // front frames per seek unit (one GOP)
inline constexpr uint32_t kMaxChunkSize = 0x100000;

// Kind codes of the library calls.
enum KindCode : int { kKindEvent = 0, kKindDriving = 1, kKindParking = 2, kKindManual = 3 };
inline constexpr int kKindCount = 4;

// "REC", "EVENT", "PARKING", "MANUAL" for codes 1, 0, 2, 3; null for others.
const char* KindWord(int kindCode);
// Kind code of a recording name's first field (without regard to case), or -1.
int KindCodeOfName(const std::string& name);
// "REC.TAT" and so on.
std::string StoreFileName(int kindCode);

// Chunk types as TatRead reports them.
enum ChunkType : uint8_t { kTypeFrontVideo = 0, kTypeAudio = 1, kTypeRearVideo = 2, kTypeText = 3 };

struct VolumeRecord {
  uint64_t cardId = 0;
  uint64_t formatTime = 0;  // seconds since 1970
};

struct StoreHeader {
  int kindCode = 0;
  uint64_t cardId = 0;
};

enum EntryFlags : uint8_t { kEntryFinished = 1 };

// The entry header. Bytes 3, 4 (frame rates), 20, 22 (heights) and 52, 54 (widths) sit
// where the parser reads them; the rest is the store's own.
struct EntryHeader {
  uint8_t frontFps = 0;      // byte 3
  uint8_t rearFps = 0;       // byte 4; 0 without a rear camera
  uint8_t kindCode = 0;      // byte 5
  uint8_t cameras = 1;       // byte 6
  uint8_t flags = 0;         // byte 7, EntryFlags
  uint32_t entrySize = 0;    // 8: header + chunks + seek table; 0 while recording
  uint32_t chunkBytes = 0;   // 12: bytes of the chunk area
  uint32_t durationMs = 0;   // 16
  uint16_t frontHeight = 0;  // 20
  uint16_t rearHeight = 0;   // 22
  uint32_t frontFrames = 0;  // 24
  uint32_t rearFrames = 0;   // 28
  uint32_t audioChunks = 0;  // 32
  uint32_t gpsSamples = 0;   // 36
  uint32_t accSamples = 0;   // 40
  uint32_t seekOffset = 0;   // 44: from the entry start; 0 while recording
  uint32_t seekUnits = 0;    // 48
  uint16_t frontWidth = 0;   // 52
  uint16_t rearWidth = 0;    // 54
  char name[kNameSize] = {};  // 56
  uint32_t startTime = 0;    // 96: seconds since 1970, local clock of the recorder
  // 100..207 reserved (zero); 208: CRC-32C of bytes 0..207
};

struct ChunkHeader {
  uint8_t type = 0;       // ChunkType
  uint8_t camera = 0;     // 0 front, 1 rear
  uint8_t key = 0;        // 1 for a key frame
  uint32_t size = 0;      // payload bytes
  uint32_t timeMs = 0;    // from the start of the recording
  uint32_t crc = 0;       // CRC-32C of header bytes 0..11 and the payload
};

void EncodeVolume(const VolumeRecord& v, uint8_t out[kVolumeRecordSize]);
bool DecodeVolume(const uint8_t in[kVolumeRecordSize], VolumeRecord* v);
void EncodeStoreHeader(const StoreHeader& h, uint8_t out[kStoreHeaderSize]);
bool DecodeStoreHeader(const uint8_t in[kStoreHeaderSize], StoreHeader* h);
void EncodeEntryHeader(const EntryHeader& h, uint8_t out[kEntryHeaderSize]);
// Checks magic, version, CRC, the name, the kind and the camera count.
bool DecodeEntryHeader(const uint8_t in[kEntryHeaderSize], EntryHeader* h);
// Whether a finished entry's chunk area and seek table lie inside its stated size, in order,
// and the size is a multiple of 4. Only an entry that fits in its file is held to it: one
// whose size runs past the end is read as unfinished.
bool FinishedPartsFit(const EntryHeader& h);
// Encodes bytes 0..11; the caller computes the CRC over them and the payload.
void EncodeChunkHeader(const ChunkHeader& h, uint8_t out[kChunkHeaderSize]);
// Decodes without checking the CRC (it needs the payload) but checks type and camera.
bool DecodeChunkHeader(const uint8_t in[kChunkHeaderSize], ChunkHeader* h);
uint32_t ChunkCrc(const uint8_t header[kChunkHeaderSize], const void* payload, uint32_t size);

inline uint32_t Pad4(uint32_t n) { return (n + 3u) & ~3u; }

}  // namespace roadkeep::tat
