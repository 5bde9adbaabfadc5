// The MP4 export's re-encode (private to mp4_export): each camera's H.264 decoded, converted
// to a BGRA picture the overlay draws on, converted back to YUV 4:2:0 and encoded with
// libx264 (CRF 18, preset veryfast, every core). One output track per camera, or one picture
// of the front and the rear side by side: the rear scaled to the front's height (its aspect
// kept) to the right of the front, each front frame with the rear frame shown at its time.
// Frame i of a camera keeps time i / its rate, as in the copy.
//
// Threads: one thread drives it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
class VFrameOverlay;

struct Mp4Picture {
  int width = 0, height = 0, fps = 0;
};

// Takes each encoded packet of an output track (pts in 1 / the track's rate). 0 or an AVERROR.
using Mp4PacketSink = std::function<int(int track, AVPacket* packet)>;

class CMp4Reencode {
 public:
  CMp4Reencode();
  ~CMp4Reencode();
  CMp4Reencode(const CMp4Reencode&) = delete;
  CMp4Reencode& operator=(const CMp4Reencode&) = delete;

  // Opens a decoder per camera and the encoders (with global headers, as MP4 wants them).
  // rear: null for a front-only recording. overlay: borrowed, may be null. "" or why not.
  std::string Open(const Mp4Picture& front, const Mp4Picture* rear, bool sideBySide,
                   VFrameOverlay* overlay);
  int Tracks() const { return m_sideBySide ? 1 : m_cameras; }
  // Track's encoder, for the stream's parameters; its time base is 1 / its rate.
  const AVCodecContext* Encoder(int track) const { return m_encoder[track].get(); }

  // Camera's access unit, frame index of its stream. A unit that does not decode is left
  // out (the picture is missing, not the track). 0 or an AVERROR of the encoder or sink.
  int Put(int camera, const uint8_t* data, int size, int64_t index, const Mp4PacketSink& sink);
  // The decoders' and encoders' last frames. 0 or an AVERROR.
  int Finish(const Mp4PacketSink& sink);
  // Camera's pictures decoded and passed on to the encoder so far: after Finish, those in
  // the file.
  int Pictures(int camera) const { return m_pictures[camera]; }

 private:
  struct Free {
    void operator()(AVCodecContext* c) const;
    void operator()(AVFrame* f) const;
    void operator()(AVPacket* p) const;
    void operator()(SwsContext* s) const;
  };
  using Frame = std::unique_ptr<AVFrame, Free>;

  int Receive(int camera, const Mp4PacketSink& sink);
  int Decoded(int camera, const AVFrame* frame, const Mp4PacketSink& sink);
  // Side by side: the held front frames whose rear frame is known (all when all).
  int EmitFronts(bool all, const Mp4PacketSink& sink);
  // Converts frame into the canvas at x, width x height.
  void ToCanvas(int camera, const AVFrame* frame, int x, int width, int height);
  // The canvas, converted whole, as track's picture at pts.
  int Encode(int track, int64_t pts, const Mp4PacketSink& sink);
  // The decoded frame (YUV 4:2:0 of the track's size) with the rows the overlay changed in the
  // canvas (against m_before) converted over it.
  int EncodeChanged(int track, const AVFrame* frame, const Mp4PacketSink& sink);
  int Drain(int track, const Mp4PacketSink& sink);
  int64_t Ms(int camera, int64_t pts) const;

  // Set by Open.
  int m_cameras = 1;
  bool m_sideBySide = false;
  VFrameOverlay* m_overlay = nullptr;
  Mp4Picture m_source[2];
  int m_rearWidth = 0;  // side by side: the rear's width at the front's height
  std::unique_ptr<AVCodecContext, Free> m_decoder[2], m_encoder[2];
  std::unique_ptr<AVPacket, Free> m_packet;
  Frame m_decoded, m_yuv[2];
  std::unique_ptr<SwsContext, Free> m_toRgb[2], m_toYuv[2];
  std::vector<uint8_t> m_canvas;  // BGRA, the widest output track's size
  std::vector<uint8_t> m_before;  // the canvas before the overlay drew
  int m_canvasStride = 0;

  // Side by side: front frames waiting for the rear frame of their time; the last two rear
  // frames decoded.
  std::deque<Frame> m_fronts;
  Frame m_rearBefore, m_rear;
  int m_pictures[2] = {};
};
