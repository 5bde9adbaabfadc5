#include "controls/skin_button.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/controls/widget_test_util.h"

namespace {

using roadkeep::test::Framed;
using roadkeep::test::Grab;
using roadkeep::test::TexturedParent;

QImage Solid(int w, int h, QRgb c) { return Framed(w, h, c, c, 0); }

// The mute box of the main window: normal 495, down 494, disabled 495, draw mode 0.
std::unique_ptr<CxSkinButton> MuteBox(QWidget* parent) {
  auto box = std::make_unique<CxSkinButton>(IDC_MUTE, kBsAutoCheckBox | kBsPushLike, parent);
  box->SetSkin(IDB_MUTE, IDB_MUTE_DOWN, 0, IDB_MUTE, 0, 0, 0, 0, 0);
  box->resize(27, 22);
  return box;
}

TEST(CxSkinButton, KindComesFromTheStyle) {
  const std::pair<unsigned, CxSkinButton::Kind> kCases[] = {
      {kBsPushButton, CxSkinButton::kPush}, {kBsAutoCheckBox, CxSkinButton::kCheck},
      {kBsAutoCheckBox | kBsPushLike, CxSkinButton::kCheck},
      {kBsAutoRadioButton, CxSkinButton::kRadio}, {kBsAutoRadioButton | kWsGroup, CxSkinButton::kRadio},
      {0x2, CxSkinButton::kPush}, {0x4, CxSkinButton::kPush}, {0x1, CxSkinButton::kPush}};
  for (auto [style, kind] : kCases) EXPECT_EQ(CxSkinButton(1, style).GetKind(), kind) << style;
}

TEST(CxSkinButton, CheckBoxTogglesOnlyWhenReleasedOverIt) {
  TexturedParent parent(100, 60);
  auto box = MuteBox(&parent);
  parent.show();
  QSignalSpy clicked(box.get(), &QAbstractButton::clicked);
  QTest::mousePress(box.get(), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(box.get(), Qt::LeftButton, {}, QPoint(60, 40));
  EXPECT_FALSE(box->GetCheck());
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseClick(box.get(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(box->GetCheck());
  EXPECT_EQ(clicked.count(), 1);
  QTest::mouseClick(box.get(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(box->GetCheck());
  QTest::keyClick(box.get(), Qt::Key_Space);
  EXPECT_TRUE(box->GetCheck());
}

TEST(CxSkinButton, PictureFollowsCheckAndEnable) {
  TexturedParent parent(100, 60);
  auto box = MuteBox(&parent);
  const QImage normal = LoadSkinBitmap(IDB_MUTE), down = LoadSkinBitmap(IDB_MUTE_DOWN);
  EXPECT_EQ(Grab(*box), normal);
  box->SetCheck(true);
  EXPECT_EQ(Grab(*box), down) << "checked shows the down bitmap with the mouse elsewhere";
  box->SetCheck(false);
  box->setEnabled(false);
  EXPECT_EQ(Grab(*box), normal) << "disabled id 0 falls back to the normal bitmap";
  CxSkinButton map(IDC_SMALL_MAP, kBsAutoCheckBox, &parent);
  map.SetSkin(IDB_SMALL_MAP, IDB_SMALL_MAP_DOWN, 0, IDB_SMALL_MAP_DISABLED, 0, 0, 0, 0, 0);
  map.resize(161, 24);
  map.setEnabled(false);
  EXPECT_EQ(Grab(map), LoadSkinBitmap(IDB_SMALL_MAP_DISABLED));
}

TEST(CxSkinButton, PushButtonNeverChecks) {
  CxSkinButton push(7, kBsPushButton);
  push.SetCheck(true);
  EXPECT_FALSE(push.GetCheck());
  push.show();
  QTest::mouseClick(&push, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_FALSE(push.GetCheck());
}

TEST(CxSkinButton, CheckingARadioButtonUnchecksTheRestOfItsGroup) {
  TexturedParent parent(200, 40);
  CxSkinButton a(1, kBsAutoRadioButton | kWsGroup, &parent);
  CxSkinButton b(2, kBsAutoRadioButton, &parent);
  CxSkinButton c(3, kBsAutoRadioButton, &parent);
  CxSkinButton d(4, kBsAutoRadioButton | kWsGroup, &parent);  // next group
  for (CxSkinButton* r : {&a, &b, &c, &d}) r->resize(20, 20);
  a.SetCheck(true);
  d.SetCheck(true);
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(a.GetCheck());
  parent.show();
  b.move(30, 0);
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_TRUE(b.GetCheck());
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(a.GetCheck());
  EXPECT_FALSE(c.GetCheck());
  EXPECT_TRUE(d.GetCheck()) << "another group is left alone";
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_TRUE(b.GetCheck()) << "clicking a checked radio button keeps it checked";
}

TEST(CxSkinButton, HoverShowsTheOverBitmapUntilTheMouseLeaves) {
  TexturedParent parent(60, 40);
  CxSkinButton button(9, kBsPushButton, &parent);
  CxSkinButton::Images images;
  images.normal = Solid(10, 10, qRgb(10, 200, 10));
  images.over = Solid(10, 10, qRgb(200, 10, 10));
  button.SetSkin(images, 0, 0, 0);
  button.resize(10, 10);
  parent.show();
  QTest::mouseMove(&button, QPoint(4, 4));
  EXPECT_TRUE(button.IsHovering());
  EXPECT_EQ(Grab(button).pixel(4, 4), qRgb(200, 10, 10));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button, &leave);
  EXPECT_FALSE(button.IsHovering());
  EXPECT_EQ(Grab(button).pixel(4, 4), qRgb(10, 200, 10));
}

TEST(CxSkinButton, DrawModesAndMask) {
  CxSkinButton button(9, kBsPushButton);
  CxSkinButton::Images images;
  images.normal = Framed(4, 4, qRgb(10, 200, 10), qRgb(200, 200, 200), 1);
  button.resize(10, 6);
  const struct {
    int mode;
    QPoint probe;
    QRgb expected;
  } kCases[] = {
      {-3, QPoint(5, 1), button.palette().color(QPalette::Button).rgb()},  // 0: own size only
      {0, QPoint(1, 1), qRgb(10, 200, 10)},
      {7, QPoint(5, 1), qRgb(10, 200, 10)},   // 2: tiled, second tile's face
      {1, QPoint(5, 3), qRgb(10, 200, 10)},   // stretched face
  };
  for (const auto& c : kCases) {
    button.SetSkin(images, c.mode, 0, 0);
    QImage picture(10, 6, QImage::Format_RGB32);
    picture.fill(button.palette().color(QPalette::Button));
    button.render(&picture);
    EXPECT_EQ(picture.pixel(c.probe), c.expected) << "mode " << c.mode;
  }
  QImage mask = Solid(8, 8, qRgb(0, 0, 0));
  for (int y = 2; y < 6; ++y) {
    for (int x = 1; x < 7; ++x) mask.setPixel(x, y, qRgb(255, 255, 255));
  }
  images.mask = mask;
  button.SetSkin(images, 0, 0, 0);
  EXPECT_EQ(button.size(), QSize(8, 8)) << "draw mode 0 takes the mask's size";
  EXPECT_EQ(button.mask(), QRegion(1, 2, 6, 4));
  QRegion outside = QRegion(0, 0, 8, 8) - QRegion(1, 2, 6, 4);
  EXPECT_TRUE((RegionFromMask(mask, qRgb(255, 255, 255)) ^ outside).isEmpty());
}

}  // namespace
