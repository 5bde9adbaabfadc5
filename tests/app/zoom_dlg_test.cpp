#include "app/zoom_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTest>

#include "resources/resource_ids.h"

namespace {

const QRgb kGrey = qRgb(150, 150, 150);

// A screen picture whose every pixel names its own position, so a magnified pixel tells
// where it came from.
QRgb ScreenPixel(int x, int y) { return qRgb(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | (y >> 8)); }

QImage ScreenImage(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, ScreenPixel(x, y));
  }
  return image;
}

// A zoom window that "sees" a made-up screen and counts its ticks.
class CFakeScreenZoom : public CZoomDlg {
 public:
  explicit CFakeScreenZoom(QImage screen) : m_screen(std::move(screen)) {}
  int Ticks() const { return m_ticks; }

 protected:
  QImage GrabScreen(QScreen*) override {
    ++m_ticks;
    return m_screen;
  }

 private:
  QImage m_screen;
  int m_ticks = 0;
};

int VisibleZoomWindows() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (dynamic_cast<CZoomDlg*>(w) && w->isVisible()) ++count;
  }
  return count;
}

struct SourceCase {
  const char* name;
  QPoint cursor;
  QSize source;
  QSize screen;
  QRect expected;
};

TEST(ZoomSourceRect, CentresOnTheCursorAndStaysOnTheScreen) {
  const SourceCase cases[] = {
      {"centre", {400, 300}, {212, 165}, {800, 600}, {294, 218, 212, 165}},
      {"top-left corner", {0, 0}, {212, 165}, {800, 600}, {0, 0, 212, 165}},
      {"top-right corner", {799, 0}, {212, 165}, {800, 600}, {588, 0, 212, 165}},
      {"bottom-left corner", {0, 599}, {212, 165}, {800, 600}, {0, 435, 212, 165}},
      {"bottom-right corner", {799, 599}, {212, 165}, {800, 600}, {588, 435, 212, 165}},
      {"cursor off the screen", {-50, 900}, {100, 100}, {800, 600}, {0, 500, 100, 100}},
      {"just inside the left edge", {50, 300}, {100, 100}, {800, 600}, {0, 250, 100, 100}},
      {"wider than the screen", {50, 40}, {150, 50}, {100, 80}, {-50, 15, 150, 50}},
      {"larger than the screen", {0, 0}, {300, 200}, {100, 80}, {-200, -120, 300, 200}},
      {"zero source", {30, 20}, {0, 0}, {100, 80}, {30, 20, 0, 0}},
      {"zero source at the far edge", {150, 90}, {0, 0}, {100, 80}, {100, 80, 0, 0}},
      {"zero screen", {30, 20}, {10, 10}, {0, 0}, {-10, -10, 10, 10}},
      {"negative source", {30, 20}, {-4, -4}, {100, 80}, {30, 20, 0, 0}},
  };
  for (const SourceCase& c : cases) {
    EXPECT_EQ(ZoomSourceRect(c.cursor, c.source, c.screen), c.expected) << c.name;
  }
}

// Beside the zoom button on the button's screen, never off it.
TEST(ZoomWindow, OpensBesideTheButtonInsideItsScreen) {
  const QSize size(425, 330);
  const QRect screen(0, 0, 1920, 1080), second(1920, 0, 1280, 1024);
  const struct {
    QRect button;
    QRect screen;
    QPoint expected;
  } cases[] = {
      {{700, 640, 40, 40}, screen, {748, 640}},        // to the right, tops level
      {{1700, 300, 40, 40}, screen, {1267, 300}},      // no room on the right: to the left
      {{700, 1000, 40, 40}, screen, {748, 750}},       // kept above the screen's bottom
      {{2500, 100, 40, 40}, second, {2548, 100}},      // on the second screen
      {{3100, 900, 40, 40}, second, {2667, 694}},      // its right and bottom edges
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZoomWindowPlace(c.button, c.screen, size), c.expected)
        << c.button.x() << "," << c.button.y();
  }
}

TEST(ZoomWindow, PressingZoomTwiceLeavesExactlyOneWindowInPlace) {
  std::unique_ptr<CZoomDlg> zoom = ShowZoomWindow(nullptr);
  QPointer<CZoomDlg> first = zoom.get();
  zoom = ShowZoomWindow(std::move(zoom));
  EXPECT_TRUE(first.isNull());
  ASSERT_TRUE(zoom);
  EXPECT_EQ(VisibleZoomWindows(), 1);
  EXPECT_EQ(zoom->pos(), QPoint(850, 465));
  EXPECT_EQ(zoom->size(), QSize(425, 330));
  EXPECT_TRUE(zoom->IsMagnifying());
  EXPECT_EQ(zoom->windowTitle(), QStringLiteral("Zoom"));
  EXPECT_EQ(zoom->objectName(), QString::number(IDD_ZOOM));
  EXPECT_FALSE(zoom->windowIcon().isNull());
  EXPECT_EQ(zoom->windowType(), Qt::Tool);
  EXPECT_TRUE(zoom->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(zoom->parentWidget(), nullptr);
  zoom.reset();
  EXPECT_EQ(VisibleZoomWindows(), 0);
}

TEST(ZoomWindow, EscapeAndCloseHideItAndStopTheTimerButKeepTheObject) {
  enum class Way { kEscape, kClose };
  for (Way way : {Way::kEscape, Way::kClose}) {
    std::unique_ptr<CZoomDlg> zoom = ShowZoomWindow(nullptr);
    QPointer<CZoomDlg> alive = zoom.get();
    ASSERT_TRUE(zoom->IsMagnifying());
    if (way == Way::kEscape) {
      QTest::keyClick(zoom.get(), Qt::Key_Escape);
    } else {
      zoom->close();
    }
    QApplication::processEvents();
    EXPECT_TRUE(zoom->isHidden()) << int(way);
    EXPECT_FALSE(zoom->IsMagnifying()) << int(way);
    EXPECT_FALSE(alive.isNull()) << int(way);
    // The next zoom press replaces the hidden window with a running one.
    zoom = ShowZoomWindow(std::move(zoom));
    EXPECT_TRUE(alive.isNull());
    EXPECT_TRUE(zoom->IsMagnifying());
  }
}

bool AllGrey(const QImage& picture) {
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (picture.pixel(x, y) != kGrey) return false;
    }
  }
  return true;
}

// No screen copy, or a window too small to have a source: plain grey.
TEST(ZoomWindow, ShowsGreyWhenThereIsNothingToMagnify) {
  const struct {
    QImage screen;
    QSize client;
  } cases[] = {{QImage(), {425, 330}}, {ScreenImage(64, 48), {1, 1}}};
  for (const auto& c : cases) {
    CFakeScreenZoom zoom(c.screen);
    zoom.resize(c.client);
    zoom.Magnify();
    ASSERT_EQ(zoom.Picture().size(), c.client);
    EXPECT_TRUE(AllGrey(zoom.Picture()));
    EXPECT_TRUE(AllGrey(zoom.grab().toImage().convertToFormat(QImage::Format_RGB32)));
  }
}

// The platform's own screen copy (whatever the offscreen platform gives, or nothing): with
// the cursor on the window's centre the magnified region lies inside the window, so all of
// it is the window's own grey.
TEST(ZoomWindow, MagnifiesThePlatformScreenWithoutFailing) {
  std::unique_ptr<CZoomDlg> zoom = ShowZoomWindow(nullptr);
  zoom->move(100, 100);
  QCursor::setPos(zoom->mapToGlobal(QPoint(212, 165)));
  QTest::qWait(3 * CZoomDlg::kTickMs);
  zoom->Magnify();
  ASSERT_EQ(zoom->Picture().size(), QSize(425, 330));
  EXPECT_TRUE(AllGrey(zoom->Picture()));
  EXPECT_TRUE(zoom->IsMagnifying());
}

TEST(ZoomWindow, TicksOnItsTimerWithoutBeingDriven) {
  CFakeScreenZoom zoom(ScreenImage(64, 48));
  zoom.resize(40, 30);
  EXPECT_TRUE(QTest::qWaitFor([&] { return zoom.Ticks() >= 2; }, 10000));
  EXPECT_EQ(zoom.Picture().size(), QSize(40, 30));
}

struct PictureCase {
  const char* name;
  QPoint cursor;     // screen position of the mouse
  QPoint window;     // frame top-left of the zoom window
  QPoint srcOrigin;  // expected top-left of the magnified region
  bool showsItself;  // the window lies partly inside the magnified region
};

// Client 200 x 100 magnifies a 100 x 50 region of an 800 x 600 screen.
TEST(ZoomWindow, MagnifiesTheClampedRegionTwiceAndGreysItsOwnArea) {
  const QImage screen = ScreenImage(800, 600);
  const PictureCase cases[] = {
      {"top-left corner, window inside the region", {0, 0}, {20, 10}, {0, 0}, true},
      {"bottom-right corner, window elsewhere", {799, 599}, {300, 300}, {700, 550}, false},
      {"top-right corner, window overlapping", {799, 0}, {640, 30}, {700, 0}, true},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.name);
    CFakeScreenZoom zoom(screen);
    zoom.move(c.window);
    zoom.resize(200, 100);
    zoom.show();
    QCursor::setPos(c.cursor);
    ASSERT_EQ(QCursor::pos(), c.cursor);
    zoom.Magnify();
    const QImage picture = zoom.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(200, 100));
    const QRect ownArea(zoom.mapToGlobal(QPoint(0, 0)), QSize(200, 100));
    int mismatches = 0;
    int grey = 0;
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 200; ++x) {
        const QPoint from = c.srcOrigin + QPoint(x / 2, y / 2);
        const QRgb expected = ownArea.contains(from) ? kGrey : ScreenPixel(from.x(), from.y());
        if (expected == kGrey) ++grey;
        if (picture.pixel(x, y) != expected && ++mismatches <= 3) {
          ADD_FAILURE() << "pixel " << x << "," << y << " from " << from.x() << "," << from.y();
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(grey > 0, c.showsItself);
  }
}

// A screen smaller than the source: the part off the screen stays grey, nothing wraps.
TEST(ZoomWindow, LeavesTheOverhangGreyWhenTheScreenIsSmallerThanTheSource) {
  CFakeScreenZoom zoom(ScreenImage(60, 40));
  zoom.move(500, 500);
  zoom.resize(200, 100);  // source 100 x 50 overhangs by 40 x 10 at the top-left
  zoom.show();
  QCursor::setPos(QPoint(0, 0));
  zoom.Magnify();
  const QImage& picture = zoom.Picture();
  EXPECT_EQ(picture.pixel(0, 0), kGrey);
  EXPECT_EQ(picture.pixel(79, 19), kGrey);
  EXPECT_EQ(picture.pixel(80, 20), ScreenPixel(0, 0));
  EXPECT_EQ(picture.pixel(199, 99), ScreenPixel(59, 39));
}

}  // namespace
