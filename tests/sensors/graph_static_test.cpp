#include "sensors/graph_static.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace {

const QRgb kBackground = qRgb(1, 0, 0);
const QRgb kGrid = qRgb(41, 41, 41);
const ColorRef kRed = MakeColorRef(255, 0, 0);

// The graph of the main window: 760 x 104, full scale 200, grid every 50, 13 px per point.
struct MainGraph {
  CGraphStatic graph{IDC_GRAPH, QSize(760, 104)};
  MainGraph() {
    graph.SetYRange(200, 50);
    graph.SetXStep(13);
    graph.ShowGrid(true);
  }
};

int CountRows(const QImage& picture, int x, QRgb color) {
  int rows = 0;
  for (int y = 0; y < picture.height(); ++y) rows += picture.pixel(x, y) == color;
  return rows;
}

TEST(CGraphStatic, GeometryFollowsTheClientArea) {
  CGraphStatic graph(IDC_GRAPH, QSize(760, 104));
  EXPECT_EQ(graph.PlotRect().left(), 4);
  EXPECT_EQ(graph.PlotRect().top(), 2);
  EXPECT_EQ(graph.PlotRect().right(), 758);
  EXPECT_EQ(graph.PlotRect().bottom(), 102);
  EXPECT_EQ(graph.ClientHeight(), 104);
  EXPECT_EQ(graph.Picture().size(), QSize(760, 104));
  graph.resize(300, 50);  // the picture keeps its first size
  graph.Redraw();
  EXPECT_EQ(graph.Picture().size(), QSize(760, 104));
}

TEST(CGraphStatic, PointsScaleByTheClientHeightAndClampToThePlot) {
  const struct {
    int value, stored;
  } kCases[] = {{150, 78}, {278, 100}, {-77, 0}, {0, 0}, {192, 99}, {1, 0}, {200, 100},
                {2000000000, 100}, {-2000000000, 0}};
  MainGraph m;
  GraphSeries* series = m.graph.AddSeries(kRed, 1);
  for (const auto& c : kCases) {
    m.graph.ClearSeries(series);
    ASSERT_TRUE(m.graph.AddPoint(series, c.value));
    EXPECT_EQ(series->values[0], c.stored) << c.value;
    EXPECT_EQ(series->writeIndex, 1);
  }
}

TEST(CGraphStatic, TraceRunsFromTheLastWrittenValueAtTheLeft) {
  MainGraph m;
  GraphSeries* series = m.graph.AddSeries(kRed, 1);
  m.graph.AddPoint(series, 150);  // 78 above the bottom, drawn second
  m.graph.AddPoint(series, -77);  // last written, drawn first: on the bottom edge
  const QImage& picture = m.graph.Picture();
  EXPECT_EQ(picture.pixel(4, 102), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(4 + 13, 102 - 78), qRgb(255, 0, 0));
  EXPECT_NE(picture.pixel(4 + 26, 102 - 78), qRgb(255, 0, 0));
  EXPECT_NE(picture.pixel(4, 102 - 78), qRgb(255, 0, 0));
}

TEST(CGraphStatic, GridHasBordersAndInnerLinesOnly) {
  const struct {
    QSize size;
    int fullScale, step, innerLines;
  } kCases[] = {{{760, 104}, 200, 50, 3},
                {{760, 104}, 100, 10, 9},
                {{200, 10}, 100, 10, 0},    // plot of 6 pixels, 10 divisions: d = 0
                {{200, 104}, 100, 150, 0}};  // step beyond the full scale: no divisions
  for (const auto& c : kCases) {
    CGraphStatic graph(1, c.size);
    ASSERT_TRUE(graph.SetYRange(c.fullScale, c.step));
    const QImage& picture = graph.Picture();
    const int plotLines = graph.PlotRect().bottom() - graph.PlotRect().top() + 1;
    EXPECT_EQ(CountRows(picture, 10, kGrid), c.innerLines) << c.fullScale << "/" << c.step;
    EXPECT_EQ(CountRows(picture, graph.PlotRect().left(), kGrid), plotLines);
    EXPECT_EQ(CountRows(picture, graph.PlotRect().right(), kGrid), plotLines);
    EXPECT_EQ(picture.pixel(10, graph.PlotRect().top()), kBackground);
    EXPECT_EQ(picture.pixel(10, graph.PlotRect().bottom()), kBackground);
  }
  CGraphStatic graph(1, QSize(100, 104));
  graph.ShowGrid(false);
  EXPECT_EQ(CountRows(graph.Picture(), 4, kBackground), 104);
  EXPECT_FALSE(graph.SetYRange(0, 50));
  EXPECT_FALSE(graph.SetYRange(200, 0));
}

TEST(CGraphStatic, EmptyOrSinglePointSeriesDrawNoLine) {
  MainGraph m;
  const QImage gridOnly = m.graph.Picture();
  GraphSeries* series = m.graph.AddSeries(kRed, 1);
  m.graph.Redraw();
  EXPECT_EQ(m.graph.Picture(), gridOnly);
  m.graph.AddPoint(series, 150);
  QImage one = m.graph.Picture();
  int changed = 0;
  for (int y = 0; y < 104; ++y) {
    for (int x = 0; x < 760; ++x) changed += one.pixel(x, y) != gridOnly.pixel(x, y);
  }
  EXPECT_LE(changed, 1) << "one value is at most a dot";
  series->visible = false;
  m.graph.Redraw();
  EXPECT_EQ(m.graph.Picture(), gridOnly);
}

TEST(CGraphStatic, RingWrapsAfter1024PointsAndDrawsOnlyTheNewOnes) {
  MainGraph m;
  m.graph.SetXStep(1);
  GraphSeries* series = m.graph.AddSeries(kRed, 1);
  for (int i = 0; i < 1024 + 6; ++i) m.graph.AddPoint(series, i < 1024 ? 100 : 150);
  EXPECT_EQ(series->writeIndex, 6);
  const QImage& picture = m.graph.Picture();
  EXPECT_EQ(picture.pixel(4 + 5, 102 - 78), qRgb(255, 0, 0));
  EXPECT_EQ(CountRows(picture, 4 + 7, qRgb(255, 0, 0)), 0) << "older values are not drawn";
}

TEST(CGraphStatic, ForeignSeriesAreIgnored) {
  MainGraph m, other;
  GraphSeries* mine = m.graph.AddSeries(kRed, 1);
  GraphSeries* theirs = other.graph.AddSeries(kRed, 1);
  EXPECT_FALSE(m.graph.AddPoint(theirs, 50));
  EXPECT_FALSE(m.graph.AddPoint(nullptr, 50));
  EXPECT_EQ(theirs->writeIndex, 0);
  m.graph.AddPoint(mine, 150);
  m.graph.ClearSeries(theirs);
  m.graph.ClearSeries(nullptr);
  EXPECT_EQ(mine->writeIndex, 1);
  CGraphStatic empty(2, QSize(50, 50));
  EXPECT_FALSE(empty.AddPoint(mine, 1));
}

TEST(CGraphStatic, PaintCopiesTheOffScreenPicture) {
  MainGraph m;
  m.graph.AddPoint(m.graph.AddSeries(kRed, 1), 150);
  m.graph.AddPoint(m.graph.AddSeries(MakeColorRef(0, 0, 255), 2), 20);
  EXPECT_EQ(m.graph.grab().toImage().convertToFormat(QImage::Format_RGB32), m.graph.Picture());
}

}  // namespace
