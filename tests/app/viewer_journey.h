// The viewer's journeys on an X server: a real main window driven by mouse and key events
// as a user would, with what the cases share: waiting, looking at the real screen, the quit
// question answered from a timer, and X11 focus and position. Screenshots go to
// viewer-shots/ in the build folder for a person to look at.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/pane_states.h"
#include "app/single_instance.h"
#include "app/video_pane.h"
#include "app/viewer_config.h"
#include "app/window_controls.h"
#include "app/zoom_dlg.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "controls/trans_bitmap.h"
#include "platform/ini_profile.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"

namespace roadkeep::test {

constexpr int kWaitMs = 15000;  // generous: the machine is shared
constexpr int kSeveralFrames = 5;
constexpr QSize kWindowSize(975, 635);

// Parts of the skin that no control covers in the normal mode (window coordinates): the
// title strip, the strip above the main pane left of the swap button, the margin left of
// the graph.
constexpr QRect kBareSkin[] = {QRect(0, 0, 880, 34), QRect(0, 36, 320, 26), QRect(0, 505, 28, 125)};

inline QRect OnScreen(const QWidget& window, const QRect& rect) {
  return QRect(window.mapToGlobal(rect.topLeft()), rect.size());
}

// Fraction of the pixels of a that equal those of b (same size expected).
inline double SameFraction(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 0;
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  int64_t same = 0;
  for (int row = 0; row < x.height(); ++row) {
    const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
    const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
    for (int col = 0; col < x.width(); ++col) same += (p[col] & 0xFFFFFF) == (q[col] & 0xFFFFFF);
  }
  return double(same) / (double(x.width()) * x.height());
}

// Whether the bare parts of the skin are on the screen as the background bitmap has them.
inline bool SkinDrawn(const QImage& shot, const QWidget& window) {
  const QImage background = LoadSkinBitmap(IDB_BACKGROUND);
  for (const QRect& bare : kBareSkin) {
    const QImage onScreen = shot.copy(OnScreen(window, bare));
    if (!MostlyNonBlack(onScreen, 0.9) || SameFraction(onScreen, background.copy(bare)) < 0.98) {
      return false;
    }
  }
  return true;
}

// Whether rect of the screen shows a picture: mostly non-black and not the skin under it.
inline bool ShowsVideo(const QImage& shot, const QWidget& window, const QRect& rect) {
  const QImage onScreen = shot.copy(OnScreen(window, rect));
  const QImage skin = LoadSkinBitmap(IDB_BACKGROUND).copy(rect);
  return MostlyNonBlack(onScreen) && SameFraction(onScreen, skin) < 0.5;
}

// Whether the pane paints several more new frames, the last made at its current size.
inline bool KeepsPlaying(const CVideoPane& pane) {
  const int64_t shown = pane.FramesShown(), painted = pane.FramesPainted();
  return WaitFor(
      [&] {
        const cv::Mat frame = pane.LastFrame();
        return pane.FramesShown() >= shown + kSeveralFrames &&
               pane.FramesPainted() >= painted + kSeveralFrames && frame.cols == pane.width() &&
               frame.rows == pane.height();
      },
      kWaitMs);
}

// The window of 975 x 635 centred on the screen's work area.
inline QRect CentredWindow(const QWidget& window) {
  const QRect work = window.screen()->availableGeometry();
  return QRect(work.x() + (work.width() - kWindowSize.width()) / 2,
               work.y() + (work.height() - kWindowSize.height()) / 2, kWindowSize.width(),
               kWindowSize.height());
}

// Whether control (or a part of it) is what the user meets at its centre: nothing lies on it.
inline bool OnTop(const QWidget& window, const QWidget* control) {
  const QWidget* hit = window.childAt(control->geometry().center());
  return hit == control || (hit != nullptr && control->isAncestorOf(hit));
}

// Answers the quit question with `answer` as soon as it shows (it runs its own event loop).
class QuestionAnswerer : public QObject {
 public:
  explicit QuestionAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
    m_timer.start(10, this);
  }
  bool Answered() const { return m_answered; }
  const QString& Text() const { return m_text; }
  const QString& Caption() const { return m_caption; }
  // The text of the button that answered.
  const QString& AnswerText() const { return m_answerText; }
  bool HadIcon() const { return m_hadIcon; }

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box == nullptr || box->objectName() != QLatin1String("QuitQuestion") ||
          !box->isVisible()) {
        continue;
      }
      m_timer.stop();
      m_text = box->text();
      m_caption = box->windowTitle();
      m_hadIcon = box->icon() != QMessageBox::NoIcon;
      m_answered = true;
      if (QAbstractButton* button = box->button(m_answer)) {
        m_answerText = button->text();
        QTest::mouseClick(button, Qt::LeftButton);
      }
      return;
    }
  }

 private:
  QMessageBox::StandardButton m_answer;
  QBasicTimer m_timer;
  bool m_answered = false;
  bool m_hadIcon = false;
  QString m_text, m_caption, m_answerText;
};

// Clicks the entry `text` of the next right-click menu named `name` as soon as it shows (the
// menu runs its own event loop inside the click that opened it).
class MenuChooser : public QObject {
 public:
  MenuChooser(QString name, QString text) : m_name(std::move(name)), m_text(std::move(text)) {
    m_timer.start(10, this);
  }
  QStringList entries;  // what the menu offered

 protected:
  void timerEvent(QTimerEvent*) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* menu = qobject_cast<QMenu*>(top);
      if (menu == nullptr || !menu->isVisible() || menu->objectName() != m_name) continue;
      m_timer.stop();
      for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        entries << action->text();
        if (action->text() == m_text) {
          QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        }
      }
      return;
    }
  }

 private:
  QString m_name, m_text;
  QBasicTimer m_timer;
};

// The top-level window (a child of the root) that holds the X input focus; 0 when none.
inline uint32_t FocusedTopLevel() {
  xcb_connection_t* c = X11Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  xcb_window_t window = focus != nullptr ? focus->focus : xcb_window_t{XCB_NONE};
  std::free(focus);
  while (window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT && window != root) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (tree == nullptr) return 0;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (parent == root) return window;
    window = parent;
  }
  return 0;
}

// Whether the X window is mapped and all its ancestors are.
inline bool Viewable(uint32_t window) {
  xcb_connection_t* c = X11Connection();
  auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
  const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(reply);
  return viewable;
}

// Where the X server has the window's top-left corner on the root.
inline QPoint XOrigin(const QWidget& window) {
  xcb_connection_t* c = X11Connection();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto* reply = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window.winId()), root, 0, 0),
      nullptr);
  const QPoint origin = reply != nullptr ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
  std::free(reply);
  return origin;
}

class ViewerJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    // The card maker and the viewer are found next to this program; audio needs no device.
    setenv("ROADKEEP_BIN", QCoreApplication::applicationDirPath().toLocal8Bit().constData(), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }

  // Makes the window in this test's working folder, shows it and makes it active.
  void Open(unsigned langId = 0x09) {
    m_window = std::make_unique<CZarezeRadidaDlg>(langId);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get(), kWaitMs));
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get(), kWaitMs));
  }

  // Makes a card of `seconds` long recordings, puts it in and plays recording 0 (both
  // cameras) until both panes have painted several frames. `listed`: pictures large enough
  // for every recording to reach the list (512 KiB and more) from 12 s on.
  void Play(int seconds, bool listed = false) {
    m_card = listed ? std::make_unique<ViewerCard>(seconds, "640x360@30", "320x180@30")
                    : std::make_unique<ViewerCard>(seconds);
    ASSERT_TRUE(m_card->ok) << "roadkeep-tool make-card failed";
    ASSERT_TRUE(InsertCard(W(), m_card->dir.Path().string()));
    ASSERT_TRUE(W().OpenRecording(QString::fromStdString(m_card->Name(0))));
    const CVideoPane& front = Front();
    const CVideoPane& rear = Rear();
    ASSERT_TRUE(WaitFor(
        [&] {
          return front.FramesPainted() >= kSeveralFrames && rear.FramesPainted() >= kSeveralFrames;
        },
        kWaitMs))
        << "painted front " << front.FramesPainted() << ", rear " << rear.FramesPainted();
  }

  CZarezeRadidaDlg& W() { return *m_window; }
  QWidget* Control(int id) { return m_window->Controls().Find(id); }
  CVideoPane& Front() { return *m_window->Controls().FrontPane(); }
  CVideoPane& Rear() { return *m_window->Controls().RearPane(); }
  QString LabelText(int id) { return m_window->Controls().Label(id)->text(); }
  bool Checked(int id) { return m_window->Controls().Check(id)->GetCheck(); }

  void Click(int id) {
    QWidget* control = Control(id);
    ASSERT_NE(control, nullptr) << id;
    ASSERT_TRUE(control->isVisible()) << id;
    QTest::mouseClick(control, Qt::LeftButton);
  }

  // A key as the user types it: to the widget with the focus, else the window.
  void Type(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : m_window.get(), key);
  }

  // Presses the left button at window point from, moves the mouse by `by` and releases it
  // there, through the window system's event path (so the press lands on whatever lies under
  // the point).
  void Drag(const QPoint& from, const QPoint& by) {
    QWindow* handle = m_window->windowHandle();
    const QPoint end = handle->mapToGlobal(from + by);
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + by);
    // Where the mouse now is, the window may have moved under it.
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(end));
  }

  bool InFullScreen() {
    return WaitFor([&] {
      return W().geometry() == W().screen()->availableGeometry() &&
             W().State().displayMode == kFullScreenMode;
    });
  }
  bool InNormalMode() {
    return WaitFor([&] {
      return W().geometry() == CentredWindow(W()) && W().State().displayMode == kNormalMode;
    });
  }

  // Declared in this order so the window goes first, then the card, then the folder.
  ScopedWorkDir m_work;
  std::unique_ptr<ViewerCard> m_card;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

}  // namespace roadkeep::test
