#include "controls/transparent_bitmap.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "controls/mem_dc.h"
#include "tests/controls/widget_test_util.h"

namespace {

using roadkeep::test::Framed;
using roadkeep::test::Texture;
using roadkeep::test::TexturedImage;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGreen = qRgb(20, 220, 40);

TEST(DrawKeyed, BlackCornersShowTheTextureBehind) {
  QImage target = TexturedImage(20, 20);
  QImage button = Framed(10, 10, kGreen, kBlack, 2);  // black ring around a green face
  {
    QPainter p(&target);
    DrawKeyed(p, QPoint(5, 5), button, MakeColorRef(0, 0, 0));
  }
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      bool face = x >= 7 && x < 13 && y >= 7 && y < 13;
      ASSERT_EQ(target.pixel(x, y), face ? kGreen : Texture(x, y)) << x << "," << y;
    }
  }
}

TEST(DrawKeyed, BitmapWithoutKeyPixelsIsDrawnUnchanged) {
  QImage bitmap(8, 6, QImage::Format_RGB32);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) bitmap.setPixel(x, y, qRgb(x * 30, y * 40, 255 - x * 20));
  }
  QImage target = TexturedImage(8, 6);
  {
    QPainter p(&target);
    DrawKeyed(p, QPoint(0, 0), bitmap, MakeColorRef(255, 0, 255));
  }
  EXPECT_EQ(target, bitmap);
}

TEST(PrepareMask, KeyFromPixelTakesTheTopLeftColour) {
  const QRgb corner = qRgb(12, 34, 56);
  QImage bitmap = Framed(6, 6, kGreen, corner, 1);
  QImage mask;
  ASSERT_TRUE(PrepareMask(bitmap, mask, kKeyFromPixel, 0, 0));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool edge = x == 0 || y == 0 || x == 5 || y == 5;
      EXPECT_EQ(mask.pixel(x, y), edge ? 0xFFFFFFFFu : 0xFF000000u);
      EXPECT_EQ(bitmap.pixel(x, y), edge ? kBlack : kGreen);
    }
  }
}

TEST(PrepareMask, RefusesKeyPointOutsideAndNullBitmap) {
  QImage bitmap = Framed(4, 4, kGreen, kBlack, 1);
  const QImage before = bitmap;
  QImage mask;
  EXPECT_FALSE(PrepareMask(bitmap, mask, kKeyFromPixel, 4, 0));
  EXPECT_FALSE(PrepareMask(bitmap, mask, kKeyFromPixel, -1, 2));
  EXPECT_EQ(bitmap, before);
  EXPECT_TRUE(mask.isNull());
  QImage null;
  EXPECT_FALSE(PrepareMask(null, mask, 0, 0, 0));
}

TEST(DrawTransparent, DrawsThePreparedPartOverTheTarget) {
  QImage bitmap = Framed(10, 4, kGreen, qRgb(255, 0, 255), 1);
  QImage mask;
  ASSERT_TRUE(PrepareMask(bitmap, mask, MakeColorRef(255, 0, 255), 0, 0));
  QImage target = TexturedImage(12, 6);
  {
    QPainter p(&target);
    // Only the right half of the bitmap, at (6, 1).
    DrawTransparent(p, 6, 1, 5, 4, bitmap, 5, 0, mask);
  }
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 12; ++x) {
      bool face = x >= 6 && x < 10 && y >= 2 && y < 4;  // source x 5..8, y 1..2
      ASSERT_EQ(target.pixel(x, y), face ? kGreen : Texture(x, y)) << x << "," << y;
    }
  }
}

TEST(CMemDC, CopyBackgroundStartsFromTheTargetPixels) {
  QImage target = TexturedImage(16, 16);
  const QRect rect(4, 4, 8, 8);
  {
    QPainter p(&target);
    CMemDC memDC(p, &rect, true);
    memDC.Painter().fillRect(QRect(6, 6, 2, 2), kGreen);  // target coordinates
    EXPECT_EQ(target.pixel(6, 6), Texture(6, 6)) << "drawn on screen before the copy";
  }
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      bool drawn = x >= 6 && x < 8 && y >= 6 && y < 8;
      ASSERT_EQ(target.pixel(x, y), drawn ? kGreen : Texture(x, y)) << x << "," << y;
    }
  }
}

TEST(CMemDC, WithoutCopyStartsFromTheBackgroundColour) {
  QImage target = TexturedImage(16, 16);
  const QRect rect(2, 3, 10, 5);
  const QRgb background = qRgb(7, 8, 9);
  {
    QPainter p(&target);
    p.setBackground(QColor(background));
    CMemDC memDC(p, &rect, false);
  }
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      ASSERT_EQ(target.pixel(x, y), rect.contains(x, y) ? background : Texture(x, y));
    }
  }
}

TEST(CMemDC, NullRectangleCoversTheWholeTarget) {
  QImage target = TexturedImage(9, 7);
  {
    QPainter p(&target);
    p.setBackground(QColor(kGreen));
    CMemDC memDC(p, nullptr, false);
    EXPECT_EQ(memDC.Rect(), QRect(0, 0, 9, 7));
  }
  EXPECT_EQ(target.pixel(0, 0), kGreen);
  EXPECT_EQ(target.pixel(8, 6), kGreen);
}

}  // namespace
