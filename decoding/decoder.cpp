#include "decoding/decoder.h"

#include <algorithm>

#include "decoding/jpeg_file.h"
#include "platform/video_surface.h"

namespace {

// A JPEG start-of-image marker: such chunks are not video and never reach the codec.
bool IsJpeg(const uint8_t* data, int size) {
  return data != nullptr && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool ValidIndex(int index) { return index == 0 || index == 1; }

// B, G, R, A of a frame with no picture: black, alpha 0xFF as Format_RGB32 wants.
const cv::Scalar kOpaqueBlack(0, 0, 0, 255);

// The surface's current size; false when it is hidden or larger than a picture may be.
// Whether an Annex-B packet holds an IDR slice or a sequence parameter set. Only scanned
// while a camera waits for a key frame.
bool HoldsKeyFrame(const uint8_t* data, int size) {
  for (int i = 0; i + 3 < size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      const int type = data[i + 3] & 0x1F;
      if (type == 5 || type == 7) return true;
      i += 2;
    }
  }
  return false;
}

bool UsableSize(VideoSurface* surface, int* width, int* height) {
  surface->GetSize(width, height);
  const int limit = CDecoder::kMaxSurfaceSide;
  return *width > 0 && *height > 0 && *width <= limit && *height <= limit;
}

}  // namespace

bool CDecoder::OpenCodecs() {
  CSyncGuard guard(m_lock);
  for (auto& codec : m_codec) codec.OpenCodec();
  return true;
}

void CDecoder::CloseCodecs() {
  CSyncGuard guard(m_lock);
  for (auto& codec : m_codec) codec.CloseCodec();
}

bool CDecoder::DecodeLocked(int index, const uint8_t* data, int size) {
  if (IsJpeg(data, size)) return false;
  return m_codec[index].Decode(data, size);
}

cv::Mat CDecoder::FrameBuffer(int index, int width, int height) {
  // A buffer comes back once the surface (and whoever it lent the frame to) has let it go;
  // the reference count is changed atomically by the other owners.
  for (cv::Mat& frame : m_frames[index]) {
    if (frame.cols == width && frame.rows == height && frame.u != nullptr &&
        __atomic_load_n(&frame.u->refcount, __ATOMIC_ACQUIRE) == 1) {
      return frame;
    }
  }
  std::vector<cv::Mat>& pool = m_frames[index];
  cv::Mat frame(height, width, CV_8UC4);
  if (pool.size() >= m_pooledFrames) pool.erase(pool.begin());
  pool.push_back(frame);
  return frame;
}

cv::Mat CDecoder::RenderLocked(int index, bool convert, int width, int height) {
  cv::Mat image = FrameBuffer(index, width, height);
  if (!convert ||
      !m_codec[index].ConvertTo(image.data, static_cast<int>(image.step[0]), width, height)) {
    image.setTo(kOpaqueBlack);
  }
  return image;
}

void CDecoder::Flip(int index, cv::Mat& image) const {
  // cv::flip codes for modes 1 (upside down), 2 (both axes), 3 (mirror); others: none.
  static constexpr int kFlipCode[] = {0, -1, 1};
  const int mode = m_flipMode[index].load();
  if (mode >= 1 && mode <= 3) cv::flip(image, image, kFlipCode[mode - 1]);
}

void CDecoder::FlipAndShow(int index, cv::Mat& image, VideoSurface* surface) const {
  Flip(index, image);
  surface->ShowFrame(image);
}

bool CDecoder::DecodeAndShow(int index, VideoSurface* surface, const uint8_t* data, int size,
                             bool show) {
  cv::Mat image;
  if (!CDecoder::DecodeToFrame(index, surface, data, size, show ? &image : nullptr)) return false;
  if (show) surface->ShowFrame(image);
  return true;
}

bool CDecoder::DecodeToFrame(int index, VideoSurface* surface, const uint8_t* data, int size,
                             cv::Mat* frame) {
  if (!ValidIndex(index)) return false;
  if (surface == nullptr) {
    // Nowhere to draw: the picture is decoded and converted at a fixed size, then dropped.
    CSyncGuard guard(m_lock);
    const bool decoded = DecodeLocked(index, data, size);
    RenderLocked(index, decoded, kNoSurfaceWidth, kNoSurfaceHeight);
    return false;
  }
  int width = 0, height = 0;
  if (!UsableSize(surface, &width, &height)) {
    CSyncGuard guard(m_lock);
    m_awaitKey[index] = true;
    return false;
  }
  {
    CSyncGuard guard(m_lock);
    if (m_awaitKey[index]) {
      if (!HoldsKeyFrame(data, size)) return false;
      m_codec[index].FlushCodec();
      m_awaitKey[index] = false;
    }
    m_width[index] = width;
    m_height[index] = height;
    const bool decoded = DecodeLocked(index, data, size);
    if (frame == nullptr) return true;
    *frame = RenderLocked(index, decoded, width, height);
  }
  Flip(index, *frame);
  return true;
}

void CDecoder::SetFramesAhead(int frames) {
  CSyncGuard guard(m_lock);
  m_pooledFrames = kPooledFrames + static_cast<size_t>(std::clamp(frames, 0, 64));
}

bool CDecoder::RedrawFrame(int index, VideoSurface* surface) {
  if (!ValidIndex(index) || surface == nullptr) return false;
  int width = 0, height = 0;
  if (!UsableSize(surface, &width, &height)) return false;
  cv::Mat image;
  {
    CSyncGuard guard(m_lock);
    m_width[index] = width;
    m_height[index] = height;
    image = RenderLocked(index, true, width, height);
  }
  FlipAndShow(index, image, surface);
  return true;
}

void CDecoder::KeepPicture(int index, int64_t key) {
  if (!ValidIndex(index)) return;
  CSyncGuard guard(m_lock);
  m_codec[index].KeepPicture(key);
}

bool CDecoder::ShowKeptPicture(int index, int64_t key, VideoSurface* surface) {
  if (!ValidIndex(index)) return false;
  {
    CSyncGuard guard(m_lock);
    if (!m_codec[index].RestorePicture(key)) return false;
  }
  return RedrawFrame(index, surface);
}

void CDecoder::ForgetKeptPictures() {
  CSyncGuard guard(m_lock);
  for (auto& codec : m_codec) codec.ForgetPictures();
}

int CDecoder::Flush(int index) {
  if (!ValidIndex(index)) return -1;
  CSyncGuard guard(m_lock);
  m_codec[index].FlushCodec();
  return 0;
}

void CDecoder::SetContrast(int index, int level) {
  const float factor = std::clamp(static_cast<float>(level) / 10.0f + 1.0f, 0.01f, 2.0f);
  CSyncGuard guard(m_lock);
  m_codec[Clamp(index)].SetContrastFactor(factor);
}

void CDecoder::SetBrightness(int index, int level) {
  const float factor = static_cast<float>(level) / 10.0f;
  CSyncGuard guard(m_lock);
  m_codec[Clamp(index)].SetBrightnessFactor(factor);
}

int CDecoder::SetFlipMode(int index, int mode) {
  m_flipMode[Clamp(index)].store(mode);
  return mode;
}

bool CDecoder::SaveFrame(int index, const char* path) {
  // The file type follows from the name; JPEG is the one type written.
  if (!IsJpegName(path)) return false;
  cv::Mat image;
  {
    CSyncGuard guard(m_lock);
    CFFMH264_Decoder& codec = m_codec[Clamp(index)];
    int width = 0, height = 0;
    codec.GetPictureSize(&width, &height);
    if (width <= 0 || height <= 0) return false;
    image.create(height, width, CV_8UC4);
    if (!codec.ConvertTo(image.data, static_cast<int>(image.step[0]), width, height)) {
      return false;
    }
  }
  // The encoder takes the BGRA picture as it is and ignores the fourth byte, so the picture
  // is converted only once here too.
  return WriteJpegFile(path, image.data, image.cols, image.rows, static_cast<int>(image.step[0]));
}

float CDecoder::ContrastFactor(int index) {
  CSyncGuard guard(m_lock);
  return m_codec[Clamp(index)].ContrastFactor();
}

float CDecoder::BrightnessFactor(int index) {
  CSyncGuard guard(m_lock);
  return m_codec[Clamp(index)].BrightnessFactor();
}

bool CDecoder::GetColourDetails(int index, int* brightness, int* contrast, int* saturation) {
  CSyncGuard guard(m_lock);
  return m_codec[Clamp(index)].GetColourDetails(brightness, contrast, saturation);
}
