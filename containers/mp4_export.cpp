#include "containers/mp4_export.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

#include "containers/media_parser.h"
#include "containers/mp4_reencode.h"

namespace {

// Chunks held before the muxer starts: until each camera's first SPS and PPS are seen.
constexpr size_t kMaxHeldBytes = size_t{32} << 20;
constexpr int kNalIdr = 5, kNalSps = 7, kNalPps = 8;

std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// Calls visit(type, nal, size) for each NAL unit of an Annex B frame: the bytes after a start
// code up to the next one (the zero byte of a four-byte start code left out).
template <typename Visit>
void ForEachNal(const uint8_t* data, size_t size, Visit visit) {
  size_t begin = SIZE_MAX;
  const auto emit = [&](size_t end) {
    while (end > begin && data[end - 1] == 0) --end;
    if (end > begin) visit(data[begin] & 0x1F, data + begin, end - begin);
  };
  for (size_t i = 0; i + 3 <= size;) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) {
      ++i;
      continue;
    }
    if (begin != SIZE_MAX) emit(i);
    begin = i += 3;
  }
  if (begin != SIZE_MAX) emit(size);
}

// The frame's first SPS and PPS as Annex B extradata; empty when it lacks either.
std::vector<uint8_t> ParameterSets(const uint8_t* data, size_t size) {
  std::vector<uint8_t> sps, pps;
  ForEachNal(data, size, [&](int type, const uint8_t* nal, size_t n) {
    std::vector<uint8_t>* into = type == kNalSps ? &sps : type == kNalPps ? &pps : nullptr;
    if (into == nullptr || !into->empty()) return;
    *into = {0, 0, 0, 1};
    into->insert(into->end(), nal, nal + n);
  });
  if (sps.empty() || pps.empty()) return {};
  sps.insert(sps.end(), pps.begin(), pps.end());
  return sps;
}

bool HasIdr(const uint8_t* data, size_t size) {
  bool idr = false;
  ForEachNal(data, size, [&](int type, const uint8_t*, size_t) { idr = idr || type == kNalIdr; });
  return idr;
}

// A JPEG start-of-image marker: a still picture among the frames, not H.264.
bool IsJpeg(const uint8_t* data, size_t size) {
  return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

struct FormatFree {
  void operator()(AVFormatContext* c) const {
    if (c->pb != nullptr) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

struct VideoTrack {
  int width = 0, height = 0, fps = 0;
  std::vector<uint8_t> extradata;  // Annex B SPS + PPS
};

// What went wrong at a step of the writer: the export's outcome and the reason.
struct Step {
  ExportOutcome outcome = ExportOutcome::kComplete;
  std::string detail;
  bool ok() const { return outcome == ExportOutcome::kComplete; }
};

Step Failed(ExportOutcome outcome, std::string detail) { return {outcome, std::move(detail)}; }

// The MP4 file being written: its tracks, the AAC encoder of the audio track, the muxer.
class CMp4Writer {
 public:
  // Creates path with the front track, the rear one when rear is given (or the re-encode's
  // tracks when it is given), and an AAC track when audioRate > 0 (mono PCM of audioBits 8 or
  // 16).
  Step Open(const std::string& path, const VideoTrack& front, const VideoTrack* rear, int audioRate,
            int audioBits, const CMp4Reencode* reencode) {
    // "file:" so a colon in the folder is never read as a protocol; faststart reopens it.
    const std::string url = "file:" + path;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp4", url.c_str()) < 0 || !raw) {
      return Failed(ExportOutcome::kNotCreated, "no mp4 muxer");
    }
    m_format.reset(raw);
    if (reencode != nullptr) {
      for (int t = 0; t < reencode->Tracks(); ++t) AddEncoded(reencode->Encoder(t), t);
    } else {
      AddVideo(front, true);
      if (rear != nullptr) AddVideo(*rear, false);
    }
    if (audioRate > 0) {
      Step audio = AddAudio(audioRate, audioBits);
      if (!audio.ok()) return audio;
    }
    const int opened = avio_open(&m_format->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) return Failed(ExportOutcome::kNotCreated, AvErrorText(opened));
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int header = avformat_write_header(m_format.get(), &options);
    av_dict_free(&options);
    if (header < 0) return Failed(ExportOutcome::kWriteFailed, AvErrorText(header));
    m_packet.reset(av_packet_alloc());
    return {};
  }

  // Frame index of camera (0 front, 1 rear) at index / its rate. 0 or an AVERROR.
  int WriteVideo(int camera, const uint8_t* data, int size, int64_t index) {
    AVPacket* packet = m_packet.get();
    const int made = av_new_packet(packet, size);
    if (made < 0) return made;
    std::memcpy(packet->data, data, static_cast<size_t>(size));
    packet->pts = packet->dts = index;
    packet->duration = 1;
    packet->flags = HasIdr(data, static_cast<size_t>(size)) ? AV_PKT_FLAG_KEY : 0;
    return Write(packet, m_video[camera], AVRational{1, m_fps[camera]});
  }

  // A packet of the re-encode's track, pts in 1 / the track's rate. 0 or an AVERROR.
  int WriteEncoded(int track, AVPacket* packet) {
    return Write(packet, m_video[track], AVRational{1, m_fps[track]});
  }

  // PCM bytes as the recorder wrote them. 0 or an AVERROR.
  int WriteAudio(const uint8_t* pcm, int size) {
    m_carry.insert(m_carry.end(), pcm, pcm + size);
    const size_t width = m_audioBits == 8 ? 1 : 2;
    const size_t samples = m_carry.size() / width;
    for (size_t i = 0; i < samples; ++i) {
      const uint8_t* s = m_carry.data() + i * width;
      m_samples.push_back(width == 1 ? (s[0] - 128) / 128.0f
                                     : static_cast<int16_t>(s[0] | s[1] << 8) / 32768.0f);
    }
    m_carry.erase(m_carry.begin(), m_carry.begin() + static_cast<ptrdiff_t>(samples * width));
    const size_t frame = static_cast<size_t>(m_encoder->frame_size);
    size_t at = 0;
    for (; m_samples.size() - at >= frame; at += frame) {
      const int sent = Encode(m_samples.data() + at, frame);
      if (sent < 0) return sent;
    }
    m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<ptrdiff_t>(at));
    return 0;
  }

  // The encoder's last frames, the index and the moov moved to the front; the file closed.
  // 0 or an AVERROR.
  int Finish() {
    if (m_encoder) {
      int done = m_samples.empty() ? 0 : Encode(m_samples.data(), m_samples.size());
      if (done >= 0) done = avcodec_send_frame(m_encoder.get(), nullptr);
      if (done >= 0) done = Drain();
      if (done < 0) return done;
    }
    const int trailer = av_write_trailer(m_format.get());
    const int closed = avio_closep(&m_format->pb);
    return trailer < 0 ? trailer : closed;
  }

 private:
  void AddVideo(const VideoTrack& track, bool front) {
    AVStream* st = avformat_new_stream(m_format.get(), nullptr);
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_H264;
    par->width = track.width;
    par->height = track.height;
    par->extradata =
        static_cast<uint8_t*>(av_mallocz(track.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(par->extradata, track.extradata.data(), track.extradata.size());
    par->extradata_size = static_cast<int>(track.extradata.size());
    st->time_base = AVRational{1, track.fps};
    st->avg_frame_rate = AVRational{track.fps, 1};
    // The front camera is what a player shows first; the rear track is there, not enabled.
    st->disposition = front ? AV_DISPOSITION_DEFAULT : 0;
    m_video[front ? 0 : 1] = st;
    m_fps[front ? 0 : 1] = track.fps;
  }

  void AddEncoded(const AVCodecContext* encoder, int track) {
    AVStream* st = avformat_new_stream(m_format.get(), nullptr);
    avcodec_parameters_from_context(st->codecpar, encoder);
    st->time_base = encoder->time_base;
    st->avg_frame_rate = encoder->framerate;
    st->disposition = track == 0 ? AV_DISPOSITION_DEFAULT : 0;
    m_video[track] = st;
    m_fps[track] = encoder->framerate.num;
  }

  Step AddAudio(int rate, int bits) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) return Failed(ExportOutcome::kNotCreated, "no AAC encoder");
    m_encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = m_encoder.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, 1);
    // 4 bits a sample (32 kb/s at the recorder's 8 kHz), at most 96 kb/s: speech and road
    // noise from one microphone.
    c->bit_rate = std::min<int64_t>(int64_t{rate} * 4, 96000);
    c->time_base = AVRational{1, rate};
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(c, codec, nullptr);
    if (opened < 0) {
      return Failed(ExportOutcome::kDamaged, "audio of " + std::to_string(rate) +
                                                 " Hz cannot be AAC: " + AvErrorText(opened));
    }
    m_audio = avformat_new_stream(m_format.get(), nullptr);
    avcodec_parameters_from_context(m_audio->codecpar, c);
    m_audio->time_base = c->time_base;
    m_audioBits = bits;
    m_frame.reset(av_frame_alloc());
    return {};
  }

  int Encode(const float* samples, size_t count) {
    AVFrame* frame = m_frame.get();
    av_frame_unref(frame);
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = m_encoder->sample_rate;
    frame->nb_samples = static_cast<int>(count);
    av_channel_layout_copy(&frame->ch_layout, &m_encoder->ch_layout);
    int done = av_frame_get_buffer(frame, 0);
    if (done < 0) return done;
    std::memcpy(frame->data[0], samples, count * sizeof(float));
    frame->pts = m_samplesIn;
    m_samplesIn += static_cast<int64_t>(count);
    done = avcodec_send_frame(m_encoder.get(), frame);
    return done < 0 ? done : Drain();
  }

  int Drain() {
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    for (;;) {
      const int got = avcodec_receive_packet(m_encoder.get(), packet.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
      if (got < 0) return got;
      const int wrote = Write(packet.get(), m_audio, m_encoder->time_base);
      if (wrote < 0) return wrote;
    }
  }

  int Write(AVPacket* packet, AVStream* stream, AVRational from) {
    packet->stream_index = stream->index;
    // The muxer sets each track's time base to its own timescale at the header.
    av_packet_rescale_ts(packet, from, stream->time_base);
    return av_interleaved_write_frame(m_format.get(), packet);
  }

  std::unique_ptr<AVFormatContext, FormatFree> m_format;
  std::unique_ptr<AVCodecContext, CodecFree> m_encoder;
  std::unique_ptr<AVPacket, PacketFree> m_packet;
  std::unique_ptr<AVFrame, FrameFree> m_frame;
  AVStream* m_video[2] = {};
  int m_fps[2] = {};
  AVStream* m_audio = nullptr;
  int m_audioBits = 16;
  int64_t m_samplesIn = 0;       // samples sent to the encoder; the next frame's pts
  std::vector<uint8_t> m_carry;  // the odd byte of a 16-bit sample split between chunks
  std::vector<float> m_samples;  // fewer than a frame of samples
};

constexpr char kPartPrefix[] = ".rk-mp4-";

// A temporary file beside destination, named for this process: ".rk-mp4-PID-N.part".
std::string TemporaryPath(const std::string& destination) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = destination.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
  return folder + kPartPrefix + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1)) + ".part";
}

// The finished file to the disk, then renamed to destination unless something is there. 0
// or an errno value.
int MoveIntoPlace(const std::string& part, const std::string& destination) {
  const int fd = ::open(part.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  if (synced != 0) return synced;
  if (::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) return EEXIST;
  return ::rename(part.c_str(), destination.c_str()) == 0 ? 0 : errno;
}

// A chunk read before the muxer could start.
struct HeldChunk {
  int kind;
  std::vector<uint8_t> bytes;
};

// One recording's copy: chunks from the parser into the writer, held until every camera's
// parameter sets are known (the tracks need them before the first sample).
class CMp4Copy {
 public:
  CMp4Copy(VMediaParser& parser, std::vector<uint8_t>& buffer, const Mp4Progress& progress,
           Mp4Result& result)
      : m_parser(parser), m_buffer(buffer), m_progress(progress), m_result(result) {}

  // Reads the recording to its end, a cancel or a failure; the file at part is whole only
  // when the result's outcome is kComplete or kFramesLost.
  void Run(const std::string& part, const MediaInfo& info, const Mp4Job& job) {
    m_part = part;
    m_info = info;
    m_audio = job.audio;
    m_video = job.video;
    m_overlay = job.overlay;
    m_dual = info.rearFrameCount > 0;
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
    const bool readFailed = ended && m_parser.ReadFailed();
    if (ended && !readFailed && !m_started && m_step.ok()) m_step = Start();
    if (m_started && m_step.ok() && !m_cancelled && !readFailed) {
      int finished = m_reencode ? m_reencode->Finish(Sink()) : 0;
      if (finished >= 0) finished = m_writer.Finish();
      if (finished < 0) m_step = Failed(ExportOutcome::kWriteFailed, AvErrorText(finished));
    }
    Report(readFailed);
  }

 private:
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
    if (!m_sets[0].empty() && (!m_dual || !m_sets[1].empty())) {
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
    if (m_sets[0].empty() || (m_dual && m_sets[1].empty())) {
      return Failed(ExportOutcome::kDamaged, MissingSets());
    }
    int size[2][2] = {};
    m_parser.GetVideoSize(size[0], 0);
    m_parser.GetVideoSize(size[1], 1);
    const VideoTrack front{size[0][0], size[0][1], m_info.frontFrameRate, m_sets[0]};
    const VideoTrack rear{size[1][0], size[1][1], m_info.rearFrameRate, m_sets[1]};
    int bits = 0, rate = 0;
    m_parser.GetAudioFormat(&bits, &rate);
    if (m_audio && ((bits != 8 && bits != 16) || rate <= 0)) {
      return Failed(ExportOutcome::kDamaged, "audio of " + std::to_string(bits) + " bits at " +
                                                 std::to_string(rate) + " Hz");
    }
    if (m_video != Mp4Video::kCopy) {
      m_reencode = std::make_unique<CMp4Reencode>();
      const Mp4Picture pictures[2] = {{front.width, front.height, front.fps},
                                      {rear.width, rear.height, rear.fps}};
      const std::string why = m_reencode->Open(pictures[0], m_dual ? &pictures[1] : nullptr,
                                               m_video == Mp4Video::kSideBySide, m_overlay);
      if (!why.empty()) return Failed(ExportOutcome::kNotCreated, why);
    }
    Step opened = m_writer.Open(m_part, front, m_dual ? &rear : nullptr, m_audio ? rate : 0, bits,
                                m_reencode.get());
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
      if (!m_audio) {
        ++m_result.leftOut;
        return;
      }
      wrote = m_writer.WriteAudio(data, size);
      ++m_result.audioChunks;
    } else {
      const int camera = kind == kKindFrontVideo ? 0 : 1;
      if (camera == 1 && !m_dual) {
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
      wrote = m_reencode ? m_reencode->Put(camera, data, size, index++, Sink())
                         : m_writer.WriteVideo(camera, data, size, index++);
      ++(camera == 0 ? m_result.framesCopied : m_result.rearCopied);
    }
    if (wrote < 0) m_step = Failed(ExportOutcome::kWriteFailed, AvErrorText(wrote));
  }

  void Report(bool readFailed) {
    const bool allFrames =
        m_index[0] >= m_result.framesExpected && (!m_dual || m_index[1] >= m_result.rearExpected);
    if (!m_step.ok()) {
      m_result.outcome = m_step.outcome;
      m_result.detail = m_step.detail;
    } else if (m_cancelled) {
      m_result.outcome = ExportOutcome::kCancelled;
    } else if (readFailed) {
      m_result.outcome = ExportOutcome::kReadError;
    } else {
      m_result.outcome = allFrames ? ExportOutcome::kComplete : ExportOutcome::kFramesLost;
    }
  }

  VMediaParser& m_parser;
  std::vector<uint8_t>& m_buffer;
  const Mp4Progress& m_progress;
  Mp4Result& m_result;
  std::string m_part;
  MediaInfo m_info;
  bool m_audio = false, m_dual = false;
  Mp4Video m_video = Mp4Video::kCopy;
  VFrameOverlay* m_overlay = nullptr;
  std::unique_ptr<CMp4Reencode> m_reencode;  // when the video is re-encoded
  CMp4Writer m_writer;
  bool m_started = false, m_cancelled = false;
  Step m_step;
  std::vector<uint8_t> m_sets[2];  // each camera's SPS + PPS, Annex B
  std::deque<HeldChunk> m_held;
  size_t m_heldBytes = 0;
  int64_t m_index[2] = {};  // frames of each camera read so far: the next one's time
};

}  // namespace

CMp4Export::CMp4Export(VMediaParser& parser) : m_parser(parser), m_buffer(kExportChunkBufferSize) {}

Mp4Result CMp4Export::ConvertRecording(const Mp4Job& job, const std::string& destination,
                                       const Mp4Progress& progress) {
  Mp4Result result;
  result.name = job.name;
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) {
    result.outcome = ExportOutcome::kExists;
    return result;
  }
  MediaInfo info;
  if (m_parser.Open(job.source.c_str(), &info) == 0) {
    result.outcome = ExportOutcome::kNotOpened;
    return result;
  }
  result.framesExpected = info.frontFrameCount;
  result.rearExpected = std::max(info.rearFrameCount, 0);
  const bool rateOk =
      info.frontFrameRate > 0 && (info.rearFrameCount <= 0 || info.rearFrameRate > 0);
  if (!info.damage.empty() || !rateOk) {
    result.outcome = ExportOutcome::kDamaged;
    result.detail = !info.damage.empty() ? info.damage : "no frame rate";
    m_parser.Close();
    return result;
  }
  const std::string part = TemporaryPath(destination);
  CMp4Copy(m_parser, m_buffer, progress, result).Run(part, info, job);
  m_parser.Close();
  const bool keep =
      result.outcome == ExportOutcome::kComplete || result.outcome == ExportOutcome::kFramesLost;
  if (!keep) {
    ::unlink(part.c_str());
    return result;
  }
  const int error = MoveIntoPlace(part, destination);
  if (error != 0) {
    ::unlink(part.c_str());
    result.outcome = error == EEXIST ? ExportOutcome::kExists : ExportOutcome::kWriteFailed;
    result.detail = error == EEXIST ? std::string() : std::strerror(error);
    return result;
  }
  result.path = destination;
  return result;
}

std::vector<Mp4Result> CMp4Export::ExportAll(const std::string& folder,
                                             const std::vector<Mp4Job>& jobs,
                                             const Mp4Progress& progress) {
  std::vector<Mp4Result> results;
  for (const Mp4Job& job : jobs) {
    Mp4Result refused;
    refused.name = job.name;
    const std::string path = JoinExportPath(folder, job.fileName);
    if (!IsSafeExportName(job.fileName)) {
      refused.outcome = ExportOutcome::kBadName;
    } else if (folder.empty() || path.size() > kMaxExportPathBytes) {
      refused.outcome = ExportOutcome::kNotCreated;
      refused.detail = folder.empty() ? "no folder given" : "path too long";
    }
    if (refused.outcome != ExportOutcome::kComplete) {
      results.push_back(refused);
      continue;
    }
    results.push_back(ConvertRecording(job, path, progress));
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
  return line;
}
