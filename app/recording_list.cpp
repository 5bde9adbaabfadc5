// The recording list and the card watch. Once a second the card watch looks for a recorder
// card; an arrival lists every kind, a removal empties the list, stops playback and says so
// once. The list is a model of the card's recordings (recording_model.h) shown through a
// filter by kind; a row's recording comes from the model, never from the view's texts. GUI
// thread only.
#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressBar>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "app/avi_files.h"
#include "app/card_watch.h"
#include "app/main_window.h"
#include "app/plain_tip.h"
#include "app/recording_model.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "sensors/graph_static.h"
#include "tat/store_format.h"
#include "tat/tat_library.h"

namespace {

constexpr int kKindAll = CKindFilter::kAllKinds;

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

void SetUpList(QTreeView* list, CRecordingModel* recordings, CKindFilter* shown,
               UiLanguage lang) {
  QStringList titles;
  for (const ListColumn& column : kColumns)
    titles.append(LoadString(PickStringId(column.title, lang)));
  recordings->SetTitles(titles);
  // Type, FileName, Date, Rear, Size, Path.
  recordings->SetHints({
      PickText(lang, "종류: REC 주행, EVT 이벤트, PAK 주차, MAN 수동",
               "Kind: REC driving, EVT event, PAK parking, MAN manual",
               "種類: REC 走行、EVT イベント、PAK 駐車、MAN 手動"),
      {},
      PickText(lang, "녹화 날짜와 시각", "Date and time recorded", "録画の日付と時刻"),
      PickText(lang, "후방 카메라: O 있음, X 없음", "Rear camera: O recorded, X none",
               "後方カメラ: O あり、X なし"),
      {},
      {},
  });
  list->setModel(shown);
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
}

}  // namespace

void CZarezeRadidaDlg::PollCard() {
  char letter = 0;
  TatPollCard(m_library, &letter);
  OnCardLetter(letter);
}

std::string CZarezeRadidaDlg::CardFolders() const {
  std::string folders;
  for (const std::string& card : m_openedCards) folders += card + ":";
  const char* dirs = std::getenv("ROADKEEP_CARD_DIRS");
  return folders + (dirs ? dirs : "");
}

void CZarezeRadidaDlg::OpenCardFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    if (std::find(m_openedCards.begin(), m_openedCards.end(), folder) == m_openedCards.end()) {
      m_openedCards.push_back(folder);
    }
  }
  RequestCardPoll();
}

void CZarezeRadidaDlg::OpenFiles(const std::vector<std::string>& paths) {
  QString first;
  for (const std::string& path : paths) {
    Recording file = AviFileRecording(path);
    if (first.isEmpty()) first = QString::fromLocal8Bit(file.name);
    const auto same = [&file](const Recording& r) { return r.name == file.name; };
    if (std::none_of(m_openedFiles.begin(), m_openedFiles.end(), same)) {
      m_openedFiles.push_back(std::move(file));
    }
  }
  if (first.isEmpty()) return;
  OnKindButton(kKindAll);
  const int row = m_shown->RowOf(first);
  if (row < 0) return;
  m_state.currentRow = row;
  SelectRow(row);
  OpenRecording(first);
}

void CZarezeRadidaDlg::RequestCardPoll() {
  if (m_cardWatch) m_cardWatch->Request(CardFolders());
}

void CZarezeRadidaDlg::OnCardsFound(const std::string& cardDirs,
                                    const std::vector<TatVolume>& cards) {
  // Looked for in folders that have changed since: the next look will tell.
  if (cardDirs != CardFolders()) return;
  char letter = 0;
  TatPollFound(m_library, cards, &letter);
  std::vector<std::string> others;
  for (const std::shared_ptr<CCard>& other : TatOtherCards(m_library)) others.push_back(other->Root());
  const bool othersChanged = others != m_otherCards;
  m_otherCards = others;
  const char previous = m_state.cardLetter;
  OnCardLetter(letter);
  if (!othersChanged || letter == 0 || letter != previous) return;  // refilled, or nothing to
  // A second card came or went beside the one in use: its rows come or go; what played from a
  // card that went stops.
  const int playing = m_playback.IsOpen() ? m_shown->RowOf(m_currentName) : -1;
  FillRecordingList(m_shown->Kind());
  if (playing >= 0 && m_shown->RowOf(m_currentName) < 0 &&
      !CPlaybackController::IsFileName(m_currentName)) {
    OnStop();
    ShowCardMessage();
  }
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
  m_export.ReleaseCard();
  m_evidence.Cancel();  // the package stops incomplete
  m_playback.ReleaseCard();
  m_recordings->Clear();
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
  MarkUnreadableStores();  // no card: no marks
  if (!m_openedFiles.empty()) OnKindButton(kKindAll);  // the files stay listed
  if (sayIt) ShowCardMessage();
}

void CZarezeRadidaDlg::OnOpen() {
  if (m_state.cardLetter == 0) {
    ShowCardMessage();
    return;
  }
  OnKindButton(kKindAll);
  OnSelectAll();
  MarkUnreadableStores();
}

void CZarezeRadidaDlg::MarkUnreadableStores() {
  const std::shared_ptr<CCard> card = TatCurrentCard(m_library);
  QStringList problems;
  for (const auto& [id, kind] : kKindButtons) {
    if (kind == kKindAll) continue;
    const int error = card ? card->StoreError(kind) : 0;
    const QString name = QStringLiteral("UnreadableMark%1").arg(kind);
    auto* mark = findChild<QLabel*>(name);
    if (error == 0) {
      if (mark != nullptr) mark->hide();
      continue;
    }
    const QString why = QStringLiteral("%1/%2: %3")
                            .arg(QString::fromLatin1(roadkeep::tat::kStoreFolder),
                                 QString::fromStdString(roadkeep::tat::StoreFileName(kind)),
                                 error == EINVAL ? QStringLiteral("not a store file of its kind")
                                                 : QString::fromLocal8Bit(std::strerror(error)));
    problems << why;
    if (mark == nullptr) {
      // A badge on the kind's button: its recordings may be there but cannot be listed.
      mark = new QLabel(QStringLiteral("!"), this);
      mark->setObjectName(name);
      mark->setAlignment(Qt::AlignCenter);
      mark->setStyleSheet(QStringLiteral(
          "background: rgb(200, 40, 30); color: white; font-weight: bold; border-radius: 7px;"));
      mark->resize(14, 14);
    }
    const QWidget* button = m_controls->Find(id);
    mark->move(button->geometry().topRight() + QPoint(-15, 1));
    mark->setToolTip(PlainToolTip(why));
    mark->show();
    mark->raise();
  }
  if (problems.isEmpty()) return;
  ShowStatusLine(PickText(m_language, "카드의 일부를 읽을 수 없습니다:", "Part of the card cannot be read:",
                          "カードの一部を読み込めません:") +
                 QLatin1Char(' ') + problems.join(QStringLiteral("; ")));
}

void CZarezeRadidaDlg::OnKindButton(int kind) {
  // A kind shows its recordings again, not the trips.
  if (m_tripsButton != nullptr && m_tripsButton->isChecked()) m_tripsButton->setChecked(false);
  FillRecordingList(kind);
  ShowKindPressed(kind);
}

void CZarezeRadidaDlg::ShowKindPressed(int kind) {
  // The kind in use stays pressed.
  for (const auto& [id, buttonKind] : kKindButtons) m_controls->ShowPressed(id, buttonKind == kind);
}

bool CZarezeRadidaDlg::FillRecordingList(int kind) {
  QCheckBox* selectAll = m_controls->SelectAll();
  // Rows start as Select All will leave them, so the pass after the fill changes nothing.
  const Qt::CheckState start = selectAll->checkState() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
  m_recordings->SetRecordings(CollectRecordings(), start);
  m_shown->SetKind(kind);  // a code of no kind shows nothing
  // The recording that plays keeps its row, wherever the new rows put it.
  m_state.currentRow = m_shown->RowOf(m_currentName);
  if (RowCount() == 0 && selectAll->isChecked()) selectAll->setChecked(false);
  OnSelectAll();
  if (m_tripMode) FillTrips();  // the trips are made of the rows just listed
  return true;
}

std::vector<Recording> CZarezeRadidaDlg::CollectRecordings() {
  std::vector<Recording> rows = m_openedFiles;
  const std::shared_ptr<CCard> card = TatCurrentCard(m_library);
  if (m_state.cardLetter == 0 || !card) return rows;
  // Read afresh: the recorder may have added to the card since it was last listed.
  for (int kind = 0; kind < kKindAll; ++kind) card->Refresh(kind);
  std::vector<Recording> recordings = card->ListedRecordings();
  // Other cards inserted at the same time are listed too, each row saying its card.
  for (const std::shared_ptr<CCard>& other : TatOtherCards(m_library)) {
    for (int kind = 0; kind < kKindAll; ++kind) other->Refresh(kind);
    for (Recording& r : other->ListedRecordings()) {
      r.card = other->Root();
      recordings.push_back(std::move(r));
    }
  }
  rows.insert(rows.end(), std::make_move_iterator(recordings.begin()),
              std::make_move_iterator(recordings.end()));
  return rows;
}

void CZarezeRadidaDlg::OnSelectAll() {
  const Qt::CheckState box = m_controls->SelectAll()->checkState();
  if (box == Qt::PartiallyChecked) return;
  // The box already says what every shown row now is: no row change needs to reach it.
  m_checkingAll = true;
  m_shown->CheckAll(box);
  m_checkingAll = false;
}

void CZarezeRadidaDlg::OnListItemChanged() {
  if (!m_checkingAll) m_controls->SelectAll()->setChecked(m_shown->AllChecked());
}

void CZarezeRadidaDlg::OnListDoubleClick(int row) {
  const QString name = RowName(row);
  if (name.isEmpty()) return;  // below the last row
  m_state.currentRow = row;
  OpenRecording(name);
  m_controls->Find(IDC_PLAY)->hide();
  m_controls->Find(IDC_PAUSE)->show();
  SelectRow(m_state.currentRow);
  m_controls->List()->setFocus();
}

void CZarezeRadidaDlg::CollectCheckedNames() {
  m_exportList = m_shown->CheckedNames();
  m_exportRecordings = m_shown->CheckedRecordings();
}

void CZarezeRadidaDlg::ConnectListControls() {
  QTreeView* list = m_controls->List();
  SetUpList(list, m_recordings, m_shown, m_language);
  connect(m_recordings, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            if (roles.contains(Qt::CheckStateRole)) OnListItemChanged();
          });
  connect(list, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { OnListDoubleClick(index.row()); });
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

QString CZarezeRadidaDlg::RowName(int row) const { return m_shown->NameAt(row); }

int CZarezeRadidaDlg::RowCount() const { return m_shown->rowCount(); }
