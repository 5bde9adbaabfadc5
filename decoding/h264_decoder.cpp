#include "decoding/h264_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <limits>
#include <mutex>

#include "concurrency/trace.h"

namespace {

// FFmpeg's own lines join the decoder's trace area: errors only (a damaged slice of a card
// is an error the user does not need to read), and nothing unless the trace is asked for.
void CodecLog(void* object, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int prefix = 1;
  av_log_format_line2(object, level, format, args, line, sizeof line, &prefix);
  roadkeep::Trace(roadkeep::kTraceDecoder, "%s", line);
}

void RouteCodecLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&CodecLog); });
}

// factor as 16.16 fixed point, truncated toward zero and kept inside int.
int ToFixed16(float factor) {
  const double fixed = std::trunc(static_cast<double>(factor * 65536.0f));
  if (!(fixed > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (fixed > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  return static_cast<int>(fixed);
}

}  // namespace

void CFFMH264_Decoder::CodecCloser::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}
void CFFMH264_Decoder::FrameFree::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void CFFMH264_Decoder::PacketFree::operator()(AVPacket* packet) const { av_packet_free(&packet); }
void CFFMH264_Decoder::ScalerFree::operator()(SwsContext* scaler) const { sws_freeContext(scaler); }

CFFMH264_Decoder::CFFMH264_Decoder() = default;

CFFMH264_Decoder::~CFFMH264_Decoder() { CloseCodec(); }

bool CFFMH264_Decoder::OpenCodec() {
  RouteCodecLog();
  CloseCodec();
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (codec == nullptr) return false;
  m_packet.reset(av_packet_alloc());
  m_context.reset(avcodec_alloc_context3(codec));
  m_frame.reset(av_frame_alloc());
  m_received.reset(av_frame_alloc());
  if (!m_packet || !m_context || !m_frame || !m_received) {
    CloseCodec();
    return false;
  }
  // One thread: every access unit gives its picture at once, with no frame-thread delay.
  m_context->thread_count = 1;
  if (avcodec_open2(m_context.get(), codec, nullptr) < 0) {
    CloseCodec();
    return false;
  }
  return true;
}

void CFFMH264_Decoder::CloseCodec() {
  m_kept.clear();
  m_scaler.reset();
  m_outWidth = m_outHeight = m_srcWidth = m_srcHeight = 0;
  m_srcFormat = -1;
  m_context.reset();
  m_frame.reset();
  m_received.reset();
  m_packet.reset();
}

bool CFFMH264_Decoder::Decode(const uint8_t* data, int size) {
  // An empty packet would put the decoder into draining, so it never reaches the codec.
  if (!m_context || data == nullptr || size <= 0) return false;
  // The packet is not reference-counted, so the codec copies it into a padded buffer and
  // never reads past size bytes of the caller's data.
  m_packet->data = const_cast<uint8_t*>(data);
  m_packet->size = size;
  bool got = false;
  int result = avcodec_send_packet(m_context.get(), m_packet.get());
  if (result == AVERROR(EAGAIN)) {
    got = ReceiveFrames();
    result = avcodec_send_packet(m_context.get(), m_packet.get());
  }
  m_packet->data = nullptr;
  m_packet->size = 0;
  if (result < 0) return false;
  return ReceiveFrames() || got;
}

bool CFFMH264_Decoder::ReceiveFrames() {
  bool got = false;
  while (avcodec_receive_frame(m_context.get(), m_received.get()) >= 0) {
    av_frame_unref(m_frame.get());
    av_frame_move_ref(m_frame.get(), m_received.get());
    got = true;
  }
  return got;
}

void CFFMH264_Decoder::GetPictureSize(int* width, int* height) const {
  const bool have = m_frame && m_frame->data[0] != nullptr;
  if (width) *width = have ? m_frame->width : 0;
  if (height) *height = have ? m_frame->height : 0;
}

bool CFFMH264_Decoder::ConvertTo(uint8_t* pixels, int rowStride, int width, int height) {
  const AVFrame* frame = m_frame.get();
  if (frame == nullptr || frame->data[0] == nullptr || frame->width <= 0 || frame->height <= 0) {
    return false;
  }
  if (pixels == nullptr || width <= 0 || height <= 0 || rowStride / kBytesPerPixel < width) {
    return false;
  }
  if (!PrepareScaler(frame->width, frame->height, frame->format, width, height)) return false;
  uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
  int strides[4] = {rowStride, 0, 0, 0};
  sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
  return true;
}

bool CFFMH264_Decoder::PrepareScaler(int srcWidth, int srcHeight, int srcFormat, int width,
                                     int height) {
  // Made again when the output size changes, and also when the picture's size or format
  // changes (a new sequence header), so the scaler never reads a stale geometry.
  if (m_scaler && width == m_outWidth && height == m_outHeight && srcWidth == m_srcWidth &&
      srcHeight == m_srcHeight && srcFormat == m_srcFormat) {
    return true;
  }
  // BGRA: from a source without an alpha plane swscale writes 0xFF into the fourth byte, as
  // Format_RGB32 requires.
  m_scaler.reset(sws_getContext(srcWidth, srcHeight, static_cast<AVPixelFormat>(srcFormat), width,
                                height, AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr,
                                nullptr));
  if (!m_scaler) {
    m_outWidth = m_outHeight = m_srcWidth = m_srcHeight = 0;
    m_srcFormat = -1;
    return false;
  }
  m_outWidth = width;
  m_outHeight = height;
  m_srcWidth = srcWidth;
  m_srcHeight = srcHeight;
  m_srcFormat = srcFormat;
  ApplyColourDetails();
  return true;
}

void CFFMH264_Decoder::FlushCodec() {
  if (!m_context) return;
  // Drain what the decoder still holds (dropped, as a reset drops it), then reset it so
  // that it accepts packets again.
  if (avcodec_send_packet(m_context.get(), nullptr) >= 0) {
    while (avcodec_receive_frame(m_context.get(), m_received.get()) >= 0) {
      av_frame_unref(m_received.get());
    }
  }
  avcodec_flush_buffers(m_context.get());
}

void CFFMH264_Decoder::KeepPicture(int64_t key) {
  if (!m_frame || m_frame->data[0] == nullptr) return;
  if (!m_kept.empty() && m_kept.back().first == key) m_kept.pop_back();
  std::unique_ptr<AVFrame, FrameFree> kept(av_frame_alloc());
  if (!kept || av_frame_ref(kept.get(), m_frame.get()) < 0) return;
  m_kept.emplace_back(key, std::move(kept));
  if (m_kept.size() > kKeptPictures) m_kept.pop_front();
}

bool CFFMH264_Decoder::RestorePicture(int64_t key) {
  for (const auto& [keptKey, picture] : m_kept) {
    if (keptKey != key) continue;
    av_frame_unref(m_frame.get());
    return av_frame_ref(m_frame.get(), picture.get()) >= 0;
  }
  return false;
}

void CFFMH264_Decoder::ForgetPictures() { m_kept.clear(); }

void CFFMH264_Decoder::SetBrightnessFactor(float factor) {
  m_brightness = factor;
  ApplyColourDetails();
}

void CFFMH264_Decoder::SetContrastFactor(float factor) {
  m_contrast = factor;
  ApplyColourDetails();
}

void CFFMH264_Decoder::ApplyColourDetails() {
  if (!m_scaler) return;
  // Limited-range source unless the scaler found a full-range (JPEG-range) picture format.
  int* invTable = nullptr;
  int* table = nullptr;
  int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
  if (sws_getColorspaceDetails(m_scaler.get(), &invTable, &srcRange, &table, &dstRange, &brightness,
                               &contrast, &saturation) < 0) {
    srcRange = 0;
  }
  const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
  sws_setColorspaceDetails(m_scaler.get(), coefficients, srcRange, coefficients, 0,
                           ToFixed16(m_brightness), ToFixed16(m_contrast), 1 << 16);
}

bool CFFMH264_Decoder::GetColourDetails(int* brightness, int* contrast, int* saturation) const {
  if (!m_scaler) return false;
  int* invTable = nullptr;
  int* table = nullptr;
  int srcRange = 0, dstRange = 0, b = 0, c = 0, s = 0;
  if (sws_getColorspaceDetails(m_scaler.get(), &invTable, &srcRange, &table, &dstRange, &b, &c,
                               &s) < 0) {
    return false;
  }
  if (brightness) *brightness = b;
  if (contrast) *contrast = c;
  if (saturation) *saturation = s;
  return true;
}
