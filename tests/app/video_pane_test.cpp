#include "app/video_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QThread>
#include <functional>
#include <thread>

#include "resources/resource_ids.h"
#include "tests/app/viewer_rig.h"

namespace {

using roadkeep::test::WaitFor;

// A frame as the player hands it over: 32-bit, laid out as QImage::Format_RGB32.
cv::Mat Frame(int width, int height, QRgb (*colour)(int x, int y)) {
  cv::Mat frame(height, width, CV_8UC4);
  for (int y = 0; y < height; ++y) {
    auto* row = frame.ptr<uint32_t>(y);
    for (int x = 0; x < width; ++x) row[x] = 0xFF000000u | colour(x, y);
  }
  return frame;
}

cv::Mat Solid(int width, int height, QRgb rgb) {
  cv::Mat frame(height, width, CV_8UC4);
  frame.setTo(cv::Scalar(qBlue(rgb), qGreen(rgb), qRed(rgb), 255));
  return frame;
}

QRgb Pattern(int x, int y) { return qRgb((x * 7) & 0xFF, (y * 13) & 0xFF, (x ^ y) & 0xFF); }
QRgb LeftRedRightBlue(int x, int) { return x < 80 ? qRgb(255, 0, 0) : qRgb(0, 0, 255); }

QImage Grab(QWidget& pane) { return pane.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QSize Reported(const CVideoPane& pane) {
  int width = -1, height = -1;
  pane.GetSize(&width, &height);
  return QSize(width, height);
}

bool AllPixels(const QImage& image, QRgb rgb) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) != (rgb & 0xFFFFFF)) return false;
    }
  }
  return true;
}

// A pane in a shown host window, as in the main window.
class VideoPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_host.resize(400, 300);
    m_pane = new CVideoPane(IDC_FRONT_PANE, &m_host);
    m_pane->setGeometry(10, 10, 160, 120);
    m_host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_host));
  }

  QWidget m_host;
  CVideoPane* m_pane = nullptr;  // owned by m_host
};

// Notes the thread of every paint event of a widget.
class PaintThreads : public QObject {
 public:
  explicit PaintThreads(QWidget* target) { target->installEventFilter(this); }
  int paints = 0;
  int offGuiThread = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      if (QThread::currentThread() != qApp->thread()) ++offGuiThread;
    }
    return false;
  }
};

TEST_F(VideoPaneTest, TakesFramesFromAnotherThreadAndPaintsThemOnTheGuiThread) {
  PaintThreads threads(m_pane);
  constexpr int kFrames = 300;
  const QRgb last = qRgb(10, 200, 30);
  std::thread worker([this] {
    for (int i = 0; i < kFrames; ++i) {
      int width = 0, height = 0;
      m_pane->GetSize(&width, &height);
      m_pane->ShowFrame(Solid(width, height, i + 1 == kFrames ? last : qRgb(i & 0xFF, 0, 0)));
    }
  });
  // The GUI thread keeps painting while the worker hands frames over.
  EXPECT_TRUE(WaitFor([&] { return m_pane->FramesShown() == kFrames; }));
  worker.join();
  EXPECT_TRUE(WaitFor([&] {
    return m_pane->FramesPainted() > 0 && threads.paints > 0 &&
           Grab(*m_pane).pixel(80, 60) == (0xFF000000u | last);
  }));
  EXPECT_EQ(threads.offGuiThread, 0);
  EXPECT_EQ(m_pane->LastFrame().cols, 160);
  EXPECT_EQ(m_pane->LastFrame().rows, 120);
}

TEST_F(VideoPaneTest, PaintsAFrameOfItsSizePixelForPixel) {
  const cv::Mat frame = Frame(160, 120, Pattern);
  m_pane->ShowFrame(frame);
  const QImage shown = Grab(*m_pane);
  ASSERT_EQ(shown.size(), QSize(160, 120));
  int wrong = 0;
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) {
      if ((shown.pixel(x, y) & 0xFFFFFF) != (Pattern(x, y) & 0xFFFFFF)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(VideoPaneTest, ReportsItsSizeOnlyWhileShown) {
  CVideoPane unshown(IDC_REAR_PANE, nullptr);  // never shown
  unshown.resize(64, 48);
  EXPECT_EQ(Reported(unshown), QSize(0, 0));

  const struct {
    const char* step;
    std::function<void()> act;
    QSize expected;
  } steps[] = {
      {"shown", [] {}, QSize(160, 120)},
      {"resized", [this] { m_pane->resize(320, 170); }, QSize(320, 170)},
      {"moved and resized", [this] { m_pane->setGeometry(4, 64, 640, 360); }, QSize(640, 360)},
      {"hidden", [this] { m_pane->hide(); }, QSize(0, 0)},
      {"resized while hidden", [this] { m_pane->resize(100, 50); }, QSize(0, 0)},
      {"shown again", [this] { m_pane->show(); }, QSize(100, 50)},
      {"zero size", [this] { m_pane->setGeometry(650, 268, 0, 0); }, QSize(0, 0)},
      {"host hidden",
       [this] {
         m_pane->resize(32, 16);
         m_host.hide();
       },
       QSize(0, 0)},
      {"host shown", [this] { m_host.show(); }, QSize(32, 16)},
  };
  for (const auto& s : steps) {
    s.act();
    EXPECT_EQ(Reported(*m_pane), s.expected) << s.step;
  }
}

TEST_F(VideoPaneTest, FrameOfTheOldSizeIsScaledAfterAResize) {
  m_pane->ShowFrame(Frame(160, 120, LeftRedRightBlue));
  m_pane->resize(320, 240);
  const QImage shown = Grab(*m_pane);
  ASSERT_EQ(shown.size(), QSize(320, 240));
  EXPECT_EQ(shown.pixel(40, 120) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shown.pixel(150, 10) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shown.pixel(170, 230) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(shown.pixel(300, 120) & 0xFFFFFF, 0x0000FFu);
  // Smaller as well.
  m_pane->resize(40, 30);
  const QImage small = Grab(*m_pane);
  ASSERT_EQ(small.size(), QSize(40, 30));
  EXPECT_EQ(small.pixel(5, 15) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(small.pixel(35, 15) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(VideoPaneTest, PaintsBlackWithoutAFrameItCanShow) {
  EXPECT_TRUE(AllPixels(Grab(*m_pane), qRgb(0, 0, 0))) << "before any frame";

  m_pane->ShowFrame(Solid(160, 120, qRgb(200, 100, 50)));
  EXPECT_TRUE(AllPixels(Grab(*m_pane), qRgb(200, 100, 50)));
  m_pane->Clear();
  EXPECT_TRUE(m_pane->LastFrame().empty());
  EXPECT_TRUE(AllPixels(Grab(*m_pane), qRgb(0, 0, 0))) << "after Clear";

  // Frames of another pixel layout are not drawn.
  m_pane->ShowFrame(cv::Mat(120, 160, CV_8UC3, cv::Scalar(255, 255, 255)));
  EXPECT_TRUE(AllPixels(Grab(*m_pane), qRgb(0, 0, 0))) << "three channels";
  m_pane->ShowFrame(cv::Mat());
  EXPECT_TRUE(AllPixels(Grab(*m_pane), qRgb(0, 0, 0))) << "empty frame";
}

}  // namespace
