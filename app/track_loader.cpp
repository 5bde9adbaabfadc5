#include "app/track_loader.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include "sensors/gsensor_graph.h"
#include "sensors/recording_track.h"
#include "settings/recorder_settings.h"
#include "tat/store_format.h"
#include "tat/trips.h"

using namespace roadkeep::sensors;

void CTrackLoader::Load(std::shared_ptr<CCard> card, std::vector<Recording> recordings,
                        std::vector<int64_t> offsetsMs) {
  const int run = ++m_run;
  m_current.reset();
  if (!card || recordings.empty()) return;
  QPointer<CTrackLoader> self(this);
  QThreadPool::globalInstance()->start([self, run, card, recordings, offsetsMs] {
    std::vector<PlayedPart> parts;
    for (size_t i = 0; i < recordings.size(); ++i) {
      const Recording& r = recordings[i];
      PlayedPart part;
      part.name = r.name;
      part.offsetMs = i < offsetsMs.size() ? offsetsMs[i] : 0;
      part.recorderStartS = roadkeep::tat::RecordingStart(r);
      part.event = r.kindCode == roadkeep::tat::kKindEvent;
      // A recording that cannot be read to its end keeps what was read.
      ReadRecordingTrack(*card, r, &part.track);
      parts.push_back(std::move(part));
    }
    const double threshold = ImpactThresholdG(CardImpactLevel(card->Root()));
    auto telemetry = std::make_shared<const PlayedTelemetry>(JoinParts(parts, threshold, kShockPerG));
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, run, telemetry] {
          if (!self || run != self->m_run) return;
          self->m_current = telemetry;
          emit self->loaded();
        },
        Qt::QueuedConnection);
  });
}

void CTrackLoader::Clear() {
  ++m_run;
  m_current.reset();
}
