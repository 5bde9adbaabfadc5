#include "app/recording_model.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>

#include "app/avi_files.h"
#include "app/plain_tip.h"
#include "app/recording_names.h"

void CRecordingModel::SetRecordings(std::vector<Recording> recordings, Qt::CheckState check) {
  std::vector<Row> rows;
  rows.reserve(recordings.size());
  std::vector<std::string> otherCards;  // numbered 2, 3... in the order first met
  for (Recording& r : recordings) {
    Row row;
    // A recording on another card than the one in use is shown with its card. Display text
    // only: what opens a row is its recording's identity.
    row.name = QString::fromLocal8Bit(r.card.empty() ? r.name : r.name + " @ " + r.card);
    if (r.kindCode == kFileKind) {
      // A file opened by path: its name's date when it has one, else when it was written.
      const QFileInfo file(QFile::decodeName(r.name.c_str()));
      row.type = QStringLiteral("AVI");
      row.date = DateTimeText(file.fileName());
      if (row.date.isEmpty() || !row.date.at(0).isDigit()) {
        row.date = file.lastModified().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss"));
      }
    } else {
      const QString name = QString::fromLocal8Bit(r.name);
      row.type = TypeAbbreviation(name);
      row.date = DateTimeText(name);
    }
    if (!r.card.empty()) {
      // The card a row is on, by number: ② for the second card, ③ for the third...
      auto at = std::find(otherCards.begin(), otherCards.end(), r.card);
      if (at == otherCards.end()) at = otherCards.insert(otherCards.end(), r.card);
      const int number = static_cast<int>(at - otherCards.begin()) + 2;
      const QString mark = number <= 20 ? QString(QChar(0x2460 + number - 1))
                                        : QStringLiteral("#%1 ").arg(number);
      row.type = mark + row.type;
    }
    row.rear = r.CameraCount() == 2 ? QStringLiteral("O") : QStringLiteral("X");
    row.check = check;
    row.recording = std::move(r);
    rows.push_back(std::move(row));
  }
  // Newest first: the date-time texts compared by code units, greater first.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return a.date > b.date; });
  beginResetModel();
  m_rows = std::move(rows);
  endResetModel();
}

void CRecordingModel::Clear() {
  beginResetModel();
  m_rows.clear();
  endResetModel();
}

QString CRecordingModel::NameAt(int row) const {
  return row >= 0 && row < rowCount() ? m_rows[static_cast<size_t>(row)].name : QString();
}

const Recording* CRecordingModel::RecordingOf(const QString& name) const {
  for (const Row& row : m_rows) {
    if (row.name == name) return &row.recording;
  }
  return nullptr;
}

Qt::CheckState CRecordingModel::CheckAt(int row) const {
  return row >= 0 && row < rowCount() ? m_rows[static_cast<size_t>(row)].check : Qt::Unchecked;
}

bool CRecordingModel::Checkable(int row) const {
  return m_rows[static_cast<size_t>(row)].recording.kindCode != kFileKind;
}

void CRecordingModel::SetCheck(int row, Qt::CheckState check) {
  if (row < 0 || row >= rowCount() || m_rows[static_cast<size_t>(row)].check == check) return;
  if (!Checkable(row)) return;
  m_rows[static_cast<size_t>(row)].check = check;
  const QModelIndex at = index(row, kType);
  emit dataChanged(at, at, {Qt::CheckStateRole});
}

void CRecordingModel::SetChecks(const std::vector<int>& rows, Qt::CheckState check) {
  bool changed = false;
  for (int row : rows) {
    if (row < 0 || row >= rowCount() || m_rows[static_cast<size_t>(row)].check == check) continue;
    if (!Checkable(row)) continue;
    m_rows[static_cast<size_t>(row)].check = check;
    changed = true;
  }
  if (changed) emit dataChanged(index(0, kType), index(rowCount() - 1, kType), {Qt::CheckStateRole});
}

int CRecordingModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CRecordingModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant CRecordingModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = m_rows[static_cast<size_t>(index.row())];
  if (role == Qt::CheckStateRole && index.column() == kType) {
    return Checkable(index.row()) ? QVariant(row.check) : QVariant();
  }
  if (role == Qt::ToolTipRole && row.recording.kindCode == kFileKind) {
    return PlainToolTip(row.name);
  }
  if (role == Qt::TextAlignmentRole) {
    return index.column() == kName ? int{Qt::AlignLeft | Qt::AlignVCenter} : int{Qt::AlignCenter};
  }
  // A recording whose header could not be trusted says so on hover and in its colour.
  const std::string& damage = row.recording.damage;
  if (role == Qt::ToolTipRole) {
    const QString hint = index.column() < m_hints.size() ? m_hints[index.column()] : QString();
    QString tip = hint;
    if (!row.recording.card.empty()) {
      tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("card: ") +
             QString::fromLocal8Bit(row.recording.card);
    }
    if (!damage.empty()) tip += QStringLiteral("\ndamaged: ") + QString::fromStdString(damage);
    return tip.isEmpty() ? QVariant() : PlainToolTip(tip);
  }
  if (role == Qt::ForegroundRole && !damage.empty()) return QColor(255, 140, 90);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kType: return row.type;
    case kName: return row.name;
    case kDate: return row.date;
    case kRear: return row.rear;
    default: return {};
  }
}

bool CRecordingModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole || index.column() != kType) return false;
  SetCheck(index.row(), value.value<Qt::CheckState>());
  return true;
}

Qt::ItemFlags CRecordingModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kType && Checkable(index.row())) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant CRecordingModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section >= 0 && section < m_titles.size() ? m_titles[section] : QVariant();
}

CKindFilter::CKindFilter(CRecordingModel* recordings, QObject* parent)
    : QSortFilterProxyModel(parent), m_recordings(recordings) {
  setSourceModel(recordings);
}

void CKindFilter::SetKind(int kind) {
  m_kind = kind;
  invalidateFilter();
  // A row the user cannot see is never exported: rows that leave the view lose their check.
  std::vector<int> hidden;
  for (int row = 0; row < m_recordings->rowCount(); ++row) {
    if (!filterAcceptsRow(row, {}) && m_recordings->CheckAt(row) != Qt::Unchecked) {
      hidden.push_back(row);
    }
  }
  if (!hidden.empty()) m_recordings->SetChecks(hidden, Qt::Unchecked);
}

bool CKindFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  return m_kind == kAllKinds || m_recordings->At(sourceRow).kindCode == m_kind;
}

QString CKindFilter::NameAt(int row) const {
  if (row < 0 || row >= rowCount()) return {};
  return m_recordings->NameAt(mapToSource(index(row, 0)).row());
}

const Recording* CKindFilter::RecordingOf(const QString& name) const {
  const int row = RowOf(name);
  return row < 0 ? nullptr : &m_recordings->At(mapToSource(index(row, 0)).row());
}

const Recording* CKindFilter::RecordingAt(int row) const {
  if (row < 0 || row >= rowCount()) return nullptr;
  return &m_recordings->At(mapToSource(index(row, 0)).row());
}

int CKindFilter::RowOf(const QString& name) const {
  if (name.isEmpty()) return -1;
  for (int row = 0; row < rowCount(); ++row) {
    if (NameAt(row) == name) return row;
  }
  return -1;
}

void CKindFilter::CheckAll(Qt::CheckState check) {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(rowCount()));
  for (int row = 0; row < rowCount(); ++row) rows.push_back(mapToSource(index(row, 0)).row());
  m_recordings->SetChecks(rows, check);
}

bool CKindFilter::AllChecked() const {
  bool boxes = rowCount() == 0;  // rows of files alone have no box to be checked
  for (int row = 0; row < rowCount(); ++row) {
    const int source = mapToSource(index(row, 0)).row();
    if (!m_recordings->Checkable(source)) continue;
    if (m_recordings->CheckAt(source) != Qt::Checked) return false;
    boxes = true;
  }
  return boxes;
}

std::vector<Recording> CKindFilter::CheckedRecordings() const {
  std::vector<Recording> checked;
  for (int row = 0; row < rowCount(); ++row) {
    const int source = mapToSource(index(row, 0)).row();
    if (m_recordings->CheckAt(source) == Qt::Checked) checked.push_back(m_recordings->At(source));
  }
  return checked;
}

QStringList CKindFilter::CheckedNames() const {
  QStringList names;
  for (int row = 0; row < rowCount(); ++row) {
    const int source = mapToSource(index(row, 0)).row();
    if (m_recordings->CheckAt(source) == Qt::Checked) names.append(m_recordings->NameAt(source));
  }
  return names;
}
