#include "sensors/recording_track.h"

#include <vector>

#include "tat/card.h"

namespace roadkeep::sensors {

bool ReadRecordingTrack(CCard& card, const Recording& recording, RecordingTrack* track) {
  *track = RecordingTrack();
  const std::unique_ptr<CRecordingReader> reader =
      card.OpenReader(recording.kindCode, recording.index);
  // The card may have been read again since the recording was listed.
  if (!reader || reader->Info().name != recording.name) return false;
  CTrackBuilder builder;
  std::vector<char> text(256);
  for (;;) {
    uint32_t timeMs = 0;
    int size = 0;
    const CRecordingReader::Result result =
        reader->ReadText(&timeMs, &size, text.data(), static_cast<int>(text.size()));
    if (result == CRecordingReader::kTooSmall) {
      text.resize(static_cast<size_t>(size));
      continue;
    }
    if (result == CRecordingReader::kOk) {
      builder.Add(timeMs, text.data(), size);
      continue;
    }
    *track = builder.Finish();
    return result == CRecordingReader::kEnd;
  }
}

}  // namespace roadkeep::sensors
