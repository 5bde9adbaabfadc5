// Drawing costs of the skinned views: rebuilding the G-sensor graph for a 60-second window
// (180 AddPoint calls, each redrawing the whole picture) and one paint of each slider.
// Baseline: filling the graph's picture once, the cheapest part of every redraw.
#include <benchmark/benchmark.h>

#include <QPainter>
#include <vector>

#include "controls/bitmap_slider.h"
#include "controls/skin_face.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "sensors/graph_static.h"
#include "sensors/gsensor_graph.h"

namespace {

void BM_FillPictureBaseline(benchmark::State& state) {
  QImage picture(760, 104, QImage::Format_RGB32);
  for (auto _ : state) {
    picture.fill(qRgb(1, 0, 0));
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_FillPictureBaseline);

void BM_GraphRebuild60s(benchmark::State& state) {
  CGraphStatic graph(IDC_GRAPH, QSize(760, 104));
  GSensorTraces traces = SetupGSensorGraph(graph);
  std::vector<CGSensorData> samples;
  for (int i = 0; i < 60; ++i) samples.push_back(CGSensorData::FromAxes((i * 37) % 255 - 127, (i * 11) % 60 - 30, i % 20));
  for (auto _ : state) {
    traces.lastSecond = 0;  // force the rebuild
    UpdateGraph(graph, traces, samples, 60);
    benchmark::DoNotOptimize(graph.Picture().constBits());
  }
  state.counters["AddPoint_us"] = benchmark::Counter(
      180, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
      benchmark::Counter::kIs1000);
}
BENCHMARK(BM_GraphRebuild60s)->Unit(benchmark::kMillisecond);

void PaintSlider(benchmark::State& state, bool withThumb) {
  CSkinFace face;
  CBitmapSlider slider(withThumb ? IDC_VOLUME_SLIDER : IDC_POS_SLIDER, &face);
  if (withThumb) {
    slider.SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
    slider.SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kKeyFromPixel, 0, 0);
    slider.move(715, 476);
  } else {
    slider.SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kKeyFromPixel, 0, 0);
    slider.move(92, 432);
  }
  slider.SetRange(0, 99);
  slider.SetPos(40);
  QImage target(slider.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    slider.render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
}

void BM_PaintPositionSlider(benchmark::State& state) { PaintSlider(state, false); }
void BM_PaintVolumeSlider(benchmark::State& state) { PaintSlider(state, true); }
BENCHMARK(BM_PaintPositionSlider)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintVolumeSlider)->Unit(benchmark::kMicrosecond);

}  // namespace
