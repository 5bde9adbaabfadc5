// The 975 x 635 face of the main window. Everything the window places on top of it (panes,
// list, graph, buttons) gets a matching surface here, so keyed buttons blend in.
#include <QPainterPath>

#include "resources/skin_gen/skin_gen.h"

namespace skin {

namespace {

void Frame(QPainter& p, const QRectF& r, const QColor& fill) {
  p.setPen(QPen(kLine, 1));
  p.setBrush(fill);
  p.drawRect(r.adjusted(-0.5, -0.5, 0.5, 0.5));
}

void Panel(QPainter& p, const QRectF& r, qreal radius = 6) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  p.fillPath(path, kPanel);
  p.setPen(QPen(kLine, 1));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void TitleBar(QPainter& p) {
  p.fillRect(QRectF(0, 0, 975, 36), kPanel);
  p.fillRect(QRectF(0, 35, 975, 1), kLine);
  QPainterPath logo;
  logo.addRoundedRect(QRectF(12, 9, 18, 18), 4, 4);
  p.fillPath(logo, kAccent);
  p.setPen(Qt::NoPen);
  p.setBrush(kPanel);
  p.drawEllipse(QPointF(21, 18), 4.5, 4.5);
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(21, 18), 2, 2);
  p.setFont(UiFont(14, true));
  p.setPen(kInk);
  p.drawText(QRectF(38, 0, 200, 36), Qt::AlignVCenter | Qt::AlignLeft, "Roadkeep");
  p.setFont(UiFont(11, false));
  p.setPen(kInkDim);
  p.drawText(QRectF(124, 1, 200, 36), Qt::AlignVCenter | Qt::AlignLeft, "KT5 Viewer");
}

void Legend(QPainter& p, UiLanguage lang) {
  QRectF box(800, 520, 165, 104);
  Panel(p, box);
  p.setFont(UiFont(10, true, FontFamily(lang)));
  p.setPen(kInkDim);
  p.drawText(QRectF(812, 526, 150, 16), Qt::AlignLeft | Qt::AlignVCenter,
             Words{"G-SENSOR", "G 센서", "Gセンサー"}.In(lang));
  const struct {
    Words name;
    QColor color;
  } axes[] = {{{"X axis", "X축", "X軸"}, QColor(0, 0, 255)},
              {{"Y axis", "Y축", "Y軸"}, QColor(255, 255, 0)},
              {{"Z axis", "Z축", "Z軸"}, QColor(255, 0, 0)},
              // The size beyond gravity; sensors/gsensor_graph.cpp draws it in this colour.
              {{"Shock (g)", "충격 (g)", "衝撃 (g)"}, QColor(220, 220, 220)}};
  for (int i = 0; i < 4; ++i) {
    qreal y = 549 + i * 18;
    p.fillRect(QRectF(814, y - 1.5, 18, 3), axes[i].color);
    p.setFont(UiFont(11, false, FontFamily(lang)));
    p.setPen(kInk);
    p.drawText(QRectF(840, y - 9, 110, 18), Qt::AlignLeft | Qt::AlignVCenter,
               axes[i].name.In(lang));
  }
}

}  // namespace

QImage DrawBackground(UiLanguage lang) {
  return Render(975, 635, Key::kNone, kBase, [lang](QPainter& p, const QRectF&) {
    p.fillRect(QRectF(0, 0, 975, 635), kBase);
    TitleBar(p);
    p.fillRect(QRectF(0, 37, 975, 28), kPanel);        // tab row
    Frame(p, QRectF(4, 64, 640, 360), kVideo);          // main pane
    p.fillRect(QRectF(648, 83, 325, 130), kVideo);     // list
    p.fillRect(QRectF(648, 213, 325, 65), kPanel);     // select-all, export, small-pane tabs
    Frame(p, QRectF(650, 278, 320, 170), kVideo);       // small pane
    p.setPen(QPen(kLine, 1));
    p.drawLine(QPointF(648, 247.5), QPointF(973, 247.5));
    Panel(p, QRectF(12, 460.5, 951, 44), 8);            // transport bar
    p.setPen(QPen(kLine, 1));
    p.drawLine(QPointF(820.5, 468), QPointF(820.5, 497));
    p.drawLine(QPointF(423.5, 468), QPointF(423.5, 497));
    Frame(p, QRectF(30, 520, 760, 104), QColor(1, 0, 0));  // graph well
    Legend(p, lang);
    p.fillRect(QRectF(0, 632, 975, 3), kAccent);       // accent foot line
  });
}

}  // namespace skin
