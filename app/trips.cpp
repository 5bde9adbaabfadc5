// The window's trips: the Trips button beside the list's title, the trip list over the
// recording list while it is on, a trip played as one journey (CPlaybackController's
// OpenTrip), its timeline over the position slider, NEXT and PRE within and between trips,
// and the distances found on a worker thread after the list is filled.
#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTreeView>
#include <algorithm>
#include <map>

#include "app/main_window.h"
#include "app/pane_states.h"
#include "app/telemetry_view.h"
#include "app/trip_views.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "sensors/track_distance.h"
#include "tat/tat_library.h"

using roadkeep::tat::Trip;

namespace {

QString NoRearText(UiLanguage language) {
  return PickText(language, "후방 카메라 없음", "no rear camera", "後方カメラなし");
}

}  // namespace

void CZarezeRadidaDlg::SetUpTrips() {
  m_tripsButton = new QPushButton(PickText(m_language, "트립", "Trips", "トリップ"), this);
  m_tripsButton->setObjectName(QStringLiteral("TripsButton"));
  m_tripsButton->setCheckable(true);
  m_tripsButton->setFocusPolicy(Qt::NoFocus);
  m_tripsButton->setToolTip(PickText(m_language, "이어진 녹화를 하나의 주행으로 보기",
                                     "Show recordings that follow each other as trips",
                                     "続けて録画されたものを一つの走行として表示"));
  m_tripsButton->setStyleSheet(QStringLiteral(
      "QPushButton { background: rgb(44, 47, 54); color: white; border: none; border-radius: 3px;"
      " font-size: 11px; font-weight: bold; }"
      "QPushButton:checked { background: rgb(247, 88, 46); }"));
  m_tripList = new QTreeView(this);
  m_tripList->setObjectName(QStringLiteral("TripList"));
  m_tripList->setModel(m_trips);
  m_tripList->setHeaderHidden(true);
  m_tripList->setUniformRowHeights(true);
  m_tripList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tripList->setStyleSheet(m_controls->List()->styleSheet());
  m_tripList->setToolTip({});
  m_trips->SetLanguage(m_language);
  m_trips->SetRecordings(m_recordings);
  m_timeline = new CTripTimeline(this);
  QWidget* list = m_controls->List();
  QWidget* slider = m_controls->Find(IDC_POS_SLIDER);
  // The button sits at the right end of the list's title, the trip list over the recording
  // list, the timeline over the position slider (a little taller).
  m_standIns = {
      new CStandIn(list, m_tripsButton, [] { return true; },
                   [](const QRect& r) { return QRect(r.right() - 62, r.top() - 17, 60, 15); }),
      new CStandIn(list, m_tripList, [this] { return m_tripMode; }),
      new CStandIn(slider, m_timeline, [this] { return m_playback.InTrip(); },
                   [](const QRect& r) { return r.adjusted(0, -4, 0, 4); }),
  };
  connect(m_tripsButton, &QAbstractButton::toggled, this, &CZarezeRadidaDlg::OnTripsButton);
  connect(m_tripList, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    size_t trip = 0;
    int recording = -1;
    if (m_trips->TripOf(index, &trip, &recording)) PlayTrip(trip, std::max(recording, 0));
  });
  connect(m_timeline, &CTripTimeline::seekRequested, this, [this](qint64 ms) {
    m_playback.SeekTrip(ms);
    RefreshPosition();
  });
  connect(&m_playback, &CPlaybackController::tripMoved, this, &CZarezeRadidaDlg::OnTripMoved);
  connect(&m_playback, &CPlaybackController::skipped, this, [this](const QString& name) {
    ShowStatusLine(PickText(m_language, "%1: 열 수 없어 건너뜁니다", "%1 could not be opened: skipped",
                            "%1: 開けないため飛ばしました")
                       .arg(name),
                   5000);
  });
}

void CZarezeRadidaDlg::FollowStandIns() {
  for (CStandIn* standIn : m_standIns) standIn->Follow();
}

void CZarezeRadidaDlg::OnTripsButton(bool on) {
  m_tripMode = on;
  // Every recording is behind the trips (Select All and the export go by all of them), and
  // no kind is pressed while they show; back from them, All is.
  FillRecordingList(CKindFilter::kAllKinds);  // the trips too, while they show
  ShowKindPressed(on ? -1 : CKindFilter::kAllKinds);
  FollowStandIns();
  if (on) m_tripList->setFocus();
}

void CZarezeRadidaDlg::FillTrips() {
  // One card's recordings make its trips; files opened by path belong to none.
  std::map<std::string, std::vector<Recording>> byCard;
  for (int row = 0; row < m_recordings->rowCount(); ++row) {
    const Recording& r = m_recordings->At(row);
    if (r.kindCode >= 0) byCard[r.card].push_back(r);
  }
  std::vector<Trip> trips;
  for (auto& [card, recordings] : byCard) {
    std::vector<Trip> ofCard = roadkeep::tat::BuildTrips(std::move(recordings));
    trips.insert(trips.end(), std::make_move_iterator(ofCard.begin()),
                 std::make_move_iterator(ofCard.end()));
  }
  std::stable_sort(trips.begin(), trips.end(),
                   [](const Trip& a, const Trip& b) { return a.start < b.start; });
  m_trips->SetTrips(trips);
  // The distances need the recordings' GPS fixes: read on a worker, shown when found. A
  // result for an older filling is dropped.
  const int run = ++m_tripDistanceRun;
  QPointer<CZarezeRadidaDlg> window(this);
  std::shared_ptr<CCard> card = TatCurrentCard(m_library);
  const std::vector<std::shared_ptr<CCard>> others = TatOtherCards(m_library);
  QThreadPool::globalInstance()->start([window, run, trips, card, others]() mutable {
    std::vector<double> km;
    for (Trip& trip : trips) {
      std::shared_ptr<CCard> of = card;
      for (const auto& other : others) {
        if (other && !trip.recordings.empty() && other->Root() == trip.recordings[0].card) of = other;
      }
      std::vector<Trip> one{std::move(trip)};
      if (of) roadkeep::sensors::FillTripDistances(*of, &one);
      km.push_back(one[0].distanceKm);
    }
    QMetaObject::invokeMethod(
        qApp,
        [window, run, km] {
          if (window && run == window->m_tripDistanceRun) window->m_trips->SetDistances(km);
        },
        Qt::QueuedConnection);
  });
}

void CZarezeRadidaDlg::PlayTrip(size_t trip, int recording) {
  const std::vector<Trip>& trips = m_trips->Trips();
  if (trip >= trips.size()) return;
  const Trip& t = trips[trip];
  m_playingTrip = trip;
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("km/h"));
  if (auto* line = findChild<QLabel*>(QStringLiteral("StatusLine"))) line->hide();
  m_playback.OpenTrip(t, static_cast<size_t>(recording), 0);
  std::vector<int64_t> offsets;
  for (size_t i = 0; i < t.recordings.size(); ++i) offsets.push_back(t.OffsetMs(i));
  LoadTelemetry(t.recordings, offsets);
  m_timeline->SetTrip(t);
  m_lengthSeconds = t.lengthMs / 1000;
  UpdateTimeLabels(0, m_lengthSeconds);
  // The rear pane keeps its place through the trip when any recording has a rear camera.
  const bool anyRear = std::any_of(t.recordings.begin(), t.recordings.end(),
                                   [](const Recording& r) { return r.CameraCount() == 2; });
  m_state.panes = PaneStates{kPaneMain, anyRear ? kPaneSmall : kPaneHidden, kPaneHidden};
  LoadMapPage();
  for (int id : {IDC_SMALL_MAP, IDC_SMALL_CAMERA, IDC_MAP}) m_controls->Find(id)->setEnabled(false);
  ApplyPaneLayout();
  OnTripMoved(m_playback.TripRecording());  // said before the layout was ready
  m_controls->Find(IDC_PLAY)->hide();
  m_controls->Find(IDC_PAUSE)->show();
  FollowStandIns();
  m_playback.Play();
}

void CZarezeRadidaDlg::OnTripMoved(int index) {
  if (!m_playback.InTrip()) return;
  const Trip& trip = m_playback.CurrentTrip();
  if (index < 0 || static_cast<size_t>(index) >= trip.recordings.size()) return;
  const Recording& recording = trip.recordings[static_cast<size_t>(index)];
  m_currentName = QString::fromLocal8Bit(recording.name.c_str());
  m_telemetry->SetPart(index);
  m_controls->RearPane()->SetNote(recording.CameraCount() == 2 ? QString() : NoRearText(m_language));
  const QModelIndex row = m_trips->IndexOf(m_playingTrip, index);
  if (row.isValid() && m_tripMode) {
    m_tripList->expand(row.parent());
    m_tripList->setCurrentIndex(row);
    m_tripList->scrollTo(row);
  }
}

bool CZarezeRadidaDlg::PlayTripInHand() {
  size_t trip = 0;
  int recording = -1;
  if (!m_trips->TripOf(m_tripList->currentIndex(), &trip, &recording) &&
      !m_trips->TripOf(m_trips->index(0, 0), &trip, &recording)) {
    return false;
  }
  PlayTrip(trip, std::max(recording, 0));
  return true;
}

bool CZarezeRadidaDlg::StepInTrip(int direction) {
  if (!m_playback.InTrip()) return false;
  const Trip& trip = m_playback.CurrentTrip();
  const int index = m_playback.TripRecording() + direction;
  if (index >= 0 && static_cast<size_t>(index) < trip.recordings.size()) {
    m_playback.SeekTrip(trip.OffsetMs(static_cast<size_t>(index)));
    RefreshPosition();
    return true;
  }
  // Past an end of the trip: the newer trip from its start, or the older one at its last
  // recording; past the newest or the oldest, playback stops.
  const size_t count = m_trips->Trips().size();
  if (direction > 0 && m_playingTrip + 1 < count) {
    PlayTrip(m_playingTrip + 1, 0);
  } else if (direction < 0 && m_playingTrip > 0 && m_playingTrip <= count) {
    PlayTrip(m_playingTrip - 1,
             static_cast<int>(m_trips->Trips()[m_playingTrip - 1].recordings.size()) - 1);
  } else {
    OnStop();
  }
  return true;
}

bool CZarezeRadidaDlg::HandleTripListKey(int key) {
  if (!m_tripMode || !m_tripList->hasFocus()) return false;
  const QModelIndex current = m_tripList->currentIndex();
  QModelIndex next;
  switch (key) {
    case Qt::Key_Up:
      next = current.isValid() ? m_tripList->indexAbove(current) : m_trips->index(0, 0);
      break;
    case Qt::Key_Down:
      next = current.isValid() ? m_tripList->indexBelow(current) : m_trips->index(0, 0);
      break;
    case Qt::Key_Right:
      if (current.isValid()) m_tripList->expand(current);
      return true;
    case Qt::Key_Left:
      if (current.isValid()) m_tripList->collapse(current.parent().isValid() ? current.parent() : current);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      size_t trip = 0;
      int recording = -1;
      if (m_trips->TripOf(current, &trip, &recording)) PlayTrip(trip, std::max(recording, 0));
      return true;
    }
    default:
      return false;
  }
  if (next.isValid()) {
    m_tripList->setCurrentIndex(next);
    m_tripList->scrollTo(next);
  }
  return true;
}

void CZarezeRadidaDlg::LeaveTrip() {
  m_controls->RearPane()->SetNote({});
  FollowStandIns();
}
