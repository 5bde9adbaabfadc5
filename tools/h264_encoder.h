// H.264 encoding of BGR frames with libavcodec's libx264: Annex B access units, a key frame
// (IDR, with SPS and PPS in band) at every forced key, no B-frames, no frame delay.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace roadkeep::tools {

class CH264Encoder {
 public:
  CH264Encoder();
  ~CH264Encoder();
  CH264Encoder(const CH264Encoder&) = delete;
  CH264Encoder& operator=(const CH264Encoder&) = delete;

  // bitrate in bits per second. False (with a reason) when the encoder cannot be opened.
  bool Open(int width, int height, int fps, int bitrate, std::string* error);
  // Encodes one BGR24 frame (width * 3 bytes per row). Appends the access unit to out and
  // sets *key. False on an encoder error.
  bool Encode(const uint8_t* bgr, bool forceKey, std::vector<uint8_t>* out, bool* key);

 private:
  struct Deleters {
    void operator()(AVCodecContext* c) const;
    void operator()(AVFrame* f) const;
    void operator()(AVPacket* p) const;
    void operator()(SwsContext* s) const;
  };
  std::unique_ptr<AVCodecContext, Deleters> m_codec;
  std::unique_ptr<AVFrame, Deleters> m_frame;
  std::unique_ptr<AVPacket, Deleters> m_packet;
  std::unique_ptr<SwsContext, Deleters> m_scale;
  int64_t m_pts = 0;
};

}  // namespace roadkeep::tools
