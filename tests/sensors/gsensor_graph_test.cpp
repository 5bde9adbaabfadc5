#include "sensors/gsensor_graph.h"

#include <gtest/gtest.h>

#include <vector>

#include "resources/resource_ids.h"
#include "sensors/graph_static.h"

namespace {

struct Fixture {
  CGraphStatic graph{IDC_GRAPH, QSize(760, 104)};
  GSensorTraces traces = SetupGSensorGraph(graph);
};

// Sample i has x = i, y = -i, z = 2 i.
std::vector<CGSensorData> Ramp(int count) {
  std::vector<CGSensorData> samples;
  for (int i = 0; i < count; ++i) samples.push_back(CGSensorData::FromAxes(i, -i, 2 * i));
  return samples;
}

int Scaled(int value) { return std::clamp(value * 104 / 200, 0, 100); }

TEST(UpdateGraph, ZeroReadingsSitAtThreeQuartersHalfAndAQuarter) {
  Fixture f;
  std::vector<CGSensorData> samples(3);
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 3));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(f.traces.x->values[i], 78);
    EXPECT_EQ(f.traces.y->values[i], 52);
    EXPECT_EQ(f.traces.z->values[i], 26);
  }
  const QImage& picture = f.graph.Picture();
  EXPECT_EQ(picture.pixel(4 + 2 * 13, 102 - 78), qRgb(0, 0, 255));
  EXPECT_EQ(picture.pixel(4 + 13, 102 - 52), qRgb(255, 255, 0));
  EXPECT_EQ(picture.pixel(4, 102 - 26), qRgb(255, 0, 0));
}

TEST(UpdateGraph, NewestSampleIsLastAndOldestAtTheLeft) {
  Fixture f;
  const std::vector<CGSensorData> samples = Ramp(40);
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 40));
  EXPECT_EQ(f.traces.x->writeIndex, 40);
  EXPECT_EQ(f.traces.x->values[0], Scaled(39 + 150));
  EXPECT_EQ(f.traces.x->values[39], Scaled(0 + 150));
  EXPECT_EQ(f.traces.y->values[0], Scaled(-39 + 100));
  EXPECT_EQ(f.traces.z->values[0], Scaled(78 + 50));
}

TEST(UpdateGraph, SameSecondTwiceDoesNotRebuild) {
  Fixture f;
  const std::vector<CGSensorData> samples = Ramp(12);
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 5));
  f.graph.ClearSeries(f.traces.x);  // a rebuild would refill it
  EXPECT_FALSE(UpdateGraph(f.graph, f.traces, samples, 5));
  EXPECT_EQ(f.traces.x->writeIndex, 0);
  // Seconds past the samples count as the number of samples.
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 30));
  EXPECT_EQ(f.traces.lastSecond, 12);
  EXPECT_FALSE(UpdateGraph(f.graph, f.traces, samples, 31));
}

TEST(UpdateGraph, JumpBackRebuildsWithTheFirstSamplesOnly) {
  Fixture f;
  const std::vector<CGSensorData> samples = Ramp(40);
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 40));
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 10));
  for (GraphSeries* s : {f.traces.x, f.traces.y, f.traces.z}) EXPECT_EQ(s->writeIndex, 10);
  EXPECT_EQ(f.traces.x->values[0], Scaled(9 + 150));
  EXPECT_EQ(f.traces.x->values[9], Scaled(150));
  EXPECT_EQ(f.traces.x->values[10], 0) << "cleared before the rebuild";
}

TEST(UpdateGraph, NoSamplesOrNegativeSecond) {
  Fixture f;
  EXPECT_FALSE(UpdateGraph(f.graph, f.traces, {}, 5));
  const std::vector<CGSensorData> samples = Ramp(3);
  EXPECT_FALSE(UpdateGraph(f.graph, f.traces, samples, -4)) << "clamped to 0, drawn last";
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 2));
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, -4));
  EXPECT_EQ(f.traces.x->writeIndex, 0);
}

TEST(ResetGraph, ClearsTheTracesFromThePicture) {
  Fixture f;
  const QImage empty = f.graph.Picture();
  const std::vector<CGSensorData> samples = Ramp(8);
  ASSERT_TRUE(UpdateGraph(f.graph, f.traces, samples, 8));
  EXPECT_NE(f.graph.Picture(), empty);
  ResetGraph(f.graph, f.traces);
  EXPECT_EQ(f.traces.lastSecond, 0);
  EXPECT_EQ(f.graph.Picture(), empty);
  EXPECT_TRUE(UpdateGraph(f.graph, f.traces, samples, 8));
}

}  // namespace
