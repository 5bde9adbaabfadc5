// The recording list as a model: CRecordingModel holds the card's recordings newest first,
// with a check box each; CKindFilter shows the recordings of one kind (or all) in that order.
// The list view only draws. Rows of the filter are what the user sees: playing, "next",
// "previous" and the export all go by them. GUI thread only.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <vector>

#include "tat/card.h"

class CRecordingModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Type, FileName (the name; hidden), Date, Rear (the rear camera, O or X), Size and Path
  // (never written). The check box sits in the first column.
  enum Column : int { kType, kName, kDate, kRear, kSize, kPath, kColumnCount };

  explicit CRecordingModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetTitles(QStringList titles) { m_titles = std::move(titles); }
  // What each column means, shown on hover over its cells (the list has no header to read).
  void SetHints(QStringList hints) { m_hints = std::move(hints); }
  // The rows become recordings, newest first by the date and time in their names (undated
  // names last), each with its box as check says.
  void SetRecordings(std::vector<Recording> recordings, Qt::CheckState check);
  void Clear();

  // REQUIRES: 0 <= row < rowCount().
  const Recording& At(int row) const { return m_rows[static_cast<size_t>(row)].recording; }
  QString NameAt(int row) const;
  // The recording of the row named name; null when there is none.
  const Recording* RecordingOf(const QString& name) const;
  Qt::CheckState CheckAt(int row) const;
  // A file opened by path has no box: the export copies the card's recordings only.
  bool Checkable(int row) const;
  void SetCheck(int row, Qt::CheckState check);
  // The boxes of rows set to check, told to the views once.
  void SetChecks(const std::vector<int>& rows, Qt::CheckState check);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    Recording recording;
    QString type, name, date, rear;
    Qt::CheckState check = Qt::Unchecked;
  };
  std::vector<Row> m_rows;
  QStringList m_titles;
  QStringList m_hints;
};

class CKindFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  static constexpr int kAllKinds = 4;

  explicit CKindFilter(CRecordingModel* recordings, QObject* parent = nullptr);

  // A kind code (roadkeep::tat::KindCode) or kAllKinds; any other shows nothing. Rows left
  // out lose their check, so an export takes only rows the user sees.
  void SetKind(int kind);
  int Kind() const { return m_kind; }

  // The recording on shown row; empty when there is none.
  QString NameAt(int row) const;
  // The shown row of the recording named name, -1 when it is not shown.
  int RowOf(const QString& name) const;
  // The recording named name among the shown rows; null when it is not shown.
  const Recording* RecordingOf(const QString& name) const;
  // The recording on shown row; null when there is none.
  const Recording* RecordingAt(int row) const;
  // The shown rows next to row in time: the newer one and the older one (may be out of the
  // rows: before the first or after the last).
  static int NewerRow(int row) { return row - 1; }
  static int OlderRow(int row) { return row + 1; }
  // Every shown row's box set to check.
  void CheckAll(Qt::CheckState check);
  bool AllChecked() const;
  QStringList CheckedNames() const;
  // The checked shown rows' recordings, in the shown order.
  std::vector<Recording> CheckedRecordings() const;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  CRecordingModel* m_recordings;
  int m_kind = kAllKinds;
};
