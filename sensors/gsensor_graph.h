// The G-sensor traces of the main window: three series of one graph, refilled from the
// collected samples once per displayed second.
#pragma once

#include <span>

#include "sensors/gsensor_data.h"

class CGraphStatic;
struct GraphSeries;

struct GSensorTraces {
  GraphSeries* x = nullptr;  // blue, fed x + 150
  GraphSeries* y = nullptr;  // yellow, fed y + 100
  GraphSeries* z = nullptr;  // red, fed z + 50
  GraphSeries* shock = nullptr;  // light grey: the second's largest size beyond gravity
  int lastSecond = 0;        // sample count drawn last
};

// The shock trace's scale: a value of 100 is 1 g (the graph's full scale, 200, is 2 g).
inline constexpr int kShockPerG = 100;

// Sets graph up for the traces: full scale 200 with grid lines every 50, 13 pixels per
// second, grid shown, then the three series and the shock trace with pen width 1.
GSensorTraces SetupGSensorGraph(CGraphStatic& graph);

// Rebuilds the traces for displayed second `second` from samples (element i: the sample of
// second i + 1): the first min(second, count) samples, the oldest at the plot's left edge.
// shock (element i: second i + 1, in kShockPerG units), when given, fills the shock trace
// alongside. Does nothing, returning false, when samples is empty or that many were drawn
// last.
bool UpdateGraph(CGraphStatic& graph, GSensorTraces& traces,
                 std::span<const CGSensorData> samples, int second,
                 std::span<const int> shock = {});

// Empties the traces after the samples were emptied; the next UpdateGraph rebuilds. Unlike
// UpdateGraph with no samples, it also redraws, so the old recording's traces disappear.
void ResetGraph(CGraphStatic& graph, GSensorTraces& traces);
