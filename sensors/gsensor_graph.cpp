#include "sensors/gsensor_graph.h"

#include <algorithm>

#include "sensors/graph_static.h"

GSensorTraces SetupGSensorGraph(CGraphStatic& graph) {
  graph.SetYRange(200, 50);
  graph.SetXStep(13);
  graph.ShowGrid(true);
  GSensorTraces traces;
  traces.x = graph.AddSeries(MakeColorRef(0, 0, 255), 1);
  traces.y = graph.AddSeries(MakeColorRef(255, 255, 0), 1);
  traces.z = graph.AddSeries(MakeColorRef(255, 0, 0), 1);
  traces.shock = graph.AddSeries(MakeColorRef(220, 220, 220), 1);
  traces.lastSecond = 0;
  return traces;
}

bool UpdateGraph(CGraphStatic& graph, GSensorTraces& traces,
                 std::span<const CGSensorData> samples, int second, std::span<const int> shock) {
  if (samples.empty()) return false;
  const int n = std::clamp<long long>(second, 0, static_cast<long long>(samples.size()));
  if (n == traces.lastSecond) return false;
  traces.lastSecond = n;
  graph.ClearSeries(traces.x);
  graph.ClearSeries(traces.y);
  graph.ClearSeries(traces.z);
  graph.ClearSeries(traces.shock);
  // Newest first, so it lands at values[0] and is drawn last, at the right.
  for (int i = n - 1; i >= 0; --i) {
    graph.AddPoint(traces.x, samples[i].x + 150);
    graph.AddPoint(traces.y, samples[i].y + 100);
    graph.AddPoint(traces.z, samples[i].z + 50);
    if (!shock.empty()) graph.AddPoint(traces.shock, static_cast<size_t>(i) < shock.size() ? shock[i] : 0);
  }
  return true;
}

void ResetGraph(CGraphStatic& graph, GSensorTraces& traces) {
  graph.ClearSeries(traces.x);
  graph.ClearSeries(traces.y);
  graph.ClearSeries(traces.z);
  graph.ClearSeries(traces.shock);
  traces.lastSecond = 0;
  graph.Redraw();
}
