#include "containers/mp4_writer.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cstring>

#include "containers/mp4_reencode.h"

namespace {

constexpr int kNalIdr = 5, kNalSps = 7, kNalPps = 8;

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

bool HasIdr(const uint8_t* data, size_t size) {
  bool idr = false;
  ForEachNal(data, size, [&](int type, const uint8_t*, size_t) { idr = idr || type == kNalIdr; });
  return idr;
}

}  // namespace

std::string AvErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

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

void CMp4Writer::Free::operator()(AVFormatContext* c) const {
  if (c->pb != nullptr) avio_closep(&c->pb);
  avformat_free_context(c);
}
void CMp4Writer::Free::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void CMp4Writer::Free::operator()(AVPacket* p) const { av_packet_free(&p); }
void CMp4Writer::Free::operator()(AVFrame* f) const { av_frame_free(&f); }

Step CMp4Writer::Open(const std::string& path, const VideoTrack& front, const VideoTrack* rear,
                      int audioRate, int audioBits, const CMp4Reencode* reencode) {
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

int CMp4Writer::WriteVideo(int camera, const uint8_t* data, int size, int64_t index) {
  AVPacket* packet = m_packet.get();
  const int made = av_new_packet(packet, size);
  if (made < 0) return made;
  std::memcpy(packet->data, data, static_cast<size_t>(size));
  packet->pts = packet->dts = index;
  packet->duration = 1;
  packet->flags = HasIdr(data, static_cast<size_t>(size)) ? AV_PKT_FLAG_KEY : 0;
  return Write(packet, m_video[camera], AVRational{1, m_fps[camera]});
}

int CMp4Writer::WriteEncoded(int track, AVPacket* packet) {
  return Write(packet, m_video[track], AVRational{1, m_fps[track]});
}

int CMp4Writer::WriteAudio(const uint8_t* pcm, int size) {
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

int CMp4Writer::PadAudio(int64_t at) {
  if (!m_encoder) return 0;
  m_carry.clear();  // half a sample at the end of the recording before
  const int64_t have = m_samplesIn + static_cast<int64_t>(m_samples.size());
  if (at > have) m_samples.insert(m_samples.end(), static_cast<size_t>(at - have), 0.0f);
  return WriteAudio(nullptr, 0);
}

int CMp4Writer::Finish() {
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

void CMp4Writer::AddVideo(const VideoTrack& track, bool front) {
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

void CMp4Writer::AddEncoded(const AVCodecContext* encoder, int track) {
  AVStream* st = avformat_new_stream(m_format.get(), nullptr);
  avcodec_parameters_from_context(st->codecpar, encoder);
  st->time_base = encoder->time_base;
  st->avg_frame_rate = encoder->framerate;
  st->disposition = track == 0 ? AV_DISPOSITION_DEFAULT : 0;
  m_video[track] = st;
  m_fps[track] = encoder->framerate.num;
}

Step CMp4Writer::AddAudio(int rate, int bits) {
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

int CMp4Writer::Encode(const float* samples, size_t count) {
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

int CMp4Writer::Drain() {
  std::unique_ptr<AVPacket, Free> packet(av_packet_alloc());
  for (;;) {
    const int got = avcodec_receive_packet(m_encoder.get(), packet.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
    if (got < 0) return got;
    const int wrote = Write(packet.get(), m_audio, m_encoder->time_base);
    if (wrote < 0) return wrote;
  }
}

int CMp4Writer::Write(AVPacket* packet, AVStream* stream, AVRational from) {
  packet->stream_index = stream->index;
  // The muxer sets each track's time base to its own timescale at the header.
  av_packet_rescale_ts(packet, from, stream->time_base);
  return av_interleaved_write_frame(m_format.get(), packet);
}
