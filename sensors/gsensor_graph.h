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
  int lastSecond = 0;        // sample count drawn last
};

// Sets graph up for the traces: full scale 200 with grid lines every 50, 13 pixels per
// second, grid shown, then the three series with pen width 1.
GSensorTraces SetupGSensorGraph(CGraphStatic& graph);

// Rebuilds the traces for displayed second `second` from samples (element i: the sample of
// second i + 1): the first min(second, count) samples, the oldest at the plot's left edge.
// Does nothing, returning false, when samples is empty or that many were drawn last.
bool UpdateGraph(CGraphStatic& graph, GSensorTraces& traces,
                 std::span<const CGSensorData> samples, int second);

// Empties the traces after the samples were emptied; the next UpdateGraph rebuilds. Unlike
// UpdateGraph with no samples, it also redraws, so the old recording's traces disappear.
void ResetGraph(CGraphStatic& graph, GSensorTraces& traces);
