// The recording list and the card watch: what a name shows and where it sorts, and a real
// window offscreen listing cards written with recordings of chosen kinds, names and sizes,
// the card taken out and put back, Select All, double-click and an export in progress.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/recording_model.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/recording_names.h"
#include "app/trip_views.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/progress_dlg.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tat/store_writer.h"
#include "tests/app/viewer_rig.h"
#include "tests/support/synthetic_card.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace roadkeep::tat;
using roadkeep::test::ListCheck;
using roadkeep::test::ListName;
using roadkeep::test::ListRowRect;
using roadkeep::test::ListRows;
using roadkeep::test::ListText;
using roadkeep::test::ScopedWorkDir;
using roadkeep::test::SelectListRow;
using roadkeep::test::SetListCheck;
using roadkeep::test::SyntheticPayload;
using roadkeep::test::TempDir;

constexpr unsigned kEnglish = 0x09, kKorean = 0x12, kJapanese = 0x11;

TEST(RecordingListNames, ShowTypeAndDateFromTheNameAlone) {
  const struct {
    const char* name;
    const char* type;
    const char* date;
  } cases[] = {
      {"REC_20140301_093015_D.avi", "REC", "2014.03.01 09:30:15"},
      {"event_20140301_093015_d", "EVT", "2014.03.01 09:30:15"},
      {"Parking_20131231_235959_F.avi", "PAK", "2013.12.31 23:59:59"},
      {"MANUAL_20140301_093015", "MAN", "2014.03.01 09:30:15"},  // no camera field
      {"RECORD_20140301_093015_Dual", "RECORD", "2014.03.01 09:30:15"},
      {"NOUNDERSCORE", "NOUNDERSCORE", ".. ::"},
      {"", "", ".. ::"},
      {"REC__093015_D", "REC", ".. 09:30:15"},
      // Short fields give what they have: the first n or last n of a shorter text is all of it.
      {"EVENT_2014_0930_d", "EVT", "2014.14.14 09:30:30"},
      {"EVENT_201403011_0930159_x", "EVT", "2014.03.01 09:30:15"},
      {"_20140301_093015_D", "", "2014.03.01 09:30:15"},
  };
  for (const auto& c : cases) {
    const QString name = QString::fromUtf8(c.name);
    EXPECT_EQ(TypeAbbreviation(name), QString::fromUtf8(c.type)) << c.name;
    EXPECT_EQ(DateTimeText(name), QString::fromUtf8(c.date)) << c.name;
  }
}

// The trips' list: newest trip first, each opening to its recordings oldest first; a trip's
// box is its recordings' boxes in the recording list (which the export reads), and a box
// changed there shows in the trip's.
TEST(TripList, TripsNewestFirstWhoseBoxesAreTheirRecordingsBoxes) {
  const auto recording = [](const char* name, int kind, int index, uint32_t start) {
    Recording r;
    r.name = name;
    r.kindCode = kind;
    r.index = index;
    r.startTime = start;
    r.durationMs = 60000;
    return r;
  };
  const uint32_t t0 = 1393666200;  // 2014-03-01 09:30:00
  CRecordingModel recordings;
  recordings.SetRecordings({recording("REC_20140301_093000_D.avi", kKindDriving, 0, t0),
                            recording("EVENT_20140301_093100_D.avi", kKindEvent, 0, t0 + 60),
                            recording("REC_20140301_100000_D.avi", kKindDriving, 1, t0 + 1800)},
                           Qt::Unchecked);
  CTripModel trips;
  trips.SetRecordings(&recordings);
  std::vector<Recording> all;
  for (int row = 0; row < recordings.rowCount(); ++row) all.push_back(recordings.At(row));
  trips.SetTrips(BuildTrips(all));
  ASSERT_EQ(trips.rowCount(), 2);
  const QModelIndex newest = trips.index(0, 0), oldest = trips.index(1, 0);
  EXPECT_EQ(trips.rowCount(newest), 1);
  ASSERT_EQ(trips.rowCount(oldest), 2);
  EXPECT_TRUE(trips.data(trips.index(0, 0, oldest), Qt::ToolTipRole).toString().startsWith("REC_"));
  size_t trip = 9;
  int at = -9;
  ASSERT_TRUE(trips.TripOf(trips.index(1, 0, oldest), &trip, &at));
  EXPECT_EQ(trip, 0u);
  EXPECT_EQ(at, 1);
  EXPECT_EQ(trips.IndexOf(trip, at), trips.index(1, 0, oldest));

  const auto checked = [&] {
    std::vector<Qt::CheckState> states;
    for (int row = 0; row < recordings.rowCount(); ++row) states.push_back(recordings.CheckAt(row));
    return states;
  };
  // Rows of the recording list, newest first: 10:00, 09:31, 09:30.
  EXPECT_TRUE(trips.setData(oldest, Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(checked(), (std::vector<Qt::CheckState>{Qt::Unchecked, Qt::Checked, Qt::Checked}));
  EXPECT_EQ(trips.data(oldest, Qt::CheckStateRole), Qt::Checked);
  recordings.SetCheck(1, Qt::Unchecked);  // the event, in the recording list
  EXPECT_EQ(trips.data(oldest, Qt::CheckStateRole), Qt::PartiallyChecked);
  EXPECT_TRUE(trips.setData(trips.index(0, 0, newest), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(checked(), (std::vector<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked}));
  EXPECT_EQ(trips.data(newest, Qt::CheckStateRole), Qt::Checked);
}

TEST(RecordingListModel, NewestFirstAcrossKindsWithUndatedNamesLast) {
  std::vector<Recording> recordings;
  for (const char* name : {"NOUNDERSCORE", "REC_20140301_092000_F.avi", "event_20140301_093015_d",
                           "PARKING_20140228_235959_F.avi", "MANUAL_20140301_093010_F.avi",
                           "REC_20140302_080000_D.avi", "X_1"}) {
    Recording r;
    r.name = name;
    recordings.push_back(r);
  }
  CRecordingModel model;
  model.SetRecordings(recordings, Qt::Unchecked);
  const QStringList expected = {"REC_20140302_080000_D.avi",
                                "event_20140301_093015_d",
                                "MANUAL_20140301_093010_F.avi",
                                "REC_20140301_092000_F.avi",
                                "PARKING_20140228_235959_F.avi",
                                "X_1",
                                "NOUNDERSCORE"};
  QStringList names;
  for (int row = 0; row < model.rowCount(); ++row) names << model.NameAt(row);
  EXPECT_EQ(names, expected);
}

struct CardRecording {
  int kind;
  std::string name;
  uint32_t bytes = 600000;  // a multiple of 4: store entries are
  bool rear = false;        // a rear frame too
};

// Formats dir as a card and adds each recording at exactly its size: a small front key frame
// and a text chunk that makes up the rest.
void WriteCard(const fs::path& dir, const std::vector<CardRecording>& recordings, uint64_t cardId) {
  std::string error;
  ASSERT_TRUE(FormatCard(dir.string(), cardId, &error)) << error;
  for (const CardRecording& r : recordings) {
    EntryHeader header;
    header.kindCode = static_cast<uint8_t>(r.kind);
    header.frontFps = 30;
    std::snprintf(header.name, sizeof header.name, "%s", r.name.c_str());
    CTatStoreWriter writer;
    ASSERT_TRUE(writer.BeginRecording(dir.string(), header, &error)) << error;
    const auto frame = SyntheticPayload(kTypeFrontVideo, 0, 1000);
    ASSERT_TRUE(writer.AddChunk(kTypeFrontVideo, 0, true, 0, frame.data(), 1000));
    if (r.rear) {
      ASSERT_TRUE(writer.AddChunk(kTypeRearVideo, 1, true, 0, frame.data(), 500));
    }
    const uint32_t rest = r.bytes - writer.SizeIfFinishedNow() - kChunkHeaderSize;
    const auto filler = SyntheticPayload(kTypeText, 0, static_cast<int>(rest));
    ASSERT_TRUE(writer.AddChunk(kTypeText, 0, true, 0, filler.data(), rest));
    ASSERT_EQ(writer.FinishRecording(1000), r.bytes) << r.name;
  }
}

// Seven recordings of every kind, with odd names among them.
// The rear camera is the store's to say: two of them have one whatever their names say.
const std::vector<CardRecording> kMixedCard = {
    {0, "EVENT_20140301_093000_D.avi", 600000, true},
    {0, "event_20140301_093015_d", 600000, true},
    {1, "REC_20140301_092000_F.avi", 600000, true},
    {1, "REC_20140302_080000_D.avi"},
    {2, "PARKING_20140228_235959_F.avi"},
    {3, "MANUAL_20140301_093010_F.avi"},
    {3, "NOUNDERSCORE"},
};

// What the mixed card lists with every kind: type, name, date, rear.
const std::vector<QStringList> kMixedRows = {
    {"REC", "REC_20140302_080000_D.avi", "2014.03.02 08:00:00", "X"},
    {"EVT", "event_20140301_093015_d", "2014.03.01 09:30:15", "O"},
    {"MAN", "MANUAL_20140301_093010_F.avi", "2014.03.01 09:30:10", "X"},
    {"EVT", "EVENT_20140301_093000_D.avi", "2014.03.01 09:30:00", "O"},
    {"REC", "REC_20140301_092000_F.avi", "2014.03.01 09:20:00", "O"},
    {"PAK", "PARKING_20140228_235959_F.avi", "2014.02.28 23:59:59", "X"},
    {"NOUNDERSCORE", "NOUNDERSCORE", ".. ::", "X"},
};

// What the card messages said; each is answered with OK as soon as it shows, from a timer
// that runs while the message runs its own event loop.
struct SeenMessage {
  QString text, caption;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
};

class CardMessageAnswerer {
 public:
  explicit CardMessageAnswerer(QWidget& window) {
    QObject::connect(&m_poll, &QTimer::timeout, [this, &window] {
      auto* box = window.findChild<QMessageBox*>(QStringLiteral("CardMessage"));
      if (box == nullptr || !box->isVisible()) return;
      m_seen.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons()});
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
      } else {
        box->done(QMessageBox::Ok);
      }
    });
    m_poll.start(10);
  }
  const std::vector<SeenMessage>& Seen() const { return m_seen; }

 private:
  QTimer m_poll;
  std::vector<SeenMessage> m_seen;
};

// A window of its own working folder, the card slot at a folder of its own (empty until a
// test writes a card there) and every card message answered.
class RecordingList : public ::testing::Test {
 protected:
  explicit RecordingList(unsigned langId = kEnglish) : m_window(langId), m_messages(m_window) {
    setenv("ROADKEEP_CARD_DIRS", m_slot.Path().c_str(), 1);
  }

  CZarezeRadidaDlg& W() { return m_window; }
  QTreeView* List() { return m_window.Controls().List(); }
  QCheckBox* SelectAll() { return m_window.Controls().SelectAll(); }
  QWidget* Control(int id) { return m_window.Controls().Find(id); }
  void Click(int id) { qobject_cast<QAbstractButton*>(Control(id))->click(); }
  const std::vector<SeenMessage>& Messages() const { return m_messages.Seen(); }
  const fs::path& Slot() const { return m_slot.Path(); }

  // Writes the card into the slot and lets the card watch see it.
  void InsertCard(const std::vector<CardRecording>& recordings, uint64_t cardId = 21) {
    WriteCard(m_slot.Path(), recordings, cardId);
    m_window.PollCard();
  }
  void RemoveCard() {
    fs::remove_all(m_slot.Path() / kStoreFolder);
    m_window.PollCard();
  }

  QStringList Names() {
    QStringList names;
    for (int i = 0; i < ListRows(W()); ++i) names.append(ListName(W(), i));
    return names;
  }
  std::vector<Qt::CheckState> Checks() {
    std::vector<Qt::CheckState> checks;
    for (int i = 0; i < ListRows(W()); ++i) {
      checks.push_back(ListCheck(W(), i));
    }
    return checks;
  }

  // Runs action while an export runs. The export worker ends an export by clearing the flag
  // on its own 100 ms step, so an attempt counts only when the flag outlived the action;
  // setup puts back what a spoilt attempt may have changed.
  bool DuringExport(const std::function<void()>& setup, const std::function<void()>& action) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      setup();
      m_window.ExportWorkerBusy(true);
      action();
      if (m_window.ExportBusy()) {
        m_window.ExportWorkerBusy(false);
        return true;
      }
    }
    return false;
  }

 private:
  ScopedWorkDir m_work;
  TempDir m_slot;
  CZarezeRadidaDlg m_window;
  CardMessageAnswerer m_messages;
};

TEST_F(RecordingList, LeavesOutRecordingsBelow512KiB) {
  // Store entries are 4-byte multiples: 524284 is the largest size below 524288.
  InsertCard({{1, "REC_20140301_090000_D.avi", 524284},
              {1, "REC_20140301_090100_D.avi", 524288},
              {1, "REC_20140301_090200_D.avi", 524292},
              {3, "MANUAL_20140301_090300_D.avi", 4096}});
  EXPECT_EQ(Names(), (QStringList{"REC_20140301_090200_D.avi", "REC_20140301_090100_D.avi"}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordingList, ListsEveryKindOnArrivalNewestFirstWithTheNamesColumns) {
  InsertCard(kMixedCard);
  ASSERT_EQ(ListRows(W()), static_cast<int>(kMixedRows.size()));
  for (int i = 0; i < ListRows(W()); ++i) {
    QStringList shown;
    for (int column = 0; column < 4; ++column) shown << ListText(W(), i, column);
    EXPECT_EQ(shown, kMixedRows[static_cast<size_t>(i)]) << "row " << i;
    EXPECT_TRUE(List()->model()->index(i, 0).flags() & Qt::ItemIsUserCheckable) << "row " << i;
    EXPECT_EQ(ListCheck(W(), i), Qt::Unchecked) << "row " << i;
    EXPECT_TRUE(ListText(W(), i, 4).isEmpty() && ListText(W(), i, 5).isEmpty()) << "row " << i;
    // The player counts the cameras as the list shows them.
    W().OpenRecording(ListName(W(), i));
    EXPECT_EQ(W().Player().GetCameraCount(), ListText(W(), i, 3) == "O" ? 2 : 1) << "row " << i;
  }
  EXPECT_FALSE(SelectAll()->isChecked());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RecordingList, KindButtonsListTheirKindAndOtherCodesListNothing) {
  InsertCard(kMixedCard);
  const QStringList all = Names();
  const struct {
    int button;  // 0: the code is given directly
    int kind;
    QStringList names;
  } cases[] = {
      {IDC_FILTER_EVENT, 0, {"event_20140301_093015_d", "EVENT_20140301_093000_D.avi"}},
      {IDC_FILTER_DRIVING, 1, {"REC_20140302_080000_D.avi", "REC_20140301_092000_F.avi"}},
      {IDC_FILTER_PARKING, 2, {"PARKING_20140228_235959_F.avi"}},
      {IDC_FILTER_USER, 3, {"MANUAL_20140301_093010_F.avi", "NOUNDERSCORE"}},
      {IDC_FILTER_ALL, 4, all},
      {0, 5, {}},
      {0, -1, {}},
      {0, 4, all},
  };
  for (const auto& c : cases) {
    if (c.button != 0) {
      Click(c.button);
    } else {
      W().OnKindButton(c.kind);
    }
    EXPECT_EQ(Names(), c.names) << "kind " << c.kind;
  }
}

TEST_F(RecordingList, SelectAllChecksEveryRowAndFollowsRowsCheckedByHand) {
  InsertCard(kMixedCard);
  const int rows = ListRows(W());
  using CheckList = std::vector<Qt::CheckState>;
  // Every row checked by hand checks the box; one unchecked unchecks it.
  for (int i = 0; i < rows; ++i) {
    EXPECT_FALSE(SelectAll()->isChecked()) << "before row " << i;
    SetListCheck(W(), i, Qt::Checked);
  }
  EXPECT_TRUE(SelectAll()->isChecked());
  SetListCheck(W(), 3, Qt::Unchecked);
  EXPECT_FALSE(SelectAll()->isChecked());

  // A click that leaves the box checked checks every row, one that leaves it unchecked
  // unchecks every row.
  QTest::mouseClick(SelectAll(), Qt::LeftButton);
  EXPECT_TRUE(SelectAll()->isChecked());
  EXPECT_EQ(Checks(), CheckList(static_cast<size_t>(rows), Qt::Checked));
  QTest::mouseClick(SelectAll(), Qt::LeftButton);
  EXPECT_FALSE(SelectAll()->isChecked());
  EXPECT_EQ(Checks(), CheckList(static_cast<size_t>(rows), Qt::Unchecked));

  // The export takes the checked names from row 0 down.
  SetListCheck(W(), 4, Qt::Checked);
  SetListCheck(W(), 1, Qt::Checked);
  W().CollectCheckedNames();
  EXPECT_EQ(W().ExportList(), (QStringList{kMixedRows[1][1], kMixedRows[4][1]}));

  // A fill follows the box: checked rows after OPEN with the box checked; an empty list
  // leaves it unchecked.
  QTest::mouseClick(SelectAll(), Qt::LeftButton);
  Click(IDC_OPEN);
  EXPECT_EQ(Checks(), CheckList(static_cast<size_t>(rows), Qt::Checked));
  W().OnKindButton(5);
  EXPECT_EQ(ListRows(W()), 0);
  EXPECT_FALSE(SelectAll()->isChecked());
  W().CollectCheckedNames();
  EXPECT_TRUE(W().ExportList().isEmpty());
}

// What a double-click delivers to a widget: press, release, double-click, release.
void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mousePress(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

TEST_F(RecordingList, DoubleClickPlaysTheRowAndBelowTheLastRowDoesNothing) {
  W().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&W()));
  InsertCard(kMixedCard);
  QWidget* viewport = List()->viewport();
  const QRect last = ListRowRect(W(), ListRows(W()) - 1);
  ASSERT_LT(last.bottom() + 10, viewport->height()) << "no empty area below the rows";

  DoubleClick(viewport, QPoint(100, last.bottom() + 8));
  W().OnListDoubleClick(-1);
  W().OnListDoubleClick(ListRows(W()));
  EXPECT_EQ(W().State().currentRow, -1);
  EXPECT_FALSE(Control(IDC_PLAY)->isHidden());
  EXPECT_TRUE(Control(IDC_PAUSE)->isHidden());
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);

  SelectListRow(W(), 0);
  DoubleClick(viewport, ListRowRect(W(), 2).center());
  EXPECT_EQ(W().State().currentRow, 2);
  EXPECT_TRUE(Control(IDC_PLAY)->isHidden());
  EXPECT_FALSE(Control(IDC_PAUSE)->isHidden());
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kPlay);
  EXPECT_EQ(List()->currentIndex().row(), 2);
  const QModelIndexList selected = List()->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected.front().row(), 2);
  EXPECT_EQ(W().focusWidget(), List());
}

TEST_F(RecordingList, RemovedCardEmptiesTheListStopsAndSaysSoOnceAndReturnsWithoutAWord) {
  InsertCard(kMixedCard);
  W().OnListDoubleClick(1);
  ASSERT_EQ(W().State().currentRow, 1);
  CProgressDlg* progress = W().ProgressWindow();
  progress->show();
  progress->FileBar()->setValue(40);
  progress->OverallBar()->setValue(60);

  RemoveCard();
  EXPECT_EQ(ListRows(W()), 0);
  EXPECT_EQ(W().State().cardLetter, 0);
  EXPECT_EQ(W().State().currentRow, -1);
  EXPECT_FALSE(Control(IDC_PLAY)->isHidden());
  EXPECT_EQ(W().Player().CommandValue(), CQMVMediaPlayer::kIdle);
  EXPECT_EQ(W().Controls().Slider(IDC_POS_SLIDER)->GetPos(), 0);
  EXPECT_FALSE(Control(IDC_MAP)->isEnabled());
  EXPECT_TRUE(progress->isHidden());
  EXPECT_EQ(progress->FileBar()->value(), 0);
  EXPECT_EQ(progress->OverallBar()->value(), 0);
  EXPECT_FALSE(progress->IsActive());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, QStringLiteral("Cannot read the SD card.\nPlease try again."));
  EXPECT_EQ(Messages()[0].caption, LoadString(IDS_APP_TITLE));
  EXPECT_EQ(Messages()[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(Messages()[0].buttons == QMessageBox::StandardButtons(QMessageBox::Ok));

  // Still out: nothing more is said.
  W().PollCard();
  W().PollCard();
  EXPECT_EQ(Messages().size(), 1u);

  // Back in (another card in the same slot would do the same): every kind, no message.
  InsertCard(kMixedCard, 22);
  EXPECT_NE(W().State().cardLetter, 0);
  EXPECT_EQ(ListRows(W()), static_cast<int>(kMixedRows.size()));
  EXPECT_EQ(Messages().size(), 1u);
}

// The export has its own reader and its own names: the list and playback go on during it.
TEST_F(RecordingList, DuringAnExportOpenKindsDoubleClickAndSelectAllWork) {
  InsertCard(kMixedCard);
  const int rows = ListRows(W());
  EXPECT_TRUE(DuringExport([&] { W().OnKindButton(4); }, [&] { Click(IDC_FILTER_EVENT); }));
  EXPECT_LT(ListRows(W()), rows);
  EXPECT_TRUE(DuringExport([&] { W().OnKindButton(0); }, [&] { Click(IDC_OPEN); }));
  EXPECT_EQ(ListRows(W()), rows);
  EXPECT_TRUE(DuringExport([&] { W().OnKindButton(4); }, [&] { W().OnListDoubleClick(1); }));
  EXPECT_EQ(W().State().currentRow, 1);
  EXPECT_TRUE(Control(IDC_PLAY)->isHidden());
  EXPECT_TRUE(DuringExport(
      [&] {
        SelectAll()->setChecked(false);
        W().OnSelectAll();
      },
      [&] { SelectAll()->click(); }));
  EXPECT_TRUE(SelectAll()->isChecked());
  EXPECT_EQ(Checks(), std::vector<Qt::CheckState>(static_cast<size_t>(rows), Qt::Checked));
  EXPECT_TRUE(Messages().empty());
}

// The message without a card and the list's columns in each language.
struct LanguageCase {
  const char* label;
  unsigned langId;
  int noCardText;
  std::vector<int> widths;
};

void PrintTo(const LanguageCase& c, std::ostream* out) { *out << c.label; }

class RecordingListLanguage : public RecordingList,
                              public ::testing::WithParamInterface<LanguageCase> {
 protected:
  RecordingListLanguage() : RecordingList(GetParam().langId) {}
};

TEST_P(RecordingListLanguage, NoCardAtOpenSaysSoAndColumnsFollowTheLanguage) {
  Click(IDC_OPEN);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, LoadString(GetParam().noCardText));
  EXPECT_FALSE(Messages()[0].text.isEmpty());
  EXPECT_EQ(ListRows(W()), 0);

  const int titles[] = {IDS_COL_TYPE_EN, IDS_COL_FILENAME_EN, IDS_COL_DATE_EN,
                        IDS_COL_REAR_EN, IDS_COL_SIZE_EN,     IDS_COL_PATH_EN};
  ASSERT_EQ(List()->model()->columnCount(), 6);
  for (int i = 0; i < 6; ++i) {
    const int width = GetParam().widths[static_cast<size_t>(i)];
    EXPECT_EQ(List()->columnWidth(i), width) << "column " << i;
    EXPECT_EQ(List()->isColumnHidden(i), width == 0) << "column " << i;
    EXPECT_EQ(List()->model()->headerData(i, Qt::Horizontal).toString(),
              LoadString(titles[i], W().Language()))
        << i;
  }
  EXPECT_TRUE(List()->isHeaderHidden());
  EXPECT_EQ(List()->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(List()->selectionBehavior(), QAbstractItemView::SelectRows);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, RecordingListLanguage,
    ::testing::Values(LanguageCase{"English", kEnglish, IDS_NO_CARD_EN, {60, 0, 130, 60, 90, 0}},
                      LanguageCase{"Korean", kKorean, IDS_NO_CARD_KO, {60, 0, 130, 40, 0, 0}},
                      LanguageCase{"Japanese", kJapanese, IDS_NO_CARD_JA, {60, 0, 130, 40, 0, 0}}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) {
      return std::string(info.param.label);
    });

TEST(RecordingListTexts, NoCardMessageReadsAsWritten) {
  EXPECT_EQ(LoadString(IDS_NO_CARD_EN),
            QStringLiteral("Cannot read the SD card.\nPlease try again."));
  EXPECT_EQ(
      LoadString(IDS_NO_CARD_JA),
      QString::fromUtf8("SDカードを認識できませんでした。\nしばらくしてから再度試みてください。"));
}

}  // namespace
