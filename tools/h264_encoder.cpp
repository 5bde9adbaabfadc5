#include "tools/h264_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace roadkeep::tools {

void CH264Encoder::Deleters::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void CH264Encoder::Deleters::operator()(AVFrame* f) const { av_frame_free(&f); }
void CH264Encoder::Deleters::operator()(AVPacket* p) const { av_packet_free(&p); }
void CH264Encoder::Deleters::operator()(SwsContext* s) const { sws_freeContext(s); }

CH264Encoder::CH264Encoder() = default;
CH264Encoder::~CH264Encoder() = default;

bool CH264Encoder::Open(int width, int height, int fps, int bitrate, std::string* error) {
  av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are noise here
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) {
    *error = "libavcodec has no libx264 encoder";
    return false;
  }
  m_codec.reset(avcodec_alloc_context3(codec));
  m_frame.reset(av_frame_alloc());
  m_packet.reset(av_packet_alloc());
  if (!m_codec || !m_frame || !m_packet) {
    *error = "out of memory";
    return false;
  }
  AVCodecContext* c = m_codec.get();
  c->width = width;
  c->height = height;
  c->time_base = AVRational{1, fps};
  c->framerate = AVRational{fps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = 24;
  c->keyint_min = 24;
  c->max_b_frames = 0;
  c->bit_rate = bitrate;
  c->thread_count = 1;  // keeps output independent of the machine; cards encode in parallel
  av_opt_set(c->priv_data, "preset", "ultrafast", 0);
  av_opt_set(c->priv_data, "tune", "zerolatency", 0);
  av_opt_set(c->priv_data, "forced-idr", "1", 0);
  av_opt_set(c->priv_data, "x264-params", "scenecut=0:repeat-headers=1", 0);
  if (avcodec_open2(c, codec, nullptr) < 0) {
    *error = "cannot open the libx264 encoder";
    return false;
  }
  m_frame->format = c->pix_fmt;
  m_frame->width = width;
  m_frame->height = height;
  if (av_frame_get_buffer(m_frame.get(), 0) < 0) {
    *error = "cannot allocate a frame";
    return false;
  }
  m_scale.reset(sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height,
                               AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!m_scale) {
    *error = "cannot convert BGR to YUV";
    return false;
  }
  m_pts = 0;
  return true;
}

bool CH264Encoder::Encode(const uint8_t* bgr, bool forceKey, std::vector<uint8_t>* out,
                          bool* key) {
  if (!m_codec || av_frame_make_writable(m_frame.get()) < 0) return false;
  const uint8_t* src[1] = {bgr};
  const int stride[1] = {m_codec->width * 3};
  sws_scale(m_scale.get(), src, stride, 0, m_codec->height, m_frame->data, m_frame->linesize);
  m_frame->pts = m_pts++;
  m_frame->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  if (avcodec_send_frame(m_codec.get(), m_frame.get()) < 0) return false;
  *key = false;
  bool got = false;
  for (;;) {
    const int r = avcodec_receive_packet(m_codec.get(), m_packet.get());
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
    if (r < 0) return false;
    out->insert(out->end(), m_packet->data, m_packet->data + m_packet->size);
    *key = *key || (m_packet->flags & AV_PKT_FLAG_KEY);
    got = true;
    av_packet_unref(m_packet.get());
  }
  return got;
}

}  // namespace roadkeep::tools
