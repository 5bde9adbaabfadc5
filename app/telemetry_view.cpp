#include "app/telemetry_view.h"

#include <QDateTime>
#include <cstdlib>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include "app/map_pane.h"
#include "controls/bitmap_slider.h"
#include "sensors/graph_static.h"
#include "sensors/gsensor_graph.h"
#include "sensors/route_script.h"

using namespace roadkeep::sensors;

namespace {

constexpr int kSeekBeforeMs = 2000;  // an impact is seen from a little before it
const ColorRef kMarkColour = MakeColorRef(247, 88, 46);

QString ClockText(int64_t ms) {
  const int64_t s = ms / 1000;
  return QString::asprintf("%02d:%02d:%02d", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                           static_cast<int>(s % 60));
}

QString Speed(double kmh) { return kmh >= 0 ? QString::number(static_cast<int>(kmh)) : QStringLiteral("?"); }

}  // namespace

CTelemetryView::CTelemetryView(CMapPane* map, CGraphStatic* graph, CBitmapSlider* slider,
                               QWidget* window, UiLanguage language)
    : QObject(window), m_map(map), m_graph(graph), m_slider(slider), m_language(language) {
  m_button = new QToolButton(window);
  m_button->setObjectName(QStringLiteral("ImpactsButton"));
  m_button->setFocusPolicy(Qt::NoFocus);
  m_button->setPopupMode(QToolButton::InstantPopup);
  m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  m_button->setStyleSheet(QStringLiteral(
      "QToolButton { background: rgba(32, 34, 40, 220); color: white; border: 1px solid rgb(60, 63, 70);"
      " border-radius: 3px; font-size: 11px; padding: 1px 6px; }"
      "QToolButton::menu-indicator { image: none; }"));
  m_menu = new QMenu(m_button);
  m_menu->setObjectName(QStringLiteral("ImpactsMenu"));
  m_menu->setStyleSheet(QStringLiteral(
      "QMenu { background: rgb(32, 34, 40); color: white; border: 1px solid rgb(60, 63, 70); }"
      "QMenu::item:selected { background: rgb(247, 88, 46); }"
      "QMenu::item:disabled { color: rgb(170, 172, 178); }"));
  m_button->setMenu(m_menu);
  m_button->hide();
  connect(&m_loader, &CTrackLoader::loaded, this, &CTelemetryView::Show);
  m_clockTimer.setInterval(kClockPollMs);
  connect(&m_clockTimer, &QTimer::timeout, this, &CTelemetryView::PollClock);
}

void CTelemetryView::Load(std::shared_ptr<CCard> card, std::vector<Recording> recordings,
                          std::vector<int64_t> offsetsMs) {
  Clear();
  m_loader.Load(std::move(card), std::move(recordings), std::move(offsetsMs));
}

void CTelemetryView::Clear() {
  m_loader.Clear();
  m_clockTimer.stop();
  m_part = 0;
  m_map->ShowRoute({});
  m_graph->SetLevelLine(-1, kMarkColour);
  m_graph->SetMarks({}, kMarkColour);
  m_slider->SetMarks({}, QColor());
  emit changed();
}

const PartTelemetry* CTelemetryView::Part() const {
  const PlayedTelemetry* t = m_loader.Current();
  if (t == nullptr || m_part < 0 || static_cast<size_t>(m_part) >= t->parts.size()) return nullptr;
  return &t->parts[static_cast<size_t>(m_part)];
}

std::span<const int> CTelemetryView::Shock() const {
  const PartTelemetry* part = Part();
  return part ? std::span<const int>(part->shock) : std::span<const int>();
}

std::vector<int64_t> CTelemetryView::ImpactTimes() const {
  std::vector<int64_t> times;
  if (const PlayedTelemetry* t = m_loader.Current()) {
    for (const PartTelemetry& part : t->parts) {
      for (const Impact& impact : part.impacts) times.push_back(part.offsetMs + impact.ms);
    }
  }
  return times;
}

void CTelemetryView::SetPart(int index) {
  m_part = index;
  ShowPart();
}

void CTelemetryView::PollClock() {
  if (!m_clockSource) return;
  const Clock now = m_clockSource();
  bool tell = !m_toldAt.isValid() || now.playing != m_told.playing || now.speed != m_told.speed;
  if (!tell) {
    const int64_t expected =
        m_told.playedMs + (m_told.playing ? static_cast<int64_t>(m_toldAt.elapsed() * m_told.speed) : 0);
    tell = std::llabs(expected - now.playedMs) > kClockSlackMs;
  }
  if (!tell) return;
  m_told = now;
  m_toldAt.start();
  m_map->SetClock(SetClockScript(now.playedMs, now.speed, now.playing,
                                 QDateTime::currentMSecsSinceEpoch()));
}

void CTelemetryView::Show() {
  const PlayedTelemetry* t = m_loader.Current();
  if (t == nullptr) return;
  m_map->ShowRoute(t->route.fixes.empty() ? std::string() : SetRouteScript(t->route, t->marks));
  m_graph->SetLevelLine(static_cast<int>(t->thresholdG * kShockPerG), kMarkColour);
  m_toldAt.invalidate();  // a new route needs the clock
  if (!t->route.fixes.empty()) m_clockTimer.start();
  ShowPart();
}

void CTelemetryView::ShowPart() {
  const PartTelemetry* part = Part();
  if (part == nullptr) return;
  // Graph point i is the sample of second i + 1.
  std::vector<int> points, seconds;
  for (const Impact& impact : part->impacts) {
    points.push_back(static_cast<int>((impact.ms + 999) / 1000) - 1);
    seconds.push_back(static_cast<int>(impact.ms / 1000));
  }
  m_graph->SetMarks(points, kMarkColour);
  m_slider->SetMarks(seconds, QColor(255, 210, 0));  // seen on the played part too

  m_menu->clear();
  const size_t n = part->impacts.size();
  m_button->setText(n == 0   ? PickText(m_language, "충격 없음", "No impacts", "衝撃なし")
                    : n == 1 ? PickText(m_language, "충격 1건", "1 impact", "衝撃 1件")
                             : PickText(m_language, "충격 %1건", "%1 impacts", "衝撃 %1件").arg(n));
  if (part->startUtcMs == kNoTime) {
    m_menu->addAction(PickText(m_language, "이 영상에는 GPS가 없습니다", "No GPS in this recording",
                               "この録画にはGPSがありません"))->setEnabled(false);
  } else {
    // The PC's local time of the GPS start, and UTC as the fix gave it.
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(part->startUtcMs, Qt::UTC);
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    m_menu->addAction(PickText(m_language, "GPS 시작: %1 (UTC %2)", "GPS start: %1 (UTC %2)",
                               "GPS開始: %1 (UTC %2)")
                          .arg(start.toLocalTime().toString(format), start.toString(format)))
        ->setEnabled(false);
    if (part->clockOffsetMs != kNoTime) {
      m_menu->addAction(PickText(m_language, "녹화기 시계: GPS %1", "Recorder clock: GPS %1",
                                 "録画機の時計: GPS %1")
                            .arg(QString::fromStdString(OffsetText(part->clockOffsetMs))))
          ->setEnabled(false);
    }
  }
  if (n > 0) m_menu->addSeparator();
  const int64_t offset = part->offsetMs;
  for (const Impact& impact : part->impacts) {
    const QString text = QStringLiteral("%1   %2 g   %3   %4 → %5 km/h")
                             .arg(ClockText(impact.ms))
                             .arg(impact.peakG, 0, 'f', 2)
                             .arg(QString::fromLatin1(SideName(impact.side)))
                             .arg(Speed(impact.speedBeforeKmh), Speed(impact.speedAfterKmh));
    const int64_t target = offset + std::max<int64_t>(0, impact.ms - kSeekBeforeMs);
    m_menu->addAction(text, this, [this, target] { emit seekRequested(target); });
  }
  m_button->setToolTip(PickText(m_language, "충격 (G 센서)", "Impacts (G-sensor)", "衝撃 (Gセンサー)"));
  emit changed();
}
