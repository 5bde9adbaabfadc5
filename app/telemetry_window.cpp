// The telemetry in the window: the track of what plays is read when it opens (a recording or
// a trip), the impacts button stands over the G-sensor graph, and the map's route and the
// impacts' menu seek in what plays.
#include <strings.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QThreadPool>
#include <QToolButton>
#include <cstring>

#include "app/main_window.h"
#include "app/map_pane.h"
#include "app/telemetry_view.h"
#include "app/trip_views.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "sensors/graph_static.h"
#include "resources/resource_ids.h"
#include "platform/ini_profile.h"
#include "platform/version.h"
#include "sensors/recording_track.h"
#include "sensors/track_export.h"
#include "tat/tat_library.h"

void CZarezeRadidaDlg::SetUpTelemetry() {
  m_telemetry = new CTelemetryView(m_map.get(), m_controls->Graph(),
                                   m_controls->Slider(IDC_POS_SLIDER), this, m_language);
  QToolButton* button = m_telemetry->ImpactsButton();
  // Over the graph's top right corner, while there is telemetry to show.
  m_standIns.push_back(new CStandIn(
      m_controls->Graph(), button, [this] { return m_telemetry->Telemetry() != nullptr; },
      [button](const QRect& r) {
        const QSize size = button->sizeHint();
        return QRect(QPoint(r.right() - size.width() - 6, r.top() + 6), size);
      }));
  connect(m_telemetry, &CTelemetryView::changed, this, [this] {
    m_timeline->SetMarks(m_telemetry->ImpactTimes());
    FollowStandIns();
  });
  connect(m_telemetry, &CTelemetryView::seekRequested, this, &CZarezeRadidaDlg::SeekPlayed);
  m_map->SetSeekHandler([this](int64_t ms) { SeekPlayed(ms); });
  m_telemetry->SetClockSource([this] {
    CTelemetryView::Clock clock;
    clock.playedMs = m_playback.InTrip() ? m_playback.TripPositionMs() : m_playback.Player().GetPositionMs();
    clock.speed = PlaySpeed();
    clock.playing = m_playback.Player().Status() == CQMVMediaPlayer::kPlaying;
    return clock;
  });
}

void CZarezeRadidaDlg::LoadTelemetry(const std::vector<Recording>& recordings,
                                     const std::vector<int64_t>& offsetsMs) {
  if (recordings.empty()) {
    m_telemetry->Clear();
    return;
  }
  // A recording of another card present is read from that card.
  const std::string& root = recordings[0].card;
  std::shared_ptr<CCard> card = root.empty() ? TatCurrentCard(m_library) : TatCardAt(m_library, root);
  m_telemetry->Load(std::move(card), recordings, offsetsMs);
}

std::vector<Recording> CZarezeRadidaDlg::RecordingsNamed(const QString& name) const {
  if (CPlaybackController::IsFileName(name)) return {};
  // The row in hand when it bears the name (names may repeat), else the first row of it. A
  // row's name is display text: matched whole, never taken apart.
  if (const Recording* inHand = m_shown->RecordingAt(m_state.currentRow);
      inHand != nullptr && m_shown->NameAt(m_state.currentRow) == name) {
    return {*inHand};
  }
  if (const Recording* listed = m_recordings->RecordingOf(name)) return {*listed};
  // A name as typed, on the card in use: recordings under the list's size floor are not listed.
  const std::string plain = name.toLocal8Bit().toStdString();
  const std::shared_ptr<CCard> card = TatCurrentCard(m_library);
  const int kind = CCard::KindOfName(plain);
  if (!card || kind < 0) return {};
  for (const Recording& r : card->Recordings(kind)) {
    if (strcasecmp(r.name.c_str(), plain.c_str()) == 0) return {r};
  }
  return {};
}

void CZarezeRadidaDlg::SeekPlayed(int64_t ms) {
  if (!m_playback.IsOpen()) return;
  if (m_playback.InTrip()) {
    m_playback.SeekTrip(ms);
  } else {
    m_playback.Player().SeekToMs(static_cast<int>(std::clamp<int64_t>(ms, 0, INT32_MAX)), true);
  }
  RefreshPosition();
}

void CZarezeRadidaDlg::SaveTrackFile(std::vector<Recording> recordings, bool gpx) {
  if (recordings.empty()) return;
  const QString title = gpx ? PickText(m_language, "GPS 경로 저장 (GPX)", "Save the GPS track (GPX)",
                                       "GPS経路を保存 (GPX)")
                            : PickText(m_language, "센서 데이터 저장 (CSV)", "Save the sensor data (CSV)",
                                       "センサーデータを保存 (CSV)");
  QString name = QString::fromStdString(recordings[0].name);
  name = name.left(name.lastIndexOf(QLatin1Char('.'))) + (gpx ? QStringLiteral(".gpx") : QStringLiteral(".csv"));
  const QString folder = m_targetFolder.isEmpty() ? QDir::homePath() : m_targetFolder;
  QFileDialog dialog(this, title, folder + QLatin1Char('/') + name,
                     gpx ? QStringLiteral("GPX (*.gpx)") : QStringLiteral("CSV (*.csv)"));
  dialog.setObjectName(QStringLiteral("TrackFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before it replaces a file
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().front();
  if (path.isEmpty()) return;
  const std::string root = recordings[0].card;
  std::shared_ptr<CCard> card = root.empty() ? TatCurrentCard(m_library) : TatCardAt(m_library, root);
  if (!card) return;
  QPointer<CZarezeRadidaDlg> window(this);
  const std::string file = QFile::encodeName(path).toStdString();
  // Read and written on the pool: a long trip's tracks take a moment, and playback goes on.
  QThreadPool::globalInstance()->start([window, card, recordings, gpx, file, path] {
    std::vector<roadkeep::sensors::NamedTrack> tracks;
    bool read = true;
    for (const Recording& r : recordings) {
      roadkeep::sensors::NamedTrack named{r.name, {}};
      read = roadkeep::sensors::ReadRecordingTrack(*card, r, &named.track) && read;
      tracks.push_back(std::move(named));
    }
    const std::string text = gpx ? roadkeep::sensors::GpxText(tracks, std::string("Roadkeep ") + kViewerVersion)
                                 : roadkeep::sensors::CsvText(tracks);
    const bool saved = read && SaveFileWhole(file, text);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window, saved, path] {
          if (!window) return;
          window->ShowStatusLine(
              saved ? PickText(window->Language(), "저장했습니다: %1", "Saved %1", "保存しました: %1").arg(path)
                    : PickText(window->Language(), "저장하지 못했습니다: %1", "Could not save %1",
                               "保存できませんでした: %1").arg(path),
              5000);
        },
        Qt::QueuedConnection);
  });
}
