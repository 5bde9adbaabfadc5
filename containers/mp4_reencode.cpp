#include "containers/mp4_reencode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

#include "containers/frame_overlay.h"

namespace {

// Front frames held for their rear frame at most; a rear camera that stops early or lags
// far behind does not hold the whole recording (16 pictures of 1080p are about 50 MB).
constexpr size_t kMaxHeldFronts = 16;
// Bilinear: swscale's fast paths (accurate rounding and full chroma made it three quarters of
// the re-encode's time). The picture outside the band does not take the round trip at all.
constexpr int kConvertFlags = SWS_BILINEAR;
constexpr int kScaleFlags = SWS_BICUBIC;  // the rear scaled to the front's height
constexpr uint32_t kOpaqueBlack = 0xFF000000;

}  // namespace

void CMp4Reencode::Free::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void CMp4Reencode::Free::operator()(AVFrame* f) const { av_frame_free(&f); }
void CMp4Reencode::Free::operator()(AVPacket* p) const { av_packet_free(&p); }
void CMp4Reencode::Free::operator()(SwsContext* s) const { sws_freeContext(s); }

CMp4Reencode::CMp4Reencode() = default;
CMp4Reencode::~CMp4Reencode() = default;

std::string CMp4Reencode::Open(const Mp4Picture& front, const Mp4Picture* rear, bool sideBySide,
                               VFrameOverlay* overlay) {
  m_cameras = rear != nullptr ? 2 : 1;
  m_sideBySide = sideBySide && rear != nullptr;
  m_overlay = overlay;
  m_source[0] = front;
  if (rear != nullptr) m_source[1] = *rear;
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_H264);
  const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
  if (decoder == nullptr) return "no H.264 decoder";
  if (encoder == nullptr) return "no libx264 encoder";
  m_packet.reset(av_packet_alloc());
  m_decoded.reset(av_frame_alloc());
  for (int c = 0; c < m_cameras; ++c) {
    m_decoder[c].reset(avcodec_alloc_context3(decoder));
    m_decoder[c]->pkt_timebase = AVRational{1, m_source[c].fps};
    // Frame threads on every core: the delay is drained at the end.
    m_decoder[c]->thread_count = 0;
    if (avcodec_open2(m_decoder[c].get(), decoder, nullptr) < 0) return "cannot open the decoder";
  }
  // The rear at the front's height, its aspect kept; widths even for 4:2:0.
  m_rearWidth =
      m_sideBySide
          ? static_cast<int>(int64_t{rear->width} * front.height / std::max(rear->height, 1)) & ~1
          : 0;
  for (int t = 0; t < Tracks(); ++t) {
    const Mp4Picture& source = m_source[t];
    AVCodecContext* c = avcodec_alloc_context3(encoder);
    m_encoder[t].reset(c);
    c->width = ((t == 0 ? front.width + m_rearWidth : source.width)) & ~1;
    c->height = source.height & ~1;
    c->time_base = AVRational{1, source.fps};
    c->framerate = AVRational{source.fps, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    // A key frame every two seconds: seeking stays quick, the rate stays low.
    c->gop_size = 2 * source.fps;
    c->thread_count = 0;  // every core
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "crf", "18", 0);
    if (c->width < 16 || c->height < 16 || avcodec_open2(c, encoder, nullptr) < 0) {
      return "cannot open libx264 for " + std::to_string(c->width) + "x" +
             std::to_string(c->height);
    }
    m_yuv[t].reset(av_frame_alloc());
    m_yuv[t]->format = AV_PIX_FMT_YUV420P;
    m_yuv[t]->width = c->width;
    m_yuv[t]->height = c->height;
    if (av_frame_get_buffer(m_yuv[t].get(), 0) < 0) return "out of memory";
  }
  int widest = 0, tallest = 0;
  for (int t = 0; t < Tracks(); ++t) {
    widest = std::max(widest, m_encoder[t]->width);
    tallest = std::max(tallest, m_encoder[t]->height);
  }
  m_canvasStride = widest * 4;
  m_canvas.assign(static_cast<size_t>(m_canvasStride) * static_cast<size_t>(tallest), 0);
  return {};
}

int CMp4Reencode::Put(int camera, const uint8_t* data, int size, int64_t index,
                      const Mp4PacketSink& sink) {
  AVPacket* packet = m_packet.get();
  const int made = av_new_packet(packet, size);
  if (made < 0) return made;
  std::memcpy(packet->data, data, static_cast<size_t>(size));
  packet->pts = packet->dts = index;
  const int sent = avcodec_send_packet(m_decoder[camera].get(), packet);
  av_packet_unref(packet);
  if (sent < 0 && sent != AVERROR_INVALIDDATA) return sent;
  return Receive(camera, sink);
}

int CMp4Reencode::Finish(const Mp4PacketSink& sink) {
  for (int c = 0; c < m_cameras; ++c) {
    avcodec_send_packet(m_decoder[c].get(), nullptr);
    const int done = Receive(c, sink);
    if (done < 0) return done;
  }
  if (m_sideBySide) {
    const int done = EmitFronts(true, sink);
    if (done < 0) return done;
  }
  for (int t = 0; t < Tracks(); ++t) {
    const int sent = avcodec_send_frame(m_encoder[t].get(), nullptr);
    const int done = sent < 0 ? sent : Drain(t, sink);
    if (done < 0) return done;
  }
  return 0;
}

int CMp4Reencode::Receive(int camera, const Mp4PacketSink& sink) {
  for (;;) {
    const int got = avcodec_receive_frame(m_decoder[camera].get(), m_decoded.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
    if (got < 0) return 0;  // a damaged unit: its picture is left out
    const int done = Decoded(camera, m_decoded.get(), sink);
    av_frame_unref(m_decoded.get());
    if (done < 0) return done;
  }
}

int CMp4Reencode::Decoded(int camera, const AVFrame* frame, const Mp4PacketSink& sink) {
  if (frame->best_effort_timestamp == AV_NOPTS_VALUE) return 0;
  ++m_pictures[camera];
  if (!m_sideBySide) {
    const AVCodecContext* out = m_encoder[camera].get();
    ToCanvas(camera, frame, 0, out->width, out->height);
    // The decoded picture as it is, and only the rows the overlay changed converted back: the
    // rest is the source's own YUV, not a round trip through BGRA.
    const bool direct = frame->format == AV_PIX_FMT_YUV420P && frame->width == out->width &&
                        frame->height == out->height;
    if (direct) m_before = m_canvas;
    if (m_overlay != nullptr) {
      m_overlay->Draw(m_canvas.data(), out->width, out->height, m_canvasStride, camera,
                      Ms(camera, frame->best_effort_timestamp));
    }
    return direct ? EncodeChanged(camera, frame, sink)
                  : Encode(camera, frame->best_effort_timestamp, sink);
  }
  Frame copy(av_frame_clone(frame));
  if (!copy) return AVERROR(ENOMEM);
  if (camera == 0) {
    m_fronts.push_back(std::move(copy));
  } else {
    m_rearBefore = std::move(m_rear);
    m_rear = std::move(copy);
  }
  return EmitFronts(false, sink);
}

int CMp4Reencode::EmitFronts(bool all, const Mp4PacketSink& sink) {
  const AVCodecContext* out = m_encoder[0].get();
  while (!m_fronts.empty()) {
    const AVFrame* front = m_fronts.front().get();
    const int64_t frontMs = Ms(0, front->best_effort_timestamp);
    const bool rearKnown = m_rear && Ms(1, m_rear->best_effort_timestamp) >= frontMs;
    if (!all && !rearKnown && m_fronts.size() <= kMaxHeldFronts) break;
    // The rear frame on screen at the front's time: the latest one not after it.
    const AVFrame* rear = m_rear.get();
    if (rear != nullptr && Ms(1, rear->best_effort_timestamp) > frontMs && m_rearBefore) {
      rear = m_rearBefore.get();
    }
    const int frontWidth = out->width - m_rearWidth;
    ToCanvas(0, front, 0, frontWidth, out->height);
    if (rear != nullptr) {
      ToCanvas(1, rear, frontWidth, m_rearWidth, out->height);
    } else {
      for (int y = 0; y < out->height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(m_canvas.data() + y * m_canvasStride) + frontWidth;
        std::fill(row, row + m_rearWidth, kOpaqueBlack);
      }
    }
    if (m_overlay != nullptr) {
      m_overlay->Draw(m_canvas.data(), out->width, out->height, m_canvasStride,
                      VFrameOverlay::kSideBySide, frontMs);
    }
    const int done = Encode(0, front->best_effort_timestamp, sink);
    m_fronts.pop_front();
    if (done < 0) return done;
  }
  return 0;
}

void CMp4Reencode::ToCanvas(int camera, const AVFrame* frame, int x, int width, int height) {
  const bool scaled = frame->width != width || frame->height != height;
  m_toRgb[camera].reset(sws_getCachedContext(
      m_toRgb[camera].release(), frame->width, frame->height,
      static_cast<AVPixelFormat>(frame->format), width, height, AV_PIX_FMT_BGRA,
      scaled ? kScaleFlags : kConvertFlags, nullptr, nullptr, nullptr));
  uint8_t* to[4] = {m_canvas.data() + x * 4, nullptr, nullptr, nullptr};
  const int stride[4] = {m_canvasStride, 0, 0, 0};
  if (m_toRgb[camera]) {
    sws_scale(m_toRgb[camera].get(), frame->data, frame->linesize, 0, frame->height, to, stride);
  }
}

int CMp4Reencode::Encode(int track, int64_t pts, const Mp4PacketSink& sink) {
  AVCodecContext* c = m_encoder[track].get();
  AVFrame* yuv = m_yuv[track].get();
  const int writable = av_frame_make_writable(yuv);
  if (writable < 0) return writable;
  m_toYuv[track].reset(sws_getCachedContext(
      m_toYuv[track].release(), c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height,
      AV_PIX_FMT_YUV420P, kConvertFlags, nullptr, nullptr, nullptr));
  if (!m_toYuv[track]) return AVERROR(ENOMEM);
  const uint8_t* from[4] = {m_canvas.data(), nullptr, nullptr, nullptr};
  const int stride[4] = {m_canvasStride, 0, 0, 0};
  sws_scale(m_toYuv[track].get(), from, stride, 0, c->height, yuv->data, yuv->linesize);
  yuv->pts = pts;
  const int sent = avcodec_send_frame(c, yuv);
  return sent < 0 ? sent : Drain(track, sink);
}

int CMp4Reencode::EncodeChanged(int track, const AVFrame* frame, const Mp4PacketSink& sink) {
  AVCodecContext* c = m_encoder[track].get();
  AVFrame* yuv = m_yuv[track].get();
  int done = av_frame_make_writable(yuv);
  if (done >= 0) done = av_frame_copy(yuv, frame);
  if (done < 0) return done;
  const size_t row = static_cast<size_t>(c->width) * 4;
  int first = c->height, last = -1;
  for (int y = 0; y < c->height; ++y) {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(m_canvasStride);
    if (std::memcmp(m_canvas.data() + at, m_before.data() + at, row) == 0) continue;
    first = std::min(first, y);
    last = y;
  }
  if (last >= 0) {
    // Whole chroma rows: from an even row to the row after an odd one.
    const int top = first & ~1, rows = std::min(c->height, (last + 2) & ~1) - top;
    m_toYuv[track].reset(sws_getCachedContext(m_toYuv[track].release(), c->width, rows,
                                              AV_PIX_FMT_BGRA, c->width, rows, AV_PIX_FMT_YUV420P,
                                              kConvertFlags, nullptr, nullptr, nullptr));
    if (!m_toYuv[track]) return AVERROR(ENOMEM);
    const uint8_t* from[4] = {m_canvas.data() + static_cast<size_t>(top) * m_canvasStride, nullptr,
                              nullptr, nullptr};
    const int stride[4] = {m_canvasStride, 0, 0, 0};
    uint8_t* to[4] = {yuv->data[0] + top * yuv->linesize[0],
                      yuv->data[1] + top / 2 * yuv->linesize[1],
                      yuv->data[2] + top / 2 * yuv->linesize[2], nullptr};
    sws_scale(m_toYuv[track].get(), from, stride, 0, rows, to, yuv->linesize);
  }
  yuv->pts = frame->best_effort_timestamp;
  const int sent = avcodec_send_frame(c, yuv);
  return sent < 0 ? sent : Drain(track, sink);
}

int CMp4Reencode::Drain(int track, const Mp4PacketSink& sink) {
  for (;;) {
    const int got = avcodec_receive_packet(m_encoder[track].get(), m_packet.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
    if (got < 0) return got;
    if (m_packet->duration <= 0) m_packet->duration = 1;
    const int wrote = sink(track, m_packet.get());
    av_packet_unref(m_packet.get());
    if (wrote < 0) return wrote;
  }
}

int64_t CMp4Reencode::Ms(int camera, int64_t pts) const {
  return pts * 1000 / std::max(m_source[camera].fps, 1);
}
