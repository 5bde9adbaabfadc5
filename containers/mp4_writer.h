// CMp4Writer: one MP4 file being written through FFmpeg's mp4 muxer: its H.264 tracks (copied
// frames, or the packets of a re-encode), the AAC encoder of its audio track, and the moov
// moved to the front when it is finished. Used by the MP4 export only.
//
// Threads: one thread at a time.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "containers/recording_export.h"

class CMp4Reencode;

// FFmpeg's text for an AVERROR value.
std::string AvErrorText(int error);
// An Annex B frame's first SPS and PPS as Annex B extradata; empty when it lacks either.
std::vector<uint8_t> ParameterSets(const uint8_t* data, size_t size);

// A camera's track: picture size, frame rate, and its SPS + PPS (Annex B).
struct VideoTrack {
  int width = 0, height = 0, fps = 0;
  std::vector<uint8_t> extradata;
};

// What went wrong at a step of the writer: the export's outcome and the reason.
struct Step {
  ExportOutcome outcome = ExportOutcome::kComplete;
  std::string detail;
  bool ok() const { return outcome == ExportOutcome::kComplete; }
};

inline Step Failed(ExportOutcome outcome, std::string detail) { return {outcome, std::move(detail)}; }

class CMp4Writer {
 public:
  // Creates path with the front track, the rear one when rear is given (or the re-encode's
  // tracks when it is given), and an AAC track when audioRate > 0 (mono PCM of audioBits 8 or
  // 16).
  Step Open(const std::string& path, const VideoTrack& front, const VideoTrack* rear, int audioRate,
            int audioBits, const CMp4Reencode* reencode);
  // Frame index of camera (0 front, 1 rear) at index / its rate. 0 or an AVERROR.
  int WriteVideo(int camera, const uint8_t* data, int size, int64_t index);
  // A packet of the re-encode's track, pts in 1 / the track's rate. 0 or an AVERROR.
  int WriteEncoded(int track, AVPacket* packet);
  // PCM bytes as the recorder wrote them. 0 or an AVERROR.
  int WriteAudio(const uint8_t* pcm, int size);
  // Silence up to sample count at, so that the next recording's sound starts with its video
  // (a recording without sound, or with less than its video's length); nothing is cut. 0 or
  // an AVERROR.
  int PadAudio(int64_t at);
  // The encoder's last frames, the index and the moov moved to the front; the file closed.
  // 0 or an AVERROR.
  int Finish();

 private:
  struct Free {
    void operator()(AVFormatContext* c) const;
    void operator()(AVCodecContext* c) const;
    void operator()(AVPacket* p) const;
    void operator()(AVFrame* f) const;
  };

  void AddVideo(const VideoTrack& track, bool front);
  void AddEncoded(const AVCodecContext* encoder, int track);
  Step AddAudio(int rate, int bits);
  int Encode(const float* samples, size_t count);
  int Drain();
  int Write(AVPacket* packet, AVStream* stream, AVRational from);

  std::unique_ptr<AVFormatContext, Free> m_format;
  std::unique_ptr<AVCodecContext, Free> m_encoder;
  std::unique_ptr<AVPacket, Free> m_packet;
  std::unique_ptr<AVFrame, Free> m_frame;
  AVStream* m_video[2] = {};
  int m_fps[2] = {};
  AVStream* m_audio = nullptr;
  int m_audioBits = 16;
  int64_t m_samplesIn = 0;       // samples sent to the encoder; the next frame's pts
  std::vector<uint8_t> m_carry;  // the odd byte of a 16-bit sample split between chunks
  std::vector<float> m_samples;  // fewer than a frame of samples
};
