// CTextData: the GPS and G-sensor samples of the open recording, collected from the text
// stream on the player's thread and read on the user-interface thread.
//
// Text-stream chunk payload (the player appends one zero byte after the chunk's bytes):
//   'G' '$' "GPRMC" ...   a GPS fix as an NMEA RMC sentence (other sentences are ignored)
//   'M' b1 b2 b3          one G-sensor reading, three raw axis bytes
// Any other first byte is ignored.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "sensors/gps_data.h"
#include "sensors/gsensor_data.h"

class CTextData {
 public:
  CTextData() = default;
  CTextData(const CTextData&) = delete;
  CTextData& operator=(const CTextData&) = delete;

  // Turns one chunk into a record. text: the chunk bytes and a terminating zero; length:
  // their count including that zero. Nothing is read at or past text + length. A valid RMC
  // fix is appended to the GPS array; an 'M' reading is appended while the G-sensor array
  // holds fewer elements than whole seconds of playbackMs, so element i is the first
  // reading once playback reached i + 1 seconds. Any thread.
  void OnTextData(const char* text, int length, int playbackMs);

  // Adapter for the player's text callback; user is the CTextData.
  static void TextCallback(void* user, const char* data, int size, int timeMs);

  // Empties both arrays (a recording is opened, playback stops, the card goes away).
  void Clear();

  // Copies of what has been collected; each takes the lock once.
  bool LastGps(CGPSData* out) const;  // false when there is no GPS record
  int GpsCount() const;
  int GSensorCount() const;
  std::vector<CGSensorData> GSensorSamples() const;
  std::vector<CGPSData> GpsRecords() const;

 private:
  // Guarded by m_lock, held for each append, each read and each emptying.
  mutable std::mutex m_lock;
  std::vector<CGSensorData> m_gsensor;
  std::vector<CGPSData> m_gps;
};
