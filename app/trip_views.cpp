#include "app/trip_views.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <ctime>

#include "app/plain_tip.h"
#include "app/recording_model.h"
#include "app/recording_names.h"
#include "resources/resources.h"
#include "tat/store_format.h"

using roadkeep::tat::Trip;

namespace {

QString ClockText(int64_t seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);  // the recorder's clock is written as it reads, without a zone
  char text[32] = {};
  std::strftime(text, sizeof text, format, &tm);
  return QString::fromLatin1(text);
}

QString LengthText(int64_t ms) {
  const int64_t s = ms / 1000;
  return s >= 3600 ? QString::asprintf("%d:%02d:%02d", static_cast<int>(s / 3600),
                                       static_cast<int>(s / 60 % 60), static_cast<int>(s % 60))
                   : QString::asprintf("%d:%02d", static_cast<int>(s / 60), static_cast<int>(s % 60));
}

bool IsEvent(const Recording& r) {
  return r.kindCode == roadkeep::tat::kKindEvent || r.kindCode == roadkeep::tat::kKindManual;
}

}  // namespace

QString TripText(const Trip& trip, UiLanguage language) {
  // Short enough for the list's width: the seconds of the times are in the length.
  const QString when = trip.start < 0 ? QStringLiteral("?")
                                      : ClockText(trip.start, "%Y-%m-%d %H:%M") +
                                            QStringLiteral("–") + ClockText(trip.end, "%H:%M");
  const QString distance = trip.distanceKm < 0 ? QStringLiteral("– km")
                                               : QString::asprintf("%.1f km", trip.distanceKm);
  const QString events =
      trip.events == 1 && language == UiLanguage::kEnglish
          ? QStringLiteral("1 event")
          : PickText(language, "이벤트 %1", "%1 events", "イベント %1").arg(trip.events);
  return when + QStringLiteral("  ") + LengthText(trip.lengthMs) + QStringLiteral("  ") + distance +
         QStringLiteral("  ") + events;
}

QString TripClockText(const Trip& trip, int64_t ms) {
  if (trip.recordings.empty()) return {};
  int64_t within = 0;
  const size_t index = trip.RecordingAt(ms, &within);
  const int64_t start = roadkeep::tat::RecordingStart(trip.recordings[index]);
  return start < 0 ? QString() : ClockText(start + within / 1000, "%H:%M:%S");
}

void CTripModel::SetRecordings(CRecordingModel* recordings) {
  m_recordings = recordings;
  // A box changed in the list shows in the trips' boxes.
  connect(recordings, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            if (!roles.contains(Qt::CheckStateRole) || m_trips.empty()) return;
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
            for (int row = 0; row < rowCount(); ++row) {
              const QModelIndex trip = index(row, 0);
              if (rowCount(trip) > 0) {
                emit dataChanged(index(0, 0, trip), index(rowCount(trip) - 1, 0, trip),
                                 {Qt::CheckStateRole});
              }
            }
          });
}

void CTripModel::SetTrips(std::vector<Trip> trips) {
  beginResetModel();
  m_trips = std::move(trips);
  m_listRows.clear();
  for (int row = 0; m_recordings != nullptr && row < m_recordings->rowCount(); ++row) {
    m_listRows.emplace(m_recordings->At(row).Identity(), row);
  }
  endResetModel();
}

std::vector<int> CTripModel::ListRows(size_t trip, int recording) const {
  std::vector<int> rows;
  const std::vector<Recording>& recordings = m_trips[trip].recordings;
  for (size_t i = 0; i < recordings.size(); ++i) {
    if (recording >= 0 && static_cast<size_t>(recording) != i) continue;
    if (const auto at = m_listRows.find(recordings[i].Identity()); at != m_listRows.end()) {
      rows.push_back(at->second);
    }
  }
  return rows;
}

Qt::CheckState CTripModel::CheckOf(size_t trip, int recording) const {
  int checked = 0;
  const std::vector<int> rows = ListRows(trip, recording);
  for (const int row : rows) checked += m_recordings->CheckAt(row) == Qt::Checked;
  if (checked == 0) return Qt::Unchecked;
  return checked == static_cast<int>(rows.size()) ? Qt::Checked : Qt::PartiallyChecked;
}

bool CTripModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  size_t trip = 0;
  int recording = -1;
  if (role != Qt::CheckStateRole || m_recordings == nullptr || !TripOf(index, &trip, &recording)) {
    return false;
  }
  const auto check = static_cast<Qt::CheckState>(value.toInt());
  m_recordings->SetChecks(ListRows(trip, recording),
                          check == Qt::Unchecked ? Qt::Unchecked : Qt::Checked);
  return true;
}

Qt::ItemFlags CTripModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (m_recordings != nullptr) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

void CTripModel::SetDistances(const std::vector<double>& km) {
  if (km.size() != m_trips.size()) return;
  for (size_t i = 0; i < km.size(); ++i) m_trips[i].distanceKm = km[i];
  if (!m_trips.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

bool CTripModel::TripOf(const QModelIndex& index, size_t* trip, int* recording) const {
  if (!index.isValid()) return false;
  if (index.internalId() == kTripRow) {
    *trip = m_trips.size() - 1 - static_cast<size_t>(index.row());
    *recording = -1;
  } else {
    *trip = static_cast<size_t>(index.internalId());
    *recording = index.row();
  }
  return *trip < m_trips.size();
}

QModelIndex CTripModel::IndexOf(size_t trip, int recording) const {
  if (trip >= m_trips.size()) return {};
  if (recording < 0) return index(RowOfTrip(trip), 0);
  return index(recording, 0, index(RowOfTrip(trip), 0));
}

QModelIndex CTripModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= columnCount()) return {};
  if (!parent.isValid()) {
    return row < static_cast<int>(m_trips.size()) ? createIndex(row, column, kTripRow)
                                                  : QModelIndex();
  }
  if (parent.internalId() != kTripRow) return {};
  const size_t trip = m_trips.size() - 1 - static_cast<size_t>(parent.row());
  if (trip >= m_trips.size() || row >= static_cast<int>(m_trips[trip].recordings.size())) return {};
  return createIndex(row, column, static_cast<quintptr>(trip));
}

QModelIndex CTripModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kTripRow) return {};
  return createIndex(RowOfTrip(static_cast<size_t>(child.internalId())), 0, kTripRow);
}

int CTripModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(m_trips.size());
  if (parent.internalId() != kTripRow || parent.column() != 0) return 0;
  const size_t trip = m_trips.size() - 1 - static_cast<size_t>(parent.row());
  return trip < m_trips.size() ? static_cast<int>(m_trips[trip].recordings.size()) : 0;
}

int CTripModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CTripModel::data(const QModelIndex& index, int role) const {
  size_t trip = 0;
  int recording = -1;
  if (!TripOf(index, &trip, &recording)) return {};
  const Trip& t = m_trips[trip];
  if (role == Qt::CheckStateRole) {
    return m_recordings != nullptr ? QVariant(CheckOf(trip, recording)) : QVariant();
  }
  if (recording < 0) {
    if (role == Qt::DisplayRole) return TripText(t, m_language);
    if (role == Qt::ToolTipRole) {
      const QString span = t.start < 0 ? QString()
                                       : ClockText(t.start, "%Y-%m-%d %H:%M:%S") + QStringLiteral("–") +
                                             ClockText(t.end, "%H:%M:%S") + QStringLiteral("\n");
      return span + PickText(m_language, "녹화 %1개: 두 번 눌러 이어서 재생",
                             "%1 recordings: double-click to play them as one",
                             "録画 %1 本: ダブルクリックで続けて再生")
                        .arg(t.recordings.size());
    }
    return {};
  }
  if (static_cast<size_t>(recording) >= t.recordings.size()) return {};
  const Recording& r = t.recordings[static_cast<size_t>(recording)];
  if (role == Qt::DisplayRole) {
    const int64_t start = roadkeep::tat::RecordingStart(r);
    return QStringLiteral("%1  %2  %3")
        .arg(TypeAbbreviation(QString::fromLocal8Bit(r.name.c_str())),
             start < 0 ? QStringLiteral("?") : ClockText(start, "%H:%M:%S"),
             LengthText(r.durationMs));
  }
  if (role == Qt::ForegroundRole && IsEvent(r)) return QColor(247, 88, 46);
  if (role == Qt::ToolTipRole) return PlainToolTip(QString::fromLocal8Bit(r.name.c_str()));
  return {};
}

CTripTimeline::CTripTimeline(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TripTimeline"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTripTimeline::SetTrip(const Trip& trip) {
  m_trip = trip;
  m_position = 0;
  update();
}

void CTripTimeline::SetPosition(int64_t ms) {
  if (m_dragging || ms == m_position) return;
  m_position = ms;
  update();
}

QRect CTripTimeline::Bar() const {
  // The clock time of the frame on screen takes the right end.
  return QRect(4, height() / 2 - 3, std::max(width() - 72, 10), 6);
}

int64_t CTripTimeline::TimeAt(int x) const {
  const QRect bar = Bar();
  const double at = std::clamp((x - bar.left()) / static_cast<double>(bar.width()), 0.0, 1.0);
  return static_cast<int64_t>(at * static_cast<double>(m_trip.lengthMs));
}

int CTripTimeline::XOf(int64_t ms) const {
  const QRect bar = Bar();
  if (m_trip.lengthMs <= 0) return bar.left();
  return bar.left() + static_cast<int>(static_cast<double>(std::clamp<int64_t>(ms, 0, m_trip.lengthMs)) *
                                       bar.width() / static_cast<double>(m_trip.lengthMs));
}

void CTripTimeline::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(22, 24, 28));
  const QRect bar = Bar();
  p.fillRect(bar, QColor(70, 72, 78));
  const int at = XOf(m_position);
  p.fillRect(QRect(bar.left(), bar.top(), at - bar.left(), bar.height()), QColor(247, 88, 46));
  // Where one recording gives way to the next; events as marks above and below the bar.
  int64_t offset = 0;  // summed here: a trip may hold thousands of recordings
  for (size_t i = 0; i < m_trip.recordings.size(); ++i) {
    const int x = XOf(offset);
    offset += m_trip.recordings[i].durationMs;
    if (i > 0) p.fillRect(QRect(x, bar.top() - 3, 1, bar.height() + 6), QColor(200, 200, 200));
    if (IsEvent(m_trip.recordings[i])) {
      const QColor colour = m_trip.recordings[i].kindCode == roadkeep::tat::kKindEvent
                                ? QColor(230, 40, 40)
                                : QColor(250, 200, 40);
      const int end = std::max(XOf(offset), x + 3);
      p.fillRect(QRect(x, bar.top() - 5, end - x, 3), colour);
      p.fillRect(QRect(x, bar.bottom() + 3, end - x, 3), colour);
    }
  }
  for (const int64_t ms : m_marks) {
    p.fillRect(QRect(XOf(ms) - 1, bar.top() - 4, 3, bar.height() + 8), QColor(255, 140, 0));
  }
  p.setBrush(Qt::white);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPoint(at, bar.center().y()), 5, 5);
  p.setPen(QColor(247, 88, 46));
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  p.drawText(QRect(bar.right() + 6, 0, width() - bar.right() - 6, height()),
             Qt::AlignLeft | Qt::AlignVCenter, TripClockText(m_trip, m_position));
}

void CTripTimeline::SetMarks(std::vector<int64_t> playedMs) {
  m_marks = std::move(playedMs);
  update();
}

void CTripTimeline::ShowHover(int x) {
  const int64_t ms = TimeAt(x);
  QToolTip::showText(mapToGlobal(QPoint(x, -28)), TripClockText(m_trip, ms), this);
}

void CTripTimeline::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_trip.recordings.empty()) return;
  m_dragging = true;
  m_position = TimeAt(event->position().toPoint().x());
  update();
}

void CTripTimeline::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  ShowHover(x);
  if (!m_dragging) return;
  m_position = TimeAt(x);
  update();
}

void CTripTimeline::mouseReleaseEvent(QMouseEvent* event) {
  if (!m_dragging || event->button() != Qt::LeftButton) return;
  m_dragging = false;
  m_position = TimeAt(event->position().toPoint().x());
  update();
  emit seekRequested(m_position);
}

void CTripTimeline::leaveEvent(QEvent*) { QToolTip::hideText(); }

CStandIn::CStandIn(QWidget* target, QWidget* standIn, std::function<bool()> wanted,
                   std::function<QRect(const QRect&)> place)
    : QObject(standIn),
      m_target(target),
      m_standIn(standIn),
      m_wanted(std::move(wanted)),
      m_place(std::move(place)) {
  target->installEventFilter(this);
  Follow();
}

void CStandIn::Follow() {
  if (!m_target || !m_standIn) return;
  m_standIn->setGeometry(m_place ? m_place(m_target->geometry()) : m_target->geometry());
  const bool show = m_target->isVisible() && m_wanted();
  m_standIn->setVisible(show);
  if (show) m_standIn->raise();
}

bool CStandIn::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:  // raised over its stand-in by a layout
      if (watched == m_target) Follow();
      break;
    default:
      break;
  }
  return false;
}
