// One camera's H.264 decoding context: decodes access units and converts the last picture
// to 32-bit BGRA at any size with fast bilinear scaling and the camera's brightness and
// contrast. Bytes B, G, R, 0xFF per pixel: QImage::Format_RGB32 on a little-endian machine,
// which Qt's raster engine paints without another conversion.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

class CFFMH264_Decoder {
 public:
  static constexpr int kBytesPerPixel = 4;  // what ConvertTo writes

  CFFMH264_Decoder();
  virtual ~CFFMH264_Decoder();
  CFFMH264_Decoder(const CFFMH264_Decoder&) = delete;
  CFFMH264_Decoder& operator=(const CFFMH264_Decoder&) = delete;

  // Opens (or reopens) the H.264 decoder; false when it cannot be found or opened.
  bool OpenCodec();
  // Releases the codec, the last picture and the conversion context. Safe when closed.
  void CloseCodec();

  // Decodes one access unit. True when a picture came out (it becomes the last picture);
  // false on a decode error, on empty input or when the decoder needs more data. A failed
  // decode keeps the previous picture.
  bool Decode(const uint8_t* data, int size);

  // The last picture's size; 0, 0 before any picture.
  void GetPictureSize(int* width, int* height) const;

  // Scales the last picture into a BGRA image (alpha 0xFF) of width x height whose rows are
  // rowStride bytes apart. False (pixels untouched) when there is no picture or the sizes
  // are bad (rowStride below kBytesPerPixel * width).
  bool ConvertTo(uint8_t* pixels, int rowStride, int width, int height);

  // Drops buffered pictures: the next picture comes after the next key frame.
  void FlushCodec();

  // Pictures kept for steps back while paused: the last picture is remembered under key (a
  // reference to the codec's buffer, not a copy; the oldest of more than kKeptPictures is
  // let go), made the last picture again by RestorePicture (false when none is kept under
  // key), and all let go by ForgetPictures.
  static constexpr size_t kKeptPictures = 12;
  void KeepPicture(int64_t key);
  bool RestorePicture(int64_t key);
  void ForgetPictures();

  void SetBrightnessFactor(float factor);
  void SetContrastFactor(float factor);
  float BrightnessFactor() const { return m_brightness; }
  float ContrastFactor() const { return m_contrast; }

  // The 16.16 brightness, contrast and saturation the conversion context holds; false
  // when there is no conversion context yet.
  bool GetColourDetails(int* brightness, int* contrast, int* saturation) const;

 private:
  struct CodecCloser {
    void operator()(AVCodecContext* context) const;
  };
  struct FrameFree {
    void operator()(AVFrame* frame) const;
  };
  struct PacketFree {
    void operator()(AVPacket* packet) const;
  };
  struct ScalerFree {
    void operator()(SwsContext* scaler) const;
  };

  void ApplyColourDetails();
  bool ReceiveFrames();
  // Makes m_scaler for a source of (srcWidth, srcHeight, srcFormat) to width x height BGRA.
  bool PrepareScaler(int srcWidth, int srcHeight, int srcFormat, int width, int height);

  std::unique_ptr<AVPacket, PacketFree> m_packet;  // reused for every chunk
  std::unique_ptr<AVCodecContext, CodecCloser> m_context;
  std::unique_ptr<AVFrame, FrameFree> m_frame;     // the last picture
  std::unique_ptr<AVFrame, FrameFree> m_received;  // where receive lands before m_frame
  std::unique_ptr<SwsContext, ScalerFree> m_scaler;
  std::deque<std::pair<int64_t, std::unique_ptr<AVFrame, FrameFree>>> m_kept;  // oldest first
  float m_brightness = 0.0f;
  float m_contrast = 1.0f;
  // What m_scaler was made for: output size, and source size and pixel format.
  int m_outWidth = 0;
  int m_outHeight = 0;
  int m_srcWidth = 0;
  int m_srcHeight = 0;
  int m_srcFormat = -1;
};
