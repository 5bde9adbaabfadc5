// The main window after start: where its controls stand, its language, the quit question,
// and the repaint and colour of its labels.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "app/card_watch.h"
#include "app/main_window.h"
#include "app/pane_states.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "controls/skin_button.h"
#include "controls/trans_bitmap.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/app/window_test_util.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

// The normal-mode table. bitmap: the normal skin bitmap that sizes the control (0: the
// table's size is the control's size).
struct ControlPlace {
  int id;
  int x, y, w, h;
  int bitmap;
};

constexpr ControlPlace kNormalPlaces[] = {
    {IDC_OPEN, 28, 473, 19, 17, IDB_OPEN},
    {IDC_STOP, 87, 474, 15, 17, IDB_STOP},
    {IDC_PRE, 137, 473, 31, 17, IDB_PRE},
    {IDC_BACK10, 198, 473, 25, 16, IDB_BACK10},
    {IDC_PLAY, 261, 473, 15, 17, IDB_PLAY},
    {IDC_PAUSE, 261, 473, 15, 17, IDB_PAUSE},
    {IDC_FWD10, 313, 473, 25, 16, IDB_FWD10},
    {IDC_NEXT, 368, 473, 31, 17, IDB_NEXT},
    {IDC_POS_SLIDER, 92, 432, 410, 14, IDB_POS_CHANNEL},
    {IDC_POS_LABEL, 25, 433, 56, 14, 0},
    {IDC_LENGTH_LABEL, 495, 433, 56, 14, 0},
    {IDC_SPEED_LABEL, 580, 433, 56, 14, 0},
    {IDC_ZOOM, 431, 471, 21, 21, IDB_ZOOM},
    {IDC_CAPTURE, 484, 472, 30, 20, IDB_CAPTURE},
    {IDC_SETTINGS, 546, 471, 21, 21, IDB_SETTINGS},
    {IDC_MIRROR, 599, 470, 30, 23, IDB_MIRROR},
    {IDC_MUTE, 684, 472, 27, 22, IDB_MUTE},
    {IDC_VOLUME_SLIDER, 715, 476, 81, 14, IDB_SMALL_CHANNEL},
    {IDC_BRIGHTNESS_ICON, 832, 470, 24, 25, IDB_BRIGHTNESS},
    {IDC_BRIGHTNESS_SLIDER, 864, 476, 81, 14, IDB_SMALL_CHANNEL},
    {IDC_FULLSCREEN, 923, 5, 25, 25, IDB_FULLSCREEN},
    {IDC_MINIMIZE, 898, 5, 25, 25, IDB_MINIMIZE},
    {IDC_CLOSE, 948, 5, 25, 25, IDB_CLOSE},
    {IDC_SWAP, 324, 39, 161, 24, IDB_SWAP},
    {IDC_MAP, 485, 39, 161, 24, IDB_MAP},
    {IDC_SMALL_CAMERA, 650, 250, 161, 24, IDB_SMALL_CAMERA},
    {IDC_SMALL_MAP, 809, 250, 161, 24, IDB_SMALL_MAP},
    {IDC_FILTER_DRIVING, 648, 39, 65, 24, IDB_FILTER_DRIVING},
    {IDC_FILTER_EVENT, 713, 39, 65, 24, IDB_FILTER_EVENT},
    {IDC_FILTER_PARKING, 778, 39, 65, 24, IDB_FILTER_PARKING},
    {IDC_FILTER_USER, 843, 39, 65, 24, IDB_FILTER_USER},
    {IDC_FILTER_ALL, 908, 39, 65, 24, IDB_FILTER_ALL},
    {IDC_LIST_TITLE, 648, 65, 325, 18, 0},
    {IDC_LIST, 648, 83, 325, 130, 0},
    {IDC_SELECT_ALL, 650, 218, 117, 20, 0},
    {IDC_DOWNLOAD, 825, 217, 140, 25, IDB_DOWNLOAD},
    {IDC_GRAPH, 30, 520, 760, 104, 0},
};

// Where the table's size and its bitmap's size disagree, the bitmap sizes the control:
// STOP's bitmap is 17 x 16, the position slider's channel 393 x 14.
bool TableDisagreesWithBitmap(int id) { return id == IDC_STOP || id == IDC_POS_SLIDER; }

TEST(MainWindow, ControlsStandAsTheTableSaysAfterStart) {
  ScopedWorkDir work;
  CZarezeRadidaDlg window(kEnglish);
  for (const ControlPlace& p : kNormalPlaces) {
    QWidget* control = window.Controls().Find(p.id);
    ASSERT_NE(control, nullptr) << p.id;
    EXPECT_EQ(control->pos(), QPoint(p.x, p.y)) << p.id;
    const QSize table(p.w, p.h);
    if (p.bitmap == 0) {
      EXPECT_EQ(control->size(), table) << p.id;
      continue;
    }
    const QSize bitmap = LoadSkinBitmap(p.bitmap).size();
    EXPECT_EQ(control->size(), bitmap) << p.id;
    if (TableDisagreesWithBitmap(p.id)) {
      EXPECT_NE(bitmap, table) << p.id;
    } else {
      EXPECT_EQ(bitmap, table) << p.id << ": bitmap " << p.bitmap;
    }
  }
  EXPECT_EQ(window.Controls().Find(IDC_STOP)->size(), QSize(17, 16));
  EXPECT_EQ(window.Controls().Find(IDC_POS_SLIDER)->size(), QSize(393, 14));
}

TEST(MainWindow, StartsCentredStoppedWithPaneControlsOffAndPanesEmpty) {
  ScopedWorkDir work;
  CZarezeRadidaDlg window(kEnglish);
  ExpectWindowedAndCentred(window);
  EXPECT_TRUE(window.HasBackground());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Velmora Roadkeep KT5 Global"));
  CWindowControls& controls = window.Controls();
  EXPECT_FALSE(controls.Find(IDC_PLAY)->isHidden());
  EXPECT_TRUE(controls.Find(IDC_PAUSE)->isHidden());
  for (int id : {IDC_SWAP, IDC_FULL_SWAP, IDC_MAP, IDC_SMALL_MAP, IDC_SMALL_CAMERA}) {
    EXPECT_FALSE(controls.Find(id)->isEnabled()) << id;
  }
  EXPECT_FALSE(controls.Find(IDC_BRIGHTNESS_ICON)->isEnabled());
  for (int id : {IDC_WINDOW, IDC_FULL_SWAP, IDC_BAR_TOP, IDC_BAR_BOTTOM}) {
    EXPECT_TRUE(controls.Find(id)->isHidden()) << id;
  }
  EXPECT_EQ(controls.FrontPane()->geometry(), QRect(4, 64, 0, 0));
  EXPECT_EQ(controls.RearPane()->geometry(), QRect(650, 268, 0, 0));
  EXPECT_EQ(controls.MapView()->geometry(), QRect(650, 268, 0, 0));
  EXPECT_EQ(window.State().panes, PaneStates{});
  EXPECT_EQ(window.State().displayMode, kNormalMode);

  ShowAndWait(window);
  ExpectWindowedAndCentred(window);
  EXPECT_EQ(ReportedSize(controls.FrontPane()), QSize(0, 0));
  EXPECT_EQ(ReportedSize(controls.RearPane()), QSize(0, 0));
}

// What the close button's question showed; its buttons are answered from a timer while the
// question runs its own event loop.
struct QuitQuestion {
  bool seen = false;
  QString text, caption;
};

QuitQuestion CloseAndAnswer(CZarezeRadidaDlg& window, QMessageBox::StandardButton answer,
                            const std::function<void()>& close) {
  QuitQuestion seen;
  QTimer poll;
  int ticks = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = window.findChild<QMessageBox*>(QStringLiteral("QuitQuestion"));
    if (box == nullptr || !box->isVisible()) {
      if (++ticks > 1000) poll.stop();  // never asked: give up
      return;
    }
    poll.stop();
    seen = {true, box->text(), box->windowTitle()};
    if (QAbstractButton* button = box->button(answer)) {
      button->click();
    } else {
      box->done(QMessageBox::No);
    }
  });
  poll.start(10);
  close();
  poll.stop();
  return seen;
}

QuitQuestion ClickCloseAndAnswer(CZarezeRadidaDlg& window, QMessageBox::StandardButton answer) {
  return CloseAndAnswer(window, answer, [&] {
    QTest::mouseClick(window.Controls().Find(IDC_CLOSE), Qt::LeftButton);
  });
}

TEST(MainWindow, SpeaksTheUsersLanguageInTheListTitleAndTheQuitQuestion) {
  const QString korean = LoadString(IDS_QUIT_TEXT_KO);
  const QString koreanCaption = LoadString(IDS_QUIT_CAPTION_KO);
  ASSERT_FALSE(korean.isEmpty());
  ASSERT_FALSE(koreanCaption.isEmpty());
  const QString english = QStringLiteral("Are you sure you want to quit?");
  const QString japanese = QString::fromUtf8("終了しますか。");
  const struct {
    unsigned langId;
    int title;
    QString text, caption;
  } cases[] = {
      {0x11, IDB_LIST_TITLE_JA, japanese, QString::fromUtf8("選択")},
      {0x0411, IDB_LIST_TITLE_JA, japanese, QString::fromUtf8("選択")},
      {0x12, IDB_LIST_TITLE_KO, korean, koreanCaption},
      {0x0412, IDB_LIST_TITLE_KO, korean, koreanCaption},
      {0x09, IDB_LIST_TITLE_EN, english, QStringLiteral("Select")},
      {0x0409, IDB_LIST_TITLE_EN, english, QStringLiteral("Select")},
      {0x07, IDB_LIST_TITLE_EN, english, QStringLiteral("Select")},  // German: English
  };
  // The three title images are told apart by their pixels.
  ASSERT_NE(LoadSkinBitmap(IDB_LIST_TITLE_JA), LoadSkinBitmap(IDB_LIST_TITLE_EN));
  ASSERT_NE(LoadSkinBitmap(IDB_LIST_TITLE_KO), LoadSkinBitmap(IDB_LIST_TITLE_EN));
  ASSERT_NE(LoadSkinBitmap(IDB_LIST_TITLE_KO), LoadSkinBitmap(IDB_LIST_TITLE_JA));
  for (const auto& c : cases) {
    ScopedWorkDir work;
    CZarezeRadidaDlg window(c.langId);
    EXPECT_EQ(window.Controls().ListTitle()->Bitmap(), LoadSkinBitmap(c.title))
        << std::hex << c.langId;
    ShowAndWait(window);
    const QuitQuestion asked = ClickCloseAndAnswer(window, QMessageBox::No);
    ASSERT_TRUE(asked.seen) << std::hex << c.langId;
    EXPECT_EQ(asked.text, c.text) << std::hex << c.langId;
    EXPECT_EQ(asked.caption, c.caption) << std::hex << c.langId;
    // Answered No: the window stays, stopped.
    EXPECT_TRUE(window.isVisible()) << std::hex << c.langId;
    EXPECT_FALSE(window.Controls().Find(IDC_PLAY)->isHidden());
  }
}

// The close button and the window manager's close (Alt+F4, the taskbar) ask the same
// question, during an export too; only Yes closes.
TEST(MainWindow, EveryWayOfClosingAsksTheQuitQuestionFirst) {
  const struct {
    const char* how;
    bool windowManager, exporting;
    QMessageBox::StandardButton answer;
  } cases[] = {
      {"the close button, Yes", false, false, QMessageBox::Yes},
      {"the window manager, No, during an export", true, true, QMessageBox::No},
      {"the window manager, Yes, during an export", true, true, QMessageBox::Yes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    ScopedWorkDir work;
    CZarezeRadidaDlg window(kEnglish);
    ShowAndWait(window);
    window.ExportWorkerBusy(c.exporting);
    const QuitQuestion asked = CloseAndAnswer(window, c.answer, [&] {
      if (c.windowManager) {
        window.close();
      } else {
        QTest::mouseClick(window.Controls().Find(IDC_CLOSE), Qt::LeftButton);
      }
    });
    EXPECT_TRUE(asked.seen);
    EXPECT_EQ(window.isVisible(), c.answer == QMessageBox::No);
    window.ExportWorkerBusy(false);
  }
}

// Counts the paint events of a widget whose region meets a watched rectangle.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* target) { target->installEventFilter(this); }
  QRect watched;
  int hits = 0;
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      if (static_cast<QPaintEvent*>(event)->region().intersects(watched)) ++hits;
    }
    return false;
  }
};

TEST(MainWindow, LabelRepaintsTheSkinUnderItOnlyWhenItsTextChanges) {
  ScopedWorkDir work;
  CZarezeRadidaDlg window(kEnglish);
  ShowAndWait(window);
  PaintCounter windowPaints(&window);
  // An opaque child of the window: its repaint comes in the same pass as any pending
  // repaint of the window, so once it has painted nothing of the window is left to paint.
  QWidget marker(&window);
  marker.setAttribute(Qt::WA_OpaquePaintEvent);
  marker.setGeometry(900, 600, 8, 8);
  marker.show();
  PaintCounter markerPaints(&marker);
  markerPaints.watched = marker.rect();
  auto settle = [&] {
    const int before = markerPaints.paints;
    marker.update();
    return WaitFor([&] { return markerPaints.paints > before; });
  };

  const struct {
    const char* before;
    const char* after;
    bool repaints;
  } cases[] = {
      {"00:00:07", "00:00:07", false},
      {"00:00:07", "00:00:08", true},
      {"00:00:07 longer", "00:00:07", true},
      {"", "", true},  // an empty label is always repainted
      {"km/h", "", true},
      {"", "km/h", true},
  };
  for (int id : {IDC_POS_LABEL, IDC_LENGTH_LABEL, IDC_SPEED_LABEL}) {
    QLabel* label = window.Controls().Label(id);
    ASSERT_NE(label, nullptr);
    windowPaints.watched = label->geometry();
    for (const auto& c : cases) {
      window.SetLabelText(id, QString::fromUtf8(c.before));
      ASSERT_TRUE(settle());
      windowPaints.hits = 0;
      window.SetLabelText(id, QString::fromUtf8(c.after));
      ASSERT_TRUE(settle());
      EXPECT_EQ(windowPaints.hits > 0, c.repaints)
          << id << ": \"" << c.before << "\" to \"" << c.after << "\"";
      EXPECT_EQ(label->text(), QString::fromUtf8(c.after));
    }
  }
}

int PixelsOfColour(const QImage& image, QRgb colour) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      if ((rgb.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++count;
    }
  }
  return count;
}

TEST(MainWindow, LabelsDrawTheirTextInOrangeRed) {
  ScopedWorkDir work;
  CZarezeRadidaDlg window(kEnglish);
  const QColor orange(247, 88, 46);
  for (int id : {IDC_POS_LABEL, IDC_LENGTH_LABEL, IDC_SPEED_LABEL, IDC_SELECT_ALL}) {
    QWidget* control = window.Controls().Find(id);
    EXPECT_EQ(control->palette().color(QPalette::WindowText), orange) << id;
    // Drawn on the skin: without smoothing every text pixel has the text's own colour.
    QFont font = control->font();
    font.setStyleStrategy(QFont::NoAntialias);
    control->setFont(font);
    if (auto* label = qobject_cast<QLabel*>(control)) label->setText(QStringLiteral("88:88:88"));
    const int lit = PixelsOfColour(window.grab(control->geometry()).toImage(), orange.rgb());
    EXPECT_GT(lit, 10) << id;
  }
  // The list keeps its own white text.
  EXPECT_NE(window.Controls().Find(IDC_LIST)->palette().color(QPalette::WindowText), orange);
}

// A volume that hangs (a look that does not come back until released) holds up the card
// watch's own thread, never the window: the window goes on handling its events while the look
// waits. Should the window itself hang in the look, a watchdog lets it go, so the case fails
// instead of hanging.
TEST(MainWindow, AVolumeThatHangsNeverStallsTheWindow) {
  ScopedWorkDir work;
  std::mutex mutex;
  std::condition_variable wake;
  bool released = false;
  std::atomic<int> looks{0};
  const CCardWatch::Look hangs = [&](const std::string&) {
    ++looks;
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait(lock, [&] { return released; });
    return std::vector<TatVolume>{};
  };
  const auto release = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    wake.notify_all();
  };
  std::atomic<int> heartbeat{0};
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    int last = -1;
    while (!done) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      const int now = heartbeat.load();
      if (now == last) release();  // the window handled no event for a second
      last = now;
    }
  });
  {
    CZarezeRadidaDlg window(kEnglish);
    window.CardWatch()->SetLook(hangs);
    ShowAndWait(window);
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ++heartbeat; });
    beat.start(50);
    // Timer 102 asks for a look within a second; three seconds on, it still waits while this
    // thread runs.
    QTest::qWait(3000);
    EXPECT_EQ(looks.load(), 1) << "no look was waiting on the volume while the window ran";
    EXPECT_GE(heartbeat.load(), 10) << "the window stalled";
    release();
    EXPECT_EQ(window.State().cardLetter, 0);
  }
  done = true;
  watchdog.join();
}

}  // namespace
}  // namespace roadkeep::test
