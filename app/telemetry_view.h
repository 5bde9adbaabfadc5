// CTelemetryView: what the window shows of the telemetry of what plays, once its track is
// read (CTrackLoader): the route on the map with the car moving along it, the impacts as
// marks on the G-sensor graph (with the threshold as a line) and on the position slider, and
// the impacts button (the window places it over the graph), whose menu lists them (a choice seeks to 2 s before
// one) under the recorder's clock against GPS time. GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/track_loader.h"
#include "resources/resources.h"

class CBitmapSlider;
class CGraphStatic;
class CMapPane;
class QMenu;
class QToolButton;
class QWidget;

class CTelemetryView : public QObject {
  Q_OBJECT

 public:
  // The parts are the window's and outlive this view; the button is made as a child of
  // window, hidden; the window places and shows it while Telemetry() is there.
  CTelemetryView(CMapPane* map, CGraphStatic* graph, CBitmapSlider* slider, QWidget* window,
                 UiLanguage language);

  // Reads the telemetry of the recordings (offsetsMs: where each begins in played time).
  void Load(std::shared_ptr<CCard> card, std::vector<Recording> recordings,
            std::vector<int64_t> offsetsMs);
  // Nothing plays: route, marks and button go.
  void Clear();
  // The recording on screen (a trip's index; 0 for one recording).
  void SetPart(int index);
  // What plays now: the played time, how fast it runs, whether it runs.
  struct Clock {
    int64_t playedMs = 0;
    double speed = 1;
    bool playing = false;
  };
  // Where the clock is read, every kClockPollMs while a route is shown; the map is told only
  // when it would otherwise show the car more than kClockSlackMs off (a seek, a pause, a
  // stall), and moves the car on its own in between.
  void SetClockSource(std::function<Clock()> source) { m_clockSource = std::move(source); }
  static constexpr int kClockPollMs = 100;
  static constexpr int kClockSlackMs = 120;
  // The recording on screen's shock per second for the G-sensor graph; empty before it is read.
  std::span<const int> Shock() const;
  const roadkeep::sensors::PlayedTelemetry* Telemetry() const { return m_loader.Current(); }
  // Every impact's played time (a trip's timeline marks them); empty before the track is read.
  std::vector<int64_t> ImpactTimes() const;
  QToolButton* ImpactsButton() const { return m_button; }

 signals:
  // A choice asks for played time ms.
  void seekRequested(qint64 ms);
  // The telemetry was read or cleared: the button comes or goes.
  void changed();

 private:
  void Show();
  void ShowPart();
  void PollClock();
  const roadkeep::sensors::PartTelemetry* Part() const;

  CMapPane* m_map;
  CGraphStatic* m_graph;
  CBitmapSlider* m_slider;
  UiLanguage m_language;
  CTrackLoader m_loader;
  QToolButton* m_button;
  QMenu* m_menu;
  int m_part = 0;
  std::function<Clock()> m_clockSource;
  QTimer m_clockTimer;
  // What the map was told last, and when: it runs that clock on by itself.
  Clock m_told;
  QElapsedTimer m_toldAt;
};
