// The trips of a card as the window shows them: CTripModel (one row per trip, newest first,
// that opens to its recordings in time order), CTripTimeline (the bar of the trip that plays:
// its recordings' boundaries, its events, the position, a hover label with the clock time,
// click or drag to seek) and CStandIn (keeps a widget over another one: same place, shown
// while that one is shown and the stand-in is wanted). GUI thread only.
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "tat/trips.h"

enum class UiLanguage;
class CRecordingModel;

class CTripModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit CTripModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}

  void SetLanguage(UiLanguage language) { m_language = language; }
  // The recording list whose boxes the trips' boxes stand for (the export takes the checked
  // recordings from it): a trip's box is its recordings' boxes. Before SetTrips.
  void SetRecordings(CRecordingModel* recordings);
  // trips: oldest first, as BuildTrips gives them; shown newest first.
  void SetTrips(std::vector<roadkeep::tat::Trip> trips);
  // Distances found later (same order as SetTrips' trips); -1 stays unknown.
  void SetDistances(const std::vector<double>& km);
  const std::vector<roadkeep::tat::Trip>& Trips() const { return m_trips; }

  // The trip (oldest-first number) of an index, and the recording in it (-1 for the trip's
  // own row); false for an invalid index.
  bool TripOf(const QModelIndex& index, size_t* trip, int* recording) const;
  QModelIndex IndexOf(size_t trip, int recording) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  // Rows of the recording list of the trip's recordings (one recording, or all for -1).
  std::vector<int> ListRows(size_t trip, int recording) const;
  Qt::CheckState CheckOf(size_t trip, int recording) const;

  static constexpr quintptr kTripRow = ~quintptr{0};
  int RowOfTrip(size_t trip) const { return static_cast<int>(m_trips.size() - 1 - trip); }

  std::vector<roadkeep::tat::Trip> m_trips;  // oldest first
  UiLanguage m_language{};
  CRecordingModel* m_recordings = nullptr;
  std::map<MediaSource, int> m_listRows;  // a recording's identity to its row in m_recordings
};

// One line saying a trip: "2014-03-01 09:30:00–09:31:55  1:55  3.2 km  2 events".
QString TripText(const roadkeep::tat::Trip& trip, UiLanguage language);
// "HH:MM:SS" of the recorder's clock at played time ms into the trip; empty when its
// recording's start is unknown.
QString TripClockText(const roadkeep::tat::Trip& trip, int64_t ms);

class CTripTimeline : public QWidget {
  Q_OBJECT

 public:
  explicit CTripTimeline(QWidget* parent);

  void SetTrip(const roadkeep::tat::Trip& trip);
  // The played time on screen (ms into the trip).
  void SetPosition(int64_t ms);
  int64_t Position() const { return m_position; }
  // Impacts at these played times, as ticks across the bar.
  void SetMarks(std::vector<int64_t> playedMs);
  // The played time at x in the widget.
  int64_t TimeAt(int x) const;
  // The x of played time ms.
  int XOf(int64_t ms) const;

 signals:
  // The user clicked or let go of a drag at played time ms.
  void seekRequested(qint64 ms);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRect Bar() const;
  void ShowHover(int x);

  roadkeep::tat::Trip m_trip;
  int64_t m_position = 0;
  bool m_dragging = false;
  std::vector<int64_t> m_marks;
};

// Keeps stand-in at target: at place(target's geometry) (over it when place is null), and
// shown while target is and wanted() holds.
class CStandIn : public QObject {
 public:
  CStandIn(QWidget* target, QWidget* standIn, std::function<bool()> wanted,
           std::function<QRect(const QRect&)> place = nullptr);
  // Place and show again (after wanted() changed).
  void Follow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> m_target, m_standIn;
  std::function<bool()> m_wanted;
  std::function<QRect(const QRect&)> m_place;
};
