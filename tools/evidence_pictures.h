// One picture per camera of a recording at a chosen moment, decoded without a player: the
// chunks are read from the start through a reader of its own, each camera's chunks since its
// last key frame are held, and those are decoded once the camera reaches its frame at that
// moment. Qt-free; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/evidence_report.h"

class CRecordingReader;

// Pictures (front first) of the frames at ms; a camera that cannot give one (damage, a read
// error, the card gone) gives an empty picture.
std::vector<ReportPicture> DecodePicturesAt(CRecordingReader& reader, int64_t ms);
