#include "controls/bitmap_button_trans.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "controls/control_message.h"
#include "controls/mem_dc.h"
#include "controls/trans_bitmap.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "tests/controls/widget_test_util.h"

namespace {

using roadkeep::test::Framed;
using roadkeep::test::Grab;
using roadkeep::test::TexturedParent;
using roadkeep::test::Texture;

const QRgb kGreen = qRgb(20, 220, 40);
const QRgb kBlue = qRgb(20, 40, 220);
const QRgb kYellow = qRgb(230, 220, 20);

// Checks that the picture at `at` shows bitmap, with its key pixels showing the texture.
void ExpectKeyedAt(const QImage& screen, QPoint at, const QImage& bitmap, QRgb key) {
  int shown = 0, seeThrough = 0;
  for (int y = 0; y < bitmap.height(); ++y) {
    for (int x = 0; x < bitmap.width(); ++x) {
      QPoint s = at + QPoint(x, y);
      bool isKey = (bitmap.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF);
      QRgb expected = isKey ? Texture(s.x(), s.y()) : bitmap.pixel(x, y);
      ASSERT_EQ(screen.pixel(s), expected) << "pixel " << x << "," << y;
      (isKey ? seeThrough : shown)++;
    }
  }
  EXPECT_GT(shown, 0);
  EXPECT_GT(seeThrough, 0);
}

TEST(CBitmapButtonTrans, SkinButtonsShowTheParentThroughTheirKey) {
  const struct {
    int bitmap;
    bool blackKey;
  } kCases[] = {{IDB_PLAY, true}, {IDB_FILTER_EVENT, true}, {IDB_CLOSE, false}};
  for (const auto& c : kCases) {
    TexturedParent parent(80, 60);
    CBitmapButtonTrans button(IDC_PLAY, &parent);
    if (c.blackKey) button.SetTransparentColor(0);
    ASSERT_TRUE(button.LoadBitmaps(c.bitmap));
    button.SizeToContent();
    button.move(7, 9);
    const QImage bitmap = LoadSkinBitmap(c.bitmap);
    EXPECT_EQ(button.size(), bitmap.size());
    SCOPED_TRACE(c.bitmap);
    ExpectKeyedAt(Grab(parent), QPoint(7, 9), bitmap, c.blackKey ? qRgb(0, 0, 0) : qRgb(255, 0, 255));
  }
}

TEST(CBitmapButtonTrans, StateChoosesTheBitmap) {
  TexturedParent parent(40, 40);
  CBitmapButtonTrans button(1, &parent);
  const QImage normal = Framed(10, 10, kGreen, qRgb(255, 0, 255), 1);
  const QImage selected = Framed(10, 10, kBlue, qRgb(255, 0, 255), 1);
  const QImage disabled = Framed(10, 10, kYellow, qRgb(255, 0, 255), 1);
  ASSERT_TRUE(button.SetBitmaps(normal, selected));
  button.SizeToContent();
  auto centre = [&] { return Grab(parent).pixel(5, 5); };
  EXPECT_EQ(centre(), kGreen);
  button.setDown(true);
  EXPECT_EQ(centre(), kBlue);
  button.setDown(false);
  button.setEnabled(false);
  EXPECT_EQ(centre(), kGreen) << "disabled without a disabled bitmap shows the normal one";
  ASSERT_TRUE(button.SetBitmaps(normal, selected, QImage(), disabled));
  EXPECT_EQ(centre(), kYellow);
}

TEST(CBitmapButtonTrans, HoverBitmapStaysOnceTheMouseHasPassed) {
  TexturedParent parent(60, 40);
  CBitmapButtonTrans button(IDC_STOP, &parent);
  button.SetTransparentColor(0);
  ASSERT_TRUE(button.LoadBitmaps(IDB_STOP));
  button.SizeToContent();
  parent.show();
  EXPECT_FALSE(button.IsHovering());
  QTest::mouseMove(&button, QPoint(3, 3));
  EXPECT_TRUE(button.IsHovering());
  button.SetHoverBitmap(IDB_STOP_DOWN);
  ExpectKeyedAt(Grab(parent), QPoint(0, 0), LoadSkinBitmap(IDB_STOP_DOWN), qRgb(0, 0, 0));
  QTest::mouseMove(&parent, QPoint(50, 30));
  EXPECT_TRUE(button.IsHovering());
}

TEST(CBitmapButtonTrans, BadIdsKeepTheButtonUsable) {
  CBitmapButtonTrans button(IDC_OPEN);
  EXPECT_EQ(ControlId(&button), IDC_OPEN);
  EXPECT_FALSE(button.LoadBitmaps(12345));
  EXPECT_TRUE(button.LoadBitmaps(IDB_OPEN, 777, 0, 888));
  button.SizeToContent();
  EXPECT_EQ(button.size(), QSize(19, 17));
  button.setDown(true);
  button.setEnabled(false);
  EXPECT_FALSE(Grab(button).isNull());
}

TEST(TransBitmap, BlackIsSeeThroughByDefault) {
  TexturedParent parent(30, 30);
  TransBitmap label(IDC_LIST_TITLE, &parent);
  const QImage bitmap = Framed(12, 8, kGreen, qRgb(0, 0, 0), 2);
  label.SetBitmap(bitmap);
  label.setGeometry(3, 4, 12, 8);
  ExpectKeyedAt(Grab(parent), QPoint(3, 4), bitmap, qRgb(0, 0, 0));
  EXPECT_FALSE(label.SetBitmapId(4242));
  EXPECT_EQ(label.Bitmap(), bitmap);
  EXPECT_TRUE(label.SetBitmapId(IDB_LIST_TITLE_EN));
  EXPECT_EQ(label.Bitmap().size(), QSize(325, 18));
}

// A child that paints a green square through a CMemDC started from the screen.
class MemDCChild : public QWidget {
 public:
  using QWidget::QWidget;
  bool copyBackground = true;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setBackground(QColor(kYellow));
    CMemDC memDC(p, nullptr, copyBackground);
    memDC.Painter().fillRect(QRect(2, 2, 3, 3), kGreen);
  }
};

TEST(CMemDC, WidgetTargetStartsFromWhatShowsThrough) {
  TexturedParent parent(40, 30);
  MemDCChild child(&parent);
  child.setGeometry(10, 6, 12, 9);
  for (bool copy : {true, false}) {
    child.copyBackground = copy;
    QImage screen = Grab(parent);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 12; ++x) {
        bool square = x >= 2 && x < 5 && y >= 2 && y < 5;
        QRgb behind = copy ? Texture(10 + x, 6 + y) : kYellow;
        ASSERT_EQ(screen.pixel(10 + x, 6 + y), square ? kGreen : behind) << x << "," << y;
      }
    }
  }
}

}  // namespace
