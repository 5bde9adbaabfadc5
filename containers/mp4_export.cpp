#include "containers/mp4_export.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

#include "containers/media_parser.h"
#include "containers/mp4_reencode.h"
#include "containers/mp4_writer.h"
#include "platform/part_file.h"

namespace {

// Chunks held before the muxer starts: until each camera's first SPS and PPS are seen.
constexpr size_t kMaxHeldBytes = size_t{32} << 20;

// A JPEG start-of-image marker: a still picture among the frames, not H.264.
bool IsJpeg(const uint8_t* data, size_t size) {
  return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

constexpr char kPartPrefix[] = ".rk-mp4-";

// A chunk read before the muxer could start.
struct HeldChunk {
  int kind;
  std::vector<uint8_t> bytes;
};

// The tracks of the file, known from its recordings' headers before any chunk is read.
struct TripTracks {
  VideoTrack front, rear;   // each camera's size and rate; the sets are found while reading
  bool dual = false;        // a rear track: some recording has rear frames
  size_t rearFrom = 0;      // the first recording with rear frames
  bool audio = false;       // an AAC track: the card counts audio for some recording
  int audioBits = 0, audioRate = 0;
};

// Opens the recording (left open) and checks it against the tracks of the recordings before
// it, adding the tracks it brings. false with result's outcome when it cannot be written.
bool Survey(VMediaParser& parser, const Mp4Job& job, size_t at, TripTracks* tracks,
            MediaInfo* info, Mp4Result* result) {
  const auto refuse = [&](ExportOutcome outcome, std::string detail) {
    result->outcome = outcome;
    result->detail = std::move(detail);
    result->recording = job.name;
    return false;
  };
  if (parser.OpenSource(job.source, info) == 0) return refuse(ExportOutcome::kNotOpened, "");
  const bool rateOk =
      info->frontFrameRate > 0 && (info->rearFrameCount <= 0 || info->rearFrameRate > 0);
  if (!info->damage.empty() || !rateOk) {
    parser.Close();
    return refuse(ExportOutcome::kDamaged, !info->damage.empty() ? info->damage : "no frame rate");
  }
  int size[2][2] = {};
  parser.GetVideoSize(size[0], 0);
  parser.GetVideoSize(size[1], 1);
  int bits = 0, rate = 0;
  parser.GetAudioFormat(&bits, &rate);
  parser.Close();
  const VideoTrack camera[2] = {{size[0][0], size[0][1], info->frontFrameRate, {}},
                                {size[1][0], size[1][1], info->rearFrameRate, {}}};
  // An MP4 track keeps one picture size and rate from its first sample to its last.
  const auto differs = [&](const VideoTrack& track, const VideoTrack& now, const char* which) {
    if (track.width == now.width && track.height == now.height && track.fps == now.fps) {
      return std::string();
    }
    const auto text = [](const VideoTrack& t) {
      return std::to_string(t.width) + "x" + std::to_string(t.height) + " at " +
             std::to_string(t.fps) + " fps";
    };
    return std::string(which) + " camera " + text(now) + ", not the trip's " + text(track) +
           ": an MP4 track cannot change";
  };
  std::string why;
  if (at == 0) {
    tracks->front = camera[0];
  } else {
    why = differs(tracks->front, camera[0], "front");
  }
  if (why.empty() && info->rearFrameCount > 0) {
    if (!tracks->dual) {
      tracks->dual = true;
      tracks->rear = camera[1];
      tracks->rearFrom = at;
    } else {
      why = differs(tracks->rear, camera[1], "rear");
    }
  }
  if (why.empty() && job.audio) {
    if (!tracks->audio) {
      tracks->audio = true;
      tracks->audioBits = bits;
      tracks->audioRate = rate;
    } else if (bits != tracks->audioBits || rate != tracks->audioRate) {
      why = "sound of " + std::to_string(bits) + " bits at " + std::to_string(rate) +
            " Hz, not the trip's: an MP4 track cannot change";
    }
  }
  if (!why.empty()) return refuse(ExportOutcome::kNotCreated, why);
  result->framesExpected += info->frontFrameCount;
  result->rearExpected += std::max(info->rearFrameCount, 0);
  return true;
}

// The copy of a trip's recordings (one, or several one after another): chunks from the parser
// into the writer, held until every camera's parameter sets are known (the tracks need them
// before the first sample).
class CMp4Copy {
 public:
  CMp4Copy(VMediaParser& parser, std::vector<uint8_t>& buffer, const Mp4Progress& progress,
           Mp4Result& result, const std::string& part, const TripTracks& tracks,
           const Mp4Job& first)
      : m_parser(parser),
        m_buffer(buffer),
        m_progress(progress),
        m_result(result),
        m_part(part),
        m_tracks(tracks),
        m_video(first.video),
        m_overlay(first.overlay) {}

  // The rear's parameter sets from the recording the parser has open, read ahead when the
  // first recording has no rear camera: the rear track is declared before its first frame.
  // false (the copy stopped) when cancelled, or when the recording has none.
  bool FindRearSets() {
    while (m_sets[1].empty() && !m_cancelled) {
      char id[4] = {};
      int size = static_cast<int>(m_buffer.size());
      const ChunkStatus status = m_parser.NextChunk(id, m_buffer.data(), &size);
      if (status == ChunkStatus::kNoData) {
        m_cancelled = !Progress();
      } else if (status != ChunkStatus::kChunk) {
        break;
      } else if (size >= 0 && size <= static_cast<int>(m_buffer.size()) &&
                 ChunkKindOf(id) == kKindRearVideo) {
        m_sets[1] = ParameterSets(m_buffer.data(), static_cast<size_t>(size));
      }
    }
    if (m_sets[1].empty() && !m_cancelled) m_step = Failed(ExportOutcome::kDamaged, MissingSets());
    return !m_sets[1].empty();
  }

  // Copies the recording the parser has open after the ones copied before. false when the
  // copy stopped: a failure, a cancel or a read error.
  bool Read(const MediaInfo& info) {
    if (m_recordings++ > 0) Continue();
    m_index[0] = m_index[1] = 0;
    bool ended = false;
    while (m_step.ok() && !m_cancelled) {
      char id[4] = {};
      int size = static_cast<int>(m_buffer.size());
      const ChunkStatus status = m_parser.NextChunk(id, m_buffer.data(), &size);
      if (status == ChunkStatus::kNoData) {
        m_cancelled = !Progress();
        continue;
      }
      if (status != ChunkStatus::kChunk) {
        ended = true;
        break;
      }
      if (size < 0 || size > static_cast<int>(m_buffer.size())) continue;
      Take(ChunkKindOf(id), m_buffer.data(), size);
    }
    m_readFailed = ended && m_parser.ReadFailed();
    if (ended && !m_readFailed && !m_started && m_step.ok()) m_step = Start();
    const int32_t rear = std::max(info.rearFrameCount, 0);
    m_short = m_short || m_index[0] < info.frontFrameCount || m_index[1] < rear;
    // The next recording starts after this one's stated length even when frames were lost.
    m_next[0] = m_base[0] + std::max<int64_t>(m_index[0], info.frontFrameCount);
    m_next[1] = m_base[1] + std::max<int64_t>(m_index[1], rear);
    return m_step.ok() && !m_cancelled && !m_readFailed;
  }

  // Stops the copy before the next recording: it could not be opened again.
  void Stop(Step why) { m_step = std::move(why); }

  // After the last recording read: the file finished when all went well, and the outcome.
  // The file at part is whole only when the outcome is kComplete or kFramesLost.
  void Finish() {
    if (m_started && m_step.ok() && !m_cancelled && !m_readFailed) {
      int finished = m_reencode ? m_reencode->Finish(Sink()) : 0;
      if (finished >= 0) finished = m_writer.Finish();
      if (finished < 0) m_step = Failed(ExportOutcome::kWriteFailed, AvErrorText(finished));
      if (m_reencode) {
        // A unit that did not decode has no picture in the file: count what is there.
        const int front = m_reencode->Pictures(0), rear = m_reencode->Pictures(1);
        m_short = m_short || front < m_result.framesCopied || rear < m_result.rearCopied;
        m_result.framesCopied = front;
        m_result.rearCopied = rear;
      }
    }
    Report();
  }

 private:
  // Where the next recording's samples start: the front right after the frames before; the
  // rear never before the front's time. A recording without the rear camera leaves the rear
  // track without samples for its length (players hold the last picture there), and the
  // sound is padded with silence to the front's time.
  void Continue() {
    m_base[0] = m_next[0];
    if (m_tracks.dual) {
      m_base[1] =
          std::max(m_next[1], av_rescale(m_base[0], m_tracks.rear.fps, m_tracks.front.fps));
    }
    if (!m_started || !m_tracks.audio) return;
    const int padded =
        m_writer.PadAudio(av_rescale(m_base[0], m_tracks.audioRate, m_tracks.front.fps));
    if (padded < 0) m_step = Failed(ExportOutcome::kWriteFailed, AvErrorText(padded));
  }

  bool Progress() {
    return !m_progress || m_progress(m_result.framesCopied + m_result.rearCopied,
                                     m_result.framesExpected + m_result.rearExpected);
  }

  Mp4PacketSink Sink() {
    return [this](int track, AVPacket* packet) { return m_writer.WriteEncoded(track, packet); };
  }

  void Take(int kind, const uint8_t* data, int size) {
    if (kind == kKindText || kind == kKindOther || kind == kKindNothing) return;
    if (!m_started) {
      Hold(kind, data, size);
      return;
    }
    Put(kind, data, size);
  }

  void Hold(int kind, const uint8_t* data, int size) {
    m_held.push_back({kind, std::vector<uint8_t>(data, data + size)});
    m_heldBytes += static_cast<size_t>(size);
    const int camera = kind == kKindFrontVideo ? 0 : kind == kKindRearVideo ? 1 : -1;
    if (camera >= 0 && m_sets[camera].empty()) {
      m_sets[camera] = ParameterSets(data, static_cast<size_t>(size));
    }
    if (!m_sets[0].empty() && (!m_tracks.dual || !m_sets[1].empty())) {
      m_step = Start();
    } else if (m_heldBytes > kMaxHeldBytes) {
      m_step = Failed(ExportOutcome::kDamaged, MissingSets() + " in the first 32 MiB");
    }
  }

  std::string MissingSets() const {
    return std::string("no H.264 parameter sets in the ") + (m_sets[0].empty() ? "front" : "rear") +
           " frames";
  }

  // Opens the file and writes what was held.
  Step Start() {
    if (m_sets[0].empty() || (m_tracks.dual && m_sets[1].empty())) {
      return Failed(ExportOutcome::kDamaged, MissingSets());
    }
    VideoTrack front = m_tracks.front, rear = m_tracks.rear;
    front.extradata = m_sets[0];
    rear.extradata = m_sets[1];
    const int bits = m_tracks.audioBits, rate = m_tracks.audioRate;
    if (m_tracks.audio && ((bits != 8 && bits != 16) || rate <= 0)) {
      return Failed(ExportOutcome::kDamaged, "audio of " + std::to_string(bits) + " bits at " +
                                                 std::to_string(rate) + " Hz");
    }
    if (m_video != Mp4Video::kCopy) {
      m_reencode = std::make_unique<CMp4Reencode>();
      const Mp4Picture pictures[2] = {{front.width, front.height, front.fps},
                                      {rear.width, rear.height, rear.fps}};
      const std::string why = m_reencode->Open(pictures[0], m_tracks.dual ? &pictures[1] : nullptr,
                                               m_video == Mp4Video::kSideBySide, m_overlay);
      if (!why.empty()) return Failed(ExportOutcome::kNotCreated, why);
    }
    Step opened = m_writer.Open(m_part, front, m_tracks.dual ? &rear : nullptr,
                                m_tracks.audio ? rate : 0, bits, m_reencode.get());
    if (!opened.ok()) return opened;
    m_started = true;
    for (const HeldChunk& held : m_held) {
      Put(held.kind, held.bytes.data(), static_cast<int>(held.bytes.size()));
      if (!m_step.ok() || m_cancelled) break;
    }
    m_held.clear();
    return m_step;
  }

  void Put(int kind, const uint8_t* data, int size) {
    int wrote = 0;
    if (kind == kKindAudio) {
      if (!m_tracks.audio) {
        ++m_result.leftOut;
        return;
      }
      wrote = m_writer.WriteAudio(data, size);
      ++m_result.audioChunks;
    } else {
      const int camera = kind == kKindFrontVideo ? 0 : 1;
      if (camera == 1 && !m_tracks.dual) {
        ++m_result.leftOut;  // never mixed into the front track
        return;
      }
      int64_t& index = m_index[camera];
      if (IsJpeg(data, static_cast<size_t>(size))) {
        ++index;  // its time stays empty, so the frames after it keep theirs
        ++m_result.leftOut;
        return;
      }
      if (!Progress()) {
        m_cancelled = true;
        return;
      }
      const int64_t pts = m_base[camera] + index++;
      wrote = m_reencode ? m_reencode->Put(camera, data, size, pts, Sink())
                         : m_writer.WriteVideo(camera, data, size, pts);
      ++(camera == 0 ? m_result.framesCopied : m_result.rearCopied);
    }
    if (wrote < 0) m_step = Failed(ExportOutcome::kWriteFailed, AvErrorText(wrote));
  }

  void Report() {
    if (!m_step.ok()) {
      m_result.outcome = m_step.outcome;
      m_result.detail = m_step.detail;
    } else if (m_cancelled) {
      m_result.outcome = ExportOutcome::kCancelled;
    } else if (m_readFailed) {
      m_result.outcome = ExportOutcome::kReadError;
    } else {
      m_result.outcome = m_short ? ExportOutcome::kFramesLost : ExportOutcome::kComplete;
    }
  }

  // Set at construction.
  VMediaParser& m_parser;
  std::vector<uint8_t>& m_buffer;
  const Mp4Progress& m_progress;
  Mp4Result& m_result;
  const std::string m_part;
  const TripTracks m_tracks;
  const Mp4Video m_video;
  VFrameOverlay* const m_overlay;

  std::unique_ptr<CMp4Reencode> m_reencode;  // when the video is re-encoded
  CMp4Writer m_writer;
  bool m_started = false, m_cancelled = false, m_readFailed = false;
  bool m_short = false;  // fewer frames read or decoded than the recordings state
  Step m_step;
  std::vector<uint8_t> m_sets[2];  // each camera's SPS + PPS, Annex B
  std::deque<HeldChunk> m_held;
  size_t m_heldBytes = 0;
  int m_recordings = 0;     // recordings begun
  int64_t m_index[2] = {};  // frames of each camera read from this recording: the next one's
  int64_t m_base[2] = {};   // each track's time of this recording's first frame, in frames
  int64_t m_next[2] = {};   // each track's time after the last recording read, in frames
};

// Sets result to a refusal when fileName cannot be written in folder. true when refused.
bool RefuseName(const std::string& folder, const std::string& fileName, Mp4Result* result) {
  if (!IsSafeExportName(fileName)) {
    result->outcome = ExportOutcome::kBadName;
  } else if (folder.empty() || JoinExportPath(folder, fileName).size() > kMaxExportPathBytes) {
    result->outcome = ExportOutcome::kNotCreated;
    result->detail = folder.empty() ? "no folder given" : "path too long";
  }
  return result->outcome != ExportOutcome::kComplete;
}

}  // namespace

CMp4Export::CMp4Export(VMediaParser& parser) : m_parser(parser), m_buffer(kExportChunkBufferSize) {}

Mp4Result CMp4Export::ConvertRecording(const Mp4Job& job, const std::string& destination,
                                       const Mp4Progress& progress) {
  return ConvertTrip({job}, job.name, destination, progress);
}

Mp4Result CMp4Export::ConvertTrip(const std::vector<Mp4Job>& recordings, const std::string& name,
                                  const std::string& destination, const Mp4Progress& progress) {
  Mp4Result result;
  result.name = name;
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) {
    result.outcome = ExportOutcome::kExists;
    return result;
  }
  if (recordings.empty()) {
    result.outcome = ExportOutcome::kNotCreated;
    result.detail = "no recordings";
    return result;
  }
  if (recordings.size() > 1 && recordings[0].video != Mp4Video::kCopy) {
    result.outcome = ExportOutcome::kNotCreated;
    result.detail = "a trip is joined only as a copy, not re-encoded";
    return result;
  }
  // Every header first: the tracks are declared before any frame is written.
  TripTracks tracks;
  std::vector<MediaInfo> infos(recordings.size());
  for (size_t i = 0; i < recordings.size(); ++i) {
    if (!Survey(m_parser, recordings[i], i, &tracks, &infos[i], &result)) return result;
  }
  CPartFile part;
  if (const int made = part.Create(destination, kPartPrefix); made != 0) {
    result.outcome = ExportOutcome::kNotCreated;
    result.detail = std::strerror(made);
    return result;
  }
  // The muxer opens files by name: it gets the part's own descriptor's, which no one can swap.
  CMp4Copy copy(m_parser, m_buffer, progress, result, part.FdPath(), tracks, recordings[0]);
  const auto open = [&](const Mp4Job& job) {
    MediaInfo again;
    if (m_parser.OpenSource(job.source, &again) != 0) return true;
    result.recording = job.name;
    copy.Stop(Failed(ExportOutcome::kNotOpened, ""));
    return false;
  };
  bool going = true;
  if (tracks.dual && tracks.rearFrom > 0) {
    going = open(recordings[tracks.rearFrom]);
    if (going) {
      going = copy.FindRearSets();
      m_parser.Close();
    }
  }
  for (size_t i = 0; going && i < recordings.size(); ++i) {
    going = open(recordings[i]);
    if (!going) break;
    going = copy.Read(infos[i]);
    m_parser.Close();
    if (!going && recordings.size() > 1) result.recording = recordings[i].name;
  }
  copy.Finish();
  const bool keep =
      result.outcome == ExportOutcome::kComplete || result.outcome == ExportOutcome::kFramesLost;
  if (!keep) {
    part.Discard();
    return result;
  }
  result.recording.clear();
  const int error = part.MoveIntoPlace(false);
  if (error != 0) {
    result.outcome = error == EEXIST ? ExportOutcome::kExists : ExportOutcome::kWriteFailed;
    result.detail = error == EEXIST ? std::string() : std::strerror(error);
    return result;
  }
  result.path = destination;
  return result;
}

Mp4Result CMp4Export::ExportTrip(const std::string& folder, const std::string& fileName,
                                 const std::string& name, const std::vector<Mp4Job>& recordings,
                                 const Mp4Progress& progress) {
  Mp4Result refused;
  refused.name = name;
  if (RefuseName(folder, fileName, &refused)) return refused;
  if (!folder.empty()) RemoveDeadParts(folder, kPartPrefix);  // of an export that died
  return ConvertTrip(recordings, name, JoinExportPath(folder, fileName), progress);
}

std::vector<Mp4Result> CMp4Export::ExportAll(const std::string& folder,
                                             const std::vector<Mp4Job>& jobs,
                                             const Mp4Progress& progress) {
  std::vector<Mp4Result> results;
  for (const Mp4Job& job : jobs) {
    results.push_back(ExportTrip(folder, job.fileName, job.name, {job}, progress));
    if (results.back().outcome == ExportOutcome::kCancelled) break;
  }
  return results;
}

std::string DescribeMp4Result(const Mp4Result& result) {
  std::string line;
  if (result.outcome == ExportOutcome::kReadError) {
    line = "not saved: reading failed after " + std::to_string(result.framesCopied) + " of " +
           std::to_string(result.framesExpected) + " frames";
  } else {
    line = DescribeExportResult(result);
  }
  if (result.outcome == ExportOutcome::kComplete && result.audioChunks > 0) {
    line += ", AAC audio";
  }
  if (result.leftOut > 0) {
    line += " (" + std::to_string(result.leftOut) + " chunks no MP4 track holds left out)";
  }
  if (!result.recording.empty() && result.recording != result.name) {
    line += ", at " + result.recording;
  }
  return line;
}
