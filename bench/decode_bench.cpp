// DecodeAndShow per frame of a 1920x1080 stream shown at 640x360 and at 1920x1080, against
// FFmpeg's decode alone (send/receive, no conversion) of the same stream in the same run;
// and SaveFrame of a 1920x1080 picture. The "x_decode" counter is the ratio to decode alone.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <chrono>

#include "decoding/decoder.h"
#include "platform/video_surface.h"
#include "tests/decoding/h264_test_util.h"

namespace {

using roadkeep::test::H264Stream;
using roadkeep::test::TempDir;

// Two seconds of a moving, noisy 1080p picture at a recorder's bit rate (10 Mbit/s).
const H264Stream& Stream() {
  static TempDir dir;
  static const H264Stream stream =
      roadkeep::test::MakeH264(dir, 1920, 1080, 60, 30, "testsrc2",
                               "-vf noise=alls=12:allf=t -b:v 10M -maxrate 10M -bufsize 10M");
  return stream;
}

double g_decodeNsPerFrame = 0;  // set by the baseline, which runs first

double NsPerFrame(std::chrono::steady_clock::time_point start, int64_t frames) {
  const auto ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start);
  return frames > 0 ? ns.count() / static_cast<double>(frames) : 0;
}

void BM_FfmpegDecodeOnly(benchmark::State& state) {
  const auto& units = Stream().units;
  if (units.empty()) return state.SkipWithError("no stream (ffmpeg missing?)");
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->thread_count = 1;  // as the decoder under test
  avcodec_open2(context, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  size_t next = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (next == units.size()) {
      avcodec_flush_buffers(context);
      next = 0;
    }
    packet->data = const_cast<uint8_t*>(units[next].data());
    packet->size = static_cast<int>(units[next].size());
    ++next;
    avcodec_send_packet(context, packet);
    while (avcodec_receive_frame(context, frame) >= 0) benchmark::DoNotOptimize(frame->data[0]);
  }
  g_decodeNsPerFrame = NsPerFrame(start, state.iterations());
  state.SetItemsProcessed(state.iterations());
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
}
BENCHMARK(BM_FfmpegDecodeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DecodeAndShow(benchmark::State& state) {
  const auto& units = Stream().units;
  if (units.empty()) return state.SkipWithError("no stream (ffmpeg missing?)");
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  size_t next = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (next == units.size()) {
      decoder.Flush(0);
      next = 0;
    }
    const auto& unit = units[next++];
    decoder.DecodeAndShow(0, &surface, unit.data(), static_cast<int>(unit.size()), true);
  }
  const double ns = NsPerFrame(start, state.iterations());
  if (g_decodeNsPerFrame > 0) state.counters["x_decode"] = ns / g_decodeNsPerFrame;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeAndShow)
    ->Args({640, 360})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

void BM_SaveFrame1080(benchmark::State& state) {
  const auto& units = Stream().units;
  if (units.empty()) return state.SkipWithError("no stream (ffmpeg missing?)");
  TempDir dir;
  CDecoder decoder;
  decoder.OpenCodecs();
  CHeadlessSurface surface(640, 360);
  decoder.DecodeAndShow(0, &surface, units[0].data(), static_cast<int>(units[0].size()), true);
  const std::string path = dir.File("snapshot_front.jpg");
  for (auto _ : state) {
    if (!decoder.SaveFrame(0, path.c_str())) return state.SkipWithError("SaveFrame failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveFrame1080)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
