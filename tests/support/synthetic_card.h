// Cards written through the recorder-side store writer with synthetic payloads, quick
// enough for table-driven tests. Each payload says what it is: byte 0 the chunk type,
// bytes 1..4 its ordinal within its type (little-endian), the rest a pattern.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tat/store_format.h"

namespace roadkeep::test {

struct SyntheticRecording {
  std::string name;        // e.g. "REC_20140301_093015_D.avi"; the kind comes from it
  int seconds = 3;
  int fps = 30;
  bool dual = true;
  int videoBytes = 2000;   // per front frame; rear frames are half
  bool finish = true;      // false: leave it as a recorder losing power would
};

// Formats dir as a card when it holds none yet, then appends each recording.
bool WriteSyntheticCard(const std::string& dir, const std::vector<SyntheticRecording>& recs,
                        uint64_t cardId = 7);

// Changes the header of the nth entry named name in the card's store file of kind, as a
// damaged or odd recorder would have written it, and seals it again (its CRC made good).
// False when there is no such entry.
bool EditEntryHeader(const std::string& cardDir, int kindCode, const std::string& name,
                     const std::function<void(roadkeep::tat::EntryHeader&)>& change,
                     int nth = 0);

// The payload of the n-th chunk of a type, as WriteSyntheticCard writes it.
std::vector<uint8_t> SyntheticPayload(int type, int ordinal, int size);
// Time of a chunk: front/rear frames at fps, audio every 200 ms, 'G' text every second,
// 'M' text every 100 ms, each group following the front frame of its time.

}  // namespace roadkeep::test
