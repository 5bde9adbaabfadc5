// Writes a recording of the card as one MP4 file through FFmpeg's mp4 muxer. The video is
// copied, not re-encoded: each front (and rear) chunk becomes one sample of its H.264 track,
// the recorder's own NAL units; the muxer turns the Annex B start codes into length fields
// and the first key frame's SPS/PPS into the track's avcC. Frame i of a camera is at i / its
// frame rate. The PCM chunks are encoded to AAC (FFmpeg's native encoder); the sensor text
// stays out. The moov goes to the front (faststart) so a player can start before the end.
// A job may ask for the video re-encoded instead (containers/mp4_reencode.h): an overlay
// drawn onto every picture, or the front and the rear side by side in one track.
// A trip's recordings may go into one file, one after another: the tracks are declared once
// and each recording's frames and samples continue the earlier ones' times (a recording is
// written as a trip of one).
//
// Threads: one exporter is driven by one thread at a time; the parser is borrowed for the
// duration of a call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "containers/recording_export.h"

class VFrameOverlay;
class VMediaParser;

// How the video reaches the file: copied, re-encoded a track per camera, or re-encoded as one
// track of the front with the scaled rear to its right.
enum class Mp4Video { kCopy, kReencode, kSideBySide };

// One recording to write: what the parser opens, the name reports show, the file it becomes
// in the folder, and whether the card counts audio chunks for it (the audio track is declared
// before the first chunk is read).
struct Mp4Job {
  MediaSource source;
  std::string name;
  std::string fileName;
  bool audio = false;
  Mp4Video video = Mp4Video::kCopy;
  // Borrowed; drawn onto each re-encoded picture when not null (ignored by kCopy).
  VFrameOverlay* overlay = nullptr;
};

// The AVI export's outcomes and counts; an MP4 is never left behind a read error (kReadError
// means no file), and kStopped is not used.
struct Mp4Result : ExportResult {
  int32_t audioChunks = 0;  // PCM chunks encoded
  int32_t leftOut = 0;      // chunks no MP4 track can hold: JPEG pictures among the video,
                            // audio of a recording the card counted none for
  std::string recording;    // of a trip that stopped: the recording it stopped at
};

// Called before each video frame is written (handed to the re-encode) and while the card makes the
// copy wait, with the front and rear frames written so far and the count the recording states;
// false cancels.
using Mp4Progress = std::function<bool(int done, int total)>;

class CMp4Export {
 public:
  // The parser is borrowed (started by the caller) and must outlive the exporter.
  explicit CMp4Export(VMediaParser& parser);
  CMp4Export(const CMp4Export&) = delete;
  CMp4Export& operator=(const CMp4Export&) = delete;

  // Writes the job's recording to destination, under a temporary name beside it, renamed
  // into place only when whole and on the disk. An existing file is never replaced
  // (kExists). A cancel, a read error or a failed write leaves no file.
  Mp4Result ConvertRecording(const Mp4Job& job, const std::string& destination,
                             const Mp4Progress& progress);
  // Writes the recordings (a trip's, in order) into one MP4 at destination, as
  // ConvertRecording writes one: a front track, a rear one when any recording has rear frames,
  // AAC when any has audio; each recording's frames follow the earlier ones' without a gap.
  // A recording whose picture size or frame rate (or sound format) differs from the first
  // one's stops it with kNotCreated, result.recording naming it; nothing is written. Only
  // copied video joins (a re-encode of more than one recording: kNotCreated). The counts are
  // the trip's sums; result.name is name.
  Mp4Result ConvertTrip(const std::vector<Mp4Job>& recordings, const std::string& name,
                        const std::string& destination, const Mp4Progress& progress);
  // ConvertTrip into folder under fileName, checked as ExportAll checks names.
  Mp4Result ExportTrip(const std::string& folder, const std::string& fileName,
                       const std::string& name, const std::vector<Mp4Job>& recordings,
                       const Mp4Progress& progress);
  // ConvertRecording for each job into folder, names checked as the AVI export checks them
  // (kBadName: nothing read). Stops after a cancel. One result per job tried.
  std::vector<Mp4Result> ExportAll(const std::string& folder, const std::vector<Mp4Job>& jobs,
                                   const Mp4Progress& progress);

 private:
  VMediaParser& m_parser;
  std::vector<uint8_t> m_buffer;  // one chunk
};

// One English line: what happened to the recording and why.
std::string DescribeMp4Result(const Mp4Result& result);
