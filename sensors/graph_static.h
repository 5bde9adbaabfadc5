// A small line-graph control: series of up to 1024 integer values, drawn into an off-screen
// picture of the control's first size; painting only copies that picture (stretched over a
// control grown since). GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/color_ref.h"

struct GraphSeries {
  static constexpr int kCapacity = 1024;

  ColorRef color = 0;
  bool visible = true;  // an invisible series is not drawn
  int penWidth = 1;
  // Pixel heights above the plot's bottom edge, already scaled and clamped; a ring.
  std::array<int32_t, kCapacity> values{};
  int writeIndex = 0;  // slot the next point goes to
};

class CGraphStatic : public QWidget {
 public:
  // The geometry and the off-screen picture are made for clientSize once; later resizing
  // does not change them.
  CGraphStatic(int id, QSize clientSize, QWidget* parent = nullptr);

  // A new empty series; the graph owns it until the graph is destroyed.
  GraphSeries* AddSeries(ColorRef color, int penWidth);
  // Stores value scaled by the client height over the full-scale value, clamped to the plot
  // height and to 0, then redraws. Returns false, doing nothing, for a series not the graph's.
  bool AddPoint(GraphSeries* series, int value);
  // Empties series (all values 0, write index 0) without redrawing; ignores foreign series.
  void ClearSeries(GraphSeries* series);
  // The value shown at the full client height and the value between horizontal grid lines.
  // Returns false, changing nothing, unless both are positive.
  bool SetYRange(int fullScale, int step);
  void SetXStep(int pixels);
  void ShowGrid(bool show);
  // A dashed horizontal line at value (scaled as AddPoint's values); a negative value takes
  // it away. Redraws.
  void SetLevelLine(int value, ColorRef color);
  // Vertical lines through the whole plot at these points (0: the leftmost drawn point, each
  // next one the x step further right). Redraws.
  void SetMarks(std::vector<int> points, ColorRef color);
  // Draws the picture again and schedules a repaint.
  void Redraw();

  const QImage& Picture() const { return m_picture; }
  QRect PlotRect() const { return m_plot; }
  int ClientHeight() const { return m_clientHeight; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool Owns(const GraphSeries* series) const;
  void DrawGrid(QPainter& p) const;
  void DrawSeries(QPainter& p, const GraphSeries& series) const;
  void DrawOverlays(QPainter& p) const;
  int ScaledValue(int value) const;

  QImage m_picture;
  ColorRef m_backgroundColor = MakeColorRef(1, 0, 0);
  ColorRef m_gridColor = MakeColorRef(41, 41, 41);
  QRect m_client;
  QRect m_plot;  // m_client inset by 4 on the left and 2 elsewhere; right/bottom inclusive+1
  int m_defaultStep = 10;
  bool m_gridShown = true;
  int m_fullScale = 100;
  int m_verticalDivisions = 10;
  int m_xStep = 10;  // pixels between points
  int m_yStep = 10;  // value units between grid lines
  int m_clientHeight = 0, m_clientWidth = 0;
  std::vector<std::unique_ptr<GraphSeries>> m_series;
  int m_level = -1;  // unscaled; negative: no line
  ColorRef m_levelColor = 0;
  std::vector<int> m_marks;
  ColorRef m_markColor = 0;
};
