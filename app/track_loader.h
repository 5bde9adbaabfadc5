// CTrackLoader: reads the telemetry of what plays (one recording, or a trip's recordings)
// on Qt's thread pool, each recording through a reader of its own, so playback is neither
// waited for nor moved. The impact threshold comes from the card's settings file.
//
// Threads: Load, Clear and Current on the GUI thread; the reading runs on the pool and its
// result is queued back to the GUI thread, where a result for an older Load is dropped.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "sensors/played_track.h"
#include "tat/card.h"

class CTrackLoader : public QObject {
  Q_OBJECT

 public:
  explicit CTrackLoader(QObject* parent = nullptr) : QObject(parent) {}

  // Starts reading the recordings' tracks from card, recording i at offsetsMs[i] in played
  // time; what an earlier Load was reading is dropped.
  void Load(std::shared_ptr<CCard> card, std::vector<Recording> recordings,
            std::vector<int64_t> offsetsMs);
  void Clear();
  // The last loaded telemetry; null before it is read or after Clear.
  const roadkeep::sensors::PlayedTelemetry* Current() const { return m_current.get(); }

 signals:
  void loaded();

 private:
  int m_run = 0;
  std::shared_ptr<const roadkeep::sensors::PlayedTelemetry> m_current;
};
