// A recording's track read from the card: its text stream through a reader of its own, which
// walks the chunk headers and reads only the text chunks, never the video or the sound, so
// reading a track neither waits for playback nor moves it. Qt-free; any thread.
#pragma once

#include "sensors/track.h"

class CCard;
struct Recording;

namespace roadkeep::sensors {

// Reads the recording's track into *track (emptied first). Damaged chunks are skipped. False
// when the recording cannot be read: not on the card (any more), or a read error; *track then
// holds what was read before it.
bool ReadRecordingTrack(CCard& card, const Recording& recording, RecordingTrack* track);

}  // namespace roadkeep::sensors
