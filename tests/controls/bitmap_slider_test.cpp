#include "controls/bitmap_slider.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <tuple>
#include <vector>

#include "controls/control_message.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/controls/widget_test_util.h"

namespace {

using roadkeep::test::Framed;
using roadkeep::test::Grab;
using roadkeep::test::Texture;
using roadkeep::test::TexturedImage;

using Message = std::tuple<int, long long, long long>;  // message, control id, position

// A textured parent that records the slider messages posted to it.
class MessageLog : public roadkeep::test::TexturedParent {
 public:
  MessageLog() : TexturedParent(200, 40) {}
  std::vector<Message> Take() {
    QCoreApplication::sendPostedEvents(this);
    return std::exchange(m_log, {});
  }

 protected:
  bool event(QEvent* e) override {
    if (auto* m = dynamic_cast<CMessageEvent*>(e)) {
      m_log.emplace_back(m->Message(), m->WParam(), m->LParam());
      return true;
    }
    return TexturedParent::event(e);
  }

 private:
  std::vector<Message> m_log;
};

const ColorRef kFromPixel = kKeyFromPixel;

// The volume slider of the main window: channel 422 / 423, thumb 420, range 0..99.
void SkinAsVolume(CBitmapSlider& s) {
  ASSERT_TRUE(s.SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kFromPixel, 0, 0));
  ASSERT_TRUE(s.SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kFromPixel, 0, 0));
  s.SetPageSize(25);
  s.SetRange(0, 99);
  s.SetDrawFocusRect(false);
}

TEST(CBitmapSlider, SetPosClampsToTheRange) {
  const struct {
    int min, max, pos, expected;
  } kCases[] = {{0, 99, 150, 99}, {-5, 5, -9, -5}, {0, 99, -1, 0}, {0, 99, 42, 42}, {-5, 5, 5, 5}};
  CBitmapSlider slider(IDC_VOLUME_SLIDER);
  for (const auto& c : kCases) {
    slider.SetRange(c.min, c.max);
    slider.SetPos(c.pos);
    EXPECT_EQ(slider.GetPos(), c.expected) << c.pos << " in " << c.min << ".." << c.max;
  }
}

TEST(CBitmapSlider, PixelConversions) {
  CBitmapSlider plain(1);
  ASSERT_TRUE(plain.SetBitmapChannel(Framed(100, 10, qRgb(90, 90, 90), qRgb(90, 90, 90), 0),
                                     QImage(), false, 0, 0, 0));
  plain.SetRange(0, 99);
  CBitmapSlider volume(2);
  SkinAsVolume(volume);  // 81 pixels, thumb 14: centre travels 7..74
  const struct {
    CBitmapSlider* slider;
    int pos, pixel;
  } kCases[] = {{&plain, 0, 0},  {&plain, 50, 50},  {&plain, 99, 100},
                {&volume, 0, 7}, {&volume, 99, 74}, {&volume, 50, 40}};
  for (const auto& c : kCases) {
    EXPECT_EQ(c.slider->PosToPixel(c.pos), c.pixel) << c.pos;
  }
  EXPECT_EQ(volume.PixelToPos(74), 99);
  EXPECT_EQ(volume.PixelToPos(7), 0);
  EXPECT_EQ(volume.PixelToPos(60), 78);
  volume.SetRange(3, 3);  // an empty range must not divide by zero
  EXPECT_EQ(volume.PosToPixel(3), 7);
  EXPECT_EQ(volume.PixelToPos(50), 3);
}

TEST(CBitmapSlider, ActivePartCoversThePixelsBeforeThePosition) {
  const QRgb grey = qRgb(90, 90, 90), accent = qRgb(247, 88, 46);
  CBitmapSlider slider(IDC_POS_SLIDER);
  ASSERT_TRUE(slider.SetBitmapChannel(Framed(100, 10, grey, grey, 0),
                                      Framed(100, 10, accent, accent, 0), false, 0, 0, 0));
  EXPECT_EQ(slider.size(), QSize(100, 10));
  slider.SetRange(0, 99);
  slider.SetPos(50);
  QImage picture = Grab(slider);
  for (int x = 0; x < 100; ++x) EXPECT_EQ(picture.pixel(x, 5), x < 50 ? accent : grey) << x;
  slider.setEnabled(false);
  picture = Grab(slider);
  for (int x = 0; x < 100; ++x) EXPECT_EQ(picture.pixel(x, 5), grey) << "disabled, " << x;
}

TEST(CBitmapSlider, SeeThroughChannelAndThumbShowTheParent) {
  MessageLog parent;
  CBitmapSlider slider(IDC_VOLUME_SLIDER, &parent);
  SkinAsVolume(slider);
  slider.move(10, 5);
  slider.SetPos(99);
  QImage screen = Grab(parent);
  EXPECT_EQ(screen.pixel(10, 5), Texture(10, 5)) << "channel key";
  const QImage thumb = LoadSkinBitmap(IDB_THUMB);
  const QPoint thumbAt(10 + 74 - 7, 5);
  EXPECT_EQ(screen.pixel(thumbAt), Texture(thumbAt.x(), thumbAt.y())) << "thumb key";
  EXPECT_EQ(screen.pixel(thumbAt + QPoint(7, 7)), thumb.pixel(7, 7)) << "thumb face";
  slider.setEnabled(false);
  screen = Grab(parent);
  EXPECT_NE(screen.pixel(thumbAt + QPoint(7, 7)), thumb.pixel(7, 7)) << "no thumb when disabled";
}

TEST(CBitmapSlider, ClickBesideTheThumbJumpsAndReleasePostsTheFinalPosition) {
  MessageLog parent;
  CBitmapSlider slider(IDC_VOLUME_SLIDER, &parent);
  SkinAsVolume(slider);
  parent.show();
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(60, 7));
  EXPECT_TRUE(slider.IsDragging());
  EXPECT_EQ(slider.GetPos(), 78);
  EXPECT_EQ(parent.Take(), (std::vector<Message>{{WM_BITMAPSLIDER_MOVING, IDC_VOLUME_SLIDER, 78}}));
  QTest::mouseMove(&slider, QPoint(400, 7));  // far beyond the end: clamped
  EXPECT_EQ(slider.GetPos(), 99);
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(400, 7));
  EXPECT_FALSE(slider.IsDragging());
  EXPECT_EQ(parent.Take(), (std::vector<Message>{{WM_BITMAPSLIDER_MOVING, IDC_VOLUME_SLIDER, 99},
                                                 {WM_BITMAPSLIDER_MOVED, IDC_VOLUME_SLIDER, 99}}));
}

TEST(CBitmapSlider, GrabbingTheThumbKeepsItsOffset) {
  MessageLog parent;
  CBitmapSlider slider(IDC_VOLUME_SLIDER, &parent);
  SkinAsVolume(slider);
  slider.SetPos(50);  // centre at 40
  parent.show();
  QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(44, 7));
  EXPECT_EQ(slider.GetPos(), 50) << "a press on the thumb does not move it";
  QTest::mouseMove(&slider, QPoint(54, 7));  // centre to 50
  EXPECT_EQ(slider.GetPos(), slider.PixelToPos(50));
  QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(54, 7));
  std::vector<Message> log = parent.Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log.back(), Message(WM_BITMAPSLIDER_MOVED, IDC_VOLUME_SLIDER, slider.GetPos()));
}

TEST(CBitmapSlider, KeysMoveByStepPageAndEnds) {
  MessageLog parent;
  CBitmapSlider slider(IDC_VOLUME_SLIDER, &parent);
  SkinAsVolume(slider);
  slider.SetPos(50);
  const std::pair<Qt::Key, int> kSteps[] = {
      {Qt::Key_PageDown, 75}, {Qt::Key_PageDown, 99}, {Qt::Key_PageUp, 74}, {Qt::Key_Home, 0},
      {Qt::Key_Left, 0},      {Qt::Key_Right, 1},     {Qt::Key_Down, 2},    {Qt::Key_Up, 1},
      {Qt::Key_End, 99}};
  for (auto [key, expected] : kSteps) {
    QTest::keyClick(&slider, key);
    EXPECT_EQ(slider.GetPos(), expected) << key;
    EXPECT_EQ(parent.Take(), (std::vector<Message>{{WM_BITMAPSLIDER_MOVED, IDC_VOLUME_SLIDER, expected}}));
  }
}

TEST(CBitmapSlider, DisabledSliderIgnoresMouseAndKeys) {
  MessageLog parent;
  CBitmapSlider slider(IDC_BRIGHTNESS_SLIDER, &parent);
  SkinAsVolume(slider);
  slider.SetRange(-5, 5);
  slider.SetPos(0);
  parent.show();
  slider.setEnabled(false);
  QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(70, 7));
  QTest::keyClick(&slider, Qt::Key_End);
  EXPECT_EQ(slider.GetPos(), 0);
  EXPECT_TRUE(parent.Take().empty());
}

TEST(CBitmapSlider, BitmapChangesAndBadIds) {
  CBitmapSlider slider(IDC_POS_SLIDER);
  ASSERT_TRUE(slider.SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kFromPixel, 0, 0));
  EXPECT_EQ(slider.size(), QSize(393, 14));
  EXPECT_FALSE(slider.SetBitmapChannel(9999, 0, true, kFromPixel, 0, 0));
  EXPECT_FALSE(slider.SetBitmapChannel(IDB_SMALL_CHANNEL, 9999, true, kFromPixel, 0, 0));
  EXPECT_FALSE(slider.SetBitmapChannel(IDB_SMALL_CHANNEL, 0, true, kFromPixel, 200, 0));
  EXPECT_EQ(slider.size(), QSize(393, 14)) << "a failed change keeps the channel";
  EXPECT_EQ(slider.PosToPixel(100), 393);
  ASSERT_TRUE(slider.SetBitmapChannel(IDB_POS_CHANNEL_FULL, IDB_POS_CHANNEL_FULL_ACTIVE, true,
                                      kFromPixel, 0, 0));
  EXPECT_TRUE(slider.SetBitmapChannel(0, 0, false, 0, 0, 0));
  EXPECT_FALSE(Grab(slider).isNull());
  EXPECT_FALSE(slider.SetBitmapThumb(9999, 0, true, kFromPixel, 0, 0));
}

}  // namespace
