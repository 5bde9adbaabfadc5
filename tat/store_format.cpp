#include "tat/store_format.h"

#include <cstring>
#include <strings.h>

#include "platform/byte_order.h"
#include "tat/crc32c.h"

namespace roadkeep::tat {
namespace {

constexpr char kVolumeMagic[8] = {'R', 'K', 'T', 'A', 'T', 'V', 'O', 'L'};
constexpr char kStoreMagic[8] = {'R', 'K', 'T', 'A', 'T', 'S', 'T', 'R'};
constexpr uint8_t kEntryMagic[3] = {'T', 'E', kFormatVersion};

void SealCrc(uint8_t* record, int size) {
  PutU32(record + size - 4, Crc32c(0, record, static_cast<size_t>(size - 4)));
}
bool CrcOk(const uint8_t* record, int size) {
  return GetU32(record + size - 4) == Crc32c(0, record, static_cast<size_t>(size - 4));
}
uint64_t GetU64(const uint8_t* p) { return GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32); }
void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v));
  PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace

const char* KindWord(int kindCode) {
  switch (kindCode) {
    case kKindEvent: return "EVENT";
    case kKindDriving: return "REC";
    case kKindParking: return "PARKING";
    case kKindManual: return "MANUAL";
    default: return nullptr;
  }
}

int KindCodeOfName(const std::string& name) {
  const std::string word = name.substr(0, name.find('_'));
  for (int code = 0; code < kKindCount; ++code) {
    if (strcasecmp(word.c_str(), KindWord(code)) == 0) return code;
  }
  return -1;
}

std::string StoreFileName(int kindCode) {
  const char* word = KindWord(kindCode);
  return word ? std::string(word) + ".TAT" : std::string();
}

void EncodeVolume(const VolumeRecord& v, uint8_t out[kVolumeRecordSize]) {
  std::memset(out, 0, kVolumeRecordSize);
  std::memcpy(out, kVolumeMagic, 8);
  PutU16(out + 8, kFormatVersion);
  PutU64(out + 16, v.cardId);
  PutU64(out + 24, v.formatTime);
  SealCrc(out, kVolumeRecordSize);
}

bool DecodeVolume(const uint8_t in[kVolumeRecordSize], VolumeRecord* v) {
  if (std::memcmp(in, kVolumeMagic, 8) != 0 || GetU16(in + 8) != kFormatVersion) return false;
  if (!CrcOk(in, kVolumeRecordSize)) return false;
  v->cardId = GetU64(in + 16);
  v->formatTime = GetU64(in + 24);
  return true;
}

void EncodeStoreHeader(const StoreHeader& h, uint8_t out[kStoreHeaderSize]) {
  std::memset(out, 0, kStoreHeaderSize);
  std::memcpy(out, kStoreMagic, 8);
  PutU16(out + 8, kFormatVersion);
  out[10] = static_cast<uint8_t>(h.kindCode);
  PutU64(out + 16, h.cardId);
  SealCrc(out, kStoreHeaderSize);
}

bool DecodeStoreHeader(const uint8_t in[kStoreHeaderSize], StoreHeader* h) {
  if (std::memcmp(in, kStoreMagic, 8) != 0 || GetU16(in + 8) != kFormatVersion) return false;
  if (!CrcOk(in, kStoreHeaderSize) || in[10] >= kKindCount) return false;
  h->kindCode = in[10];
  h->cardId = GetU64(in + 16);
  return true;
}

void EncodeEntryHeader(const EntryHeader& h, uint8_t out[kEntryHeaderSize]) {
  std::memset(out, 0, kEntryHeaderSize);
  std::memcpy(out, kEntryMagic, 3);
  out[3] = h.frontFps;
  out[4] = h.rearFps;
  out[5] = h.kindCode;
  out[6] = h.cameras;
  out[7] = h.flags;
  PutU32(out + 8, h.entrySize);
  PutU32(out + 12, h.chunkBytes);
  PutU32(out + 16, h.durationMs);
  PutU16(out + 20, h.frontHeight);
  PutU16(out + 22, h.rearHeight);
  PutU32(out + 24, h.frontFrames);
  PutU32(out + 28, h.rearFrames);
  PutU32(out + 32, h.audioChunks);
  PutU32(out + 36, h.gpsSamples);
  PutU32(out + 40, h.accSamples);
  PutU32(out + 44, h.seekOffset);
  PutU32(out + 48, h.seekUnits);
  PutU16(out + 52, h.frontWidth);
  PutU16(out + 54, h.rearWidth);
  std::memcpy(out + 56, h.name, kNameSize);
  out[56 + kNameSize - 1] = 0;
  PutU32(out + 96, h.startTime);
  SealCrc(out, kEntryHeaderSize);
}

bool DecodeEntryHeader(const uint8_t in[kEntryHeaderSize], EntryHeader* h) {
  if (std::memcmp(in, kEntryMagic, 3) != 0 || !CrcOk(in, kEntryHeaderSize)) return false;
  h->frontFps = in[3];
  h->rearFps = in[4];
  h->kindCode = in[5];
  h->cameras = in[6];
  h->flags = in[7];
  h->entrySize = GetU32(in + 8);
  h->chunkBytes = GetU32(in + 12);
  h->durationMs = GetU32(in + 16);
  h->frontHeight = GetU16(in + 20);
  h->rearHeight = GetU16(in + 22);
  h->frontFrames = GetU32(in + 24);
  h->rearFrames = GetU32(in + 28);
  h->audioChunks = GetU32(in + 32);
  h->gpsSamples = GetU32(in + 36);
  h->accSamples = GetU32(in + 40);
  h->seekOffset = GetU32(in + 44);
  h->seekUnits = GetU32(in + 48);
  h->frontWidth = GetU16(in + 52);
  h->rearWidth = GetU16(in + 54);
  std::memcpy(h->name, in + 56, kNameSize);
  h->startTime = GetU32(in + 96);
  if (h->name[kNameSize - 1] != 0 || h->name[0] == 0) return false;
  return h->kindCode < kKindCount && (h->cameras == 1 || h->cameras == 2);
}

bool FinishedPartsFit(const EntryHeader& h) {
  const uint64_t chunkEnd = static_cast<uint64_t>(kEntryHeaderSize) + h.chunkBytes;
  const uint64_t seekEnd = static_cast<uint64_t>(h.seekOffset) + 12 + 4ull * h.seekUnits;
  return h.seekOffset >= chunkEnd && seekEnd <= h.entrySize && (h.entrySize & 3) == 0;
}

void EncodeChunkHeader(const ChunkHeader& h, uint8_t out[kChunkHeaderSize]) {
  out[0] = h.type;
  out[1] = h.camera;
  out[2] = h.key;
  out[3] = 0;
  PutU32(out + 4, h.size);
  PutU32(out + 8, h.timeMs);
  PutU32(out + 12, h.crc);
}

bool DecodeChunkHeader(const uint8_t in[kChunkHeaderSize], ChunkHeader* h) {
  h->type = in[0];
  h->camera = in[1];
  h->key = in[2];
  h->size = GetU32(in + 4);
  h->timeMs = GetU32(in + 8);
  h->crc = GetU32(in + 12);
  return h->type <= kTypeText && h->camera <= 1 && in[3] == 0 && h->size <= kMaxChunkSize;
}

uint32_t ChunkCrc(const uint8_t header[kChunkHeaderSize], const void* payload, uint32_t size) {
  return Crc32c(Crc32c(0, header, 12), payload, size);
}

}  // namespace roadkeep::tat
