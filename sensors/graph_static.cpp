#include "sensors/graph_static.h"

#include <QPainter>
#include <algorithm>

#include "controls/control_message.h"

CGraphStatic::CGraphStatic(int id, QSize clientSize, QWidget* parent) : QWidget(parent) {
  SetControlId(this, id);
  resize(clientSize);
  m_client = QRect(QPoint(0, 0), clientSize);
  // Edges as the plot's coordinates: left/top inclusive, right/bottom as the last line.
  m_plot = QRect(QPoint(m_client.left() + 4, m_client.top() + 2),
                 QPoint(m_client.left() + clientSize.width() - 2,
                        m_client.top() + clientSize.height() - 2));
  m_xStep = m_yStep = m_defaultStep;
  m_clientWidth = clientSize.width();
  m_clientHeight = clientSize.height();
  m_verticalDivisions = m_fullScale / m_defaultStep;
  m_picture = QImage(clientSize.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  m_picture.fill(ColorRefToRgb(m_backgroundColor));
}

GraphSeries* CGraphStatic::AddSeries(ColorRef color, int penWidth) {
  auto series = std::make_unique<GraphSeries>();
  series->color = color;
  series->penWidth = penWidth;
  m_series.push_back(std::move(series));
  return m_series.back().get();
}

bool CGraphStatic::Owns(const GraphSeries* series) const {
  return std::any_of(m_series.begin(), m_series.end(),
                     [series](const auto& s) { return s.get() == series; });
}

int CGraphStatic::ScaledValue(int value) const {
  const int plotHeight = m_plot.bottom() - m_plot.top();
  const int64_t h = static_cast<int64_t>(value) * m_clientHeight / m_fullScale;
  return static_cast<int>(std::clamp<int64_t>(h, 0, plotHeight));
}

bool CGraphStatic::AddPoint(GraphSeries* series, int value) {
  if (series == nullptr || !Owns(series)) return false;
  series->values[series->writeIndex] = ScaledValue(value);
  series->writeIndex = (series->writeIndex + 1) % GraphSeries::kCapacity;
  Redraw();
  return true;
}

void CGraphStatic::ClearSeries(GraphSeries* series) {
  if (series == nullptr || !Owns(series)) return;
  series->values.fill(0);
  series->writeIndex = 0;
}

bool CGraphStatic::SetYRange(int fullScale, int step) {
  if (fullScale <= 0 || step <= 0) return false;
  m_fullScale = fullScale;
  m_yStep = step;
  m_verticalDivisions = fullScale / step;
  Redraw();
  return true;
}

void CGraphStatic::SetXStep(int pixels) {
  m_xStep = pixels;
  Redraw();
}

void CGraphStatic::ShowGrid(bool show) {
  m_gridShown = show;
  Redraw();
}

void CGraphStatic::DrawGrid(QPainter& p) const {
  p.setPen(QPen(QColor(ColorRefToRgb(m_gridColor)), 1));
  p.drawLine(m_plot.left(), m_plot.top(), m_plot.left(), m_plot.bottom());
  p.drawLine(m_plot.right(), m_plot.top(), m_plot.right(), m_plot.bottom());
  // A plot lower than the number of divisions (or no divisions) gets no lines.
  const int d = m_verticalDivisions > 0 ? (m_plot.bottom() - m_plot.top()) / m_verticalDivisions : 0;
  if (d < 1) return;
  for (int y = m_plot.bottom(); y >= m_plot.top(); y -= d) {
    if (y == m_plot.top() || y == m_plot.bottom()) continue;
    p.drawLine(m_plot.left(), y, m_plot.right(), y);
  }
}

// The last written value (just before the write index) is drawn first, at the plot's left
// edge, and values[0] last; UpdateGraph writes the newest sample first so it ends up right.
void CGraphStatic::DrawSeries(QPainter& p, const GraphSeries& series) const {
  const int n = series.writeIndex;
  p.setPen(QPen(QColor(ColorRefToRgb(series.color)), series.penWidth));
  QPoint previous;
  for (int k = 0; k < n; ++k) {
    QPoint point(m_plot.left() + k * m_xStep, m_plot.bottom() - series.values[n - 1 - k]);
    if (k > 0) p.drawLine(previous, point);
    previous = point;
  }
}

void CGraphStatic::SetLevelLine(int value, ColorRef color) {
  m_level = value;
  m_levelColor = color;
  Redraw();
}

void CGraphStatic::SetMarks(std::vector<int> points, ColorRef color) {
  m_marks = std::move(points);
  m_markColor = color;
  Redraw();
}

void CGraphStatic::DrawOverlays(QPainter& p) const {
  for (const int point : m_marks) {
    const int x = m_plot.left() + point * m_xStep;
    if (point < 0 || x > m_plot.right()) continue;
    p.setPen(QPen(QColor(ColorRefToRgb(m_markColor)), 2));
    p.drawLine(x, m_plot.top(), x, m_plot.bottom());
  }
  if (m_level >= 0) {
    const int y = m_plot.bottom() - ScaledValue(m_level);
    p.setPen(QPen(QColor(ColorRefToRgb(m_levelColor)), 1, Qt::DashLine));
    p.drawLine(m_plot.left(), y, m_plot.right(), y);
  }
}

void CGraphStatic::Redraw() {
  {
    QPainter p(&m_picture);
    p.fillRect(m_picture.rect(), QColor(ColorRefToRgb(m_backgroundColor)));
    if (m_gridShown) DrawGrid(p);
    DrawOverlays(p);
    for (const auto& series : m_series) {
      if (series->visible) DrawSeries(p, *series);
    }
  }
  update();
}

void CGraphStatic::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // A control made larger than its picture (a grown window) shows the picture stretched.
  const QRect picture(0, 0, m_clientWidth, m_clientHeight);
  if (size() == picture.size()) {
    p.drawImage(QPoint(0, 0), m_picture, picture);
  } else {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), m_picture, picture);
  }
}
