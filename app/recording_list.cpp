// The recording list and the card watch. Once a second the window asks the card-store
// library whether a recorder card is present; an arrival lists every kind, a removal empties
// the list, stops playback and says so once. Rows are newest first; column 1 holds the
// recording's name, hidden, for every operation that needs it. GUI thread only.
#include "tat/recording_list.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>

#include "app/card_watch.h"
#include "app/main_window.h"
#include "app/recording_names.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "sensors/graph_static.h"
#include "tat/tat_library.h"

namespace {

constexpr int kKindAll = 4;
constexpr int kNameColumn = 1;

struct ListColumn {
  StringIds title;
  int widthEnglish;
  int widthOther;  // Korean and Japanese
};

// Type, FileName (hidden: width 0), Date, Rear, Size and Path (never written).
constexpr ListColumn kColumns[] = {
    {{IDS_COL_TYPE_KO, IDS_COL_TYPE_EN, IDS_COL_TYPE_JA}, 60, 60},
    {{IDS_COL_FILENAME_KO, IDS_COL_FILENAME_EN, IDS_COL_FILENAME_JA}, 0, 0},
    {{IDS_COL_DATE_KO, IDS_COL_DATE_EN, IDS_COL_DATE_JA}, 130, 130},
    {{IDS_COL_REAR_KO, IDS_COL_REAR_EN, IDS_COL_REAR_JA}, 60, 40},
    {{IDS_COL_SIZE_KO, IDS_COL_SIZE_EN, IDS_COL_SIZE_JA}, 90, 0},
    {{IDS_COL_PATH_KO, IDS_COL_PATH_EN, IDS_COL_PATH_JA}, 0, 0},
};

constexpr std::pair<int, int> kKindButtons[] = {
    {IDC_FILTER_EVENT, 0}, {IDC_FILTER_DRIVING, 1},    {IDC_FILTER_PARKING, 2},
    {IDC_FILTER_USER, 3},  {IDC_FILTER_ALL, kKindAll},
};

// Every column centred but the name's. One delegate instead of an alignment on each item
// keeps a fill of thousands of rows cheap.
class CListAlignment : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment =
        index.column() == kNameColumn ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
  }
};

void SetUpList(QTreeWidget* list, UiLanguage lang) {
  QStringList titles;
  for (const ListColumn& column : kColumns)
    titles.append(LoadString(PickStringId(column.title, lang)));
  list->setColumnCount(static_cast<int>(std::size(kColumns)));
  list->setHeaderLabels(titles);
  list->header()->setStretchLastSection(false);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    const int width =
        lang == UiLanguage::kEnglish ? kColumns[i].widthEnglish : kColumns[i].widthOther;
    list->setColumnWidth(i, width);
    list->setColumnHidden(i, width == 0);
  }
  list->setHeaderHidden(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
  list->setUniformRowHeights(true);  // no per-row measuring on large cards
  list->setItemDelegate(new CListAlignment(list));
}

}  // namespace

void CZarezeRadidaDlg::PollCard() {
  char letter = 0;
  TatPollCard(m_library, &letter);
  OnCardLetter(letter);
}

void CZarezeRadidaDlg::RequestCardPoll() {
  if (!m_cardWatch) return;
  const char* dirs = std::getenv("ROADKEEP_CARD_DIRS");
  m_cardWatch->Request(dirs ? dirs : "");
}

void CZarezeRadidaDlg::OnCardsFound(const std::string& cardDirs,
                                    const std::vector<TatVolume>& cards) {
  // Looked for in folders that have changed since: the next look will tell.
  const char* dirs = std::getenv("ROADKEEP_CARD_DIRS");
  if (cardDirs != (dirs ? dirs : "")) return;
  char letter = 0;
  TatPollFound(m_library, cards, &letter);
  OnCardLetter(letter);
}

void CZarezeRadidaDlg::OnCardLetter(char letter) {
  const char previous = m_state.cardLetter;
  if (letter == previous) return;
  // Another card in place of the one in use: the old card's rows and playback go first, so
  // the two are never mixed.
  if (previous != 0) OnCardGone(letter == 0);
  m_state.cardLetter = letter;
  if (letter != 0) {
    TatOnCardFound(m_library);
    OnOpen();
  }
}

void CZarezeRadidaDlg::OnCardGone(bool sayIt) {
  m_state.cardLetter = 0;
  // The card is gone: a running export stops first, then the player lets go of the card.
  m_exportWorker.Busy() = false;
  m_playback.ReleaseCard();
  m_exportParser.OnCardRemoved();
  m_controls->List()->clear();
  m_state.currentRow = -1;
  m_controls->Find(IDC_MAP)->setEnabled(false);
  m_controls->Slider(IDC_POS_SLIDER)->SetPos(0);
  m_playback.Samples().Clear();
  ResetGraph(*m_controls->Graph(), m_traces);
  if (m_progress) {
    m_progress->FileBar()->setValue(0);
    m_progress->OverallBar()->setValue(0);
    m_progress->SetActive(false);
    m_progress->hide();
  }
  OnStop();
  // After the stop, which shows "km/h": a card that went away reads as standing still.
  SetLabelText(IDC_SPEED_LABEL, QStringLiteral("0km/h"));
  update();
  if (sayIt) ShowCardMessage();
}

void CZarezeRadidaDlg::OnOpen() {
  if (m_state.cardLetter == 0) {
    ShowCardMessage();
    return;
  }
  OnKindButton(kKindAll);
  OnSelectAll();
}

void CZarezeRadidaDlg::OnKindButton(int kind) {
  m_controls->List()->clear();
  FillRecordingList(kind);
}

bool CZarezeRadidaDlg::FillRecordingList(int kind) {
  QStringList names;
  if (kind >= 0 && kind < kKindAll) {
    CollectRecordings(kind, names);
  } else if (kind == kKindAll) {
    for (int k = 0; k < kKindAll; ++k) CollectRecordings(k, names);
  }
  SortNewestFirst(names);

  QTreeWidget* list = m_controls->List();
  QCheckBox* selectAll = m_controls->SelectAll();
  // Rows start as Select All will leave them, so the pass after the fill changes nothing.
  const Qt::CheckState start = selectAll->checkState() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
  QList<QTreeWidgetItem*> rows;
  rows.reserve(names.size());
  for (const QString& name : names) {
    auto* row = new QTreeWidgetItem(
        QStringList{TypeAbbreviation(name), name, DateTimeText(name), RearText(name)});
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, start);
    rows.append(row);
  }
  {
    const QSignalBlocker quiet(list);
    list->insertTopLevelItems(0, rows);
  }
  if (RowCount() == 0 && selectAll->isChecked()) selectAll->setChecked(false);
  OnSelectAll();
  return true;
}

void CZarezeRadidaDlg::CollectRecordings(int kind, QStringList& names) {
  if (m_state.cardLetter == 0) return;
  for (const std::string& name :
       roadkeep::tat::CollectRecordings(m_library, m_state.cardLetter, kind)) {
    names.append(QString::fromLocal8Bit(name));
  }
}

void CZarezeRadidaDlg::OnSelectAll() {
  const Qt::CheckState box = m_controls->SelectAll()->checkState();
  if (box == Qt::PartiallyChecked) return;
  QTreeWidget* list = m_controls->List();
  // The box already says what every row now is: no row change needs to reach it.
  const QSignalBlocker quiet(list);
  for (int i = 0; i < list->topLevelItemCount(); ++i) list->topLevelItem(i)->setCheckState(0, box);
}

void CZarezeRadidaDlg::OnListItemChanged() {
  const QTreeWidget* list = m_controls->List();
  bool all = true;
  for (int i = 0; i < list->topLevelItemCount() && all; ++i) {
    all = list->topLevelItem(i)->checkState(0) == Qt::Checked;
  }
  m_controls->SelectAll()->setChecked(all);
}

void CZarezeRadidaDlg::OnListDoubleClick(int row) {
  const QString name = RowName(row);
  if (name.isEmpty()) return;  // below the last row
  m_state.currentRow = row;
  OpenRecording(name);
  m_controls->Find(IDC_PLAY)->hide();
  m_controls->Find(IDC_PAUSE)->show();
  QTreeWidget* list = m_controls->List();
  QTreeWidgetItem* item = list->topLevelItem(row);
  if (item == nullptr) return;  // the open took the card's rows away
  list->clearSelection();
  list->setCurrentItem(item);
  item->setSelected(true);
  list->setFocus();
}

void CZarezeRadidaDlg::CollectCheckedNames() {
  m_exportList.clear();
  const QTreeWidget* list = m_controls->List();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list->topLevelItem(i);
    if (row->checkState(0) == Qt::Checked) m_exportList.append(row->text(kNameColumn));
  }
}

void CZarezeRadidaDlg::ConnectListControls() {
  QTreeWidget* list = m_controls->List();
  SetUpList(list, m_language);
  connect(list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
    if (column == 0) OnListItemChanged();  // the check box lives in column 0
  });
  connect(list, &QTreeWidget::itemDoubleClicked, this, [this, list](QTreeWidgetItem* item, int) {
    OnListDoubleClick(list->indexOfTopLevelItem(item));
  });
  connect(m_controls->SelectAll(), &QAbstractButton::clicked, this, &CZarezeRadidaDlg::OnSelectAll);
  connect(qobject_cast<QAbstractButton*>(m_controls->Find(IDC_OPEN)), &QAbstractButton::clicked,
          this, &CZarezeRadidaDlg::OnOpen);
  for (const auto& [id, kind] : kKindButtons) {
    connect(qobject_cast<QAbstractButton*>(m_controls->Find(id)), &QAbstractButton::clicked, this,
            [this, kind = kind] { OnKindButton(kind); });
  }
}

void CZarezeRadidaDlg::ShowCardMessage() {
  // The poll goes on while the message is open; a second one never stacks on the first.
  if (findChild<QMessageBox*>(QStringLiteral("CardMessage")) != nullptr) return;
  QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                      LoadString(IDS_NO_CARD_EN, m_language), QMessageBox::Ok, this);
  message.setObjectName(QStringLiteral("CardMessage"));
  message.exec();
}

QString CZarezeRadidaDlg::RowName(int row) const {
  const QTreeWidgetItem* item = m_controls->List()->topLevelItem(row);
  return item != nullptr ? item->text(kNameColumn) : QString();
}

int CZarezeRadidaDlg::RowCount() const { return m_controls->List()->topLevelItemCount(); }
